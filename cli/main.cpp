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

#include "cli/builtin_stub.h"
#include "cli/info.h"
#include "cli/lists.h"
#include "cli/cli_platform.h"
#include "cli/help_format.h"
#include "cli/recovery.h"
#include "engines/piece_set.h"
#include "cli/sizes.h"
#include "cli/stream_cut.h"
#include "engines/engines.h"
#include "engines/messages.h"
#include "format/piece_format.h"
#include "base/text.h"

namespace {

using pvx::CliPlatform;
using pvx::Lang;
using pvx::Say;

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
  std::string more = Say(p.Language(), "Try '", "詳しくは '") + help +
                     Say(p.Language(), "' for more information.",
                         "' を見てください.");
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
      return Say(lang, "a command is required: ",
                 "コマンドを指定してください: ") +
             CommandList();
    }
    return before(" is required") +
           Say(lang, " is required", " を指定してください");
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
    std::string extra = after(": ");
    if (!extra.empty() && extra[0] == '-') {
      return Say(lang, "unknown option: ", "不明なオプションです: ") + extra;
    }
    return Say(lang, "unexpected argument: ", "余分な引数です: ") + extra;
  }
  if (dynamic_cast<const CLI::ExcludesError*>(&e)) {
    return before(" excludes ") +
           Say(lang, " and ", " と ") + after(" excludes ") +
           Say(lang, " cannot be given together",
               " は同時に指定できません");
  }
  if (dynamic_cast<const CLI::ArgumentMismatch*>(&e)) {
    return before(":") + Say(lang, ": a value is required",
                             ": 値を指定してください");
  }
  return lang == Lang::kJapanese
             ? "コマンド行が正しくありません: " + what
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
    std::string text = Say(p.Language(), "what was written stays in ",
                           "書き込んだ内容は次のファイルに残しました: ") +
                       kept;
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
  std::string text = Say(p.Language(), "standard output", "標準出力") +
                     std::string(": ") + strerror(errno);
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
    *status = UsageError(
        p,
        Say(lang, "invalid number of pieces: '", "分割数が正しくありません: '") +
            o.pieces +
            Say(lang, "'; N is a whole number from 2 to ",
                "'. N は 2 から ") +
            most +
            Say(lang, " (a set holds at most ", " までの整数です (1 組は最大 ") +
            most + Say(lang, " pieces)", " 個)"),
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
        Say(lang, "no piece size cuts ", "") +
        pvx::Count(lang, static_cast<uint64_t>(st.st_size), "byte", "bytes",
                   "バイト") +
        Say(lang, " into ", " を ") +
        pvx::Count(lang, n, "piece", "pieces", "個") +
        Say(lang, " (piece 0 holds its head of ",
            "に分ける分割サイズはありません (先頭のファイルは ") +
        pvx::Count(lang, head, "byte", "bytes", "バイト") +
        Say(lang, ")", "の見出しを含みます)");
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
             Say(p.Language(),
                 "%s: %llu bytes need more than the %llu pieces a set can "
                 "hold, even of the largest piece size (4294967295 bytes)",
                 "%s: %llu バイトは最大の分割サイズ (4294967295 バイト) "
                 "でも上限の %llu 個を超えます"),
             file.c_str(), static_cast<unsigned long long>(st.st_size),
             static_cast<unsigned long long>(limit));
  } else {
    snprintf(text, sizeof text,
             Say(p.Language(),
                 "%s: pieces of %u bytes would make %llu "
                 "pieces, more than the %llu a set can hold; the "
                 "smallest piece size that fits is %llu bytes (-s %llu)",
                 "%s: %u バイトずつでは %llu 個になり, 上限の "
                 "%llu 個を超えます. 収まる最小の分割サイズは %llu "
                 "バイトです (-s %llu)"),
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
        Say(lang,
            "--recovery N% needs the number of pieces, which standard input "
            "does not tell up front (give a number: --recovery N)",
            "--recovery N% には分割ファイルの数が必要ですが, 標準入力では"
            "前もって分かりません (数を指定してください: --recovery N)"),
        "cut");
    return 0;
  }
  if (o.pause) {
    *status = UsageError(
        p,
        Say(lang,
            "--recovery reads every piece again after the cut, which "
            "--pause (a disk per piece) does not allow",
            "--recovery は分割の後にすべての分割ファイルを読み直すため, "
            "--pause (分割ファイルごとのディスク) とは使えません"),
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
                      Say(lang,
                          "cutting standard input needs --name NAME, the "
                          "name to record for it",
                          "標準入力を分割するには --name NAME "
                          "(記録する名前) が必要です"),
                      "cut");
  }
  if (from_stdin && o.pause) {
    return UsageError(p,
                      Say(lang,
                          "--pause waits for Enter on standard input, which "
                          "carries the data when cutting standard input",
                          "--pause は標準入力で Enter を待つため, 標準入力を"
                          "分割するときには使えません"),
                      "cut");
  }
  if (from_stdin && o.pieces_given) {
    return UsageError(p,
                      Say(lang,
                          "--pieces needs the length of a file; standard "
                          "input has none up front (use -s SIZE)",
                          "--pieces にはファイルの長さが必要です. 標準入力には"
                          "使えません (-s SIZE を使ってください)"),
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
    return UsageError(
        p,
        Say(lang, "A piece size of ", "分割サイズ ") +
            pvx::Count(lang, piece_size, "byte", "bytes", "バイト") +
            Say(lang, " cannot hold the ", "では先頭の ") +
            pvx::Count(lang, head, "byte", "bytes", "バイト") +
            Say(lang, " that head piece 0.",
                "が入りません."),
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
        name + Say(lang,
                   ": rebuilt from the recovery data for this join (the "
                   "set's folder is left as it is)",
                   ": この結合のためにリカバリデータから復元しました "
                   "(分割ファイルのフォルダはそのままです)");
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
    std::string head = survey.set.piece0 +
                       Say(lang,
                           ": the set is not complete; nothing was written:",
                           ": 分割ファイルがそろっていないため, "
                           "何も書き込みませんでした:");
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
          index + Say(lang,
                      ": the set has recovery data; the damaged piece is "
                      "rebuilt from it for this join",
                      ": この組にはリカバリデータがあります. 壊れた分割"
                      "ファイルをそこから復元して結合します");
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
          index + Say(lang,
                      ": the set has recovery data; parvex verify tells "
                      "whether parvex repair can rebuild a damaged piece",
                      ": この組にはリカバリデータがあります. 壊れた分割"
                      "ファイルを parvex repair で復元できるかは parvex "
                      "verify で分かります");
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
  return Say(
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
      "Exit status: 0 done, 1 refused or failed, 2 bad usage, 130 cancelled.",
      "例:\n"
      "  parvex cut backup.tar                 1.44M ずつに分割: backup.c00, "
      "backup.c01, ...\n"
      "  parvex cut -s 25MB backup.tar         25000000 バイトずつに分割\n"
      "  parvex cut --pieces 4 backup.tar      同じ大きさの 4 個に分割\n"
      "  tar c docs | parvex cut - --name docs.tar -s 100M\n"
      "  parvex join backup.c03                分割ファイルの隣に backup.tar "
      "を復元\n"
      "  parvex join -o - backup.c00 | sha256sum\n"
      "  parvex info backup.tar                分割ファイルの一覧. "
      "そろっていれば終了状態 0\n"
      "  parvex verify backup.c00              backup.sha256 ですべての分割"
      "ファイルを検査\n"
      "  parvex cut --recovery 2 backup.tar    backup.par2 も書く: 2 個まで"
      "復元できる\n"
      "  parvex repair backup.c00              失われたか壊れた分割ファイル"
      "を復元\n"
      "\n"
      "SIZE はバイト数で, 後ろに K, M, G または KiB, MiB, GiB (1024 の累乗),\n"
      "KB, MB, GB (1000 の累乗) を付けられます. 1.44M (1457664, 既定) と\n"
      "1.25M (1250304) はディスケットのサイズです. 1 個は 4 GiB 未満です.\n"
      "\n"
      "問いは端末で尋ねます (y = OK, それ以外 = Cancel). 標準入力が端末でなく\n"
      "-y も -n もないときは, すべて Cancel と答えます. 標準エラー出力が端末の\n"
      "ときは進行状況を表示します. Ctrl-C で中止します (書き込んだ分は残ります).\n"
      "終わりのメッセージは標準出力に (join -o - では標準エラー出力に), それ以外\n"
      "は標準エラー出力に出ます. LC_ALL, LC_MESSAGES, LANG (最初に設定されて\n"
      "いるもの) が \"ja\" で始まるとき, メッセージは日本語です.\n"
      "\n"
      "終了状態: 0 完了, 1 拒否または失敗, 2 使い方の誤り, 130 中止.");
}

// Values that mean nothing are usage errors: an empty one anywhere, and a
// folder (a name ending in "/") where a file is meant.
CLI::Validator NotEmpty(Lang lang) {
  return CLI::Validator(
      [lang](std::string& v) {
        return v.empty() ? std::string(Say(lang, "an empty value means nothing",
                                           "空の値は指定できません"))
                         : std::string();
      },
      "");
}
CLI::Validator AFile(Lang lang) {
  return CLI::Validator(
      [lang](std::string& v) {
        if (v.empty())
          return std::string(
              Say(lang, "an empty value means nothing", "空の値は指定できません"));
        if (v.back() == '/')
          return std::string(Say(lang, "names a folder; a file is meant",
                                 "フォルダを指しています. ファイルを指定してください"));
        return std::string();
      },
      "");
}

// The options cut and join share.
void AddCommon(CLI::App* command, Options* o, Lang lang,
               const char* pause_help) {
  command->add_option("-d,--destination", o->destination,
                      Say(lang, "Folder to write into (default: FILE's own "
                                "folder)",
                          "書き込むフォルダ (既定: FILE のあるフォルダ)"))
      ->type_name("DIR")
      ->check(NotEmpty(lang));
  command->add_flag("-p,--pause", o->pause, pause_help);
  CLI::Option* yes = command->add_flag(
      "-y,--yes", o->yes,
      Say(lang, "Answer OK to every question (overwrite, rename)",
          "すべての問いに OK と答える (上書き, 名前の変更)"));
  CLI::Option* no = command->add_flag(
      "-n,--no", o->no,
      Say(lang, "Answer Cancel to every question",
          "すべての問いに Cancel と答える"));
  yes->excludes(no);
  command->add_flag("-q,--quiet", o->quiet,
                    Say(lang, "Print neither the progress line nor the "
                              "closing message",
                        "進行状況と終わりのメッセージを表示しない"));
}

Commands SetUpCommandLine(CLI::App* app, Options* o, Lang lang) {
  app->formatter(std::make_shared<pvx::HelpFormatter>(lang));
  app->option_defaults()->group(Say(lang, "Options", "オプション"));
  app->set_help_flag("-h,--help", Say(lang, "Print this help and exit",
                                      "このヘルプを表示して終了する"));
  app->set_version_flag("--version", std::string("parvex ") + PVX_VERSION,
                        Say(lang, "Print the version and exit",
                            "バージョンを表示して終了する"));
  app->require_subcommand(1);
  app->footer(MainFooter(lang));
  const char* commands = Say(lang, "Commands", "コマンド");
  Commands c;

  c.cut = app->add_subcommand(
      "cut", Say(lang,
                 "Cut FILE into BASE.c00, BASE.c01, ... (-x: _sBase.exe, "
                 "_sBase.c01, ...)",
                 "FILE を BASE.c00, BASE.c01, ... に分割する (-x: "
                 "_sBase.exe, _sBase.c01, ...)"));
  c.cut->group(commands);
  c.cut->add_option("FILE", o->file,
                    Say(lang, "The file to cut; - for standard input (with "
                              "--name)",
                        "分割するファイル. - で標準入力 (--name と共に)"))
      ->required();
  AddCommon(c.cut, o, lang,
            Say(lang, "Wait for Enter before each piece (to change disks)",
                "分割ファイルごとに Enter を待つ (ディスクの入れ替え)"));
  CLI::Option* size = c.cut->add_option(
      "-s,--size", o->size,
      Say(lang, "Piece size (default 1.44M); see SIZE below",
          "分割サイズ (既定 1.44M). 下の SIZE を参照"))
      ->type_name("SIZE");
  CLI::Option* pieces = c.cut->add_option_function<std::string>(
      "--pieces",
      [o](const std::string& n) {
        o->pieces = n;
        o->pieces_given = true;
      },
      Say(lang, "Cut into N pieces of equal size, the last one shorter "
                "(N at most 10000)",
          "同じ大きさの N 個に分割する (最後は短くなる. N は 10000 まで)"))
      ->type_name("N");
  size->excludes(pieces);
  c.cut->add_flag("-x,--self-join", o->self_join,
                  Say(lang, "Make piece 0 a Windows program that rebuilds "
                            "the file",
                      "先頭を元のファイルを復元する Windows プログラムにする"));
  c.cut->add_flag("--no-checksum", o->no_checksum,
                  Say(lang, "Write no checksum list (STEM.sha256) beside the "
                            "pieces",
                      "チェックサムの一覧 (STEM.sha256) を書かない"));
  c.cut->add_option("--recovery", o->recovery,
                    Say(lang, "Also write PAR2 recovery data beside piece 0 "
                              "(STEM.par2, STEM.vol*.par2) that rebuilds up to "
                              "N lost or damaged pieces; N% of the pieces",
                        "先頭の分割ファイルの隣に PAR2 リカバリデータ "
                        "(STEM.par2, STEM.vol*.par2) も書く. 失われたか壊れた"
                        "分割ファイルを N 個まで復元できる. N% で分割数の割合"))
      ->type_name("N")
      ->check(NotEmpty(lang));
  c.cut->add_option("--name", o->name,
                    Say(lang, "The name the set records and its pieces are "
                              "named after (needed for standard input)",
                        "分割ファイルに記録し, 分割ファイルの名前の元にする名前 "
                        "(標準入力では必須)"))
      ->type_name("NAME")
      ->check(AFile(lang));
  c.cut->footer(Say(lang,
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
                    "  tar c docs | parvex cut - --name docs.tar -s 100M",
                    "SIZE はバイト数で, 後ろに K, M, G または KiB, MiB, GiB "
                    "(1024 の累乗),\n"
                    "KB, MB, GB (1000 の累乗) を付けられます. 1.44M (1457664) "
                    "と 1.25M (1250304)\n"
                    "はディスケットのサイズです. 1 個は 4 GiB 未満で, 先頭の "
                    "284 バイト (-x では\n"
                    "プログラムも) が入る大きさが必要です.\n"
                    "\n"
                    "例:\n"
                    "  parvex cut -s 25MB backup.tar\n"
                    "  parvex cut --pieces 4 -d /media/usb backup.tar\n"
                    "  tar c docs | parvex cut - --name docs.tar -s 100M"));

  c.join = app->add_subcommand(
      "join", Say(lang,
                  "Join the set FILE belongs to (any piece, or the name it "
                  "was cut from)",
                  "FILE の属する分割ファイルを結合する (どの分割ファイルでも, "
                  "元の名前でもよい)"));
  c.join->group(commands);
  c.join->add_option("FILE", o->file,
                     Say(lang, "A piece of the set, or the file it was cut "
                               "from",
                         "分割ファイルのひとつ, または元のファイルの名前"))
      ->required();
  AddCommon(c.join, o, lang,
            Say(lang, "Wait for Enter before each piece (plain sets; a "
                      "self-joining set reads all its pieces from one "
                      "folder)",
                "分割ファイルごとに Enter を待つ (自己結合形式では"
                "すべて 1 つのフォルダから読む)"));
  CLI::Option* output = c.join->add_option(
      "-o", o->output,
      Say(lang, "Write the joined file to FILE instead of the name in the "
                "header; - for standard output",
          "ヘッダの名前の代わりに FILE に書き込む. - で標準出力"))
      ->type_name("FILE")
      ->check(AFile(lang));
  output->excludes(c.join->get_option("--destination"));
  CLI::Option* list = c.join->add_option(
      "--checksum", o->checksum,
      Say(lang, "Check the pieces and the result against LIST (default: "
                "STEM.sha256 beside piece 0, when it is there)",
          "分割ファイルと結果を LIST で検査する (既定: 先頭の分割ファイルの"
          "隣の STEM.sha256)"))
      ->type_name("LIST")
      ->check(AFile(lang));
  c.join->add_flag("--no-repair", o->no_repair,
                   Say(lang, "Refuse a set that lacks pieces even when PAR2 "
                             "recovery data beside it could rebuild them",
                       "分割ファイルが欠けているときは, 隣の PAR2 リカバリ"
                       "データで復元できても結合しない"));
  c.join->add_flag("--no-verify", o->no_verify,
                   Say(lang, "Check no checksum list",
                       "チェックサムの一覧で検査しない"))
      ->excludes(list);
  c.join->footer(Say(lang,
                     "Examples:\n"
                     "  parvex join backup.c03\n"
                     "  parvex join -d restored backup.tar\n"
                     "  parvex join -o - backup.c00 | sha256sum\n"
                     "  parvex join --no-verify backup.c00\n"
                     "\n"
                     "A set that lacks pieces is rebuilt from PAR2 recovery "
                     "data beside it (STEM.par2)\n"
                     "into a temporary folder where the join writes, unless "
                     "--no-repair.",
                     "例:\n"
                     "  parvex join backup.c03\n"
                     "  parvex join -d restored backup.tar\n"
                     "  parvex join -o - backup.c00 | sha256sum\n"
                     "\n"
                     "分割ファイルが欠けているときは, 隣の PAR2 リカバリデータ "
                     "(STEM.par2) から\n"
                     "書き込み先の一時フォルダに復元して結合します (--no-repair "
                     "で無効)."));

  c.info = app->add_subcommand(
      "info", Say(lang,
                  "Describe the set FILE belongs to; exit 0 when it is "
                  "complete",
                  "FILE の属する分割ファイルを表示する. そろっていれば"
                  "終了状態 0"));
  c.info->group(commands);
  c.info->add_option("FILE", o->file,
                     Say(lang, "A piece of the set", "分割ファイルのひとつ"))
      ->required();
  c.info->footer(Say(lang, "Example:\n  parvex info backup.c00",
                     "例:\n  parvex info backup.c00"));

  c.verify = app->add_subcommand(
      "verify", Say(lang,
                    "Read every piece of the set FILE belongs to and check it "
                    "against its checksum list; exit 0 only when all is there "
                    "and matches",
                    "FILE の属する分割ファイルをすべて読み, チェックサムの"
                    "一覧で検査する. すべてそろって一致するときだけ終了状態 0"));
  c.verify->group(commands);
  c.verify->add_option("FILE", o->file,
                       Say(lang, "A piece of the set", "分割ファイルのひとつ"))
      ->required();
  c.verify->add_option("--checksum", o->checksum,
                       Say(lang, "The list to check against (default: "
                                 "STEM.sha256 beside piece 0)",
                           "検査に使う一覧 (既定: 先頭の分割ファイルの隣の "
                           "STEM.sha256)"))
      ->type_name("LIST")
      ->check(AFile(lang));
  c.verify->add_flag("-q,--quiet", o->quiet,
                     Say(lang, "Show no progress line",
                         "進行状況を表示しない"));
  c.verify->footer(Say(lang,
                       "Prints ok, missing, short, surplus, damaged or not "
                       "listed for each piece,\nthen a verdict. With PAR2 "
                       "recovery data beside the set (and no --checksum),\n"
                       "prints good, missing, short or damaged for each piece "
                       "and whether\nparvex repair can rebuild them.\n\n"
                       "Example:\n  parvex verify backup.c00",
                       "分割ファイルごとに ok, missing, short, surplus, "
                       "damaged, not listed を表示し,\n最後に結果を表示します. "
                       "隣に PAR2 リカバリデータがあるとき (--checksum なし) は,\n"
                       "分割ファイルごとの状態と, parvex repair で復元できるか"
                       "を表示します."
                       "\n\n例:\n  parvex verify backup.c00"));
  c.repair = app->add_subcommand(
      "repair", Say(lang,
                    "Rebuild the missing, short or damaged pieces of the set "
                    "FILE belongs to from its PAR2 recovery data; exit 0 only "
                    "when every piece matches afterwards",
                    "FILE の属する分割ファイルのうち, 欠落, 短い, 破損した"
                    "ものを PAR2 リカバリデータから復元する. すべて一致した"
                    "ときだけ終了状態 0"));
  c.repair->group(commands);
  c.repair->add_option("FILE", o->file,
                       Say(lang, "A piece of the set, or its STEM.par2",
                           "分割ファイルのひとつ, または STEM.par2"))
      ->required();
  c.repair->add_option("-d,--destination", o->destination,
                       Say(lang, "Write the rebuilt pieces into DIR and leave "
                                 "the set as it is",
                           "復元した分割ファイルを DIR に書き, 元の分割"
                           "ファイルはそのままにする"))
      ->type_name("DIR")
      ->check(NotEmpty(lang));
  CLI::Option* repair_yes = c.repair->add_flag(
      "-y,--yes", o->yes,
      Say(lang, "Answer OK to every question (overwrite)",
          "すべての問いに OK と答える (上書き)"));
  CLI::Option* repair_no = c.repair->add_flag(
      "-n,--no", o->no,
      Say(lang, "Answer Cancel to every question",
          "すべての問いに Cancel と答える"));
  repair_yes->excludes(repair_no);
  c.repair->add_flag("-q,--quiet", o->quiet,
                     Say(lang, "Show no progress line",
                         "進行状況を表示しない"));
  c.repair->footer(Say(lang,
                       "A damaged piece is kept as NAME.bad beside the rebuilt "
                       "one. When the recovery data\ncannot rebuild every "
                       "piece, nothing is changed.\n\n"
                       "Examples:\n  parvex repair backup.c00\n"
                       "  parvex repair -d rebuilt backup.par2",
                       "破損した分割ファイルは NAME.bad として残します. "
                       "すべてを復元できないときは\n何も変更しません.\n\n"
                       "例:\n  parvex repair backup.c00\n"
                       "  parvex repair -d rebuilt backup.par2"));
  // A command's own --help is made with it, under CLI11's group title.
  for (CLI::App* command : {c.cut, c.join, c.info, c.verify, c.repair}) {
    command->get_help_ptr()->group(Say(lang, "Options", "オプション"));
  }
  return c;
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
  Options o;

  CLI::App app{Say(lang,
                   "Parvex cuts a file into numbered pieces of a fixed size "
                   "and joins such a piece set back, byte for byte.",
                   "Parvex はファイルを決まった大きさの番号付きの分割ファイルに"
                   "分け, それを元どおりに結合します."),
               "parvex"};
  Commands commands = SetUpCommandLine(&app, &o, lang);

  const std::string command = CommandOf(argc, argv);
  bool known = command.empty();
  for (const char* name : kCommandNames) known = known || command == name;
  if (!known) {
    return UsageError(platform,
                      Say(lang, "unknown command '", "不明なコマンドです: '") +
                          command + Say(lang, "'; the commands are ",
                                        "'. コマンドは次のとおりです: ") +
                          CommandList(),
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
