// Checks the built stub program for the properties that self-joining sets
// rely on:
//   - its whole file is its stub image: StubImageSize over the file gives
//     the file's length (so the header written behind it is found again),
//     and so does SizeOfImage, which the running stub takes as that length;
//     every section name begins with ".";
//   - with a section alignment below a page, which is how it is linked,
//     every section's raw data lies at its address and both alignments
//     are equal: Windows maps such an image as the file stands;
//   - it imports only from the system DLLs of a bare Windows (kernel32,
//     user32, shell32, comctl32), so no run-time library has to travel
//     with it;
//   - it is at most --max-size bytes long (every self-joining piece 0
//     carries it).
//
//   check_stub [--max-size N] STUB.exe    N = 0: no size limit
//   check_stub --self-test STUB.exe       breaks copies of the program in
//                                         memory and makes sure each check
//                                         notices
// Exit status 0 when every check passes, 1 otherwise, 2 on bad usage.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

#include <string>
#include <vector>

#include "format/piece_format.h"
#include "buildtools/read_program.h"

namespace {

const char* const kAllowedDlls[] = {"kernel32.dll", "user32.dll",
                                    "shell32.dll", "comctl32.dll"};

enum Problem : unsigned {
  kBadHeaders = 1,    // not a PE32 file we can walk
  kImageSize = 2,     // StubImageSize or SizeOfImage differs from the file length
  kSectionName = 4,   // a section name without a leading "."
  kImports = 8,       // a DLL outside the allowed list
  kTooLarge = 16,     // longer than the limit
  kMapping = 32,      // small alignment, but a section off its address
};

uint32_t U16(const std::vector<uint8_t>& f, size_t at) {
  return at + 2 <= f.size() ? f[at] | f[at + 1] << 8 : 0;
}
uint32_t U32(const std::vector<uint8_t>& f, size_t at) {
  return at + 4 <= f.size()
             ? f[at] | f[at + 1] << 8 | f[at + 2] << 16 |
                   static_cast<uint32_t>(f[at + 3]) << 24
             : 0;
}

struct Section {
  std::string name;
  uint32_t rva, virtual_size, raw_offset, raw_size;
};

struct Image {
  uint32_t section_alignment = 0, file_alignment = 0, header_size = 0;
  uint32_t image_size = 0;  // SizeOfImage
  std::vector<Section> sections;
  uint32_t import_rva = 0;
  std::vector<std::string> dlls;
  std::vector<size_t> dll_name_offsets;  // where each name lies in the file
};

// File offset of rva, or 0 when no section holds it.
size_t OffsetOf(const Image& image, uint32_t rva) {
  for (const Section& s : image.sections) {
    uint32_t span = s.virtual_size > s.raw_size ? s.virtual_size : s.raw_size;
    if (rva >= s.rva && rva < s.rva + span && rva - s.rva < s.raw_size)
      return s.raw_offset + (rva - s.rva);
  }
  return 0;
}

bool Parse(const std::vector<uint8_t>& f, Image* image, std::string* why) {
  uint32_t pe = U32(f, 0x3C);
  if (f.size() < 0x40 || f[0] != 'M' || f[1] != 'Z' || pe + 24 > f.size() ||
      memcmp(&f[pe], "PE\0\0", 4) != 0) {
    *why = "not a PE file";
    return false;
  }
  uint32_t count = U16(f, pe + 6);
  uint32_t optional_size = U16(f, pe + 20);
  uint32_t optional = pe + 24;
  if (U16(f, optional) != 0x10B || optional_size < 224) {
    *why = "not a PE32 image";
    return false;
  }
  image->section_alignment = U32(f, optional + 32);
  image->file_alignment = U32(f, optional + 36);
  image->header_size = U32(f, optional + 60);
  image->image_size = U32(f, optional + 56);
  image->import_rva = U32(f, optional + 96 + 8);
  uint32_t table = optional + optional_size;
  for (uint32_t i = 0; i < count; ++i) {
    size_t at = table + 40 * i;
    if (at + 40 > f.size()) {
      *why = "section table past the end of the file";
      return false;
    }
    Section s;
    s.name.assign(reinterpret_cast<const char*>(&f[at]),
                  strnlen(reinterpret_cast<const char*>(&f[at]), 8));
    s.virtual_size = U32(f, at + 8);
    s.rva = U32(f, at + 12);
    s.raw_size = U32(f, at + 16);
    s.raw_offset = U32(f, at + 20);
    image->sections.push_back(s);
  }
  if (image->import_rva) {
    size_t at = OffsetOf(*image, image->import_rva);
    for (;; at += 20) {
      if (at == 0 || at + 20 > f.size()) {
        *why = "import directory outside the file";
        return false;
      }
      uint32_t name_rva = U32(f, at + 12);
      if (name_rva == 0) break;
      size_t name = OffsetOf(*image, name_rva);
      if (name == 0 || name >= f.size()) {
        *why = "import name outside the file";
        return false;
      }
      image->dlls.emplace_back(
          reinterpret_cast<const char*>(&f[name]),
          strnlen(reinterpret_cast<const char*>(&f[name]), f.size() - name));
      image->dll_name_offsets.push_back(name);
    }
  }
  return true;
}

// All checks; returns the set of problems and describes them in *report.
unsigned Check(const std::vector<uint8_t>& f, uint32_t max_size,
               std::string* report) {
  Image image;
  std::string why;
  char line[512];
  if (!Parse(f, &image, &why)) {
    *report += "headers: " + why + "\n";
    return kBadHeaders;
  }
  unsigned problems = 0;
  uint32_t length = static_cast<uint32_t>(f.size());
  uint32_t walked = pvx::StubImageSize(f.data(), length);
  snprintf(line, sizeof line, "stub image: %u of %u bytes, SizeOfImage %u\n",
           walked, length, image.image_size);
  *report += line;
  if (walked != length || image.image_size != length) problems |= kImageSize;
  for (const Section& s : image.sections) {
    snprintf(line, sizeof line, "section %-8s raw %6u..%6u\n", s.name.c_str(),
             s.raw_offset, s.raw_offset + s.raw_size);
    *report += line;
    if (s.name.empty() || s.name[0] != '.') problems |= kSectionName;
    if (image.section_alignment < 0x1000 &&
        (s.raw_offset != s.rva ||
         image.file_alignment != image.section_alignment ||
         image.header_size > s.rva))
      problems |= kMapping;
  }
  if (problems & kMapping) *report += "a section's raw data is off its address\n";
  for (const std::string& dll : image.dlls) {
    bool allowed = false;
    for (const char* ok : kAllowedDlls)
      if (strcasecmp(dll.c_str(), ok) == 0) allowed = true;
    *report += "imports " + dll + (allowed ? "\n" : "  (not allowed)\n");
    if (!allowed) problems |= kImports;
  }
  if (max_size && length > max_size) {
    snprintf(line, sizeof line, "size %u exceeds the limit of %u\n", length,
             max_size);
    *report += line;
    problems |= kTooLarge;
  }
  return problems;
}

const char* Describe(unsigned problems) {
  static std::string text;
  text.clear();
  const char* names[] = {"bad headers", "stub image is not the whole file",
                         "section name without '.'", "disallowed import",
                         "too large", "sections off their addresses"};
  for (int i = 0; i < 6; ++i)
    if (problems & (1u << i)) text += std::string(text.empty() ? "" : ", ") + names[i];
  return text.empty() ? "none" : text.c_str();
}

// Each mutation must be caught by the check named; the intact program must
// pass. Returns the number of misses.
int SelfTest(const std::vector<uint8_t>& program, uint32_t max_size) {
  std::string report;
  int misses = 0;
  auto expect = [&](const char* what, const std::vector<uint8_t>& f,
                    uint32_t limit, unsigned wanted) {
    std::string ignored;
    unsigned got = Check(f, limit, &ignored);
    bool ok = wanted ? (got & wanted) == wanted : got == 0;
    printf("%-44s %s (found: %s)\n", what, ok ? "caught" : "MISSED",
           Describe(got));
    if (!ok) ++misses;
  };
  expect("intact program passes", program, max_size, 0);

  std::vector<uint8_t> f = program;
  f.push_back(0);
  expect("one byte after the last section", f, 0, kImageSize);

  Image image;
  std::string why;
  if (!Parse(program, &image, &why) || image.sections.empty() ||
      image.dlls.empty()) {
    printf("cannot take the program apart: %s\n", why.c_str());
    return misses + 1;
  }
  uint32_t pe = U32(program, 0x3C);
  size_t table = pe + 24 + U16(program, pe + 20);
  f = program;
  f[table + 40 * (image.sections.size() - 1)] = 'X';  // ".rsrc" -> "Xrsrc"
  expect("last section renamed without '.'", f, 0, kSectionName | kImageSize);

  f = program;
  const char* crt = "msvcrt.dll";
  size_t at = image.dll_name_offsets[0];
  size_t n = image.dlls[0].size();
  for (size_t i = 0; i < n; ++i) f[at + i] = i < strlen(crt) ? crt[i] : 0;
  expect("an import renamed to the C run-time", f, 0, kImports);

  f = program;
  const uint32_t moved = image.sections[0].raw_offset + 16;
  for (int i = 0; i < 4; ++i)
    f[table + 20 + i] = static_cast<uint8_t>(moved >> 8 * i);
  expect("first section's raw data moved by 16 bytes", f, 0, kMapping);

  expect("a limit one byte below its size", program,
         static_cast<uint32_t>(program.size()) - 1, kTooLarge);
  return misses;
}

}  // namespace

int main(int argc, char** argv) {
  // The stub travels in every self-joining piece 0: at most 12 KiB of it.
  uint32_t max_size = 12288;
  bool self_test = false;
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--max-size") == 0 && i + 1 < argc) {
      max_size = static_cast<uint32_t>(strtoul(argv[++i], nullptr, 0));
    } else if (strcmp(argv[i], "--self-test") == 0) {
      self_test = true;
    } else if (!path && argv[i][0] != '-') {
      path = argv[i];
    } else {
      path = nullptr;
      break;
    }
  }
  if (!path) {
    fprintf(stderr,
            "usage: check_stub [--max-size N] STUB.exe\n"
            "       check_stub --self-test STUB.exe\n");
    return 2;
  }
  std::vector<uint8_t> bytes;
  if (!ReadProgram(path, &bytes)) return 1;

  if (self_test) return SelfTest(bytes, 0) == 0 ? 0 : 1;

  std::string report;
  unsigned problems = Check(bytes, max_size, &report);
  printf("%s: %s", path, problems ? "FAILED\n" : "ok\n");
  fputs(report.c_str(), stdout);
  if (problems) printf("problems: %s\n", Describe(problems));
  return problems ? 1 : 0;
}
