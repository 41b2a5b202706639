// parvex: cut a file into a piece set, join a piece set back, or describe
// one. The command line is set up in SetUpCommandLine, each command runs in
// its own Run* function; the terminal side of the engines' questions and
// progress is CliPlatform.
#include <errno.h>
#include <locale.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "cli/commands.h"
#include "cli/help_format.h"
#include "engines/messages.h"
#include "base/text.h"

namespace pvx {

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

void NotifyText(CliPlatform& p, Msg id, const char* arg) {
  char text[2048];
  Format(text, sizeof text, Text(p.Language(), id), arg);
  p.Notify(text);
}

std::string WithSeparator(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

int ExitStatus(CliPlatform& p, int result, const Failure& io) {
  if (result == kIoFailure) p.Notify(io.text);
  // Partial output is never removed; say where it is.
  for (const std::string& kept : p.TakeKept()) {
    std::string text = Tr(p.Language(), "what was written stays in ") +
                       kept;
    p.Notify(text.c_str());
  }
  switch (result) {
    case kDone:
      return kExitDone;
    case kIoFailure:
      return kExitFailed;
    default:
      return p.Cancelled() ? kExitCancelled : kExitFailed;
  }
}

// Standard output that cannot be written (a full disk, a closed pipe) is a
// failure too.
int Flushed(CliPlatform& p, int status) {
  if (fflush(stdout) == 0 && !ferror(stdout)) return status;
  std::string text = Tr(p.Language(), "standard output") +
                     std::string(": ") + strerror(errno);
  p.Notify(text.c_str());
  return kExitFailed;
}

}  // namespace pvx

namespace {

using pvx::CliPlatform;
using pvx::kExitDone;
using pvx::kExitUsage;
using pvx::Lang;
using pvx::Options;
using pvx::Tr;
using pvx::TrF;

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
      return Tr(lang, "a command is required: ") +
             CommandList();
    }
    return before(" is required") +
           Tr(lang, " is required");
  }
  if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
    std::string extra = after(": ");
    if (!extra.empty() && extra[0] == '-') {
      return Tr(lang, "unknown option: ") + extra;
    }
    return Tr(lang, "unexpected argument: ") + extra;
  }
  if (dynamic_cast<const CLI::ExcludesError*>(&e)) {
    return before(" excludes ") +
           Tr(lang, " and ") + after(" excludes ") +
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

// ---- the command line -------------------------------------------------------

std::string MainFooter(Lang lang) {
  return Tr(
      lang, "Examples:\n"
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
        if (v.empty())
          return std::string(
              Tr(lang, "an empty value means nothing"));
        if (v.back() == '/')
          return std::string(Tr(lang, "names a folder; a file is meant"));
        return std::string();
      },
      "");
}

