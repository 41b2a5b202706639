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
  std::string more = Say(p.Language(), "Try '", "詳しくは '") + help +
                     Say(p.Language(), "' for more information.",
                         "' を見てください.");
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
    std::string text = Say(p.Language(), "what was written stays in ",
                           "書き込んだ内容は次のファイルに残しました: ") +
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
  std::string text = Say(p.Language(), "standard output", "標準出力") +
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
using pvx::Say;

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
  pvx::Parvex parvex;
  CliPlatform& terminal = parvex.terminal;
  const Lang lang = terminal.Language();
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
    return pvx::UsageError(terminal,
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
  const int sig = CliPlatform::EndingSignal();
  if (sig != 0 && sig != SIGINT) {
    fflush(nullptr);
    signal(sig, SIG_DFL);
    raise(sig);
    return 128 + sig;
  }
  return status;
}
