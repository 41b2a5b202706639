#include "format/piece_format.h"

#include "base/text.h"

namespace pvx {

const char kMagic[8] = {'@', 'P', 'A', 'R', 'V', 'E', 'X', ' '};

namespace {

uint16_t Get16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

uint32_t Get32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

}  // namespace

bool BuildPieceHeader(uint8_t out[kHeaderSize], const char* cp932_name,
                      uint32_t source_size) {
  MemZero(out, kHeaderSize);
  size_t len = StrLen(cp932_name);
  if (len >= kHeaderNameCap) return false;
  MemCopy(out, kMagic, 8);
  Put16(out + 8, static_cast<uint16_t>(kHeaderSize));
  out[10] = 2;
  out[11] = 1;  // NameIsWhole
  out[12] = 0xFF;
  Put32(out + 16, source_size);
  MemCopy(out + 20, cp932_name, len + 1);
  return true;
}

bool ParsePieceHeader(const uint8_t bytes[kHeaderSize], PieceHeader* out) {
  if (!MemEqual(bytes, kMagic, 8)) return false;
  out->header_size = Get16(bytes + 8);
  out->name_is_whole = bytes[11];
  out->source_size = Get32(bytes + 16);
  MemCopy(out->file_name, bytes + 20, kHeaderNameCap);
  out->file_name[kHeaderNameCap - 1] = 0;  // a name without its NUL ends here
  return true;
}

uint32_t StubImageSize(const uint8_t* image, uint32_t length) {
  // In 32 bits throughout: pe is at most 0xFFFF, each entry checked lies at
  // most 40 bytes below length (which is at least 0x40) before the next is
  // formed, and the sum at the end is checked for wrapping.
  if (image == nullptr || length < 0x40) return 0;
  uint32_t pe = Get16(image + 0x3C);
  if (pe + 8 > length) return 0;
  uint32_t sections = Get16(image + pe + 6);
  uint32_t entry = pe + 248;  // signature, file header, PE32 optional header
  uint32_t counted = 1;       // entry 0
  do {
    entry += 40;
    if (entry > length - 40) return 0;
    if (image[entry] == '.') ++counted;
  } while (sections > counted);
  uint32_t raw_size = Get32(image + entry + 16);
  uint32_t end = Get32(image + entry + 20) + raw_size;
  if (end < raw_size) return 0;
  return end;
}

bool PieceName(char* out, size_t cap, const char* base, int k) {
  return Format(out, cap, "%s.c%02d", base, k);
}

bool SelfJoinBase(char* out, size_t cap, const char* base) {
  if (!StrCopy(out, cap, "_s") || !StrAppend(out, cap, base)) return false;
  char c = out[2];
  if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
    out[2] = static_cast<char>(c & ~0x20);
  return true;
}

bool IsSafeFileName(const char* name) {
  if (name[0] == 0) return false;
  // "." and "..".
  if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
    return false;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(name);
       *c; ++c) {
    if (*c < 0x20 || *c == 0x7F || *c == '\\' || *c == '/' || *c == ':')
      return false;
  }
  return true;
}

}  // namespace pvx
