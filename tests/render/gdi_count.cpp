#include "gdi_count.h"

#include <windows.h>

namespace vl::test {

long LiveGdiObjects() {
  const DWORD reported = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported != 0) return static_cast<long>(reported);
  long live = 0;
  for (ULONG_PTR index = 1; index <= 0xFFFF; ++index)
    if (::GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++live;
  return live;
}

}  // namespace vl::test
