// The tests read parvex's Japanese texts from the build tree's catalogue,
// as parvex reads them from the one beside it.
#include "engines/own_texts.h"

#include <libintl.h>

namespace {

bool BindCatalogue() {
  pvx::UseCatalogue(pvx::Lang::kJapanese, PVX_TEST_LOCALEDIR);
  // The system's own texts stay English, as the tests that compare them
  // expect: the C library's catalogue is looked for where there is none.
  bindtextdomain("libc", "/nonexistent");
  return true;
}

const bool kCatalogueBound = BindCatalogue();

}  // namespace
