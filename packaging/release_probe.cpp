// What scripts/release_check.sh asks of Windows itself about the installed
// program. Each command prints what it found as "name=value" lines and ends
// with exit code 0 when it could find out, 1 when it could not.
//
//   release_probe run [--limited] <exe> [args...]
//                                       runs <exe> and waits for it and every
//                                       process it starts (the uninstaller
//                                       hands over to a copy of itself);
//                                       exit_code= the first process's code
//   release_probe shortcut <lnk>        target= of a shell link
//   release_probe inspect <exe>         version strings, icon sizes, manifest
//   release_probe start <exe>           starts Vellora, waits for its mirror
//                                       window, closes it as a user would and
//                                       reports its exit code
//   release_probe watch [--limited] [<exe> <x> <y>]
//                                       starts Vellora and moves its mirror, or
//                                       finds the running one by its class;
//                                       rect=, elevation= (its token: full,
//                                       limited or default), running=yes, then
//                                       exit_code=
#include <windows.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <tlhelp32.h>

#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <vector>

#include "tests/common/program.h"

namespace {

using vl::test::FindMirror;
constexpr wchar_t kMirrorClass[] = L"Korvane.Vellora.Mirror";  // as the installer finds it

// Handles closed on every path.
struct Handle {
  HANDLE h = nullptr;
  Handle() = default;
  explicit Handle(HANDLE handle) : h(handle) {}
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (h && h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
  }
};

std::wstring Quote(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  // An uninstaller's _?=<folder> and an installer's /D=<folder> take the rest
  // of the line as it stands.
  if (arg.rfind(L"_?=", 0) == 0 || arg.rfind(L"/D=", 0) == 0) return arg;
  std::wstring quoted = L"\"";
  for (wchar_t c : arg) {
    if (c == L'"') quoted += L'\\';
    quoted += c;
  }
  return quoted + L"\"";
}

struct Child {
  Handle process;
  Handle thread;
  DWORD pid = 0;
};

// --limited: a primary copy of this process's linked token, the limited half
// of an administrator's split token, as a standard user's desktop runs
// programs (Wine runs every process elevated).
HANDLE LimitedToken() {
  Handle own, linked;
  TOKEN_LINKED_TOKEN link{};
  DWORD size = 0;
  HANDLE primary = nullptr;
  if (::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &own.h) &&
      ::GetTokenInformation(own.h, TokenLinkedToken, &link, sizeof link, &size)) {
    linked.h = link.LinkedToken;
    ::DuplicateTokenEx(linked.h, TOKEN_ALL_ACCESS, nullptr, SecurityImpersonation, TokenPrimary,
                       &primary);
  }
  return primary;
}

const wchar_t* Elevation(HANDLE process) {
  Handle token;
  TOKEN_ELEVATION_TYPE type{};
  DWORD size = 0;
  if (!::OpenProcessToken(process, TOKEN_QUERY, &token.h) ||
      !::GetTokenInformation(token.h, TokenElevationType, &type, sizeof type, &size))
    return L"unknown";
  return type == TokenElevationTypeFull      ? L"full"
         : type == TokenElevationTypeLimited ? L"limited"
                                             : L"default";
}

bool Launch(const std::vector<std::wstring>& argv, Child& child, HANDLE job = nullptr,
            bool limited = false) {
  std::wstring cmd;
  for (const auto& a : argv) cmd += (cmd.empty() ? L"" : L" ") + Quote(a);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION pi{};
  Handle token(limited ? LimitedToken() : nullptr);
  if (limited && !token.h)
    return std::wprintf(L"error=no limited token (error %lu)\n", ::GetLastError()), false;
  if (!(limited ? ::CreateProcessAsUserW(token.h, argv[0].c_str(), cmd.data(), nullptr, nullptr,
                                         FALSE, CREATE_SUSPENDED, nullptr, nullptr, &si, &pi)
                : ::CreateProcessW(argv[0].c_str(), cmd.data(), nullptr, nullptr, FALSE,
                                   CREATE_SUSPENDED, nullptr, nullptr, &si, &pi))) {
    std::wprintf(L"error=cannot start %ls (error %lu)\n", argv[0].c_str(), ::GetLastError());
    return false;
  }
  child.process.h = pi.hProcess;
  child.thread.h = pi.hThread;
  child.pid = pi.dwProcessId;
  // In the job before it runs, so every process it starts is in it too.
  if (job && !::AssignProcessToJobObject(job, pi.hProcess)) {
    std::wprintf(L"error=cannot put the process in a job (error %lu)\n", ::GetLastError());
    ::TerminateProcess(pi.hProcess, 99);
    return false;
  }
  ::ResumeThread(pi.hThread);
  return true;
}

