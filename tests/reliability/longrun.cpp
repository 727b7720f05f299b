// Long run: the real program at 50 refreshes a second, used as a person would
// use it (drags, border sizing, side changes, the settings sheet and the About
// dialog through the context menu) for a given time, with its GDI objects,
// windows, handles and memory sampled. They must stay flat, and the mirror
// must keep following the screen to the end.
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "counters.h"
#include "driver.h"
#include "reliability.h"

namespace rel {

namespace {

// What "flat" allows between the sample after every action was first used and
// the last one: a leak of one object per action or per refresh shows as
// hundreds or tens of thousands.
constexpr long kGdiSlack = 5, kHandleSlack = 4;
constexpr double kWorkingSetSlackMiB = 8.0;

struct Reading {
  double seconds;
  Counters c;
  long followMs;
};

struct Tally {
  int drags = 0, sizes = 0, sides = 0, sheets = 0, abouts = 0, minimises = 0, misses = 0;
  // Actions without the expected effect, by kind: drag, size, side, sheet,
  // About, minimise and restore.
  int missed[6] = {};
  int strayMinimise = 0;  // found minimised after another action
};

template <class Pred>
bool WaitUntil(Pred done, DWORD timeoutMs) {
  const DWORD start = ::GetTickCount();
  while (!done()) {
    if (::GetTickCount() - start >= timeoutMs) return false;
    ::Sleep(15);
  }
  return true;
}

class User {
 public:
  User(Process& p, Windows w, unsigned seed) : m_p(p), m_w(w), m_rng(seed) {}

  int side = 0;
  static constexpr int kTe = 50;
  Tally tally;
  std::string fault;

  // One action of the script, chosen at random; false when the program
  // stopped answering or died.
  bool Act() {
    switch (Pick(0, 5)) {
      case 0: Drag(); break;
      case 1: Size(); break;
      case 2: ChangeSide(); break;
      case 3: Sheet(); break;
      case 4: About(); break;
      default: MinimiseAndRestore(); break;
    }
    if (::IsIconic(m_w.mirror)) {
      // Only the double click may leave it minimised, and that restores it.
      ::PostMessageW(m_w.mirror, WM_SYSCOMMAND, SC_RESTORE, 0);
      WaitUntil([&] { return !::IsIconic(m_w.mirror); }, 2000);
      ++tally.strayMinimise;
    }
    return Alive();
  }

  // Every kind once, so that first-use allocations are behind the warm sample.
  bool ActAll() {
    Drag();
    Size();
    ChangeSide();
    Sheet();
    About();
    MinimiseAndRestore();
    return Alive();
  }

  bool Alive() {
    if (!m_p.Running()) {
      fault = "the program ended";
      return false;
    }
    DWORD_PTR r = 0;
    if (!::SendMessageTimeoutW(m_w.mirror, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &r)) {
      fault = "the program stopped answering";
      return false;
    }
    return true;
  }

  const Windows& Wins() const { return m_w; }

 private:
  void Miss(int kind) {
    ++tally.misses;
    ++tally.missed[kind];
  }

  int Pick(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(m_rng); }

  bool ViewOnMirror() {
    return WaitUntil(
        [&] { return WindowRect(m_w.view) == ViewFor(WindowRect(m_w.mirror), side, kTe); }, 2000);
  }

  // Drags by a random step that keeps the view on the screen with a margin.
  void Drag() {
    const RECT s = VirtualScreen(), v = WindowRect(m_w.view);
    constexpr int kMargin = 60;
    const auto step = [&](int want, LONG lo, LONG hi) {
      return lo > hi ? 0 : std::clamp(want, static_cast<int>(lo), static_cast<int>(hi));
    };
    const int dx = step(Pick(-200, 200), s.left + kMargin - v.left, s.right - kMargin - v.right);
    const int dy = step(Pick(-150, 150), s.top + kMargin - v.top, s.bottom - kMargin - v.bottom);
    const RECT before = WindowRect(m_w.mirror);
    DragBy(m_w.mirror, dx, dy);
    const RECT want{before.left + dx, before.top + dy, before.right + dx, before.bottom + dy};
    if (!WaitUntil([&] { return WindowRect(m_w.mirror) == want; }, 2000) || !ViewOnMirror()) {
      Log("drag %s by %d,%d: %s\n", Str(before).c_str(), dx, dy,
          Str(WindowRect(m_w.mirror)).c_str());
      Miss(0);
    }
    ++tally.drags;
  }

