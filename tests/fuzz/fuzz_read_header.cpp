// ReadPieceHeader over a file whose bytes are the fuzz input, delivered in
// reads of any size.
//   byte 0    bits 0-4: a read delivers at most this many bytes (0: all);
//             bits 5-7: this read fails (0: none)
//   the rest  the file
#include <cstring>

#include "engines/engine_util.h"
#include "format/piece_format.h"
#include "tests/fuzz/mem_platform.h"

using namespace pvx;
using namespace pvx::fuzz;

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
  const HeaderRead r = ReadPieceHeader(m, f, &h, &why);
  const bool is_header =
      file.size() >= kHeaderSize && memcmp(file.data(), "@PARVEX ", 8) == 0;
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
