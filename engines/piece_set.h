// Finding the piece set that a file name selects, and `parvex info`.
#pragma once

#include <stdint.h>

#include <string>
#include <vector>

#include "platform/platform.h"
#include "format/piece_format.h"

namespace pvx {

struct SetLocation {
  bool self_joining = false;
  std::string folder;  // the pieces' folder, with its trailing '/', or empty
  std::string stem;    // pieces 1, 2, ... are stem.c01, stem.c02, ...
  std::string piece0;  // stem.c00, or the self-joining program stem.exe
};

// Which set file selects:
// - a name ending in .exe is a self-joining piece 0, unless a plain stem.c00
//   lies beside it and the program carries no piece header;
// - otherwise a plain set when stem.c00 exists;
// - otherwise the self-joining set stem.exe, or _sStem.exe (the set cut from
//   a file of that name), when one lies beside it;
// - otherwise the plain set, whose engine reports the missing piece 0.
// False when the name is too long to take apart.
bool LocateSet(Platform& p, const char* file, SetLocation* out);

// The length of the stub image heading the program at path, from its first
// bytes: 0 when they are not a program image the stub walk understands.
// False + *why when the file cannot be read.
bool ProbeStubImage(Platform& p, const char* path, uint32_t* size,
                    Failure* why);

// One piece as a survey finds it.
struct SurveyPiece {
  enum Status { kOk, kMissing, kShort, kLong, kUnusable };
  std::string name;       // without folder
  std::string path;
  uint64_t length = 0;    // bytes on disk
  uint64_t expected = 0;  // what a complete set holds there
  Status status = kMissing;
  std::string why;        // kUnusable: "<path>: <cause>"
};

// What a set holds, from its names and lengths alone (nothing is hashed).
struct SetSurvey {
  SetLocation set;
  uint32_t image = 0;          // the stub image in front of the header
  PieceHeader header = {};
  std::string output;          // the name a join writes, printable
  // Why the set cannot be joined whatever its pieces hold: piece 0 is no
  // piece set, its header does not fit, its name is refused. Empty when
  // the header is sound.
  std::string problem;
  std::vector<SurveyPiece> pieces;   // 0 .. the last one the set needs
  std::vector<SurveyPiece> beyond;   // further pieces that lie beside it
  uint64_t data = 0;           // data bytes the present pieces hold
  bool HeaderSound() const { return problem.empty(); }
  // What a join accepts: a sound header, every piece present and a regular
  // file of exactly the length the set needs there.
  bool Joinable() const;
};

// Surveys the set that file selects. False + *why when piece 0 cannot be
// opened or read (then nothing else is known).
bool SurveySet(Platform& p, const char* file, SetSurvey* out,
               Failure* why);

// The lines that say why the pieces of a surveyed set cannot be joined.
std::vector<std::string> PieceProblems(Lang lang, const SetSurvey& s);

// n with its digits grouped ("1,234,567"), and "byte" or "bytes" after a
// count of n (Japanese has the one word): how sizes are shown.
std::string Grouped(uint64_t n);
const char* Bytes(Lang lang, uint64_t n);

}  // namespace pvx
