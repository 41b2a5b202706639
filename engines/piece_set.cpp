#include "engines/piece_set.h"

#include <stdio.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>


#include "engines/engine_util.h"
#include "engines/messages.h"
#include "format/piece_format.h"
#include "base/path.h"
#include "base/text.h"

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

}  // namespace

bool SurveySet(Platform& p, const char* file, SetSurvey* out,
               Failure* why) {
  Lang lang = p.Language();
  if (!LocateSet(p, file, &out->set)) {
    Format(why->text, sizeof why->text, Text(lang, kMsgPathTooLong), file);
    return false;
  }
  const char* piece0_name = NameOf(out->set.piece0.c_str());
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
  // source size, up to the last a set may hold (c9999). A missing piece is
  // counted as long as the others, so that the walk goes on and every
  // missing piece is named.
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
  for (uint64_t k = 1; data < source && k < kMaxSetPieces; ++k) {
    SurveyPiece piece;
    std::tie(piece.name, piece.path) = path_of(k);
    if (Measure(p, &piece)) {
      piece.status = SurveyPiece::kOk;
      // Every piece but the last is whole: the longer of the first two
      // (piece 0 may be cut short, piece 1 may be the last).
      if (k == 1 && piece.length > size) size = piece.length;
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

}  // namespace pvx
