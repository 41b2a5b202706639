#include "engines/piece_set.h"

#include <stdio.h>

#include <algorithm>
#include <tuple>
#include <utility>
#include <vector>

#include "base/path.h"
#include "base/text.h"
#include "engines/engine_util.h"
#include "engines/messages.h"
#include "engines/own_texts.h"
#include "format/piece_format.h"

namespace pvx {
namespace {

// The stub program is a few tens of KiB; its image must lie within this.
constexpr uint32_t kProbeBytes = 512 * 1024;


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

  // The pieces a join reads, each measured against what the set needs
  // there.
  const uint64_t head = uint64_t{out->image} + out->header.header_size;
  const uint64_t source = out->header.size;
  auto path_of = [&](uint64_t k) {
    char piece[kPathCap];
    PieceName(piece, sizeof piece, out->set.stem.c_str(), static_cast<int>(k));
    return std::make_pair(std::string(piece), out->set.folder + piece);
  };
  first.status = SurveyPiece::kOk;
  out->pieces.push_back(first);
  out->data = first.length - head;
  // Every piece but the last is whole, so the set's piece size is the
  // longer of the first two (piece 0 may be cut short, piece 1 may be the
  // last), and with it the number of pieces the set has: a short or missing
  // piece is named by itself and never shifts the blame onto the others.
  SurveyPiece second;
  std::tie(second.name, second.path) = path_of(1);
  const bool have_second = Measure(p, &second);
  uint64_t size = first.length;
  if (have_second && second.length > size) size = second.length;
  const uint64_t whole = head + source;  // bytes the set holds
  const uint64_t count = size > 0 ? (whole + size - 1) / size : 1;
  // Walk the pieces a join reads: as many as that count, and on while the
  // data falls short and the last one walked is whole (a piece 0 longer
  // than the others makes the count too small; a join takes any lengths
  // that add up). A missing piece is counted as a whole one.
  uint64_t data = first.length - head;
  bool gaps = false;
  bool whole_last = true;
  for (uint64_t k = 1;
       (k < count || (data < source && whole_last)) && k < kMaxSetPieces; ++k) {
    SurveyPiece piece;
    if (k == 1) {
      piece = second;
    } else {
      std::tie(piece.name, piece.path) = path_of(k);
    }
    if (k == 1 ? have_second : Measure(p, &piece)) {
      piece.status = SurveyPiece::kOk;
      data += piece.length;
      out->data += piece.length;
      whole_last = piece.length == size;
    } else {
      gaps = true;
      data += size > 0 ? size : 1;
      whole_last = true;
    }
    out->pieces.push_back(piece);
  }
  // What each piece should hold: whole pieces, then the rest in the last.
  // Lengths count only where the pieces do not add up to the source (a
  // join takes any lengths that do).
  const uint64_t n = out->pieces.size();
  for (uint64_t k = 0; k < n; ++k) {
    SurveyPiece& piece = out->pieces[k];
    piece.expected = k + 1 < n ? size
                     : whole > (n - 1) * size ? whole - (n - 1) * size
                                              : 0;
    if (piece.status == SurveyPiece::kOk && (gaps || out->data != source) &&
        piece.length != piece.expected)
      piece.status = piece.length < piece.expected ? SurveyPiece::kShort
                                                   : SurveyPiece::kLong;
  }
  // Pieces all there with the lengths a set has, but holding too much or
  // too little in sum: the last one says so.
  bool flagged = false;
  for (const SurveyPiece& piece : out->pieces)
    flagged = flagged || piece.status != SurveyPiece::kOk;
  if (!gaps && !flagged && out->data != source) {
    SurveyPiece& end_piece = out->pieces[n - 1];
    if (end_piece.status == SurveyPiece::kOk)
      end_piece.status = out->data < source ? SurveyPiece::kShort
                                            : SurveyPiece::kLong;
  }
  const uint64_t count_walked = n;
  // Pieces past the end: not part of the set, but worth a word.
  for (uint64_t k = count_walked; k < count_walked + 100; ++k) {
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
        lines.push_back(piece.path + Tr(lang, ": missing"));
        break;
      case SurveyPiece::kUnusable:
        lines.push_back(piece.why);
        break;
      case SurveyPiece::kShort:
      case SurveyPiece::kLong: {
        char text[2 * kPathCap];
        snprintf(text, sizeof text,
                 Tr(lang, "%s: %s %s, where the set needs %s (%s)"),
                 piece.path.c_str(), Grouped(piece.length).c_str(),
                 Bytes(lang, piece.length), Grouped(piece.expected).c_str(),
                 piece.status == SurveyPiece::kShort ? Tr(lang, "short")
                                                     : Tr(lang, "too long"));
        lines.push_back(text);
        break;
      }
    }
  }
  return lines;
}

std::string Grouped(uint64_t n) {
  char digits[32];
  char out[48];
  snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(n));
  GroupDigits(digits, out, sizeof out);
  return out;
}

const char* Bytes(Lang lang, uint64_t n) {
  return TrN(lang, "byte", "bytes", n);
}

}  // namespace pvx
