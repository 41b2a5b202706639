#include "cli/piece_set.h"

#include <stdio.h>

#include <vector>

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
            ReadPieceHeader(p, f, &header, &why) == HeaderRead::kOk;
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

int ShowInfo(CliPlatform& p, const char* file) {
  Lang lang = p.Language();
  Failure why;
  SetLocation set;
  if (!LocateSet(p, file, &set)) {
    p.Notify(Message(lang, kMsgPathTooLong, file).c_str());
    return 1;
  }
  const char* piece0_name = NameOf(set.piece0);

  uint32_t image = 0;
  if (set.self_joining) {
    if (!ProbeStubImage(p, set.piece0.c_str(), &image, &why)) {
      p.Notify(why.text);
      return 1;
    }
    if (image == 0) {
      p.Notify(Message(lang, kMsgNotPieceSet, piece0_name).c_str());
      return 1;
    }
  }
  FileHandle f = p.OpenRead(set.piece0.c_str(), &why);
  if (f == nullptr) {
    p.Notify(why.text);
    return 1;
  }
  uint64_t length0 = 0;
  PieceHeader header;
  HeaderRead read = HeaderRead::kIoError;
  if (p.Length(f, &length0, &why) && p.Seek(f, image, &why)) {
    read = ReadPieceHeader(p, f, &header, &why);
  }
  p.Close(f);
  if (read == HeaderRead::kNotPieceSet) {
    p.Notify(Message(lang, kMsgNotPieceSet, piece0_name).c_str());
    return 1;
  }
  if (read != HeaderRead::kOk) {
    p.Notify(why.text);
    return 1;
  }

  bool sound = true;
  if (set.self_joining) {
    printf(Say(lang, "%s: self-joining piece set (stub program of %s bytes)\n",
               "%s: 自己結合形式の分割ファイル (スタブ %s バイト)\n"),
           piece0_name, Grouped(image).c_str());
  } else {
    printf(Say(lang, "%s: piece set\n", "%s: 分割ファイル\n"), piece0_name);
  }
  char name[kNameCap];
  if (p.FromHeaderName(header.file_name, name, sizeof name)) {
    std::string output = header.name_is_whole ? name : set.stem + name;
    printf(Say(lang, "  source file: %s\n", "  元のファイル: %s\n"),
           output.c_str());
    if (!IsSafeFileName(output.c_str())) {
      printf("  %s\n", Say(lang, "(not a plain file name: join refuses it)",
                           "(ファイル名として使えないため結合できません)"));
      sound = false;
    }
  } else {
    printf("  %s\n", Message(lang, kMsgBadHeaderName, piece0_name).c_str());
    sound = false;
  }
  printf(Say(lang, "  source size: %s bytes\n", "  元のサイズ: %s バイト\n"),
         Grouped(header.source_size).c_str());
  if (header.header_size != kHeaderSize) {
    printf(Say(lang, "  header size: %u (not %u)\n",
               "  ヘッダサイズ: %u (%u ではありません)\n"),
           header.header_size, kHeaderSize);
  }

  // Walk the pieces as a join does: piece 0 always, then further pieces
  // while the data so far falls short of the source size.
  const char* bytes = Say(lang, "bytes", "バイト");
  uint64_t head = static_cast<uint64_t>(image) + header.header_size;
  uint64_t data = length0 > head ? length0 - head : 0;
  printf(Say(lang, "  pieces:\n", "  分割ファイル:\n"));
  printf(Say(lang, "    %-20s %15s %s (%s of data)\n",
             "    %-20s %15s %s (データ %s)\n"),
         piece0_name, Grouped(length0).c_str(), bytes,
         Grouped(data).c_str());
  int count = 1;
  for (int k = 1; data < header.source_size; ++k) {
    char piece[kPathCap];
    if (!PieceName(piece, sizeof piece, set.stem.c_str(), k)) break;
    std::string path = set.folder + piece;
    uint64_t length = 0;
    FileHandle g = p.OpenRead(path.c_str(), &why);
    if (g == nullptr || !p.Length(g, &length, &why)) {
      p.Close(g);
      if (p.Exists(path.c_str())) {
        printf("    %s\n", why.text);
      } else {
        printf("    %-20s %s\n", piece, Say(lang, "missing", "見つかりません"));
      }
      break;
    }
    p.Close(g);
    printf("    %-20s %15s %s\n", piece, Grouped(length).c_str(), bytes);
    data += length;
    ++count;
  }

  if (data == header.source_size) {
    printf(Say(lang, "complete: %d pieces hold all %s bytes.\n",
               "完全です: %d 個のファイルに %s バイトすべてがあります.\n"),
           count, Grouped(data).c_str());
    return sound ? 0 : 1;
  }
  if (data < header.source_size) {
    printf(Say(lang, "incomplete: %s of %s bytes are missing.\n",
               "不完全です: %s / %s バイトが足りません.\n"),
           Grouped(header.source_size - data).c_str(),
           Grouped(header.source_size).c_str());
  } else {
    printf(Say(lang,
               "inconsistent: the pieces hold %s bytes more than the source "
               "size.\n",
               "不整合です: 元のサイズより %s バイト多くあります.\n"),
           Grouped(data - header.source_size).c_str());
  }
  return 1;
}

}  // namespace pvx