  // Sizes by the bottom-right corner, through the system's sizing loop.
  void Size() {
    const RECT m = WindowRect(m_w.mirror), s = VirtualScreen();
    const int w = Pick(220, 520), h = Pick(220, 420);
    const int right = std::min(static_cast<int>(m.left) + w, static_cast<int>(s.right) - 80);
    const int bottom = std::min(static_cast<int>(m.top) + h, static_cast<int>(s.bottom) - 80);
    const POINT grab{m.right - 3, m.bottom - 3};
    MoveCursor(grab.x, grab.y);
    MouseButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, true);
    ::Sleep(30);
    constexpr int kSteps = 4;
    // The border keeps its distance from the cursor.
    for (int i = 1; i < kSteps; ++i) {
      ::SetCursorPos(grab.x + (right - 3 - grab.x) * i / kSteps,
                     grab.y + (bottom - 3 - grab.y) * i / kSteps);
      ::Sleep(20);
    }
    MoveCursor(right - 3, bottom - 3);
    ::Sleep(30);
    MouseButton(MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, false);
    if (!WaitUntil(
            [&] {
              return WindowRect(m_w.mirror).right == right &&
                     WindowRect(m_w.mirror).bottom == bottom;
            },
            2000) ||
        !ViewOnMirror()) {
      Log("size %s to %d,%d: %s\n", Str(m).c_str(), right, bottom,
          Str(WindowRect(m_w.mirror)).c_str());
      Miss(1);
    }
    ++tally.sizes;
  }

  void ChangeSide() {
    static constexpr WORD kKeys[4] = {'L', 'T', 'R', 'B'};
    const int next = (side + Pick(1, 3)) % 4;
    if (ChooseFromMenu(m_w.mirror, kKeys[next])) {
      side = next;
      if (!ViewOnMirror()) Miss(2);
    } else {
      Miss(2);
    }
    ++tally.sides;
  }

  void Sheet() {
    ++tally.sheets;
    if (!ChooseFromMenu(m_w.mirror, 'S')) return Miss(3);
    const HWND sheet = FindDialog(m_p.Pid(), L"Setting", 3000);
    if (!sheet) return Miss(3);
    ::Sleep(250);  // the mirror refreshes under the open sheet meanwhile
    ::PostMessageW(sheet, PSM_PRESSBUTTON, tally.sheets % 2 ? PSBTN_OK : PSBTN_CANCEL, 0);
    if (!WaitUntil([&] { return !::IsWindow(sheet); }, 3000) || !ViewOnMirror()) Miss(3);
  }

  // A double click inside minimises the mirror, and the view goes with it;
  // restored (as from the taskbar), both are back in their place.
  void MinimiseAndRestore() {
    ++tally.minimises;
    const RECT before = WindowRect(m_w.mirror);
    const POINT p{before.left + (before.right - before.left) / 2,
                  before.top + (before.bottom - before.top) / 2};
    MoveCursor(p.x, p.y);
    INPUT click[4]{};
    for (INPUT& in : click) in.type = INPUT_MOUSE;
    click[0].mi.dwFlags = click[2].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    click[1].mi.dwFlags = click[3].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    WaitOutDoubleClick();
    ::SendInput(4, click, sizeof(INPUT));
    NoteRelease();
    if (!WaitUntil([&] { return ::IsIconic(m_w.mirror) && !::IsWindowVisible(m_w.view); }, 2000))
      return Miss(5);
    ::Sleep(200);
    ::PostMessageW(m_w.mirror, WM_SYSCOMMAND, SC_RESTORE, 0);
    if (!WaitUntil([&] { return !::IsIconic(m_w.mirror) && ::IsWindowVisible(m_w.view); }, 2000) ||
        !(WindowRect(m_w.mirror) == before) || !ViewOnMirror())
      Miss(5);
  }

  void About() {
    ++tally.abouts;
    if (!ChooseFromMenu(m_w.mirror, 'A')) return Miss(4);
    const HWND dialog = FindDialog(m_p.Pid(), L"About", 3000);
    if (!dialog) return Miss(4);
    ::Sleep(250);
    ::PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    if (!WaitUntil([&] { return !::IsWindow(dialog); }, 3000)) Miss(4);
  }

  Process& m_p;
  Windows m_w;
  std::mt19937 m_rng;
};

void PrintSample(const char* label, const Reading& s) {
  char priv[16] = "n/a", user[16] = "n/a";
  if (s.c.privateMiB >= 0) std::snprintf(priv, sizeof priv, "%.1f", s.c.privateMiB);
  if (s.c.user >= 0) std::snprintf(user, sizeof user, "%ld", s.c.user);
  Log("| %-10s | %7.0f | %5ld | %5s | %7ld | %7ld | %8.1f | %7s | %9ld |\n", label, s.seconds,
      s.c.gdi, user, s.c.windows, s.c.handles, s.c.workingSetMiB, priv, s.followMs);
}

void PrintHeader() {
  Log("| %-10s | %7s | %5s | %5s | %7s | %7s | %8s | %7s | %9s |\n", "sample", "time s", "GDI",
      "USER", "windows", "handles", "WS MiB", "priv MiB", "follow ms");
  Log("|------------|---------|-------|-------|---------|---------|----------|---------|-----------"
      "|\n");
}

}  // namespace

