// parvex: cut a file into a piece set, join a piece set back, or describe
// one. Argument parsing and dispatch to the engines; the terminal side of the
// engines' questions and progress is CliPlatform.
#include <errno.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <CLI/CLI.hpp>
#include <string>

#include "cli/builtin_stub.h"
#include "cli/checksums.h"
#include "cli/cli_platform.h"
#include "cli/piece_set.h"
#include "format/engines.h"
#include "format/messages.h"
#include "format/piece_format.h"
#include "format/text.h"

namespace {

using pvx::CliPlatform;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitCancelled = 130;  // as when a shell reports SIGINT

struct Options {
  std::string file;
  std::string destination;
  std::string size = "1.44M";
  bool self_join = false;
  bool pause = false;
  bool yes = false;
  bool no = false;
  bool no_checksum = false;  // cut: write no list
  bool no_verify = false;    // join: check no list
  bool quiet = false;        // verify: no progress line
  std::string checksum;      // join, verify: the list to check against
};

// SIZE: "1.44M", "1.25M", or a whole number of bytes with an optional
// suffix K, M or G (powers of 1024). Empty *why on success.
uint32_t ParseSize(const std::string& text, std::string* why) {
  why->clear();
  if (text == "1.44M" || text == "1.44m") return pvx::kSize144;
  if (text == "1.25M" || text == "1.25m") return pvx::kSize125;
  size_t i = 0;
  uint64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + static_cast<uint64_t>(text[i] - '0');
    if (value > UINT32_MAX) break;
  }
  if (i == 0) {
    *why = "SIZE must be 1.44M, 1.25M or a number of bytes, e.g. 700K: " + text;
    return 0;
  }
  if (i < text.size() && value <= UINT32_MAX) {
    switch (text[i]) {
      case 'K': case 'k': value <<= 10; ++i; break;
      case 'M': case 'm': value <<= 20; ++i; break;
      case 'G': case 'g': value <<= 30; ++i; break;
      default: break;
    }
  }
  if (value > UINT32_MAX) {
    *why = "SIZE must be less than 4G: " + text;
    return 0;
  }
  if (i != text.size()) {
    *why = "SIZE must be 1.44M, 1.25M or a number of bytes, e.g. 700K: " + text;
    return 0;
  }
  return static_cast<uint32_t>(value);
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

int ExitStatus(CliPlatform& p, int result, const pvx::Failure& io) {
  if (result == pvx::kIoFailure) p.Notify(io.text);
  // Partial output is never removed; say where it is.
  for (const std::string& kept : p.TakeKept()) {
    std::string text = pvx::Say(p.Language(), "parvex: what was written stays in ",
                                "parvex: 書き込んだ内容は次のファイルに残しました: ") +
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
  std::string text = std::string("parvex: ") +
                     pvx::Say(p.Language(), "standard output", "標準出力") +
                     ": " + strerror(errno);
  p.Notify(text.c_str());
  return kExitFailed;
}

void NotifyText(CliPlatform& p, pvx::Msg id, const char* arg) {
  char text[2048];
  pvx::Format(text, sizeof text, pvx::Text(p.Language(), id), arg);
  p.Notify(text);
}

int Cut(CliPlatform& p, const Options& o) {
  std::string why;
  uint32_t piece_size = ParseSize(o.size, &why);  // checked by the parser

  const uint8_t* stub = nullptr;
  uint32_t stub_length = 0;
  uint32_t head = pvx::kHeaderSize;
  if (BuiltInStub(&stub, &stub_length)) {
    p.SetStubImage(stub, stub_length);
    if (o.self_join) head += pvx::StubImageSize(stub, stub_length);
  }
  if (piece_size < head) {
    char text[512];
    pvx::Format(text, sizeof text,
                pvx::Text(p.Language(), pvx::kMsgPieceSizeTooSmall),
                piece_size, head);
    p.Notify(text);
    return kExitUsage;
  }
  // A set holds at most 100 pieces: a cut that would need more is refused
  // before it writes anything.
  struct stat st;
  if (stat(o.file.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<uint64_t>(st.st_size) > piece_size &&
      static_cast<uint64_t>(st.st_size) <= UINT32_MAX) {
    uint64_t total = static_cast<uint64_t>(st.st_size) + head;
    uint64_t pieces = (total + piece_size - 1) / piece_size;
    if (pieces > pvx::kMaxPieces) {
      uint64_t fits = (total + pvx::kMaxPieces - 1) / pvx::kMaxPieces;
      char text[512];
      snprintf(text, sizeof text,
               pvx::Say(p.Language(),
                        "parvex: %s: pieces of %u bytes would make %llu "
                        "pieces, more than the 100 a set can hold; the "
                        "smallest piece size that fits is %llu bytes (-s %llu)",
                        "parvex: %s: %u バイトずつでは %llu 個になり, 上限の "
                        "100 個を超えます. 収まる最小の分割サイズは %llu "
                        "バイトです (-s %llu)"),
               o.file.c_str(), piece_size,
               static_cast<unsigned long long>(pieces),
               static_cast<unsigned long long>(fits),
               static_cast<unsigned long long>(fits));
      p.Notify(text);
      return kExitFailed;
    }
  }

  CliPlatform::CatchInterrupt();
  std::string agreed_list;
  if (!o.no_checksum) {
    if (!pvx::AskAboutCutList(p, o.file, WithSeparator(o.destination),
                              o.self_join, &agreed_list))
      return p.Cancelled() ? kExitCancelled : kExitFailed;
    p.StartDigests();
  }
  pvx::Failure io;
  int result = pvx::CutFile(p, piece_size, o.file.c_str(),
                            WithSeparator(o.destination).c_str(), o.self_join,
                            o.pause, &io);
  int status = ExitStatus(p, result, io);
  if (status == kExitDone && !o.no_checksum) {
    size_t slash = o.file.rfind('/');
    status = pvx::WriteCutList(
        p, o.file.substr(slash == std::string::npos ? 0 : slash + 1),
        agreed_list);
  }
  return status;
}

int Join(CliPlatform& p, const Options& o) {
  pvx::SetLocation set;
  if (!pvx::LocateSet(p, o.file.c_str(), &set)) {
    NotifyText(p, pvx::kMsgPathTooLong, o.file.c_str());
    return kExitFailed;
  }
  pvx::SetSurvey survey;
  pvx::Failure why;
  const bool surveyed = pvx::SurveySet(p, o.file.c_str(), &survey, &why);
  // Without pauses every piece is at hand: the whole set is looked at
  // before anything is written. (Header faults are the engine's to tell.)
  if (!o.pause && surveyed && survey.HeaderSound() && !survey.Joinable()) {
    std::string head = std::string("parvex: ") + survey.set.piece0 +
                       pvx::Say(p.Language(),
                                ": the set is not complete; nothing was "
                                "written:",
                                ": 分割ファイルがそろっていないため, "
                                "何も書き込みませんでした:");
    p.Notify(head.c_str());
    for (const std::string& line : pvx::PieceProblems(p.Language(), survey)) {
      std::string text = "parvex: " + line;
      p.Notify(text.c_str());
    }
    return kExitFailed;
  }
  // The checksum list, when there is one, is checked during the copy.
  if (!o.no_verify && surveyed && survey.HeaderSound()) {
    pvx::JoinCheck check;
    bool failed = false;
    if (pvx::PrepareCheck(p, survey, o.checksum, &check, &failed)) {
      p.StartDigests();
      p.Expect(check.pieces, check.has_output ? &check.output : nullptr,
               check.list);
    } else if (failed) {
      return kExitFailed;
    }
  }
  std::string destination = WithSeparator(o.destination);
  CliPlatform::CatchInterrupt();
  pvx::Failure io;
  int result;
  if (set.self_joining) {
    uint32_t image = 0;
    if (!pvx::ProbeStubImage(p, set.piece0.c_str(), &image, &io)) {
      p.Notify(io.text);
      return kExitFailed;
    }
    if (image == 0) {
      size_t slash = set.piece0.rfind('/');
      NotifyText(p, pvx::kMsgNotPieceSet,
                 set.piece0.c_str() + (slash == std::string::npos ? 0 : slash + 1));
      return kExitFailed;
    }
    result = pvx::SelfJoin(p, set.piece0.c_str(), image, destination.c_str(),
                           &io);
  } else {
    result = pvx::JoinFile(p, o.file.c_str(), destination.c_str(), o.pause,
                           &io);
  }
  return ExitStatus(p, result, io);
}

// The options cut and join share.
void AddCommon(CLI::App* command, Options* o, const char* file_help,
               const char* pause_help) {
  command->add_option("-d,--destination", o->destination,
                      "Folder to write into (default: FILE's own folder)")
      ->type_name("DIR");
  command->add_flag("-p,--pause", o->pause, pause_help);
  CLI::Option* yes = command->add_flag(
      "-y,--yes", o->yes, "Answer OK to every question (overwrite, rename)");
  CLI::Option* no =
      command->add_flag("-n,--no", o->no, "Answer Cancel to every question");
  yes->excludes(no);
  command->add_option("FILE", o->file, file_help)->required();
}

}  // namespace

int main(int argc, char** argv) {
  CliPlatform platform;
  Options o;

  CLI::App app{
      "Parvex cuts a file into numbered pieces of a fixed size and joins "
      "such a piece set back, byte for byte.",
      "parvex"};
  app.set_version_flag("--version", std::string("parvex ") + PVX_VERSION,
                       "Print the version and exit");
  app.require_subcommand(1);
  app.footer(
      "Questions are asked on the terminal (y = OK, anything else = Cancel);\n"
      "without a terminal on standard input and without -y or -n, every\n"
      "question is answered Cancel. Progress is shown on standard error when\n"
      "it is a terminal; Ctrl-C cancels (what is written so far stays). The\n"
      "closing message goes to standard output, all else to standard error.\n"
      "Messages are in Japanese when LC_ALL, LC_MESSAGES or LANG (the first\n"
      "one set) starts with \"ja\".\n"
      "\n"
      "Exit status: 0 done, 1 refused or failed, 2 bad usage, 130 cancelled.");

  CLI::App* cut = app.add_subcommand(
      "cut",
      "Cut FILE into BASE.c00, BASE.c01, ... (-x: _sBase.exe, _sBase.c01, "
      "...)");
  AddCommon(cut, &o, "The file to cut",
            "Wait for Enter before each piece (to change disks)");
  cut->add_option("-s,--size", o.size,
                  "Piece size: 1.44M (1457664 bytes, the default), 1.25M "
                  "(1250304), or bytes with an optional K, M or G (x1024)")
      ->type_name("SIZE")
      ->check(CLI::Validator(
          [](std::string& text) {
            std::string why;
            ParseSize(text, &why);
            return why;
          },
          "SIZE"));
  cut->add_flag("-x,--self-join", o.self_join,
                "Make piece 0 a Windows program that rebuilds the file");

  CLI::App* join = app.add_subcommand(
      "join",
      "Join the set FILE belongs to (any piece, or the name it was cut from)");
  AddCommon(join, &o, "A piece of the set, or the file it was cut from",
            "Wait for Enter before each piece (plain sets; a self-joining "
            "set reads all its pieces from one folder)");

  cut->add_flag("--no-checksum", o.no_checksum,
                "Write no checksum list (STEM.sha256) beside the pieces");
  join->add_option("--checksum", o.checksum,
                   "Check the pieces and the result against this list "
                   "(default: STEM.sha256 beside piece 0, if there)")
      ->type_name("LIST");
  join->add_flag("--no-verify", o.no_verify,
                 "Check no checksum list")
      ->excludes(join->get_option("--checksum"));

  CLI::App* verify = app.add_subcommand(
      "verify",
      "Read every piece of the set FILE belongs to and check it against its "
      "checksum list; exit 0 only when all is there and matches");
  verify->add_option("FILE", o.file, "A piece of the set")->required();
  verify->add_option("--checksum", o.checksum,
                     "The list to check against (default: STEM.sha256 "
                     "beside piece 0)")
      ->type_name("LIST");
  verify->add_flag("-q,--quiet", o.quiet, "Show no progress line");

  CLI::App* info = app.add_subcommand(
      "info",
      "Describe the set FILE belongs to; exit 0 when it is complete");
  info->add_option("FILE", o.file, "A piece of the set")->required();

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    return app.exit(e) == 0 ? kExitDone : kExitUsage;
  }

  platform.SetAnswers(o.yes  ? pvx::Answers::kYes
                      : o.no ? pvx::Answers::kNo
                             : pvx::Answers::kAsk);
  if (cut->parsed()) return Cut(platform, o);
  if (join->parsed()) return Join(platform, o);
  if (verify->parsed()) {
    CliPlatform::CatchInterrupt();
    return Flushed(platform,
                   pvx::VerifySet(platform, o.file, o.checksum, o.quiet));
  }
  return Flushed(platform, pvx::ShowInfo(platform, o.file.c_str()));
}
