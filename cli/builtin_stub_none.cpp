// A parvex without a stub program: `cut --self-join` is refused by the cut
// engine ("fail FindResource()") before piece 0 is written.
#include "cli/builtin_stub.h"

bool BuiltInStub(const uint8_t** image, uint32_t* length) {
  *image = nullptr;
  *length = 0;
  return false;
}
