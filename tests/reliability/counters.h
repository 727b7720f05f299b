// What a long-running process holds: GDI objects, user objects, kernel
// handles and memory, sampled from outside the process.
#pragma once

#include <windows.h>

#include <string>

namespace rel {

struct Counters {
  long gdi = -1;      // GDI objects
  long user = -1;     // user objects, where the system counts them
  long windows = -1;  // windows of the process, top-level and children
  long handles = -1;  // kernel handles
  double workingSetMiB = -1;
  double privateMiB = -1;  // private bytes (commit), where the system reports them
};

// Samples process `process` (id `pid`). On Windows the counts come from
// GetGuiResources and GetProcessHandleCount. Wine reports 0 for those, so
// there the GDI objects are counted in the process's own GDI handle table and
// the handles in the system's handle list.
Counters Sample(HANDLE process, DWORD pid);

// Where each figure came from, for the report.
std::string CounterSources();

}  // namespace rel
