// What the reliability drivers share: starting and ending the real program,
// finding its two windows, planting raw registry values, a coloured backdrop
// for the mirror to reflect, and reading the screen.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/common/program.h"
#include "tests/common/raw_registry.h"

namespace rel {

// ---------------------------------------------------------------- the program

// One run of the real program. The destructor kills a run that is still going.
class Process {
 public:
  Process() = default;
  Process(const Process&) = delete;
  Process& operator=(const Process&) = delete;
  ~Process();

  bool Start(const std::wstring& exe);
  bool Running() const;
  // Waits for the end; false on timeout. `code` gets the exit code.
  bool WaitExit(DWORD timeoutMs, DWORD* code = nullptr);
  // TerminateProcess, as a power cut or a task manager would end it.
  void Kill();

  HANDLE Handle() const noexcept { return m_pi.hProcess; }
  DWORD Pid() const noexcept { return m_pi.dwProcessId; }

 private:
  void CloseHandles();
  PROCESS_INFORMATION m_pi{};
};

// The mirror window (visible, top-level, titled "Vellora") and the view (the
// visible layered window the mirror owns) of process `pid`.
struct Windows {
  HWND mirror = nullptr;
  HWND view = nullptr;
};
// Waits until both exist and are visible; either stays null on timeout.
Windows FindWindows(DWORD pid, DWORD timeoutMs = 10000);

// A visible top-level window of `pid` with the dialog class and `title`.
HWND FindDialog(DWORD pid, const wchar_t* title, DWORD timeoutMs);
// All windows of `pid`, top-level ones and their descendants.
long CountWindows(DWORD pid);

RECT WindowRect(HWND hwnd);
RECT VirtualScreen();
bool operator==(const RECT& a, const RECT& b);
std::string Str(const RECT& r);

// ------------------------------------------------------------------ commands

inline constexpr UINT kCmdLeft = ID_DIRECTION_LEFT, kCmdRight = ID_DIRECTION_RIGHT,
                      kCmdTop = ID_DIRECTION_TOP, kCmdBottom = ID_DIRECTION_BOTTOM,
                      kCmdSetting = ID_SETTING, kCmdAbout = ID_APP_ABOUT, kCmdExit = ID_APP_EXIT;
UINT CommandForSide(int side);
const char* SideName(int side);

// Two presses within the double-click time make a double click, which
// minimises the mirror: before a press that is meant as a single click the
// script waits that time out after the last release.
void WaitOutDoubleClick();
void NoteRelease();

// Real input, as a user gives it. A press waits out the double-click time.
bool MoveCursor(int x, int y);
void MouseButton(DWORD downFlag, DWORD upFlag, bool down);
using vl::test::PressKey;
// Right-click inside the mirror, wait for the menu, press the access key.
bool ChooseFromMenu(HWND mirror, WORD accessKey);
// Drags the mirror by its inside by (dx, dy) with the left button.
void DragBy(HWND mirror, int dx, int dy);

// ------------------------------------------------------------------ registry

inline const std::wstring kAppKey = L"Software\\Korvane\\Vellora32";
inline const std::wstring kSettingKey = kAppKey + L"\\Setting";
inline const std::wstring kWindowKey = kSettingKey + L"\\Window";

using vl::test::RawValue;

void DeleteAppKey();
bool WriteRaw(const std::wstring& path, const wchar_t* name, const RawValue& v);
void DeleteValue(const std::wstring& path, const wchar_t* name);
using vl::test::ReadRaw;
// A REG_DWORD of exactly four bytes, as a signed value.
std::optional<std::int32_t> ReadInt32(const std::wstring& path, const wchar_t* name);

// The seven settings and the five placement values, by name.
struct StoredName {
  const wchar_t* key;  // kSettingKey or kWindowKey
  const wchar_t* name;
};
extern const StoredName kStoredNames[12];

// What the program keeps, in registry form.
struct Stored {
  std::int32_t v[12] = {};
  RECT Rect() const { return {v[8], v[9], v[10], v[11]}; }
};
Stored DefaultStored();
void WriteStored(const Stored& s);
// All twelve values as four-byte REG_DWORDs; on failure `problem` says which.
std::optional<Stored> ReadStored(std::string& problem);
// Settings in their ranges, Direction a side, FullScreen 0 or 1, a non-empty
// rectangle: what a well-formed store holds. Empty when it is, else the fault.
std::string CheckWellFormed(const Stored& s);

// ------------------------------------------------------------------ the screen

// A window covering the whole virtual screen beneath everything else, in one
// solid colour: what the mirror reflects. It runs on a thread of its own so
// that it paints while the driver waits.
class Backdrop {
 public:
  Backdrop() = default;
  Backdrop(const Backdrop&) = delete;
  Backdrop& operator=(const Backdrop&) = delete;
  ~Backdrop();
  bool Open(COLORREF color);
  // Repaints in `color` and waits until the screen shows it.
  bool SetColor(COLORREF color);
  COLORREF Color() const noexcept { return m_color; }
  HWND Hwnd() const noexcept { return m_hwnd; }

 private:
  static DWORD WINAPI Thread(void* self);
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HANDLE m_thread = nullptr;
  HANDLE m_ready = nullptr;
  DWORD m_threadId = 0;
  HWND m_hwnd = nullptr;
  volatile COLORREF m_color = 0;
};

// The screen's pixels in `area`, read through the screen's device context.
class Shot {
 public:
  explicit Shot(const RECT& area);
  // Screen coordinates; black outside the area.
  COLORREF At(int x, int y) const;

 private:
  RECT m_area{};
  int m_width = 0;
  std::vector<std::uint32_t> m_bits;
};

// ------------------------------------------------------------- usable mirror

// How the mirror looked, and whether it is usable: visible, mostly on the
// virtual screen, at least its minimum size, showing the backdrop mirrored
// about its reflected edge (black where that falls off the screen).
struct Look {
  Windows w;
  RECT mirror{}, view{};
  bool maximised = false;
  std::string fault;  // empty: usable
};
// `side` is the side the program should reflect; `te` its transparent band.
Look CheckLook(DWORD pid, const Backdrop& backdrop, int side, int te, DWORD timeoutMs = 4000);

// Whether the view follows a change of what lies beside it: the cursor goes to
// the source of the view's centre, the backdrop changes colour and the view's
// centre must show the new colour within `timeoutMs` (by the timer). With
// `repaint` the view is asked to repaint instead, for refresh periods too long
// to wait for. Returns the time it took, or -1.
long CheckFollows(const Windows& w, Backdrop& backdrop, int side, COLORREF next, DWORD timeoutMs,
                  bool repaint);

// Puts the mirror at `r` in its normal state, as a user would by restoring
// and dragging it; waits until the view has followed.
bool PlaceMirror(const Windows& w, const RECT& r, int side, int te);

// Checks that the view lies above the mirror window in the z-order and makes
// the screen show it so; false when it does not.
bool ShowViewOnTop(const Windows& w);

// The view's rectangle for a mirror rectangle.
RECT ViewFor(const RECT& mirror, int side, int te);

// The process exits through "E&xit" in the context menu; false with a reason.
bool ExitThroughMenu(Process& p, HWND mirror, std::string& why);

// Milliseconds since the driver started, for log lines.
double Now();
void Log(const char* fmt, ...);

}  // namespace rel
