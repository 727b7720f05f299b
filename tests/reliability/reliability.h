// The reliability drivers of the real program, one per command of
// vellora_reliability.exe.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace rel {

struct Options {
  std::wstring exe;   // the program under test
  int seconds = 60;   // long run: simulated use
  int kills = 8;      // abrupt end: how many
  unsigned seed = 0;  // abrupt end and long run: random choices
  std::string only;   // registry: just this value's cases
};

// Two backdrop colours that no frame band and no black area can be.
inline constexpr COLORREF kBackdropA = RGB(255, 0, 255);
inline constexpr COLORREF kBackdropB = RGB(0, 160, 255);

int RunRegistry(const Options& opt);
int RunLongRun(const Options& opt);
int RunKills(const Options& opt);
int RunDesktops(const Options& opt);

}  // namespace rel
