#include "format/piece_format.h"

#include "format/crc32.h"
#include "format/text.h"

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

bool WritePieceHeader(Platform& p, FileHandle f, const char* cp932_name,
                      uint32_t source_size, Failure* why) {
  uint8_t bytes[kHeaderSize];
  if (!BuildPieceHeader(bytes, cp932_name, source_size)) return false;
  return p.Write(f, bytes, kHeaderSize, why);
}

HeaderRead ReadPieceHeader(Platform& p, FileHandle f, PieceHeader* out,
                           Failure* why, bool accept_large) {
  uint8_t bytes[kHeaderSize];
  uint32_t have = 0;
  while (have < kHeaderSize) {
    uint32_t got = 0;
    if (!p.Read(f, bytes + have, kHeaderSize - have, &got, why))
      return HeaderRead::kIoError;
    if (got == 0) return HeaderRead::kNotPieceSet;
    have += got;
  }
  return ParsePieceHeader(bytes, out) &&
                 (accept_large || out->form != HeaderForm::kLarge)
             ? HeaderRead::kOk
             : HeaderRead::kNotPieceSet;
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

bool SplitPath(const char* path, PathParts* out, char sep) {
  out->folder[0] = out->name[0] = out->base[0] = out->ext[0] = 0;
  size_t len = StrLen(path);
  if (len >= kPathCap) return false;
  size_t name_start = 0;
  for (size_t i = 0; i < len; ++i)
    if (path[i] == sep) name_start = i + 1;
  MemCopy(out->folder, path, name_start);
  out->folder[name_start] = 0;
  StrCopy(out->name, kPathCap, path + name_start);
  size_t name_len = len - name_start;
  size_t dot = name_len;
  for (size_t i = 0; i < name_len; ++i)
    if (out->name[i] == '.') dot = i;
  StrCopy(out->ext, kPathCap, out->name + dot);
  MemCopy(out->base, out->name, dot);
  out->base[dot] = 0;
  return true;
}

bool CreateFolderChain(Platform& p, const char* path, char sep) {
  char buf[kPathCap];
  if (!StrCopy(buf, sizeof buf, path) || buf[0] == 0) return false;
  // Each prefix that ends before a separator or at the end, in turn.
  for (size_t i = 0;; ++i) {
    const char c = buf[i];
    if (c != sep && c != 0) continue;
    buf[i] = 0;
    // An empty prefix is the root of an absolute path (or a doubled
    // separator): there is nothing to create there.
    if (buf[0] != 0 && !(i > 0 && buf[i - 1] == sep) && !p.IsFolder(buf) &&
        !p.MakeFolder(buf) && !p.IsFolder(buf))
      return false;
    buf[i] = c;
    if (c == 0 || buf[i + 1] == 0) return true;
  }
}

void GroupDigits(const char* digits, char* out, size_t cap) {
  size_t n = StrLen(digits);
  size_t r = n % 3;
  size_t o = 0;
  for (size_t i = 0; i < n; ++i) {
    if (i >= r && (i - r) % 3 == 0 && i != 0) {
      if (o + 1 < cap) out[o++] = ',';
    }
    if (o + 1 < cap) out[o++] = digits[i];
  }
  if (cap) out[o < cap ? o : cap - 1] = 0;
}

void KilobyteText(uint32_t bytes, char* out, size_t cap) {
  char digits[16];
  Format(digits, sizeof digits, "%u", bytes >> 10);
  GroupDigits(digits, out, cap);
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

bool IsWindowsDeviceOrTrimmedName(const char* name) {
  size_t len = StrLen(name);
  if (len == 0) return false;
  if (name[len - 1] == '.' || name[len - 1] == ' ') return true;
  // The part before the first dot, without the blanks at its end: what
  // Windows compares with its device names.
  size_t end = 0;
  while (name[end] && name[end] != '.') ++end;
  while (end > 0 && name[end - 1] == ' ') --end;
  char stem[8];
  if (end >= sizeof stem) return false;
  MemCopy(stem, name, end);
  stem[end] = 0;
  // COM and LPT take one digit or a superscript 1, 2 or 3 (UTF-8 C2 B9,
  // C2 B2, C2 B3); the others stand alone. Each list ends in an empty name.
  const bool numbered =
      (end == 4 && stem[3] >= '0' && stem[3] <= '9') ||
      (end == 5 && stem[3] == '\xC2' &&
       (stem[4] == '\xB9' || stem[4] == '\xB2' || stem[4] == '\xB3'));
  if (numbered) stem[3] = 0;
  for (const char* device =
           numbered ? "COM\0LPT\0" : "CON\0PRN\0AUX\0NUL\0CONIN$\0CONOUT$\0";
       *device; device += StrLen(device) + 1)
    if (StrCompareNoCase(stem, device) == 0) return true;
  return false;
}

int ProgressPosition(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  // Both counts stay far below 2^53 (a set holds at most 10,000 pieces
  // below 4 GiB each), so they convert exactly, and as signed values they convert
  // without the fix-up an unsigned 64-bit conversion costs on i386.
  double pos = static_cast<double>(static_cast<int64_t>(done)) /
               static_cast<double>(static_cast<int64_t>(total)) * 65535.0;
  if (pos >= 2147483647.0) return 2147483647;
  return static_cast<int>(pos);
}

}  // namespace pvx
