#include "format/piece_format.h"

#include "base/text.h"
#include "format/crc32.h"

namespace pvx {

const char kMagic[8] = {'@', 'P', 'A', 'R', 'V', 'E', 'X', ' '};
const char kMagicLarge[8] = {'@', 'P', 'A', 'R', 'V', 'E', 'X', '+'};

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

void Put64(uint8_t* p, uint64_t v) {
  Put32(p, static_cast<uint32_t>(v));
  Put32(p + 4, static_cast<uint32_t>(v >> 32));
}

// The record's parts, from its tag on.
constexpr uint32_t kRecordSize = 5;
constexpr uint32_t kRecordNameLength = 13;
constexpr uint32_t kRecordName = 14;
const char kRecordHead[5] = {'P', 'V', 'X', 'E', 1};  // tag, version 1
// The tag "PVXE" read as a little-endian word, and the version.
constexpr uint32_t kRecordTag = 0x45585650;
constexpr uint8_t kRecordVersion = 1;
// CRC-32 of any bytes followed by their own CRC-32 (little-endian).
constexpr uint32_t kCrcResidue = 0x2144DF1C;

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

HeaderBuild BuildPieceHeader(uint8_t out[kHeaderSize], const char* exact_name,
                             const char* header_name, bool header_name_exact,
                             uint64_t source_size) {
  const bool large = source_size > 0xFFFFFFFFu;
  if (!BuildPieceHeader(out, header_name,
                        static_cast<uint32_t>(source_size)))
    return HeaderBuild::kNameTooLong;
  if (header_name_exact && !large) return HeaderBuild::kOk;
  const uint32_t s = static_cast<uint32_t>(StrLen(header_name));
  const uint32_t n =
      header_name_exact ? 0 : static_cast<uint32_t>(StrLen(exact_name));
  if (s + n > kRecordNameRoom) return HeaderBuild::kRecordTooLong;
  if (large) MemCopy(out, kMagicLarge, 8);
  uint8_t* r = out + 20 + s + 1;
  MemCopy(r, kRecordHead, kRecordSize);
  Put64(r + kRecordSize, source_size);
  r[kRecordNameLength] = static_cast<uint8_t>(n);
  MemCopy(r + kRecordName, exact_name, n);
  Put32(r + kRecordName + n, Crc32(r, kRecordName + n));
  return HeaderBuild::kOk;
}

uint32_t RecordNameRoom(const char* header_name) {
  const size_t s = StrLen(header_name);
  return s < kRecordNameRoom ? static_cast<uint32_t>(kRecordNameRoom - s) : 0;
}

bool ParsePieceHeader(const uint8_t bytes[kHeaderSize], PieceHeader* out) {
  // "@PARVEX " and "@PARVEX+" differ in their last byte only.
  const uint8_t last = bytes[7];
  if (!MemEqual(bytes, kMagic, 7) || (last != ' ' && last != '+'))
    return false;
  const bool large = last == '+';
  const uint32_t low = Get32(bytes + 16);
  out->header_size = Get16(bytes + 8);
  out->name_is_whole = bytes[11];
  out->source_size = low;
  out->size = low;
  out->form = HeaderForm::kClassic;
  out->exact_name[0] = 0;
  MemCopy(out->file_name, bytes + 20, kHeaderNameCap);
  out->file_name[kHeaderNameCap - 1] = 0;  // a name without its NUL ends here
  // The record starts right after FileName's NUL (a name that fills the
  // field leaves no room for one), at offset at. Every check must pass: the
  // original writer leaves arbitrary bytes here. The tag and version are
  // one 32-bit word and a byte; the CRC over the record with its own CRC
  // appended leaves CRC-32's fixed residue. Under "@PARVEX " the record's
  // size must be the SourceSize an older reader copies; under "@PARVEX+"
  // agree with it in the low 32 bits. A name with a NUL in it is no name.
  const uint32_t at = 21 + static_cast<uint32_t>(StrLen(out->file_name));
  if (at + kRecordFixed > kHeaderSize) return !large;
  const uint8_t* r = bytes + at;
  const uint32_t n = r[kRecordNameLength];
  const uint32_t high = Get32(r + kRecordSize + 4);
  if (at + kRecordFixed + n > kHeaderSize || Get32(r) != kRecordTag ||
      r[4] != kRecordVersion || Get32(r + kRecordSize) != low ||
      (high != 0 && !large) || Crc32(r, kRecordFixed + n) != kCrcResidue)
    return !large;
  char* name = out->exact_name;
  for (uint32_t i = 0; i < n; ++i) {
    if (!(name[i] = static_cast<char>(r[kRecordName + i]))) {
      name[0] = 0;
      return !large;
    }
  }
  name[n] = 0;
  out->form = static_cast<HeaderForm>(1 + large);
  out->size = low | (static_cast<uint64_t>(high) << 32);
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
