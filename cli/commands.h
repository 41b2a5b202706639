// parvex's commands (one file each) and what they share: the command line's
// values, the terminal, the engines' platform over it, the exit statuses
// and how a command tells the user.
#pragma once

#include <string>

#include "cli/cli_platform.h"
#include "engines/engines.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "engines/piece_set.h"
#include "integrity/hashing_platform.h"

namespace pvx {

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;  // as when a shell reports SIGINT

// Everything the command line sets; each command reads its part.
struct Options {
  std::string file;         // FILE; "-" for cut: standard input
  std::string destination;  // -d DIR
  std::string size = "1.44M";  // cut -s SIZE
  std::string pieces;       // cut --pieces N
  bool pieces_given = false;
  std::string name;         // cut --name NAME (standard input's name)
  std::string output;       // join -o FILE ("-": standard output)
  bool self_join = false;
  bool pause = false;
  bool yes = false;
  bool no = false;
  bool quiet = false;
  bool no_checksum = false;  // cut: write no list
  std::string recovery;      // cut --recovery N|N%
  bool no_verify = false;    // join: check no list
  bool no_repair = false;    // join: never rebuild from recovery data
  std::string checksum;      // join, verify --checksum LIST
};

// The terminal, and the platform the engines get: the terminal with the
// digests a copy takes in passing.
struct Parvex {
  CliPlatform terminal;
  HashingPlatform platform{terminal};
};

int RunCut(Parvex& x, const Options& o);
int RunJoin(Parvex& x, const Options& o);
int RunInfo(Parvex& x, const Options& o);
int RunVerify(Parvex& x, const Options& o);
int RunRepair(Parvex& x, const Options& o);

// A usage error: the text, then where to read more; exit status 2.
int UsageError(CliPlatform& t, const std::string& text,
               const std::string& command);
// Catalogue text id, formatted with arg, as a notice.
void NotifyText(CliPlatform& t, Msg id, const char* arg);
// The exit status for an engine's result, after telling the failure *io
// holds and where partial output was kept.
int ExitStatus(CliPlatform& t, int result, const Failure& io);
// status, unless standard output could not be written (then 1, told).
int Flushed(CliPlatform& t, int status);
// folder with a '/' at its end (none added to an empty one).
std::string WithSeparator(std::string folder);

// Why a join of s cannot write its output at out_path ("": standard
// output), or empty: it would be one of the files the join reads (list
// among them when not empty), something other than a regular file or a
// link stands there, or the name with ".part" is too long.
std::string OutputProblem(CliPlatform& t, const SetSurvey& s,
                          const std::string& out_path,
                          const std::string& list);

}  // namespace pvx
