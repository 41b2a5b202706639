#include "cli/piece_set.h"

#include <stdio.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "cli/checksums.h"
#include "format/engine_util.h"
#include "format/messages.h"
#include "format/piece_format.h"
#include "format/text.h"

namespace pvx {
namespace {

// The stub program is a few tens of KiB; its image must lie within this.
constexpr uint32_t kProbeBytes = 512 * 1024;

std::string Grouped(uint64_t n) {
  char digits[32];
  char out[48];
  snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(n));
  GroupDigits(digits, out, sizeof out);
  return out;
}

// "byte" or "bytes" after a count of n; Japanese has the one word.
const char* Bytes(Lang lang, uint64_t n) {
  return lang == Lang::kJapanese ? "バイト" : n == 1 ? "byte" : "bytes";
}

std::string Message(Lang lang, Msg id, const char* arg) {
  char text[2048];
  Format(text, sizeof text, Text(lang, id), arg);
  return text;
}

// True when the program at path carries a piece header behind its image.
bool CarriesHeader(Platform& p, const char* path) {
  Failure why;
  uint32_t image = 0;
  if (!ProbeStubImage(p, path, &image, &why) || image == 0) return false;
  FileHandle f = p.OpenRead(path, &why);
  if (f == nullptr) return false;
  PieceHeader header;
  bool ok = p.Seek(f, image, &why) &&
            ReadPieceHeader(p, f, &header, &why, true) == HeaderRead::kOk;
  p.Close(f);
  return ok;
}

const char* NameOf(const std::string& path) {
  size_t slash = path.rfind('/');
  return path.c_str() + (slash == std::string::npos ? 0 : slash + 1);
}

}  // namespace

bool ProbeStubImage(Platform& p, const char* path, uint32_t* size,
                    Failure* why) {
  FileHandle f = p.OpenRead(path, why);
  if (f == nullptr) return false;
  std::vector<uint8_t> image(kProbeBytes);
  uint32_t have = 0;
  while (have < kProbeBytes) {
    uint32_t got = 0;
    if (!p.Read(f, image.data() + have, kProbeBytes - have, &got, why)) {
      p.Close(f);
      return false;
    }
    if (got == 0) break;
    have += got;
  }
  p.Close(f);
  *size = StubImageSize(image.data(), have);
  return true;
}

bool LocateSet(Platform& p, const char* file, SetLocation* out) {
  PathParts parts;
  if (!SplitPath(file, &parts, '/')) return false;
  out->folder = parts.folder;
  std::string c00 = out->folder + parts.base + ".c00";
  auto self_joining = [&](const std::string& stem, const std::string& path) {
    out->self_joining = true;
    out->stem = stem;
    out->piece0 = path;
  };

  if (StrCompareNoCase(parts.ext, ".exe") == 0) {
    if (!p.Exists(c00.c_str()) || CarriesHeader(p, file)) {
      self_joining(parts.base, file);
      return true;
    }
  } else if (!p.Exists(c00.c_str())) {
    std::string exe = out->folder + parts.base + ".exe";
    if (p.Exists(exe.c_str())) {
      self_joining(parts.base, exe);
      return true;
    }
    char stem[kPathCap];
    if (SelfJoinBase(stem, sizeof stem, parts.base)) {
      exe = out->folder + stem + ".exe";
      if (p.Exists(exe.c_str())) {
        self_joining(stem, exe);
        return true;
      }
    }
  }
  out->self_joining = false;
  out->stem = parts.base;
  out->piece0 = c00;
  return true;
}

bool SetSurvey::Joinable() const {
  if (!HeaderSound()) return false;
  for (const SurveyPiece& piece : pieces)
    if (piece.status != SurveyPiece::kOk) return false;
  return true;
}

