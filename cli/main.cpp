// parvex: cut a file into a piece set, join a piece set back, or describe
// one. The command line is set up in SetUpCommandLine, each command runs in
// its own Run* function; the terminal side of the engines' questions and
// progress is CliPlatform.
#include <errno.h>
#include <locale.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "base/text.h"
#include "cli/builtin_stub.h"
#include "cli/cli_platform.h"
#include "cli/help_format.h"
#include "cli/info.h"
#include "cli/lists.h"
#include "cli/recovery.h"
#include "cli/sizes.h"
#include "cli/stream_cut.h"
#include "engines/engines.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "engines/piece_set.h"
#include "format/piece_format.h"

namespace {

using pvx::CliPlatform;
using pvx::Lang;
using pvx::Tr;
using pvx::TrF;

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

struct Commands {
  CLI::App* cut = nullptr;
  CLI::App* join = nullptr;
  CLI::App* info = nullptr;
  CLI::App* verify = nullptr;
  CLI::App* repair = nullptr;
};

const char* const kCommandNames[] = {"cut", "join", "info", "verify",
                                     "repair"};

std::string CommandList() {
  std::string list;
  for (const char* name : kCommandNames) {
    if (!list.empty()) list += ", ";
    list += name;
  }
  return list;
}

// ---- messages ---------------------------------------------------------------

// A usage error: the text, then where to read more; exit status 2.
int UsageError(CliPlatform& p, const std::string& text,
               const std::string& command) {
  std::string help = "parvex" + (command.empty() ? "" : " " + command) +
                     " --help";
  p.Notify(text.c_str());
  std::string more = Tr(p.Language(), "Try '") + help +
                     Tr(p.Language(), "' for more information.");
  p.Notify(more.c_str());
  return kExitUsage;
}

// What CLI11 found wrong, in the user's language.
std::string ParseErrorText(Lang lang, const CLI::ParseError& e) {
  const std::string what = e.what();
  auto after = [&](const char* mark) {
    size_t at = what.find(mark);
    return at == std::string::npos ? what : what.substr(at + strlen(mark));
  };
  auto before = [&](const char* mark) {
    size_t at = what.find(mark);
    return at == std::string::npos ? what : what.substr(0, at);
  };
  if (dynamic_cast<const CLI::RequiredError*>(&e)) {
    if (what.rfind("A subcommand", 0) == 0) {
      return Tr(lang, "a command is required: ") + CommandList();
    }
    return before(" is required") + Tr(lang, " is required");
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
    std::string extra = after(": ");
    if (!extra.empty() && extra[0] == '-') {
      return Tr(lang, "unknown option: ") + extra;
    }
    return Tr(lang, "unexpected argument: ") + extra;
  }
  if (dynamic_cast<const CLI::ExcludesError*>(&e)) {
    return before(" excludes ") + Tr(lang, " and ") + after(" excludes ") +
           Tr(lang, " cannot be given together");
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    return before(":") + Tr(lang, ": a value is required");
  }
  // CLI11's own text, in English; said to be one in Japanese.
  return lang == Lang::kJapanese
             ? Tr(lang, "the command line is not right: ") + what
             : what;
}

void NotifyText(CliPlatform& p, pvx::Msg id, const char* arg) {
  char text[2048];
  pvx::Format(text, sizeof text, pvx::Text(p.Language(), id), arg);
  p.Notify(text);
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

int ExitStatus(CliPlatform& p, int result, const pvx::Failure& io) {
  if (result == pvx::kIoFailure) p.Notify(io.text);
  // Partial output is never removed; say where it is.
  for (const std::string& kept : p.TakeKept()) {
    std::string text = Tr(p.Language(), "what was written stays in ") + kept;
    p.Notify(text.c_str());
  }
  switch (result) {
    case pvx::kDone:
      return kExitDone;
    case pvx::kIoFailure:
      return kExitFailed;
    default:
      return p.Cancelled() ? kExitCancelled : kExitFailed;
  }
}

// Standard output that cannot be written (a full disk, a closed pipe) is a
// failure too.
int Flushed(CliPlatform& p, int status) {
  if (fflush(stdout) == 0 && !ferror(stdout)) return status;
  std::string text =
      Tr(p.Language(), "standard output") + std::string(": ") + strerror(errno);
  p.Notify(text.c_str());
  return kExitFailed;
}

// ---- cut --------------------------------------------------------------------

// The bytes in front of piece 0's data: the header, and the stub program
// with -x (which is also handed to the platform here).
uint32_t PieceZeroHead(CliPlatform& p, bool self_join) {
  const uint8_t* stub = nullptr;
  uint32_t stub_length = 0;
  uint32_t head = pvx::kHeaderSize;
  if (BuiltInStub(&stub, &stub_length)) {
    p.SetStubImage(stub, stub_length);
    if (self_join) head += pvx::StubImageSize(stub, stub_length);
  }
  return head;
}

// The piece size for --pieces N over the file: 0 after telling why there
// is none (*status set).
uint32_t SizeForPieces(CliPlatform& p, const Options& o, uint32_t head,
                       int* status) {
  Lang lang = p.Language();
  uint32_t n = 0;
  const uint32_t limit = static_cast<uint32_t>(p.PieceLimit());
  if (!pvx::ParsePieceCount(o.pieces, &n) || n < 2 || n > limit) {
    const std::string most = std::to_string(limit);
    *status = UsageError(p,
                         Tr(lang, "invalid number of pieces: '") + o.pieces +
                             Tr(lang, "'; N is a whole number from 2 to ") +
                             most + Tr(lang, " (a set holds at most ") + most +
                             Tr(lang, " pieces)"),
                         "cut");
    return 0;
  }
  struct stat st;
  if (stat(o.file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
    // Not a file to measure: the cut itself says why.
    return pvx::kSize144;
  }
  uint32_t size = pvx::PieceSizeFor(static_cast<uint64_t>(st.st_size), head, n);
  if (size == 0) {
    std::string text =
        o.file + ": " +
        TrF(lang,
            "no piece size cuts %s into %s (piece 0 holds its head of %s)",
            pvx::Count(lang, static_cast<uint64_t>(st.st_size), "byte", "bytes")
                .c_str(),
            pvx::Count(lang, n, "piece", "pieces").c_str(),
            pvx::Count(lang, head, "byte", "bytes").c_str());
    p.Notify(text.c_str());
    *status = kExitFailed;
  }
  return size;
}

// A set holds at most PieceLimit pieces (10,000): a cut that would need
// more is refused before it writes anything. True when the cut may go on.
bool FitsInOneSet(CliPlatform& p, const std::string& file,
                  uint32_t piece_size, uint32_t head) {
  struct stat st;
  if (stat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<uint64_t>(st.st_size) <= piece_size)
    return true;
  const uint64_t limit = static_cast<uint64_t>(p.PieceLimit());
  const uint64_t total = static_cast<uint64_t>(st.st_size) + head;
  const uint64_t pieces = (total + piece_size - 1) / piece_size;
  if (pieces <= limit) return true;
  const uint64_t fits = (total + limit - 1) / limit;
  char text[512];
  if (fits > UINT32_MAX) {
    // Even pieces of 4 GiB less a byte make too many.
    snprintf(text, sizeof text,
             Tr(p.Language(),
                "%s: %llu bytes need more than the %llu pieces a set can "
                "hold, even of the largest piece size (4294967295 bytes)"),
             file.c_str(), static_cast<unsigned long long>(st.st_size),
             static_cast<unsigned long long>(limit));
  } else {
    snprintf(text, sizeof text,
             Tr(p.Language(),
                "%s: pieces of %u bytes would make %llu "
                "pieces, more than the %llu a set can hold; the "
                "smallest piece size that fits is %llu bytes (-s %llu)"),
             file.c_str(), piece_size, static_cast<unsigned long long>(pieces),
             static_cast<unsigned long long>(limit),
             static_cast<unsigned long long>(fits),
             static_cast<unsigned long long>(fits));
  }
  p.Notify(text);
  return false;
}

// The number of recovery slices --recovery asks for: 0 after telling why
// there is none (*status set).
uint32_t RecoverySlices(CliPlatform& p, const Options& o, uint32_t piece_size,
                        uint32_t head, int* status) {
  Lang lang = p.Language();
  const bool share = o.recovery.back() == '%';
  if (o.file == "-" && share) {
    *status = UsageError(
        p,
        // xgettext:no-c-format
        Tr(lang,
           "--recovery N% needs the number of pieces, which standard input "
           "does not tell up front (give a number: --recovery N)"),
        "cut");
    return 0;
  }
  if (o.pause) {
    *status =
        UsageError(p,
                   Tr(lang,
                      "--recovery reads every piece again after the cut, which "
                      "--pause (a disk per piece) does not allow"),
                   "cut");
    return 0;
  }
  uint32_t pieces = 1;
  struct stat st;
  if (share && stat(o.file.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    uint64_t total = static_cast<uint64_t>(st.st_size) + head;
    uint64_t n = (total + piece_size - 1) / piece_size;
    pieces = n < 1 ? 1 : n > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(n);
  }
  uint32_t slices = 0;
  std::string error;
  if (!pvx::RecoveryAmount(lang, o.recovery, pieces, &slices, &error)) {
    *status = UsageError(p, error, "cut");
    return 0;
  }
  return slices;
}

// The pieces a cut put in place, piece 0 (STEM.c00 or the program
// STEM.exe) first.
std::vector<std::string> CutPieces(std::vector<std::string> pieces) {
  auto is_program = [](const std::string& path) {
    return path.size() > 4 && path.compare(path.size() - 4, 4, ".exe") == 0;
  };
  // Names of one stem: a longer number is a larger one (c99 < c100).
  std::sort(pieces.begin(), pieces.end(),
            [&](const std::string& a, const std::string& b) {
              if (is_program(a) != is_program(b)) return is_program(a);
              if (a.size() != b.size()) return a.size() < b.size();
              return a < b;
            });
  return pieces;
}

int RunCut(CliPlatform& p, const Options& o) {
  Lang lang = p.Language();
  const bool from_stdin = o.file == "-";
  if (from_stdin && o.name.empty()) {
    return UsageError(p,
                      Tr(lang,
                         "cutting standard input needs --name NAME, the "
                         "name to record for it"),
                      "cut");
  }
  if (from_stdin && o.pause) {
    return UsageError(p,
                      Tr(lang,
                         "--pause waits for Enter on standard input, which "
                         "carries the data when cutting standard input"),
                      "cut");
  }
  if (from_stdin && o.pieces_given) {
    return UsageError(p,
                      Tr(lang,
                         "--pieces needs the length of a file; standard "
                         "input has none up front (use -s SIZE)"),
                      "cut");
  }

  const uint32_t head = PieceZeroHead(p, o.self_join);
  uint32_t piece_size = 0;
  if (o.pieces_given) {
    int status = kExitFailed;
    piece_size = SizeForPieces(p, o, head, &status);
    if (piece_size == 0) return status;
  } else {
    pvx::SizeError error = pvx::ParseSize(o.size, &piece_size);
    if (error != pvx::SizeError::kNone)
      return UsageError(p, pvx::SizeErrorText(lang, error, o.size), "cut");
  }
  if (piece_size < head) {
    return UsageError(p,
                      Tr(lang, "A piece size of ") +
                          pvx::Count(lang, piece_size, "byte", "bytes") +
                          Tr(lang, " cannot hold the ") +
                          pvx::Count(lang, head, "byte", "bytes") +
                          Tr(lang, " that head piece 0."),
                      "cut");
  }

  uint32_t recovery_slices = 0;
  if (!o.recovery.empty()) {
    int status = kExitDone;
    recovery_slices = RecoverySlices(p, o, piece_size, head, &status);
    if (recovery_slices == 0) return status;
  }

  CliPlatform::CatchInterrupt();
  // The list and the recovery files are among the set's names: the engines
  // decide them (and ask about them) with the pieces', before anything is
  // written. The list's digests are taken in the same pass as the copy.
  std::string companions;
  if (!o.no_checksum) {
    companions = pvx::kListSuffix;
    companions.push_back('\0');
    p.StartDigests();
  }
  if (recovery_slices != 0) companions += pvx::RecoverySuffixes(recovery_slices);
  if (!companions.empty()) {
    companions.pop_back();  // SetCompanions closes the list itself
    p.SetCompanions(companions);
  }
  pvx::Failure io;
  int result;
  pvx::StreamDigests digests;
  digests.wanted = !o.no_checksum;
  if (from_stdin) {
    p.SetInputIsData();
    result = pvx::CutStream(p, STDIN_FILENO, o.name, piece_size,
                            WithSeparator(o.destination), o.self_join,
                            &digests, &io);
  } else {
    if (!FitsInOneSet(p, o.file, piece_size, head)) return kExitFailed;
    result = pvx::CutFile(p, piece_size, o.file.c_str(),
                          WithSeparator(o.destination).c_str(), o.self_join,
                          o.pause, &io,
                          o.name.empty() ? nullptr : o.name.c_str());
  }
  // Every file put in place so far is a piece.
  const std::vector<std::string> pieces = p.TakeCommitted();
  if (result == pvx::kDone && !o.no_checksum) {
    size_t slash = o.file.rfind('/');
    if (from_stdin
            ? pvx::WriteCutList(p, o.name, "-", &digests) != kExitDone
            : pvx::WriteCutList(
                  p,
                  !o.name.empty()
                      ? o.name
                      : o.file.substr(slash == std::string::npos ? 0
                                                                 : slash + 1),
                  o.file) != kExitDone)
      result = pvx::kFailed;
  }
  if (result == pvx::kDone && recovery_slices != 0 &&
      pvx::WriteRecovery(p, CutPieces(pieces), recovery_slices) != kExitDone)
    result = pvx::kFailed;
  return ExitStatus(p, result, io);
}

// ---- join -------------------------------------------------------------------

// join -o: points the engine's output at o.output.
void RedirectOutput(CliPlatform& p, const Options& o,
                    const pvx::SetSurvey& survey) {
  // The engines write to the pieces' folder (no -d with -o) under the
  // header's name.
  const std::string engine_path = survey.set.folder + survey.output;
  char from[pvx::kPathCap + 64];
  char to[pvx::kPathCap + 64];
  pvx::Format(from, sizeof from, pvx::Text(p.Language(), pvx::kMsgJoinDone),
              survey.output.c_str());
  pvx::Format(to, sizeof to, pvx::Text(p.Language(), pvx::kMsgJoinDone),
              o.output.c_str());
  p.SetOutput(engine_path, o.output, from, o.output == "-" ? from : to);
}

int RunJoin(CliPlatform& p, const Options& o);

// A join of a set that lacks pieces, with recovery data at index: the
// pieces are rebuilt into a temporary folder inside the folder the join
// writes into, the set is joined from there, and the folder is removed.
int JoinRebuilt(CliPlatform& p, const Options& o, const pvx::SetLocation& set,
                const std::string& index) {
  const Lang lang = p.Language();
  std::string folder;  // "": the current folder
  if (o.output == "-") {
    // Standard output has no folder; the set's is left alone.
  } else if (!o.output.empty()) {
    size_t slash = o.output.rfind('/');
    folder = slash == std::string::npos ? std::string()
                                        : o.output.substr(0, slash + 1);
  } else if (!o.destination.empty()) {
    folder = WithSeparator(o.destination);
    if (!p.Exists(folder.c_str()) && !p.MakeFolder(folder.c_str())) {
      std::string text = folder + ": " + strerror(errno);
      p.Notify(text.c_str());
      return kExitFailed;
    }
  } else {
    folder = set.folder;
  }
  pvx::RebuiltSet rebuilt;
  if (!pvx::RebuildForJoin(p, index, folder, &rebuilt))
    return p.Cancelled() ? kExitCancelled : kExitFailed;
  for (const std::string& name : rebuilt.rebuilt) {
    std::string text =
        name + Tr(lang,
                  ": rebuilt from the recovery data for this join (the "
                  "set's folder is left as it is)");
    p.Notify(text.c_str());
  }
  Options from = o;
  from.no_repair = true;
  size_t slash = set.piece0.rfind('/');
  from.file = rebuilt.folder +
              (slash == std::string::npos ? set.piece0
                                          : set.piece0.substr(slash + 1));
  if (o.output.empty() && o.destination.empty()) from.destination = set.folder;
  if (from.destination.empty() && o.output.empty()) from.destination = "./";
  // The set's own list still checks the pieces and the result.
  const std::string list = pvx::ListPathFor(set.piece0);
  struct stat st;
  if (!o.no_verify && o.checksum.empty() && lstat(list.c_str(), &st) == 0)
    from.checksum = list;
  const int status = RunJoin(p, from);
  pvx::RemoveRebuilt(p, rebuilt);
  return status;
}

int RunJoin(CliPlatform& p, const Options& o) {
  const Lang lang = p.Language();
  CliPlatform::CatchInterrupt();
  pvx::SetLocation set;
  if (!pvx::LocateSet(p, o.file.c_str(), &set)) {
    NotifyText(p, pvx::kMsgPathTooLong, o.file.c_str());
    return kExitFailed;
  }
  // With a pause per disk, disk 1 is asked for first, so that the output
  // and the list are decided from its piece 0 before any data is read; the
  // engine's own question for it is then answered already.
  if (o.pause && !set.self_joining) {
    char text[256];
    pvx::Format(text, sizeof text, pvx::Text(lang, pvx::kMsgInsertDisk), 1);
    if (!p.AwaitDisk(text)) return kExitCancelled;
    p.SkipNextDisk();
  }
  // Everything the join will write is decided here, before it reads data:
  // the set (all of it, without pauses), the output and the list.
  pvx::SetSurvey survey;
  pvx::Failure why;
  const bool surveyed = pvx::SurveySet(p, o.file.c_str(), &survey, &why);
  // Pieces lacking (piece 0 among them) with recovery data beside the set:
  // rebuilt for the join, unless --no-repair.
  if (!o.pause && !o.no_repair &&
      (!surveyed || (survey.HeaderSound() && !survey.Joinable()))) {
    const std::string index = pvx::FindRecoveryIndex(p, o.file);
    if (!index.empty()) return JoinRebuilt(p, o, set, index);
  }
  if (!surveyed) {
    p.Notify(why.text);
    return kExitFailed;
  }
  if (!survey.HeaderSound()) {
    p.Notify(survey.problem.c_str());
    return kExitFailed;
  }
  if (!o.pause && !survey.Joinable()) {
    std::string head =
        survey.set.piece0 +
        Tr(lang, ": the set is not complete; nothing was written:");
    p.Notify(head.c_str());
    for (const std::string& line : pvx::PieceProblems(lang, survey))
      p.Notify(line.c_str());
    return kExitFailed;
  }
  pvx::JoinCheck check;
  bool have_check = false;
  if (!o.no_verify) {
    bool failed = false;
    have_check = pvx::PrepareCheck(p, survey, o.checksum, &check, &failed);
    if (failed) return kExitFailed;
  }
  const std::string list = have_check ? check.list : std::string();
  std::string destination = WithSeparator(o.destination);
  std::string problem =
      o.output == "-"
          ? pvx::StandardOutputProblem(lang, survey, list)
          : pvx::OutputProblem(
                lang, survey,
                !o.output.empty() ? o.output
                : destination.empty() ? survey.set.folder + survey.output
                                      : destination + survey.output,
                list);
  if (!problem.empty()) {
    p.Notify(problem.c_str());
    return kExitFailed;
  }
  if (!o.output.empty()) RedirectOutput(p, o, survey);
  if (have_check) {
    p.StartDigests();
    p.Expect(check.pieces, check.has_output ? &check.output : nullptr,
             survey.output, check.list);
  }

  pvx::Failure io;
  int result;
  if (survey.set.self_joining) {
    result = pvx::SelfJoin(p, survey.set.piece0.c_str(), survey.image,
                           destination.c_str(), &io);
  } else {
    result = pvx::JoinFile(p, o.file.c_str(), destination.c_str(), o.pause,
                           &io);
  }
  // A piece the list found damaged, with recovery data beside the set: the
  // join starts again from the pieces rebuilt for it (its NAME.part is
  // replaced). Not for standard output, which has the bytes already, nor
  // with a pause per disk.
  if (result != pvx::kDone && p.Mismatched() && !p.Cancelled() &&
      !o.no_repair && !o.pause && o.output != "-") {
    const std::string index = pvx::FindRecoveryIndex(p, o.file);
    if (!index.empty()) {
      if (result == pvx::kIoFailure) p.Notify(io.text);
      p.TakeKept();
      std::string text =
          index + Tr(lang,
                     ": the set has recovery data; the damaged piece is "
                     "rebuilt from it for this join");
      p.Notify(text.c_str());
      return JoinRebuilt(p, o, set, index);
    }
  }
  const int status = ExitStatus(p, result, io);
  // Where it cannot start again, say where help is when the set has
  // recovery data.
  if (status == kExitFailed && have_check && !o.no_repair) {
    const std::string index = pvx::FindRecoveryIndex(p, o.file);
    if (!index.empty()) {
      std::string text =
          index + Tr(lang,
                     ": the set has recovery data; parvex verify tells "
                     "whether parvex repair can rebuild a damaged piece");
      p.Notify(text.c_str());
    }
  }
  return status;
}

// ---- info, verify -------------------------------------------------------------

int RunInfo(CliPlatform& p, const Options& o) {
  return Flushed(p, pvx::ShowInfo(p, o.file.c_str()));
}

int RunVerify(CliPlatform& p, const Options& o) {
  CliPlatform::CatchInterrupt();
  // Recovery data beside the set checks every piece as the list would, and
  // tells whether what is wrong can be rebuilt; a list named on the command
  // line is what the user asked for.
  if (o.checksum.empty()) {
    const std::string index = pvx::FindRecoveryIndex(p, o.file);
    if (!index.empty()) return Flushed(p, pvx::VerifyWithRecovery(p, index));
  }
  return Flushed(p, pvx::VerifySet(p, o.file, o.checksum, o.quiet));
}

int RunRepair(CliPlatform& p, const Options& o) {
  CliPlatform::CatchInterrupt();
  return Flushed(p, pvx::RepairPieces(p, o.file, o.destination));
}

// ---- the command line -------------------------------------------------------

std::string MainFooter(Lang lang) {
  return Tr(
      lang,
      "Examples:\n"
      "  parvex cut backup.tar                 pieces of 1.44M: backup.c00, "
      "backup.c01, ...\n"
      "  parvex cut -s 25MB backup.tar         pieces of 25000000 bytes\n"
      "  parvex cut --pieces 4 backup.tar      4 pieces of equal size\n"
      "  tar c docs | parvex cut - --name docs.tar -s 100M\n"
      "  parvex join backup.c03                rebuild backup.tar beside the "
      "pieces\n"
      "  parvex join -o - backup.c00 | sha256sum\n"
      "  parvex info backup.tar                the set's pieces; exit 0 when "
      "complete\n"
      "  parvex verify backup.c00              check every piece against "
      "backup.sha256\n"
      "  parvex cut --recovery 2 backup.tar    and backup.par2: rebuilds 2 "
      "lost pieces\n"
      "  parvex repair backup.c00              rebuild lost or damaged "
      "pieces\n"
      "\n"
      "SIZE is a number of bytes, optionally followed by K, M, G or KiB, "
      "MiB, GiB\n"
      "(powers of 1024) or KB, MB, GB (powers of 1000); 1.44M (1457664, the "
      "default)\n"
      "and 1.25M (1250304) are the diskette sizes. A piece is less than 4 "
      "GiB.\n"
      "\n"
      "Questions are asked on the terminal (y = OK, anything else = "
      "Cancel);\n"
      "without a terminal on standard input and without -y or -n, every\n"
      "question is answered Cancel. Progress is shown on standard error when\n"
      "it is a terminal; Ctrl-C cancels (what is written so far stays). The\n"
      "closing message goes to standard output (to standard error with\n"
      "join -o -), all else to standard error. Messages are in Japanese when\n"
      "LC_ALL, LC_MESSAGES or LANG (the first one set) starts with \"ja\".\n"
      "\n"
      "Exit status: 0 done, 1 refused or failed, 2 bad usage, 130 cancelled.");
}

// Values that mean nothing are usage errors: an empty one anywhere, and a
// folder (a name ending in "/") where a file is meant.
CLI::Validator NotEmpty(Lang lang) {
  return CLI::Validator(
      [lang](std::string& v) {
        return v.empty() ? std::string(Tr(lang, "an empty value means nothing"))
                         : std::string();
      },
      "");
}
CLI::Validator AFile(Lang lang) {
  return CLI::Validator(
      [lang](std::string& v) {
    if (v.empty()) return std::string(Tr(lang, "an empty value means nothing"));
    if (v.back() == '/')
      return std::string(Tr(lang, "names a folder; a file is meant"));
    return std::string();
      },
      "");
}

// The options cut and join share.
void AddCommon(CLI::App* command, Options* o, Lang lang,
               const char* pause_help) {
  command
      ->add_option("-d,--destination", o->destination,
                   Tr(lang,
                      "Folder to write into (default: FILE's own "
                      "folder)"))
      ->type_name("DIR")
      ->check(NotEmpty(lang));
  command->add_flag("-p,--pause", o->pause, pause_help);
  CLI::Option* yes = command->add_flag(
      "-y,--yes", o->yes,
      Tr(lang, "Answer OK to every question (overwrite, rename)"));
  CLI::Option* no = command->add_flag(
      "-n,--no", o->no, Tr(lang, "Answer Cancel to every question"));
  yes->excludes(no);
  command->add_flag("-q,--quiet", o->quiet,
                    Tr(lang,
                       "Print neither the progress line nor the "
                       "closing message"));
}

Commands SetUpCommandLine(CLI::App* app, Options* o, Lang lang) {
  app->formatter(std::make_shared<pvx::HelpFormatter>(lang));
  app->option_defaults()->group(Tr(lang, "Options"));
  app->set_help_flag("-h,--help", Tr(lang, "Print this help and exit"));
  app->set_version_flag("--version", std::string("parvex ") + PVX_VERSION,
                        Tr(lang, "Print the version and exit"));
  app->require_subcommand(1);
  app->footer(MainFooter(lang));
  const char* commands = Tr(lang, "Commands");
  Commands c;

  c.cut = app->add_subcommand(
      "cut", Tr(lang,
                "Cut FILE into BASE.c00, BASE.c01, ... (-x: _sBase.exe, "
                "_sBase.c01, ...)"));
  c.cut->group(commands);
  c.cut
      ->add_option("FILE", o->file,
                   Tr(lang,
                      "The file to cut; - for standard input (with "
                      "--name)"))
      ->required();
  AddCommon(c.cut, o, lang,
            Tr(lang, "Wait for Enter before each piece (to change disks)"));
  CLI::Option* size =
      c.cut
          ->add_option("-s,--size", o->size,
                       Tr(lang, "Piece size (default 1.44M); see SIZE below"))
          ->type_name("SIZE");
  CLI::Option* pieces =
      c.cut
          ->add_option_function<std::string>(
              "--pieces",
              [o](const std::string& n) {
                o->pieces = n;
                o->pieces_given = true;
              },
              Tr(lang,
                 "Cut into N pieces of equal size, the last one shorter "
                 "(N at most 10000)"))
          ->type_name("N");
  size->excludes(pieces);
  c.cut->add_flag("-x,--self-join", o->self_join,
                  Tr(lang,
                     "Make piece 0 a Windows program that rebuilds "
                     "the file"));
  c.cut->add_flag("--no-checksum", o->no_checksum,
                  Tr(lang,
                     "Write no checksum list (STEM.sha256) beside the "
                     "pieces"));
  c.cut
      ->add_option("--recovery", o->recovery,
                   // xgettext:no-c-format
                   Tr(lang,
                      "Also write PAR2 recovery data beside piece 0 "
                      "(STEM.par2, STEM.vol*.par2) that rebuilds up to "
                      "N lost or damaged pieces; N% of the pieces"))
      ->type_name("N")
      ->check(NotEmpty(lang));
  c.cut
      ->add_option("--name", o->name,
                   Tr(lang,
                      "The name the set records and its pieces are "
                      "named after (needed for standard input)"))
      ->type_name("NAME")
      ->check(AFile(lang));
  c.cut->footer(Tr(lang,
                   "SIZE is a number of bytes, optionally followed by K, M, "
                   "G or KiB, MiB, GiB\n"
                   "(powers of 1024) or KB, MB, GB (powers of 1000); 1.44M "
                   "(1457664) and\n"
                   "1.25M (1250304) are the diskette sizes. A piece is less "
                   "than 4 GiB and\n"
                   "holds at least piece 0's head (284 bytes, plus the "
                   "program with -x).\n"
                   "\n"
                   "Examples:\n"
                   "  parvex cut -s 25MB backup.tar\n"
                   "  parvex cut --pieces 4 -d /media/usb backup.tar\n"
                   "  tar c docs | parvex cut - --name docs.tar -s 100M"));

  c.join = app->add_subcommand(
      "join", Tr(lang,
                 "Join the set FILE belongs to (any piece, or the name it "
                 "was cut from)"));
  c.join->group(commands);
  c.join
      ->add_option("FILE", o->file,
                   Tr(lang,
                      "A piece of the set, or the file it was cut "
                      "from"))
      ->required();
  AddCommon(c.join, o, lang,
            Tr(lang,
               "Wait for Enter before each piece (plain sets; a "
               "self-joining set reads all its pieces from one "
               "folder)"));
  CLI::Option* output =
      c.join
          ->add_option(
              "-o", o->output,
              Tr(lang,
                 "Write the joined file to FILE instead of the name in the "
                 "header; - for standard output"))
          ->type_name("FILE")
          ->check(AFile(lang));
  output->excludes(c.join->get_option("--destination"));
  CLI::Option* list =
      c.join
          ->add_option(
              "--checksum", o->checksum,
              Tr(lang,
                 "Check the pieces and the result against LIST (default: "
                 "STEM.sha256 beside piece 0, when it is there)"))
          ->type_name("LIST")
          ->check(AFile(lang));
  c.join->add_flag("--no-repair", o->no_repair,
                   Tr(lang,
                      "Refuse a set that lacks pieces even when PAR2 "
                      "recovery data beside it could rebuild them"));
  c.join
      ->add_flag("--no-verify", o->no_verify,
                 Tr(lang, "Check no checksum list"))
      ->excludes(list);
  c.join->footer(Tr(lang,
                    "Examples:\n"
                    "  parvex join backup.c03\n"
                    "  parvex join -d restored backup.tar\n"
                    "  parvex join -o - backup.c00 | sha256sum\n"
                    "  parvex join --no-verify backup.c00\n"
                    "\n"
                    "A set that lacks pieces is rebuilt from PAR2 recovery "
                    "data beside it (STEM.par2)\n"
                    "into a temporary folder where the join writes, unless "
                    "--no-repair."));

  c.info = app->add_subcommand(
      "info", Tr(lang,
                 "Describe the set FILE belongs to; exit 0 when it is "
                 "complete"));
  c.info->group(commands);
  c.info->add_option("FILE", o->file, Tr(lang, "A piece of the set"))
      ->required();
  c.info->footer(Tr(lang, "Example:\n  parvex info backup.c00"));

  c.verify = app->add_subcommand(
      "verify", Tr(lang,
                   "Read every piece of the set FILE belongs to and check it "
                   "against its checksum list; exit 0 only when all is there "
                   "and matches"));
  c.verify->group(commands);
  c.verify->add_option("FILE", o->file, Tr(lang, "A piece of the set"))
      ->required();
  c.verify
      ->add_option("--checksum", o->checksum,
                   Tr(lang,
                      "The list to check against (default: "
                      "STEM.sha256 beside piece 0)"))
      ->type_name("LIST")
      ->check(AFile(lang));
  c.verify->add_flag("-q,--quiet", o->quiet, Tr(lang, "Show no progress line"));
  c.verify->footer(Tr(lang,
                      "Prints ok, missing, short, surplus, damaged or not "
                      "listed for each piece,\nthen a verdict. With PAR2 "
                      "recovery data beside the set (and no --checksum),\n"
                      "prints good, missing, short or damaged for each piece "
                      "and whether\nparvex repair can rebuild them.\n\n"
                      "Example:\n  parvex verify backup.c00"));
  c.repair = app->add_subcommand(
      "repair", Tr(lang,
                   "Rebuild the missing, short or damaged pieces of the set "
                   "FILE belongs to from its PAR2 recovery data; exit 0 only "
                   "when every piece matches afterwards"));
  c.repair->group(commands);
  c.repair
      ->add_option("FILE", o->file,
                   Tr(lang, "A piece of the set, or its STEM.par2"))
      ->required();
  c.repair
      ->add_option("-d,--destination", o->destination,
                   Tr(lang,
                      "Write the rebuilt pieces into DIR and leave "
                      "the set as it is"))
      ->type_name("DIR")
      ->check(NotEmpty(lang));
  CLI::Option* repair_yes = c.repair->add_flag(
      "-y,--yes", o->yes, Tr(lang, "Answer OK to every question (overwrite)"));
  CLI::Option* repair_no = c.repair->add_flag(
      "-n,--no", o->no, Tr(lang, "Answer Cancel to every question"));
  repair_yes->excludes(repair_no);
  c.repair->add_flag("-q,--quiet", o->quiet, Tr(lang, "Show no progress line"));
  c.repair->footer(Tr(lang,
                      "A damaged piece is kept as NAME.bad beside the rebuilt "
                      "one. When the recovery data\ncannot rebuild every "
                      "piece, nothing is changed.\n\n"
                      "Examples:\n  parvex repair backup.c00\n"
                      "  parvex repair -d rebuilt backup.par2"));
  // A command's own --help is made with it, under CLI11's group title.
  for (CLI::App* command : {c.cut, c.join, c.info, c.verify, c.repair}) {
    command->get_help_ptr()->group(Tr(lang, "Options"));
  }
  return c;
}

// The folder of parvex's text catalogues: locale/ beside the running
// parvex (a build tree), share/locale beside its bin/ (an installed tree,
// wherever it was put), else the folder of the prefix it was built for.
std::string CatalogueFolder() {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    const std::string folder(self, static_cast<size_t>(n));
    const std::string bin = folder.substr(0, folder.rfind('/'));
    for (const char* below : {"/locale", "/../share/locale"}) {
      const std::string candidate = bin + below;
      const std::string mo = candidate + "/ja/LC_MESSAGES/parvex.mo";
      if (access(mo.c_str(), R_OK) == 0) return candidate;
    }
  }
  return PVX_LOCALEDIR;
}

// The command named on the command line, or empty.
std::string CommandOf(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (argv[i][0] != '-') return argv[i];
  }
  return std::string();
}

}  // namespace

int main(int argc, char** argv) {
  setlocale(LC_ALL, "");
  CliPlatform platform;
  const Lang lang = platform.Language();
  pvx::UseCatalogue(lang, CatalogueFolder().c_str());
  Options o;

  CLI::App app{Tr(lang,
                  "Parvex cuts a file into numbered pieces of a fixed size "
                  "and joins such a piece set back, byte for byte."),
               "parvex"};
  Commands commands = SetUpCommandLine(&app, &o, lang);

  const std::string command = CommandOf(argc, argv);
  bool known = command.empty();
  for (const char* name : kCommandNames) known = known || command == name;
  if (!known) {
    return UsageError(platform,
                      Tr(lang, "unknown command '") + command +
                          Tr(lang, "'; the commands are ") + CommandList(),
                      "");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e) == 0 ? kExitDone : kExitUsage;
  } catch (const CLI::ParseError& e) {
    return UsageError(platform, ParseErrorText(lang, e), command);
  }

  platform.SetAnswers(o.yes  ? pvx::Answers::kYes
                      : o.no ? pvx::Answers::kNo
                             : pvx::Answers::kAsk);
  platform.SetQuiet(o.quiet);
  const int status = commands.cut->parsed()    ? RunCut(platform, o)
                     : commands.join->parsed() ? RunJoin(platform, o)
                     : commands.verify->parsed()
                         ? RunVerify(platform, o)
                     : commands.repair->parsed() ? RunRepair(platform, o)
                                                 : RunInfo(platform, o);
  // A command that failed leaves no folder it made (one that holds what
  // was written stays).
  if (status != kExitDone) platform.RemoveMadeFolders();
  // Ended by SIGTERM or SIGHUP: once all is said, as that signal would.
  const int sig = CliPlatform::EndingSignal();
  if (sig != 0 && sig != SIGINT) {
    fflush(nullptr);
    signal(sig, SIG_DFL);
    raise(sig);
    return 128 + sig;
  }
  return status;
}
