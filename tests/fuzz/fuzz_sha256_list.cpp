// ChecksumList::Parse over any bytes. Whatever parses must survive a round
// trip through FormatList unchanged (unless escaping makes a line too
// long); whatever is refused names a line that
// exists in the input.
#include <string>
#include <string_view>

#include "integrity/sha256_list.h"
#include "tests/fuzz/mem_platform.h"

using namespace pvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  ChecksumList list;
  ListError why;
  if (!list.Parse(text, "f", &why)) {
    uint64_t lines = 1;
    for (char c : text) lines += c == '\n';
    FUZZ_CHECK(why.file == "f", "the error names the list");
    FUZZ_CHECK(why.line <= lines, "the error names a line of the input");
    FUZZ_CHECK((why.line == 0) == (why.kind == ListError::Kind::kNoEntries ||
                                   why.kind == ListError::Kind::kTooLarge),
               "only whole-file errors have no line");
    FUZZ_CHECK(!DescribeListError(why, Lang::kEnglish).empty() &&
                   !DescribeListError(why, Lang::kJapanese).empty(),
               "the error has a text");
    return 0;
  }
  FUZZ_CHECK(!list.entries().empty(), "a parsed list has entries");
  // Escaping can make a line longer than a list may hold (a name of
  // thousands of backslashes); every other list we write must come back.
  for (const ListEntry& e : list.entries())
    if (FormatListLine(e.name, e.digest).size() - 1 > kMaxListLine) return 0;
  ChecksumList again;
  std::string written = FormatList(list.entries());
  FUZZ_CHECK(again.Parse(written, "g", &why), "what we write parses");
  FUZZ_CHECK(again.entries().size() == list.entries().size(),
             "the round trip keeps every entry");
  for (size_t i = 0; i < list.entries().size(); ++i) {
    FUZZ_CHECK(again.entries()[i].name == list.entries()[i].name,
               "the round trip keeps names");
    FUZZ_CHECK(again.entries()[i].digest == list.entries()[i].digest,
               "the round trip keeps digests");
  }
  return 0;
}
