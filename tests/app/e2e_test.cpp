// The real program, started as a user starts it: first run, the context menu's
// Exit, what it leaves in the registry, and the next start.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "app/layout.h"
#include "render/win_rect.h"
#include "support/monitor.h"
#include "tests/common/program.h"

namespace {

using vl::test::FindMirror;
using vl::test::PressKey;

std::wstring g_exe;  // path of vellora.exe, from the command line

const wchar_t kAppKey[] = L"Software\\Korvane\\Vellora32";

struct Process {
  PROCESS_INFORMATION pi{};
  ~Process() {
    if (pi.hProcess) {
      if (::WaitForSingleObject(pi.hProcess, 0) == WAIT_TIMEOUT)
        ::TerminateProcess(pi.hProcess, 99);
      ::CloseHandle(pi.hThread);
      ::CloseHandle(pi.hProcess);
    }
  }
};

bool Start(Process& p) {
  STARTUPINFOW si{};
  si.cb = sizeof si;
  std::wstring cmd = L"\"" + g_exe + L"\"";
  return ::CreateProcessW(g_exe.c_str(), cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                          &si, &p.pi) != FALSE;
}

RECT WindowRect(HWND hwnd) {
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  return r;
}

bool ReadDword(const std::wstring& path, const wchar_t* name, DWORD& value) {
  DWORD size = sizeof value, type = 0;
  return ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_REG_DWORD, &type, &value,
                        &size) == ERROR_SUCCESS;
}

// Opens the context menu with a right click inside the window and chooses
// "E&xit" by its access key.
void ExitThroughMenu(HWND mirror) {
  const RECT r = WindowRect(mirror);
  ::SetForegroundWindow(mirror);
  ::SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  INPUT click[2]{};
  click[0].type = click[1].type = INPUT_MOUSE;
  click[0].mi.dwFlags = MOUSEEVENTF_RIGHTDOWN;
  click[1].mi.dwFlags = MOUSEEVENTF_RIGHTUP;
  ::SendInput(2, click, sizeof(INPUT));
  ::Sleep(500);
  PressKey('X');
}

