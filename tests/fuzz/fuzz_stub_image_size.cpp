// StubImageSize over arbitrary bytes of any length, compared with a model of
// the section walk that checks each read on its own.
#include <optional>

#include "format/piece_format.h"
#include "tests/fuzz/mem_platform.h"

using namespace pvx::fuzz;

namespace {

// The PE signature at the 16-bit offset at 0x3C, NumberOfSections 6 bytes
// after it, the section table 248 bytes after it. Entry 0 counts; step to
// the next entry, counting it when its name starts with '.', while
// NumberOfSections is greater than the count. The result is the stopping
// entry's PointerToRawData + SizeOfRawData; empty when a byte it needs lies
// outside the image.
std::optional<uint64_t> Model(const Bytes& b) {
  auto fits = [&](uint64_t at, uint64_t n) { return at + n <= b.size(); };
  if (!fits(0x3C, 2)) return std::nullopt;
  const uint64_t pe = Le(b, 0x3C, 2);
  if (!fits(pe + 6, 2)) return std::nullopt;
  const uint32_t sections = Le(b, pe + 6, 2);
  uint32_t counted = 1;
  uint64_t entry = 0;
  for (uint64_t index = 1;; ++index) {
    entry = pe + 248 + 40 * index;
    if (!fits(entry, 40)) return std::nullopt;
    if (b[entry] == '.') ++counted;
    if (sections <= counted) break;
  }
  return uint64_t{Le(b, entry + 20, 4)} + Le(b, entry + 16, 4);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // A copy of exactly this length, so that a read past it is caught.
  const Bytes image(data, data + size);
  const uint32_t got =
      pvx::StubImageSize(image.data(), static_cast<uint32_t>(image.size()));
  const std::optional<uint64_t> want = Model(image);
  const uint64_t expected = want && *want <= 0xFFFFFFFFu ? *want : 0;
  FUZZ_CHECK(got == expected, "got " + std::to_string(got) + ", expected " +
                                  std::to_string(expected));
  return 0;
}