int RunLongRun(const Options& opt) {
  Backdrop backdrop;
  if (!backdrop.Open(kBackdropA)) {
    Log("cannot show the backdrop\n");
    return 1;
  }
  DeleteAppKey();
  Stored s = DefaultStored();
  s.v[4] = 5000;  // 50 refreshes a second
  WriteStored(s);

  Process p;
  if (!p.Start(opt.exe)) {
    Log("cannot start %ls\n", opt.exe.c_str());
    return 1;
  }
  const Look look = CheckLook(p.Pid(), backdrop, 0, User::kTe);
  if (!look.fault.empty()) {
    Log("FAIL at start: %s\n", look.fault.c_str());
    return 1;
  }
  User user(p, look.w, opt.seed);
  Log("Long run: %d s of simulated use at RefreshRate 5000 (50 refreshes a second), seed %u\n\n",
      opt.seconds, opt.seed);

  std::vector<Reading> samples;
  COLORREF colour = kBackdropA;
  int followFailures = 0;
  const double t0 = Now();
  const auto sample = [&](const char* label) {
    colour = colour == kBackdropA ? kBackdropB : kBackdropA;
    const long ms = CheckFollows(user.Wins(), backdrop, user.side, colour, 1000, false);
    if (ms < 0) ++followFailures;
    samples.push_back({(Now() - t0) / 1000.0, Sample(p.Handle(), p.Pid()), ms});
    PrintSample(label, samples.back());
  };

  PrintHeader();
  sample("start");
  bool alive = user.ActAll() && user.ActAll();
  if (alive) sample("warm");
  const std::size_t warm = samples.size() - 1;
  const double interval = std::max(5.0, opt.seconds / 20.0);
  double next = samples.back().seconds + interval;
  while (alive && (Now() - t0) / 1000.0 < opt.seconds) {
    alive = user.Act();
    if (alive && (Now() - t0) / 1000.0 >= next) {
      sample("");
      next += interval;
    }
  }
  if (alive) sample("end");

  int status = 0;
  std::string why;
  if (!alive) {
    Log("FAIL: %s\n", user.fault.c_str());
    return 1;
  }
  const RECT last = WindowRect(user.Wins().mirror);
  if (!ExitThroughMenu(p, user.Wins().mirror, why)) {
    Log("FAIL at exit: %s\n", why.c_str());
    status = 1;
  }
  std::string problem;
  const auto after = ReadStored(problem);
  if (!after) {
    Log("FAIL: registry after exit: %s\n", problem.c_str());
    status = 1;
  } else if (const std::string bad = CheckWellFormed(*after); !bad.empty()) {
    Log("FAIL: registry after exit: %s\n", bad.c_str());
    status = 1;
  } else if (!(after->Rect() == last) || after->v[0] != user.side) {
    Log("FAIL: registry after exit holds side %d at %s, the mirror was on side %d at %s\n",
        after->v[0], Str(after->Rect()).c_str(), user.side, Str(last).c_str());
    status = 1;
  }

  const Tally& t = user.tally;
  Log("\nactions: %d drags, %d border sizings, %d side changes, %d settings sheets, %d About "
      "dialogs, %d minimise-restores; without the expected effect: %d, %d, %d, %d, %d, %d; "
      "found minimised after another action: %d\n",
      t.drags, t.sizes, t.sides, t.sheets, t.abouts, t.minimises, t.missed[0], t.missed[1],
      t.missed[2], t.missed[3], t.missed[4], t.missed[5], t.strayMinimise);
  Log("%s\n", CounterSources().c_str());

  // Flat: once every action has been used a few times and the first third of
  // the run is over (caches the system fills on first use are full by then),
  // nothing may grow with use.
  std::size_t base = warm;
  while (base + 1 < samples.size() && samples[base].seconds < samples.back().seconds / 3) ++base;
  const Counters& w = samples[base].c;
  const Counters& e = samples.back().c;
  long maxGdi = 0, maxHandles = 0, maxWindows = 0;
  double maxWs = 0;
  for (std::size_t i = base; i < samples.size(); ++i) {
    maxGdi = std::max(maxGdi, samples[i].c.gdi);
    maxHandles = std::max(maxHandles, samples[i].c.handles);
    maxWindows = std::max(maxWindows, samples[i].c.windows);
    maxWs = std::max(maxWs, samples[i].c.workingSetMiB);
  }
  Log("from %.0f s on: GDI %ld..%ld, windows %ld..%ld, handles %ld..%ld, working set %.1f..%.1f "
      "MiB\n",
      samples[base].seconds, w.gdi, maxGdi, w.windows, maxWindows, w.handles, maxHandles,
      w.workingSetMiB, maxWs);
  if (e.gdi > w.gdi + kGdiSlack || e.windows > w.windows || e.handles > w.handles + kHandleSlack ||
      e.workingSetMiB > w.workingSetMiB + kWorkingSetSlackMiB) {
    Log("FAIL: counters grew (allowed: GDI +%d, windows +0, handles +%d, working set +%.0f MiB)\n",
        kGdiSlack, kHandleSlack, kWorkingSetSlackMiB);
    status = 1;
  }
  if (followFailures) {
    Log("FAIL: the view did not follow the screen within 1 s in %d samples\n", followFailures);
    status = 1;
  }
  if (t.misses * 10 > t.drags + t.sizes + t.sides + t.sheets + t.abouts + t.minimises ||
      t.strayMinimise) {
    Log("FAIL: too many actions without effect\n");
    status = 1;
  }
  DeleteAppKey();
  Log(status == 0 ? "long run: pass\n" : "long run: FAIL\n");
  return status;
}

}  // namespace rel
