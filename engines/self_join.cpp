// The stub's join: a self-joining piece 0 (the stub program with the header
// and the first data behind it) and the pieces named after it.
#include "engines/engines.h"
#include "engines/messages.h"

namespace pvx {

namespace {
const PieceZero kProgram = {true, kMsgOverwriteStub, kNoText};
}  // namespace

int SelfJoin(Platform& p, const char* self_path, uint32_t stub_image_size,
             const char* destination, Failure* io) {
  return Join(p, self_path, kProgram, stub_image_size, destination, io);
}

}  // namespace pvx
