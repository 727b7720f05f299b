#include "counters.h"

#include <psapi.h>
#include <winternl.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "driver.h"

namespace rel {

namespace {

bool g_gdiFromTable = false, g_handlesFromList = false;

// The GDI handle table that a process's environment block points to: 65536
// entries of 24 bytes, the object's type in byte 14, 0 for a free entry. It
// is where the system itself looks a handle up, so a live entry is a live object.
constexpr std::size_t kPebGdiTableOffset = 0xF8;
constexpr std::size_t kGdiEntries = 0x10000, kGdiEntrySize = 24, kGdiTypeOffset = 14;

long GdiFromTable(HANDLE process) {
  PROCESS_BASIC_INFORMATION info{};
  ULONG length = 0;
  if (::NtQueryInformationProcess(process, ProcessBasicInformation, &info, sizeof info, &length) !=
      0)
    return -1;
  void* table = nullptr;
  SIZE_T read = 0;
  if (!::ReadProcessMemory(process,
                           reinterpret_cast<const char*>(info.PebBaseAddress) + kPebGdiTableOffset,
                           &table, sizeof table, &read) ||
      !table)
    return -1;
  std::vector<unsigned char> entries(kGdiEntries * kGdiEntrySize);
  if (!::ReadProcessMemory(process, table, entries.data(), entries.size(), &read)) return -1;
  long live = 0;
  for (std::size_t i = 1; i < kGdiEntries; ++i)
    if (entries[i * kGdiEntrySize + kGdiTypeOffset] != 0) ++live;
  return live;
}

// SystemHandleInformation: a count, then one record per open handle with its
// owner's process id first.
struct HandleRecord {
  ULONG pid;
  BYTE type;
  BYTE flags;
  USHORT handle;
  PVOID object;
  ACCESS_MASK access;
};
constexpr auto kSystemHandleInformation = static_cast<SYSTEM_INFORMATION_CLASS>(16);
constexpr NTSTATUS kInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

long HandlesFromList(DWORD pid) {
  ULONG size = 1 << 20;
  std::vector<char> buffer;
  NTSTATUS status;
  do {
    buffer.resize(size);
    status = ::NtQuerySystemInformation(kSystemHandleInformation, buffer.data(), size, &size);
    if (status == kInfoLengthMismatch) size = static_cast<ULONG>(buffer.size() * 2);
  } while (status == kInfoLengthMismatch);
  if (status != 0) return -1;
  ULONG_PTR count = 0;
  std::memcpy(&count, buffer.data(), sizeof count);
  const auto* records = reinterpret_cast<const HandleRecord*>(buffer.data() + sizeof(ULONG_PTR));
  long mine = 0;
  for (ULONG_PTR i = 0; i < count; ++i)
    if (records[i].pid == pid) ++mine;
  return mine;
}

}  // namespace

Counters Sample(HANDLE process, DWORD pid) {
  Counters c;
  const DWORD gdi = ::GetGuiResources(process, GR_GDIOBJECTS);
  if (gdi != 0) {
    c.gdi = static_cast<long>(gdi);
    c.user = static_cast<long>(::GetGuiResources(process, GR_USEROBJECTS));
  } else {
    g_gdiFromTable = true;
    c.gdi = GdiFromTable(process);
  }
  c.windows = CountWindows(pid);
  DWORD handles = 0;
  if (::GetProcessHandleCount(process, &handles) && handles != 0) {
    c.handles = static_cast<long>(handles);
  } else {
    g_handlesFromList = true;
    c.handles = HandlesFromList(pid);
  }
  PROCESS_MEMORY_COUNTERS_EX mem{};
  mem.cb = sizeof mem;
  if (::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&mem),
                             sizeof mem)) {
    c.workingSetMiB = static_cast<double>(mem.WorkingSetSize) / (1024.0 * 1024.0);
    if (mem.PrivateUsage != 0)
      c.privateMiB = static_cast<double>(mem.PrivateUsage) / (1024.0 * 1024.0);
    else if (mem.PagefileUsage != 0)
      c.privateMiB = static_cast<double>(mem.PagefileUsage) / (1024.0 * 1024.0);
  }
  return c;
}

std::string CounterSources() {
  std::string s = "GDI objects: ";
  s += g_gdiFromTable ? "live entries of the process's GDI handle table (GetGuiResources reports 0)"
                      : "GetGuiResources";
  s += "; handles: ";
  s += g_handlesFromList ? "the system handle list (GetProcessHandleCount reports 0)"
                         : "GetProcessHandleCount";
  s += "; windows: EnumWindows and EnumChildWindows; memory: GetProcessMemoryInfo";
  return s;
}

}  // namespace rel