TEST(Program, FirstRunExitAndReopen) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);

  RECT first{};
  {
    Process p;
    ASSERT_TRUE(Start(p)) << ::GetLastError();
    const HWND mirror = FindMirror(p.pi.dwProcessId);
    ASSERT_NE(mirror, nullptr);
    ::Sleep(300);

    // First run: the default place for Left with a 50-pixel band.
    MONITORINFOEXW info{};
    ASSERT_TRUE(my::PrimaryMonitorInfo(info));
    const RECT expected = vl::ToRECT(vl::DefaultPlacement(vl::FromRECT(info.rcWork), vl::Left, 50));
    first = WindowRect(mirror);
    EXPECT_EQ(vl::FromRECT(first), vl::FromRECT(expected));

    // Move it somewhere else, so the next start shows it was remembered.
    ::SetWindowPos(mirror, nullptr, 300, 200, 400, 300, SWP_NOZORDER | SWP_NOACTIVATE);
    ::Sleep(200);
    first = WindowRect(mirror);

    // Its view, moved apart by another program (as the system moves each
    // window of a monitor that goes away), stays over it.
    static HWND s_view, s_mirror;
    s_mirror = mirror;
    ::EnumWindows(
        [](HWND w, LPARAM) -> BOOL {
          if (::GetWindow(w, GW_OWNER) == s_mirror) s_view = w;
          return TRUE;
        },
        0);
    ::SetWindowPos(s_view, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(vl::FromRECT(WindowRect(s_view)), vl::ViewRectFor(vl::FromRECT(first), vl::Left, 50));

    ExitThroughMenu(mirror);
    ASSERT_EQ(::WaitForSingleObject(p.pi.hProcess, 10000), WAIT_OBJECT_0);
    DWORD code = 99;
    ::GetExitCodeProcess(p.pi.hProcess, &code);
    EXPECT_EQ(code, 0u);
  }

  const std::wstring setting = std::wstring(kAppKey) + L"\\Setting";
  const struct {
    const wchar_t* name;
    DWORD value;
  } values[] = {{L"Direction", 0},
                {L"Edge", 4},
                {L"ThinEdge", 0},
                {L"TransparentEdge", 50},
                {L"RefreshRate", 1000},
                {L"EntireRefreshRate", 10},
                {L"AroundCursorDistance", 50}};
  for (const auto& v : values) {
    DWORD got = 12345;
    EXPECT_TRUE(ReadDword(setting, v.name, got)) << v.name;
    EXPECT_EQ(got, v.value) << v.name;
  }
  const std::wstring window = setting + L"\\Window";
  DWORD l = 0, t = 0, r = 0, b = 0, full = 7;
  EXPECT_TRUE(ReadDword(window, L"Left", l) && ReadDword(window, L"Top", t) &&
              ReadDword(window, L"Right", r) && ReadDword(window, L"Bottom", b) &&
              ReadDword(window, L"FullScreen", full));
  const vl::Rect stored{static_cast<std::int32_t>(l), static_cast<std::int32_t>(t),
                        static_cast<std::int32_t>(r), static_cast<std::int32_t>(b)};
  EXPECT_EQ(stored, vl::FromRECT(first));
  EXPECT_EQ(full, 0u);

  // The next start reopens where the window was left. Moved again, then
  // minimised and closed from the taskbar (or by an installer), it keeps the
  // place the user gave it, not the one it was opened at.
  const vl::Rect moved{360, 240, 760, 540};  // on a 1024x768 screen too
  for (const vl::Rect& expected : {vl::FromRECT(first), moved}) {
    Process p;
    ASSERT_TRUE(Start(p));
    const HWND mirror = FindMirror(p.pi.dwProcessId);
    ASSERT_NE(mirror, nullptr);
    ::Sleep(300);
    EXPECT_EQ(vl::FromRECT(WindowRect(mirror)), expected);
    if (expected != moved) {
      ::SetWindowPos(mirror, nullptr, moved.left, moved.top, moved.right - moved.left,
                     moved.bottom - moved.top, SWP_NOZORDER | SWP_NOACTIVATE);
      ::PostMessageW(mirror, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(50, 50));  // minimises
      ::Sleep(300);
      EXPECT_TRUE(::IsIconic(mirror));
    }
    ::PostMessageW(mirror, WM_CLOSE, 0, 0);
    EXPECT_EQ(::WaitForSingleObject(p.pi.hProcess, 10000), WAIT_OBJECT_0);
  }
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
}

bool WriteDword(const std::wstring& path, const wchar_t* name, DWORD value) {
  return ::RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), name, REG_DWORD, &value,
                           sizeof value) == ERROR_SUCCESS;
}

TEST(Program, StoredMaximisedStateHoldsAndKeepsTheNormalPlace) {
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
  const std::wstring window = std::wstring(kAppKey) + L"\\Setting\\Window";
  const struct {
    const wchar_t* name;
    DWORD value;
  } stored[] = {
      {L"FullScreen", 1}, {L"Left", 700}, {L"Top", 350}, {L"Right", 1100}, {L"Bottom", 650}};
  for (const auto& v : stored) ASSERT_TRUE(WriteDword(window, v.name, v.value)) << v.name;
  {
    Process p;
    ASSERT_TRUE(Start(p));
    const HWND mirror = FindMirror(p.pi.dwProcessId);
    ASSERT_NE(mirror, nullptr);
    ::Sleep(500);
    EXPECT_TRUE(::IsZoomed(mirror));
    ::PostMessageW(mirror, WM_CLOSE, 0, 0);
    ASSERT_EQ(::WaitForSingleObject(p.pi.hProcess, 10000), WAIT_OBJECT_0);
  }
  for (const auto& v : stored) {
    DWORD got = 12345;
    EXPECT_TRUE(ReadDword(window, v.name, got)) << v.name;
    EXPECT_EQ(got, v.value) << v.name;
  }
  ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <path of vellora.exe>\n", argv[0]);
    return 2;
  }
  // ctest passes a host path; under Wine the host's root is drive Z:.
  std::string path = argv[1];
  if (!path.empty() && path[0] == '/') {
    path = "Z:" + path;
    for (char& c : path)
      if (c == '/') c = '\\';
  }
  g_exe.assign(path.begin(), path.end());
  return RUN_ALL_TESTS();
}