// The options cut and join share.
void AddCommon(CLI::App* command, Options* o, Lang lang,
               const char* pause_help) {
  command->add_option("-d,--destination", o->destination,
                      Tr(lang, "Folder to write into (default: FILE's own "
                                "folder)"))
      ->type_name("DIR")
      ->check(NotEmpty(lang));
  command->add_flag("-p,--pause", o->pause, pause_help);
  CLI::Option* yes = command->add_flag(
      "-y,--yes", o->yes,
      Tr(lang, "Answer OK to every question (overwrite, rename)"));
  CLI::Option* no = command->add_flag(
      "-n,--no", o->no,
      Tr(lang, "Answer Cancel to every question"));
  yes->excludes(no);
  command->add_flag("-q,--quiet", o->quiet,
                    Tr(lang, "Print neither the progress line nor the "
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
      "cut", Tr(lang, "Cut FILE into BASE.c00, BASE.c01, ... (-x: _sBase.exe, "
                 "_sBase.c01, ...)"));
  c.cut->group(commands);
  c.cut->add_option("FILE", o->file,
                    Tr(lang, "The file to cut; - for standard input (with "
                              "--name)"))
      ->required();
  AddCommon(c.cut, o, lang,
            Tr(lang, "Wait for Enter before each piece (to change disks)"));
  CLI::Option* size = c.cut->add_option(
      "-s,--size", o->size,
      Tr(lang, "Piece size (default 1.44M); see SIZE below"))
      ->type_name("SIZE");
  CLI::Option* pieces = c.cut->add_option_function<std::string>(
      "--pieces",
      [o](const std::string& n) {
        o->pieces = n;
        o->pieces_given = true;
      },
      Tr(lang, "Cut into N pieces of equal size, the last one shorter "
                "(N at most 10000)"))
      ->type_name("N");
  size->excludes(pieces);
  c.cut->add_flag("-x,--self-join", o->self_join,
                  Tr(lang, "Make piece 0 a Windows program that rebuilds "
                            "the file"));
  c.cut->add_flag("--no-checksum", o->no_checksum,
                  Tr(lang, "Write no checksum list (STEM.sha256) beside the "
                            "pieces"));
  c.cut->add_option("--recovery", o->recovery,
                    // xgettext:no-c-format
                    Tr(lang, "Also write PAR2 recovery data beside piece 0 "
                              "(STEM.par2, STEM.vol*.par2) that rebuilds up to "
                              "N lost or damaged pieces; N% of the pieces"))
      ->type_name("N")
      ->check(NotEmpty(lang));
  c.cut->add_option("--name", o->name,
                    Tr(lang, "The name the set records and its pieces are "
                              "named after (needed for standard input)"))
      ->type_name("NAME")
      ->check(AFile(lang));
  c.cut->footer(Tr(lang, "SIZE is a number of bytes, optionally followed by K, M, "
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
      "join", Tr(lang, "Join the set FILE belongs to (any piece, or the name it "
                  "was cut from)"));
  c.join->group(commands);
  c.join->add_option("FILE", o->file,
                     Tr(lang, "A piece of the set, or the file it was cut "
                               "from"))
      ->required();
  AddCommon(c.join, o, lang,
            Tr(lang, "Wait for Enter before each piece (plain sets; a "
                      "self-joining set reads all its pieces from one "
                      "folder)"));
  CLI::Option* output = c.join->add_option(
      "-o", o->output,
      Tr(lang, "Write the joined file to FILE instead of the name in the "
                "header; - for standard output"))
      ->type_name("FILE")
      ->check(AFile(lang));
  output->excludes(c.join->get_option("--destination"));
  CLI::Option* list = c.join->add_option(
      "--checksum", o->checksum,
      Tr(lang, "Check the pieces and the result against LIST (default: "
                "STEM.sha256 beside piece 0, when it is there)"))
      ->type_name("LIST")
      ->check(AFile(lang));
  c.join->add_flag("--no-repair", o->no_repair,
                   Tr(lang, "Refuse a set that lacks pieces even when PAR2 "
                             "recovery data beside it could rebuild them"));
  c.join->add_flag("--no-verify", o->no_verify,
                   Tr(lang, "Check no checksum list"))
      ->excludes(list);
  c.join->footer(Tr(lang, "Examples:\n"
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
      "info", Tr(lang, "Describe the set FILE belongs to; exit 0 when it is "
                  "complete"));
  c.info->group(commands);
  c.info->add_option("FILE", o->file,
                     Tr(lang, "A piece of the set"))
      ->required();
  c.info->footer(Tr(lang, "Example:\n  parvex info backup.c00"));

  c.verify = app->add_subcommand(
      "verify", Tr(lang, "Read every piece of the set FILE belongs to and check it "
                    "against its checksum list; exit 0 only when all is there "
                    "and matches"));
  c.verify->group(commands);
  c.verify->add_option("FILE", o->file,
                       Tr(lang, "A piece of the set"))
      ->required();
  c.verify->add_option("--checksum", o->checksum,
                       Tr(lang, "The list to check against (default: "
                                 "STEM.sha256 beside piece 0)"))
      ->type_name("LIST")
      ->check(AFile(lang));
  c.verify->add_flag("-q,--quiet", o->quiet,
                     Tr(lang, "Show no progress line"));
  c.verify->footer(Tr(lang, "Prints ok, missing, short, surplus, damaged or not "
                       "listed for each piece,\nthen a verdict. With PAR2 "
                       "recovery data beside the set (and no --checksum),\n"
                       "prints good, missing, short or damaged for each piece "
                       "and whether\nparvex repair can rebuild them.\n\n"
                       "Example:\n  parvex verify backup.c00"));
  c.repair = app->add_subcommand(
      "repair", Tr(lang, "Rebuild the missing, short or damaged pieces of the set "
                    "FILE belongs to from its PAR2 recovery data; exit 0 only "
                    "when every piece matches afterwards"));
  c.repair->group(commands);
  c.repair->add_option("FILE", o->file,
                       Tr(lang, "A piece of the set, or its STEM.par2"))
      ->required();
  c.repair->add_option("-d,--destination", o->destination,
                       Tr(lang, "Write the rebuilt pieces into DIR and leave "
                                 "the set as it is"))
      ->type_name("DIR")
      ->check(NotEmpty(lang));
  CLI::Option* repair_yes = c.repair->add_flag(
      "-y,--yes", o->yes,
      Tr(lang, "Answer OK to every question (overwrite)"));
  CLI::Option* repair_no = c.repair->add_flag(
      "-n,--no", o->no,
      Tr(lang, "Answer Cancel to every question"));
  repair_yes->excludes(repair_no);
  c.repair->add_flag("-q,--quiet", o->quiet,
                     Tr(lang, "Show no progress line"));
  c.repair->footer(Tr(lang, "A damaged piece is kept as NAME.bad beside the rebuilt "
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
  std::string bin;
  if (pvx::ProgramFolder(&bin)) {
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
  pvx::Parvex parvex;
  CliPlatform& terminal = parvex.terminal;
  const Lang lang = terminal.Language();
  pvx::UseCatalogue(lang, CatalogueFolder().c_str());
  Options o;

  CLI::App app{Tr(lang, "Parvex cuts a file into numbered pieces of a fixed size "
                   "and joins such a piece set back, byte for byte."),
               "parvex"};
  Commands commands = SetUpCommandLine(&app, &o, lang);

  const std::string command = CommandOf(argc, argv);
  bool known = command.empty();
  for (const char* name : kCommandNames) known = known || command == name;
  if (!known) {
    return pvx::UsageError(terminal,
                           Tr(lang, "unknown command '") +
                               command + Tr(lang, "'; the commands are ") +
                               CommandList(),
                           "");
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e) == 0 ? kExitDone : kExitUsage;
  } catch (const CLI::ParseError& e) {
    return pvx::UsageError(terminal, ParseErrorText(lang, e), command);
  }

  terminal.SetAnswers(o.yes  ? pvx::Answers::kYes
                      : o.no ? pvx::Answers::kNo
                             : pvx::Answers::kAsk);
  terminal.SetQuiet(o.quiet);
  const int status = commands.cut->parsed()      ? RunCut(parvex, o)
                     : commands.join->parsed()   ? RunJoin(parvex, o)
                     : commands.verify->parsed() ? RunVerify(parvex, o)
                     : commands.repair->parsed() ? RunRepair(parvex, o)
                                                 : RunInfo(parvex, o);
  // A command that failed leaves no folder it made (one that holds what
  // was written stays).
  if (status != kExitDone) terminal.RemoveMadeFolders();
  // Ended by SIGTERM or SIGHUP: once all is said, as that signal would.
  return pvx::EndAsSignalled(status);
}