namespace {

// Opens path and takes its length; a failure is described in piece.
bool Measure(Platform& p, SurveyPiece* piece) {
  Failure why;
  if (!p.Exists(piece->path.c_str())) {
    piece->status = SurveyPiece::kMissing;
    return false;
  }
  FileHandle f = p.OpenRead(piece->path.c_str(), &why);
  if (f == nullptr || !p.Length(f, &piece->length, &why)) {
    p.Close(f);
    piece->status = SurveyPiece::kUnusable;
    piece->why = why.text;
    return false;
  }
  p.Close(f);
  return true;
}

std::string Printed(const std::string& text) {
  std::vector<char> out(text.size() + 1);
  Printable(text.c_str(), out.data(), out.size());
  return out.data();
}

// More pieces than this are not looked for one by one.
constexpr uint64_t kMaxSurveyed = 10000;

}  // namespace

bool SurveySet(CliPlatform& p, const char* file, SetSurvey* out,
               Failure* why) {
  Lang lang = p.Language();
  if (!LocateSet(p, file, &out->set)) {
    Format(why->text, sizeof why->text, Text(lang, kMsgPathTooLong), file);
    return false;
  }
  const char* piece0_name = NameOf(out->set.piece0);
  if (out->set.self_joining) {
    if (!ProbeStubImage(p, out->set.piece0.c_str(), &out->image, why))
      return false;
    if (out->image == 0) {
      out->problem = Message(lang, kMsgNotPieceSet, piece0_name);
      return true;
    }
  }
  SurveyPiece first;
  first.name = piece0_name;
  first.path = out->set.piece0;
  FileHandle f = p.OpenRead(first.path.c_str(), why);
  if (f == nullptr) return false;
  HeaderRead read = HeaderRead::kIoError;
  if (p.Length(f, &first.length, why) && p.Seek(f, out->image, why))
    read = ReadPieceHeader(p, f, &out->header, why, true);
  p.Close(f);
  if (read == HeaderRead::kIoError) return false;
  if (read == HeaderRead::kNotPieceSet || first.length < out->image ||
      !HeaderSizeFits(out->header, first.length - out->image)) {
    out->problem = Message(lang, kMsgNotPieceSet, piece0_name);
    return true;
  }
  // The record's exact name when it carries one, else FileName.
  char name[kNameCap];
  if (out->header.exact_name[0]
          ? !StrCopy(name, sizeof name, out->header.exact_name)
          : !p.FromHeaderName(out->header.file_name, name, sizeof name)) {
    out->problem = Message(lang, kMsgBadHeaderName, piece0_name);
  } else {
    std::string output =
        out->header.name_is_whole ? name : out->set.stem + name;
    out->output = Printed(output);
    if (!IsSafeFileName(output.c_str())) {
      char text[2 * kPathCap];
      Format(text, sizeof text, Text(lang, kMsgUnsafeName), piece0_name,
             out->output.c_str());
      out->problem = text;
    }
  }

  // Walk the pieces as a join does, while the data falls short of the
  // source size. A missing piece is counted as long as the others, so that
  // the walk goes on and every missing piece is named.
  const uint64_t head = uint64_t{out->image} + out->header.header_size;
  const uint64_t source = out->header.size;
  auto path_of = [&](uint64_t k) {
    char piece[kPathCap];
    PieceName(piece, sizeof piece, out->set.stem.c_str(), static_cast<int>(k));
    return std::make_pair(std::string(piece), out->set.folder + piece);
  };
  first.status = SurveyPiece::kOk;
  out->pieces.push_back(first);
  uint64_t data = first.length - head;  // counted, missing pieces estimated
  out->data = data;
  uint64_t size = first.length;         // a whole piece, as far as known
  bool gaps = false;
  for (uint64_t k = 1; data < source && k < kMaxSurveyed; ++k) {
    SurveyPiece piece;
    std::tie(piece.name, piece.path) = path_of(k);
    if (Measure(p, &piece)) {
      piece.status = SurveyPiece::kOk;
      if (k == 1) size = piece.length;
      data += piece.length;
      out->data += piece.length;
    } else {
      gaps = true;
      data += size > 0 ? size : 1;
    }
    out->pieces.push_back(piece);
  }
  // What each piece should hold: whole pieces, then the rest in the last.
  const size_t last = out->pieces.size() - 1;
  for (size_t k = 0; k < out->pieces.size(); ++k) {
    SurveyPiece& piece = out->pieces[k];
    uint64_t before = k == 0 ? 0 : (first.length - head) + (k - 1) * size;
    piece.expected =
        k == 0 ? std::min(first.length, head + source)
        : k < last ? size
                   : (source > before ? source - before : 0);
    if (piece.status == SurveyPiece::kOk && (gaps || out->data != source) &&
        piece.length != piece.expected)
      piece.status = piece.length < piece.expected ? SurveyPiece::kShort
                                                   : SurveyPiece::kLong;
  }
  // Pieces all there but holding too much or too little in sum.
  if (!gaps && out->data != source) {
    SurveyPiece& end_piece = out->pieces[last];
    if (end_piece.status == SurveyPiece::kOk)
      end_piece.status = out->data < source ? SurveyPiece::kShort
                                            : SurveyPiece::kLong;
  }
  const uint64_t count = out->pieces.size();
  // Pieces past the end: not part of the set, but worth a word.
  for (uint64_t k = count; k < count + 100; ++k) {
    SurveyPiece piece;
    std::tie(piece.name, piece.path) = path_of(k);
    if (!p.Exists(piece.path.c_str())) break;
    Measure(p, &piece);
    piece.status = SurveyPiece::kLong;
    out->beyond.push_back(piece);
  }
  return true;
}

