// One run of the program: settings in, the mirror window and its message loop,
// settings out.
#pragma once

#include <windows.h>

#include "framework/message_loop.h"

namespace vl {

// The program's module: its instance handle and the user-interface thread's loop.
extern fw::CAppModule g_module;

// Exit code of a run whose window could not be created.
inline constexpr int kExitNoWindow = 1;

// Loads the settings, shows the mirror window, runs the loop until WM_QUIT and
// saves the settings; the result is WM_QUIT's code. If the window cannot be
// created nothing is saved and the result is kExitNoWindow.
int Run(LPWSTR cmdLine, int cmdShow);

}  // namespace vl
