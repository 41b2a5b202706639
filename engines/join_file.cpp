// The tool's join: a plain piece set (base.c00, base.c01, ...), with the
// tool's own questions.
#include "engines/engines.h"
#include "engines/messages.h"

namespace pvx {

namespace {
const PieceZero kPlain = {false, kMsgOverwrite, kNoText};
const PieceZero kPlainPaused = {false, kMsgOverwrite, kMsgInsertDisk};
}  // namespace

int JoinFile(Platform& p, const char* path, const char* destination,
             bool pause, Failure* io) {
  return Join(p, path, pause ? kPlainPaused : kPlain, 0, destination, io);
}

}  // namespace pvx