namespace {

// The files a join of s reads, as far as they are there: its pieces (the
// program of a self-joining set is piece 0), further pieces beside it, and
// the checksum list.
std::vector<std::string> InputsOf(const SetSurvey& s, const std::string& list) {
  std::vector<std::string> paths;
  for (const SurveyPiece& piece : s.pieces) paths.push_back(piece.path);
  for (const SurveyPiece& piece : s.beyond) paths.push_back(piece.path);
  if (!list.empty()) paths.push_back(list);
  return paths;
}

std::string IsInputText(Lang lang, const std::string& what) {
  char text[2 * kPathCap];
  Format(text, sizeof text, Text(lang, kMsgIsInput), what.c_str());
  return text;
}

bool SameEntry(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

std::string OutputProblem(Lang lang, const SetSurvey& s,
                          const std::string& out_path,
                          const std::string& list) {
  struct stat out, in;
  const bool there = lstat(out_path.c_str(), &out) == 0;
  for (const std::string& path : InputsOf(s, list)) {
    // A link at the output's name is replaced itself, never its target.
    if (path == out_path ||
        (there && stat(path.c_str(), &in) == 0 && SameEntry(out, in)))
      return IsInputText(lang, out_path);
  }
  if (there && !S_ISREG(out.st_mode) && !S_ISLNK(out.st_mode)) {
    Failure why;
    PosixPlatform::DescribeKind(&why, out_path.c_str(), out.st_mode, lang);
    return why.text;
  }
  // The output is written as NAME.part first.
  const std::string name = NameOf(out_path);
  std::string folder = out_path.substr(0, out_path.size() - name.size());
  long most = pathconf(folder.empty() ? "." : folder.c_str(), _PC_NAME_MAX);
  if (most <= 0) most = 255;
  if (name.size() + 5 > static_cast<size_t>(most)) {
    char text[2 * kPathCap];
    snprintf(text, sizeof text,
             Say(lang,
                 "%s: the name is %zu bytes long; with \".part\" while it "
                 "is written it must fit in %ld",
                 "%s: 名前が %zu バイトあります. 書き込み中の \".part\" "
                 "を含めて %ld バイトまでです"),
             out_path.c_str(), name.size(), most);
    return text;
  }
  return std::string();
}

std::string StandardOutputProblem(Lang lang, const SetSurvey& s,
                                  const std::string& list) {
  struct stat out, in;
  if (fstat(STDOUT_FILENO, &out) != 0 || !S_ISREG(out.st_mode))
    return std::string();
  for (const std::string& path : InputsOf(s, list))
    if (stat(path.c_str(), &in) == 0 && SameEntry(out, in))
      return IsInputText(lang, Say(lang, "standard output (", "標準出力 (") +
                                   path + ")");
  return std::string();
}

std::vector<std::string> PieceProblems(Lang lang, const SetSurvey& s) {
  std::vector<std::string> lines;
  for (const SurveyPiece& piece : s.pieces) {
    switch (piece.status) {
      case SurveyPiece::kOk:
        break;
      case SurveyPiece::kMissing:
        lines.push_back(piece.path + Say(lang, ": missing", ": 見つかりません"));
        break;
      case SurveyPiece::kUnusable:
        lines.push_back(piece.why);
        break;
      case SurveyPiece::kShort:
      case SurveyPiece::kLong: {
        char text[2 * kPathCap];
        snprintf(text, sizeof text,
                 Say(lang, "%s: %s %s, where the set needs %s (%s)",
                     "%s: %s %sです (必要なのは %s バイト, %s)"),
                 piece.path.c_str(), Grouped(piece.length).c_str(),
                 Bytes(lang, piece.length),
                 Grouped(piece.expected).c_str(),
                 piece.status == SurveyPiece::kShort
                     ? Say(lang, "short", "短すぎます")
                     : Say(lang, "too long", "長すぎます"));
        lines.push_back(text);
        break;
      }
    }
  }
  return lines;
}

int ShowInfo(CliPlatform& p, const char* file) {
  Lang lang = p.Language();
  Failure why;
  SetSurvey s;
  if (!SurveySet(p, file, &s, &why)) {
    p.Notify(why.text);
    return 1;
  }
  if (s.image == 0 && s.set.self_joining) {
    p.Notify(s.problem.c_str());
    return 1;
  }
  const char* piece0_name = NameOf(s.set.piece0);
  if (s.pieces.empty()) {  // not a piece set at all
    p.Notify(s.problem.c_str());
    return 1;
  }

  if (s.set.self_joining) {
    PrintSafe(Say(lang, "%s: self-joining piece set (stub program of %s %s)\n",
               "%s: 自己結合形式の分割ファイル (スタブ %s %s)\n"),
           piece0_name, Grouped(s.image).c_str(), Bytes(lang, s.image));
  } else {
    PrintSafe(Say(lang, "%s: piece set\n", "%s: 分割ファイル\n"), piece0_name);
  }
  if (!s.output.empty())
    PrintSafe(Say(lang, "  source file: %s\n", "  元のファイル: %s\n"),
           s.output.c_str());
  PrintSafe(Say(lang, "  source size: %s %s\n", "  元のサイズ: %s %s\n"),
         Grouped(s.header.size).c_str(),
         Bytes(lang, s.header.size));
  if (s.header.form != HeaderForm::kClassic) {
    PrintSafe(Say(lang, "  header: %s\n", "  ヘッダ: %s\n"),
              s.header.form == HeaderForm::kLarge
                  ? Say(lang, "large (@PARVEX+, with record)",
                        "4 GiB 以上 (@PARVEX+, 拡張レコード付き)")
                  : Say(lang, "with record", "拡張レコード付き"));
    char stand_in[kNameCap];
    if (s.header.exact_name[0] &&
        p.FromHeaderName(s.header.file_name, stand_in, sizeof stand_in))
      PrintSafe(Say(lang, "  stand-in name: %s\n", "  代替名: %s\n"),
                Printed(stand_in).c_str());
  }
  if (s.header.header_size != kHeaderSize) {
    PrintSafe(Say(lang, "  header size: %u (not %u)\n",
               "  ヘッダサイズ: %u (%u ではありません)\n"),
           s.header.header_size, kHeaderSize);
  }
  // Whether a checksum list travels with the set (it is not read here).
  std::string list = ListPathFor(s.set.piece0);
  struct stat st;
  const bool have_list = lstat(list.c_str(), &st) == 0;
  // What the join would find wrong with its output, beside the pieces.
  std::string output_problem =
      s.HeaderSound() ? OutputProblem(lang, s, s.set.folder + s.output,
                                      have_list ? list : std::string())
                      : std::string();
  if (!s.HeaderSound()) PrintSafe("  %s\n", s.problem.c_str());
  if (!output_problem.empty()) PrintSafe("  %s\n", output_problem.c_str());
  if (have_list)
    PrintSafe(Say(lang, "  checksum list: %s (check it with: parvex verify)\n",
               "  チェックサムの一覧: %s (parvex verify で検査できます)\n"),
           NameOf(list));
  else
    PrintSafe("%s", Say(lang, "  checksum list: none\n",
                     "  チェックサムの一覧: ありません\n"));

  PrintSafe(Say(lang, "  pieces:\n", "  分割ファイル:\n"));
  auto show = [&](const SurveyPiece& piece, bool first) {
    std::string name = Printed(piece.name);
    switch (piece.status) {
      case SurveyPiece::kMissing:
        PrintSafe("    %-20s %s\n", name.c_str(),
               Say(lang, "missing", "見つかりません"));
        return;
      case SurveyPiece::kUnusable:
        PrintSafe("    %s\n", Printed(piece.why).c_str());
        return;
      default:
        break;
    }
    std::string note;
    if (first) {
      uint64_t head = uint64_t{s.image} + s.header.header_size;
      note = std::string(" (") +
             Say(lang, "", "データ ") +
             Grouped(piece.length > head ? piece.length - head : 0) +
             Say(lang, " of data)", ")");
    }
    if (piece.status == SurveyPiece::kShort ||
        piece.status == SurveyPiece::kLong) {
      note += std::string("  ") +
              (piece.expected == 0
                   ? Say(lang, "(not part of the set)", "(このセットの外です)")
               : piece.status == SurveyPiece::kShort
                   ? Say(lang, "short: the set needs ", "短すぎます: 必要なのは ")
                   : Say(lang, "too long: the set needs ",
                         "長すぎます: 必要なのは "));
      if (piece.expected != 0)
        note += Grouped(piece.expected) + " " + Bytes(lang, piece.expected);
    }
    PrintSafe("    %-20s %15s %s%s\n", name.c_str(), Grouped(piece.length).c_str(),
           Bytes(lang, piece.length), note.c_str());
  };
  for (size_t k = 0; k < s.pieces.size(); ++k) show(s.pieces[k], k == 0);
  for (const SurveyPiece& piece : s.beyond) show(piece, false);

  const uint64_t source = s.header.size;
  const bool joinable = s.Joinable() && output_problem.empty();
  if (!output_problem.empty()) {
    PrintSafe(Say(lang, "not joinable: %s\n", "結合できません: %s\n"),
           output_problem.c_str());
  } else if (s.Joinable()) {
    PrintSafe(lang == Lang::kJapanese
               ? "完全です: %zu 個のファイルに %s バイトすべてがあります.\n"
           : s.pieces.size() == 1 ? "complete: %zu piece holds all %s %s.\n"
                                  : "complete: %zu pieces hold all %s %s.\n",
           s.pieces.size(), Grouped(source).c_str(), Bytes(lang, source));
  } else if (s.data < source) {
    PrintSafe(lang == Lang::kJapanese ? "不完全です: %s / %s %sが足りません.\n"
           : source - s.data == 1     ? "incomplete: %s of %s %s is missing.\n"
                                      : "incomplete: %s of %s %s are missing.\n",
           Grouped(source - s.data).c_str(), Grouped(source).c_str(),
           Bytes(lang, source));
  } else if (s.data > source) {
    PrintSafe(Say(lang,
               "inconsistent: the pieces hold %s %s more than the source "
               "size.\n",
               "不整合です: 元のサイズより %s %s多くあります.\n"),
           Grouped(s.data - source).c_str(), Bytes(lang, s.data - source));
  } else {
    PrintSafe(Say(lang, "not joinable: %s\n", "結合できません: %s\n"),
           s.HeaderSound() ? Say(lang, "the pieces do not have the lengths the "
                                       "set needs.",
                                 "分割ファイルの長さが合いません.")
                           : s.problem.c_str());
  }
  return joinable ? 0 : 1;
}

}  // namespace pvx
