// Takes the DOS program out of the linked stub _sSPVX.exe, in place.
//
// The linker always writes a 64-byte DOS program between the DOS header and
// the PE headers. Windows never runs it, and every self-joining piece 0
// carries it. windows/stub.ld places the sections 64 bytes lower in memory
// than the linker places them in the file; taking those 64 bytes out of the
// file moves every section's raw data onto its address, which is how an
// image with section alignment below a page must lie (raw offset equal to
// address), and leaves the PE headers right behind the DOS header.
//
//   pack_stub STUB.exe
//
// The DOS program goes, but not what it did: started under MS-DOS, the file
// still says that it is a Windows program and ends. A 14-byte program and
// its text take its place inside the DOS header, in fields that Windows
// never reads (from 0x1C on, up to e_lfanew at 0x3C); the header's own
// fields then make DOS load the file from its first byte and start there.
//
// Exit status 0 when the file was packed, 1 when it is not the linked stub
// this expects or cannot be rewritten (it then stays as it was), 2 on bad
// usage.
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "buildtools/read_program.h"

namespace {

constexpr uint32_t kDosProgram = 64;  // bytes between the DOS and PE headers
constexpr uint32_t kDosHeader = 64;

// 0x1C: push cs; pop ds; mov dx, 0x2A; mov ah, 9; int 21h (print the text
// at 0x2A up to its "$"); mov ax, 4C01h; int 21h (end, status 1).
constexpr uint8_t kDosCode[] = {0x0E, 0x1F, 0xBA, 0x2A, 0x00, 0xB4, 0x09,
                                0xCD, 0x21, 0xB8, 0x01, 0x4C, 0xCD, 0x21};
constexpr char kDosText[] = "Windows program\r\n$";
constexpr uint32_t kDosCodeAt = 0x1C;
static_assert(kDosCodeAt + sizeof kDosCode == 0x2A, "the text follows the code");
static_assert(0x2A + sizeof kDosText - 1 <= 0x3C, "the text ends before e_lfanew");

uint32_t Get(const std::vector<uint8_t>& f, size_t at, int bytes) {
  uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = v << 8 | f[at + i];
  return v;
}

void Put(std::vector<uint8_t>& f, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) f[at + i] = static_cast<uint8_t>(v >> 8 * i);
}

// Packs f; false with *why when it is not laid out as expected.
bool Pack(std::vector<uint8_t>& f, const char** why) {
  if (f.size() < kDosHeader + kDosProgram + 24 || f[0] != 'M' || f[1] != 'Z') {
    *why = "not a program";
    return false;
  }
  const uint32_t pe = Get(f, 0x3C, 4);
  if (pe != kDosHeader + kDosProgram || pe + 24 > f.size() ||
      memcmp(&f[pe], "PE\0\0", 4) != 0) {
    *why = "the PE headers do not follow a 64-byte DOS program";
    return false;
  }
  const uint32_t optional = pe + 24;
  const uint32_t count = Get(f, pe + 6, 2);
  const uint32_t table = optional + Get(f, pe + 20, 2);
  if (table + 40 * count > f.size() || Get(f, optional, 2) != 0x10B) {
    *why = "not a PE32 image";
    return false;
  }
  const uint32_t section_alignment = Get(f, optional + 32, 4);
  const uint32_t file_alignment = Get(f, optional + 36, 4);
  const uint32_t headers = Get(f, optional + 60, 4);
  if (section_alignment != file_alignment || file_alignment == 0 ||
      kDosProgram % file_alignment != 0 || headers < table + 40 * count) {
    *why = "the alignments or the header size are not those of windows/stub.ld";
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    const uint32_t at = table + 40 * i;
    const uint32_t rva = Get(f, at + 12, 4);
    const uint32_t raw = Get(f, at + 20, 4);
    if (raw != rva + kDosProgram) {
      *why = "a section's raw data does not lie 64 bytes above its address "
             "(is the program already packed?)";
      return false;
    }
    Put(f, at + 20, rva);
  }
  Put(f, optional + 60, headers - kDosProgram);
  f.erase(f.begin() + kDosHeader, f.begin() + kDosHeader + kDosProgram);
  Put(f, 0x3C, kDosHeader);
  // DOS: no header paragraphs (the load image starts at byte 0), entry
  // CS:IP = 0:0x1C.
  f[0x08] = f[0x09] = 0;
  f[0x14] = kDosCodeAt;
  f[0x15] = f[0x16] = f[0x17] = 0;
  memcpy(&f[kDosCodeAt], kDosCode, sizeof kDosCode);
  memcpy(&f[0x2A], kDosText, sizeof kDosText - 1);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    fprintf(stderr, "usage: pack_stub STUB.exe\n");
    return 2;
  }
  const char* path = argv[1];
  std::vector<uint8_t> bytes;
  if (!ReadProgram(path, &bytes)) return 1;
  const char* why = "";
  if (!Pack(bytes, &why)) {
    fprintf(stderr, "%s: %s\n", path, why);
    return 1;
  }
  // Written beside it, then renamed over it: a failed write leaves the
  // linked program as it was.
  const std::string packed = std::string(path) + ".packing";
  FILE* out = fopen(packed.c_str(), "wb");
  bool written = out && fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
  if (out && fclose(out) != 0) written = false;
  struct stat mode;
  if (written && stat(path, &mode) == 0) chmod(packed.c_str(), mode.st_mode & 07777);
  if (!written || rename(packed.c_str(), path) != 0) {
    perror(written ? path : packed.c_str());
    remove(packed.c_str());
    return 1;
  }
  return 0;
}
