#include "platform/platform.h"

namespace pvx {

bool CopyByReadWrite(Platform& p, FileHandle src, FileHandle dst, void* buf,
                     uint32_t n, uint32_t* got, Failure* why) {
  *got = 0;
  if (!p.Read(src, buf, n, got, why)) return false;
  if (*got == 0) return true;
  return p.Write(dst, buf, *got, why);
}

}  // namespace pvx