bool IsSystemProcess(const wchar_t* exeName) {
  for (const wchar_t* name :
       {L"vellora.exe" /* an installer starts it again */, L"explorer.exe", L"services.exe",
        L"winedevice.exe", L"plugplay.exe", L"svchost.exe", L"rpcss.exe", L"conhost.exe",
        L"winemenubuilder.exe", L"tabtip.exe", L"wineboot.exe"})
    if (::_wcsicmp(exeName, name) == 0) return true;
  return false;
}

// Whether a process of the job other than the system's is still running.
bool OwnProcessesLeft(HANDLE job) {
  struct {
    JOBOBJECT_BASIC_PROCESS_ID_LIST list;
    ULONG_PTR more[63];
  } ids{};
  if (!::QueryInformationJobObject(job, JobObjectBasicProcessIdList, &ids, sizeof ids, nullptr))
    return true;
  if (ids.list.NumberOfProcessIdsInList == 0) return false;
  Handle snap(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = ::Process32FirstW(snap.h, &entry); more; more = ::Process32NextW(snap.h, &entry))
    for (DWORD i = 0; i < ids.list.NumberOfProcessIdsInList; ++i)
      if (ids.list.ProcessIdList[i] == entry.th32ProcessID && !IsSystemProcess(entry.szExeFile))
        return true;
  return false;
}

int Run(const std::vector<std::wstring>& argv, bool limited) {
  Handle job(::CreateJobObjectW(nullptr, nullptr));
  if (!job.h) return std::wprintf(L"error=no job object\n"), 1;
  Child child;
  if (!Launch(argv, child, job.h, limited)) return 1;
  const DWORD kTimeoutMs = 60000;
  if (::WaitForSingleObject(child.process.h, kTimeoutMs) != WAIT_OBJECT_0)
    return std::wprintf(L"error=%ls did not end\n", argv[0].c_str()), 1;
  DWORD code = 0;
  ::GetExitCodeProcess(child.process.h, &code);
  // Then the processes it started. Wine's own background processes (its
  // desktop, services) may be started on the job's behalf and stay; they do
  // not count.
  const DWORD start = ::GetTickCount();
  while (OwnProcessesLeft(job.h)) {
    if (::GetTickCount() - start > kTimeoutMs)
      return std::wprintf(L"error=processes started by %ls did not end\n", argv[0].c_str()), 1;
    ::Sleep(50);
  }
  std::wprintf(L"exit_code=%lu\n", code);
  return 0;
}

int Shortcut(const std::wstring& lnk) {
  ::CoInitialize(nullptr);
  int result = 1;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link)))) {
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
      wchar_t target[MAX_PATH] = L"";
      if (SUCCEEDED(file->Load(lnk.c_str(), STGM_READ)) &&
          SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH))) {
        std::wprintf(L"target=%ls\n", target);
        result = 0;
      }
      file->Release();
    }
    link->Release();
  }
  if (result != 0) std::wprintf(L"error=cannot read the shortcut %ls\n", lnk.c_str());
  ::CoUninitialize();
  return result;
}

#pragma pack(push, 2)
struct GroupIconEntry {
  BYTE width, height, colors, reserved;
  WORD planes, bitCount;
  DWORD bytes;
  WORD id;
};
#pragma pack(pop)

int Inspect(const std::wstring& exe) {
  // Version strings, as Explorer's Details tab reads them.
  DWORD ignored = 0;
  const DWORD size = ::GetFileVersionInfoSizeW(exe.c_str(), &ignored);
  if (size == 0) return std::wprintf(L"error=no version resource\n"), 1;
  std::vector<BYTE> data(size);
  if (!::GetFileVersionInfoW(exe.c_str(), 0, size, data.data()))
    return std::wprintf(L"error=version resource unreadable\n"), 1;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT len = 0;
  if (::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &len) && fixed)
    std::wprintf(L"file_version=%lu.%lu.%lu.%lu\n", HIWORD(fixed->dwFileVersionMS),
                 LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                 LOWORD(fixed->dwFileVersionLS));
  for (const wchar_t* name :
       {L"ProductName", L"CompanyName", L"ProductVersion", L"FileDescription", L"LegalCopyright"}) {
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    wchar_t* value = nullptr;
    if (::VerQueryValueW(data.data(), path.c_str(), reinterpret_cast<void**>(&value), &len))
      std::wprintf(L"%ls=%ls\n", name, value);
  }

  HMODULE module = ::LoadLibraryExW(exe.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!module) return std::wprintf(L"error=cannot load %ls as data\n", exe.c_str()), 1;
  // The program icon's sizes (0 in a directory entry means 256).
  if (HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(128), RT_GROUP_ICON)) {
    const auto* dir = static_cast<const BYTE*>(::LockResource(::LoadResource(module, res)));
    const WORD count = dir ? *reinterpret_cast<const WORD*>(dir + 4) : 0;
    std::wprintf(L"icon_sizes=");
    for (WORD i = 0; i < count; ++i) {
      GroupIconEntry entry;
      std::memcpy(&entry, dir + 6 + i * sizeof(GroupIconEntry), sizeof entry);
      std::wprintf(L"%ls%d", i ? L" " : L"", entry.width ? entry.width : 256);
    }
    std::wprintf(L"\n");
  }
  // The manifest: the settings that change how Windows treats the program.
  if (HRSRC res = ::FindResourceW(module, MAKEINTRESOURCEW(1), RT_MANIFEST)) {
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(module, res)));
    const std::string manifest(text ? text : "", text ? ::SizeofResource(module, res) : 0);
    std::string compact;  // attributes may be split over lines
    for (char c : manifest) compact += (c == '\n' || c == '\r') ? ' ' : c;
    for (const char* mark : {"name=\"Microsoft.Windows.Common-Controls\"", "version=\"6.0.0.0\"",
                             "level=\"asInvoker\"", ">PerMonitorV2, PerMonitor<"}) {
      std::wprintf(L"manifest_has=%hs:%ls\n", mark,
                   compact.find(mark) != std::string::npos ? L"yes" : L"no");
    }
  }
  ::FreeLibrary(module);
  return 0;
}

