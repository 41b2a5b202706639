// ReadPieceHeader over a file whose bytes are the fuzz input, delivered in
// reads of any size, against a model of the header and its record written
// here from the layout (doc/format.md).
//   byte 0    bits 0-4: a read delivers at most this many bytes (0: all);
//             bits 5-7: this read fails (0: none)
//   the rest  the file
#include <zlib.h>

#include <cstring>

#include "engines/engine_util.h"
#include "format/piece_format.h"
#include "tests/fuzz/mem_platform.h"

using namespace pvx;
using namespace pvx::fuzz;

namespace {

// What a reader must make of 284 header bytes.
struct Model {
  bool header = false;
  HeaderForm form = HeaderForm::kClassic;
  uint64_t size = 0;
  std::string exact;
};

Model Expect(const Bytes& file) {
  Model m;
  if (file.size() < kHeaderSize) return m;
  const bool large = memcmp(file.data(), "@PARVEX+", 8) == 0;
  if (!large && memcmp(file.data(), "@PARVEX ", 8) != 0) return m;
  m.size = Le(file, 16, 4);
  const size_t at = 20 + strnlen(reinterpret_cast<const char*>(&file[20]),
                                 263) + 1;
  const size_t n = at + 14 <= kHeaderSize ? file[at + 13] : 0;
  bool valid = at + 18 + n <= kHeaderSize &&
               memcmp(&file[at], "PVXE\1", 5) == 0 &&
               crc32(0, &file[at], static_cast<uInt>(14 + n)) ==
                   Le(file, at + 14 + n, 4) &&
               memchr(&file[at + 14], 0, n) == nullptr;
  if (valid) {
    const uint64_t size =
        Le(file, at + 5, 4) | static_cast<uint64_t>(Le(file, at + 9, 4)) << 32;
    valid = large ? (size & 0xFFFFFFFFu) == m.size : size == m.size;
    if (valid) {
      m.form = large ? HeaderForm::kLarge : HeaderForm::kRecord;
      m.size = size;
      m.exact.assign(reinterpret_cast<const char*>(&file[at + 14]), n);
    }
  }
  m.header = valid || !large;
  return m;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Input in(data, size);
  const uint8_t mode = in.U8();
  const Bytes file = in.Rest();
  MemPlatform m;
  m.max_read = mode & 31;
  m.fail_read_at = mode >> 5;
  m.PutFile("/f", file);

  Failure why;
  FileHandle f = m.OpenRead("/f", &why);
  PieceHeader h;
  const HeaderRead r = ReadPieceHeader(m, f, &h, &why, true);
  const Model model = Expect(file);
  const bool is_header = model.header;
  if (r == HeaderRead::kIoError) {
    FUZZ_CHECK(strcmp(why.text, "/f: Input/output error") == 0,
               std::string("a read error lost its text: ") + why.text);
  } else {
    FUZZ_CHECK((r == HeaderRead::kOk) == is_header,
               is_header ? "a header was refused" : "bytes taken as a header");
  }
  if (r == HeaderRead::kOk) {
    size_t len = strnlen(reinterpret_cast<const char*>(&file[20]), 263);
    FUZZ_CHECK(h.header_size == Le(file, 8, 2) &&
                   h.name_is_whole == file[11] &&
                   h.source_size == Le(file, 16, 4) &&
                   memcmp(h.file_name, &file[20], len) == 0 &&
                   h.file_name[len] == 0,
               "the fields differ from the bytes");
    FUZZ_CHECK(h.form == model.form && h.size == model.size &&
                   model.exact == h.exact_name,
               "the record was read otherwise than the layout says");
    // The file is left right after the 284 header bytes.
    uint8_t next = 0;
    uint32_t got = 0;
    m.max_read = 0;
    m.fail_read_at = 0;
    m.Read(f, &next, 1, &got, &why);
    FUZZ_CHECK(got == (file.size() > kHeaderSize) &&
                   (got == 0 || next == file[kHeaderSize]),
               "not positioned after the header");
  }
  m.Close(f);
  return 0;
}
