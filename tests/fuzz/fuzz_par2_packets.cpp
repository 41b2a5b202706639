// ReadPackets over any bytes: it never reads outside them, and every packet
// it accepts is one that writing it again reproduces byte for byte at the
// place it came from (so the reader takes nothing that fails its MD5 or
// its bounds).
#include <string.h>

#include <string>

#include "integrity/par2_format.h"
#include "tests/fuzz/mem_platform.h"

using namespace pvx::par2;

namespace {

// True when the packet written from (set, type, body) occurs in the input.
bool Occurs(const uint8_t* data, size_t size, const std::vector<uint8_t>& p) {
  if (p.size() > size) return false;
  for (size_t at = 0; at + p.size() <= size; ++at)
    if (memcmp(data + at, p.data(), 8) == 0 && memcmp(data + at, p.data(), p.size()) == 0)
      return true;
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  MemorySource src(data, size);
  FileContents c;
  std::string why;
  FUZZ_CHECK(ReadPackets(src, &c, &why), "reading memory never fails");
  FUZZ_CHECK(c.packets <= size / kHeaderSize, "no more packets than room for them");
  for (const auto& m : c.mains) {
    FUZZ_CHECK(m.second.slice_size % 4 == 0 && m.second.slice_size > 0, "slice size");
    FUZZ_CHECK(Occurs(data, size, Packet(m.first, kMainType, MainBody(m.second))),
               "a Main packet comes back as it was");
  }
  for (const auto& d : c.descs)
    FUZZ_CHECK(!d.second.name.empty() && d.second.name.back() != 0, "a name without padding");
  for (const auto& s : c.ifscs)
    FUZZ_CHECK(Occurs(data, size, Packet(s.first, kIfscType, IfscBody(s.second))),
               "an IFSC packet comes back as it was");
  for (const auto& r : c.recovery)
    FUZZ_CHECK(r.second.data_offset <= size && r.second.data_length <= size - r.second.data_offset,
               "recovery data lies inside the input");
  return 0;
}