int Start(const std::wstring& exe) {
  Child child;
  if (!Launch({exe}, child)) return 1;
  const HWND mirror = FindMirror(child.pid, 15000);
  if (!mirror) {
    ::TerminateProcess(child.process.h, 99);
    return std::wprintf(L"error=no mirror window appeared\n"), 1;
  }
  RECT r{};
  ::GetWindowRect(mirror, &r);
  std::wprintf(L"window=%ld,%ld %ldx%ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
  // As the menu's Exit does: the window is closed, the program saves and ends.
  ::PostMessageW(mirror, WM_CLOSE, 0, 0);
  if (::WaitForSingleObject(child.process.h, 15000) != WAIT_OBJECT_0) {
    ::TerminateProcess(child.process.h, 99);
    return std::wprintf(L"error=Vellora did not end after WM_CLOSE\n"), 1;
  }
  DWORD code = 0;
  ::GetExitCodeProcess(child.process.h, &code);
  std::wprintf(L"exit_code=%lu\n", code);
  return 0;
}

int Watch(const std::vector<std::wstring>& args, bool limited) {
  Child child;
  HWND w = nullptr;
  if (!args.empty() && Launch({args[0]}, child, nullptr, limited) &&
      (w = FindMirror(child.pid, 15000)))
    ::SetWindowPos(w, nullptr, std::stoi(args[1]), std::stoi(args[2]), 0, 0,
                   SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  for (int i = 0; args.empty() && i < 100 && !(w = ::FindWindowW(kMirrorClass, nullptr)); ++i)
    ::Sleep(50);
  if (args.empty() && w && ::GetWindowThreadProcessId(w, &child.pid))
    child.process.h = ::OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, 0, child.pid);
  RECT r{};
  if (!child.process.h || !::GetWindowRect(w, &r)) return std::wprintf(L"error=no mirror\n"), 1;
  std::wprintf(L"rect=%ld,%ld,%ld,%ld\nelevation=%ls\nrunning=yes\n", r.left, r.top, r.right,
               r.bottom, Elevation(child.process.h));
  std::fflush(stdout);
  DWORD code = 0;
  if (::WaitForSingleObject(child.process.h, 30000) != WAIT_OBJECT_0 ||
      !::GetExitCodeProcess(child.process.h, &code))
    return std::wprintf(L"error=Vellora did not end\n"), 1;
  return std::wprintf(L"exit_code=%lu\n", code), 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::wstring> args(argv + 1, argv + argc);
  const bool limited = args.size() >= 2 && args[1] == L"--limited";
  if (limited) args.erase(args.begin() + 1);
  int result = 2;
  if (args.size() >= 2 && args[0] == L"run")
    result = Run({args.begin() + 1, args.end()}, limited);
  else if (args.size() == 2 && args[0] == L"shortcut")
    result = Shortcut(args[1]);
  else if (args.size() == 2 && args[0] == L"inspect")
    result = Inspect(args[1]);
  else if (args.size() == 2 && args[0] == L"start")
    result = Start(args[1]);
  else if ((args.size() == 1 || args.size() == 4) && args[0] == L"watch")
    result = Watch({args.begin() + 1, args.end()}, limited);
  else
    std::fwprintf(stderr, L"usage: release_probe run|shortcut|inspect|start|watch ...\n");
  std::fflush(stdout);
  return result;
}
