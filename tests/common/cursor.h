// Moving the mouse cursor in tests that run on a virtual display.
#pragma once

#include <windows.h>

namespace vl::test {

// Moves the cursor and waits until the position holds: the display server
// echoes every move back a little later, and a late echo of an earlier move
// would put the cursor back. Nothing is dispatched meanwhile, so no paint of
// a window runs behind a test's back.
inline bool MoveCursorTo(int x, int y) {
  int steady = 0;
  for (int i = 0; i < 200 && steady < 8; ++i) {
    POINT p{};
    if (::GetCursorPos(&p) && p.x == x && p.y == y) {
      ++steady;
    } else {
      steady = 0;
      if (!::SetCursorPos(x, y)) return false;
    }
    ::Sleep(20);
  }
  return steady >= 8;
}

}  // namespace vl::test
