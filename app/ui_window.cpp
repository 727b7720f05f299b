#include "app/ui_window.h"

#include <iterator>
#include <string_view>
#include <utility>

#include "app/layout.h"
#include "render/win_rect.h"
#include "settings/setting.h"
#include "support/monitor.h"

namespace vl {

// The platform-free layout retypes the platform's hit-test codes and cursor
// ids (the OCR_* values are the IDC_* ids as numbers).
static_assert(kHitClient == HTCLIENT && kHitLeft == HTLEFT && kHitRight == HTRIGHT &&
              kHitTop == HTTOP && kHitTopLeft == HTTOPLEFT && kHitTopRight == HTTOPRIGHT &&
              kHitBottom == HTBOTTOM && kHitBottomLeft == HTBOTTOMLEFT &&
              kHitBottomRight == HTBOTTOMRIGHT);
static_assert(kCursorArrow == OCR_NORMAL && kCursorSizeNWSE == OCR_SIZENWSE &&
              kCursorSizeNESW == OCR_SIZENESW && kCursorSizeWE == OCR_SIZEWE &&
              kCursorSizeNS == OCR_SIZENS);

namespace {

// Microseconds of the performance counter: monotonic, and finer than the
// timer's tick.
std::int64_t MonotonicMicroseconds() noexcept {
  static const std::int64_t frequency = [] {
    LARGE_INTEGER f{};
    ::QueryPerformanceFrequency(&f);
    return f.QuadPart > 0 ? f.QuadPart : 1;
  }();
  LARGE_INTEGER count{};
  ::QueryPerformanceCounter(&count);
  // In two steps, so the product cannot overflow however long the machine runs.
  return count.QuadPart / frequency * 1'000'000 +
         count.QuadPart % frequency * 1'000'000 / frequency;
}

// Passes the cloaking and uncloaking of a mirror window of this thread on to
// it. The hook hears these events from every process: a window of another
// one, another Vellora's included, is not ours to tell.
void CALLBACK OnCloakEvent(HWINEVENTHOOK, DWORD event, HWND hwnd, LONG object, LONG child, DWORD,
                           DWORD) {
  if (!hwnd || object != OBJID_WINDOW || child != CHILDID_SELF ||
      ::GetWindowThreadProcessId(hwnd, nullptr) != ::GetCurrentThreadId())
    return;
  wchar_t name[std::size(kMirrorClassName) + 1] = L"";
  if (::GetClassNameW(hwnd, name, static_cast<int>(std::size(name))) &&
      std::wstring_view(name) == kMirrorClassName)
    ::SendMessageW(hwnd, kMsgCloakChanged, event == EVENT_OBJECT_CLOAKED, 0);
}

}  // namespace

int DirectionForCommand(UINT command) noexcept {
  for (const auto& pair : DirectionCommands)
    if (pair.command == command) return pair.direction;
  return -1;
}

bool CUIWindow::ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                     LRESULT& result) {
  fw::CMessageMap map(m_bMsgHandled, result);

  // Everything that happens to a message, in the order it is tried. A
  // handled message ends here with its result; one that passes on goes on to
  // the later entries, and what is left over to DefWindowProcW.
  switch (msg) {
    case WM_CREATE:
      if (map.Handle([&] { return OnCreate(); })) return true;
      break;
    case WM_CLOSE:
      if (m_nModal > 0 && map.Handle([&] { OnClose(); })) return true;
      break;          // no dialog open: DefWindowProcW destroys the window
    case WM_DESTROY:  // passes on, to the timer mixin below, which stops the timer
      map.PassOn([&] {
        m_cloakHook.reset();
        if (m_bSessionWatched && m_system->UnRegisterSessionNotification)
          m_system->UnRegisterSessionNotification(hwnd);
        m_bSessionWatched = false;
        g_setting.Window.Capture(hwnd, m_rcNormal);
        ::PostQuitMessage(0);
      });
      break;
    case WM_ENDSESSION:  // passes on
      // A logoff or shutdown ends the process without WM_DESTROY: keep the
      // place and the settings now, as closing the window does.
      map.PassOn([&] {
        if (wParam) OnEndSession();
        // The Restart Manager (an installer, an update) closes programs one
        // by one and the session goes on: end as asked, not killed later.
        if (wParam && (lParam & ENDSESSION_CLOSEAPP)) OnExit();
      });
      break;
    // The shell's thumbnail, Peek, Alt+Tab and Task View show this window's
    // own surface, not the view above it: it carries the same picture.
    case WM_PAINT:
      if (map.Handle([&] {
            const gdi::CPaintDC dc(hwnd);
            m_view.CopyPictureTo(hwnd, dc.Get());
          }))
        return true;
      break;
    case WM_PRINTCLIENT:
      if (map.Handle([&] { m_view.CopyPictureTo(hwnd, reinterpret_cast<HDC>(wParam)); }))
        return true;
      break;
    case WM_MOVE:  // passes on
    case WM_SIZE: map.PassOn([&] { PlaceView(); }); break;
    case WM_WINDOWPOSCHANGED:  // passes on, for WM_MOVE and WM_SIZE
      map.PassOn([&] {
        KeepNormalRect();
        ShowViewWithWindow();
        SetVisibilityFromWindow();
      });
      break;
    case WM_WTSSESSION_CHANGE: map.PassOn([&] { OnSessionChange(wParam); }); break;  // passes on
    case kMsgCloakChanged:
      if (map.Handle([&] {
            Visibility v = m_visibility;
            v.cloaked = wParam != FALSE;
            SetVisibility(v);
          }))
        return true;
      break;
    case WM_DISPLAYCHANGE: map.PassOn([&] { OnDisplayChange(); }); break;  // passes on
    case WM_DPICHANGED:
      // Sizes stay physical: the suggested rectangle is not taken. Only the
      // icons follow the new scale.
      if (map.Handle([&] { SetIcons(); })) return true;
      break;
    case WM_SETCURSOR:
      // Over a window disabled by an open dialog the default procedure beeps
      // and flashes that dialog: the feedback a user expects.
      if (static_cast<short>(LOWORD(lParam)) != HTERROR &&
          map.Handle([&] { return OnSetCursor(); }))
        return true;
      break;
    case WM_NCLBUTTONDOWN:
      if (map.Handle([&] { OnNcLButtonDown(lParam); })) return true;
      break;
    case WM_NCHITTEST:
      if (map.Handle([&] { return HitTest(fw::GetXParam(lParam), fw::GetYParam(lParam)); }))
        return true;
      break;
    case WM_GETMINMAXINFO:
      if (map.Handle([&] { OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); })) return true;
      break;
    case WM_LBUTTONDBLCLK:
      if (map.Handle([&] { ::SendMessageW(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0); })) return true;
      break;
    case WM_TIMER:  // another timer's tick goes on to DefWindowProcW
      if (wParam == kRefreshTimerId && map.Handle([&] { OnRefreshTimer(); })) return true;
      break;
    case WM_COMMAND: {
      const UINT id = LOWORD(wParam);
      if (DirectionForCommand(id) >= 0 && map.Handle([&] { OnDirection(id); })) return true;
      if (id == kCmdSetting && map.Handle([&] { OnSetting(); })) return true;
      if (id == kCmdAbout && map.Handle([&] { OnAbout(); })) return true;
      if (id == kCmdExit && map.Handle([&] { OnExit(); })) return true;
      break;  // other commands go on to DefWindowProcW
    }
    default: break;
  }
  // No message is handled both above and by a mixin below.
  // CSubMenuImpl: WM_CONTEXTMENU (shows the menu, handled).
  if (map.Chain<CSubMenuImpl<CUIWindow>>(*this, hwnd, msg, wParam, lParam)) return true;
  // CUpdateUI: WM_INITMENUPOPUP (marks the popup's items, passes on).
  if (map.Chain<fw::CUpdateUI<CUIWindow>>(*this, hwnd, msg, wParam, lParam)) return true;
  // CSingleTimerImpl: WM_DESTROY (stops the timer, passes on).
  if (map.Chain<fw::CSingleTimerImpl<CUIWindow, 100, kRefreshTimerId>>(*this, hwnd, msg, wParam,
                                                                       lParam))
    return true;
  // CMouseMoveImpl: WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP (drags or
  // sizes the window, passes on); WM_KEYDOWN (Escape puts a drag or a
  // sizing back where it started, handled); WM_CAPTURECHANGED (ends it,
  // passes on).
  if (map.Chain<CMouseMoveImpl<CUIWindow>>(*this, hwnd, msg, wParam, lParam)) return true;
  return false;
}

RECT CUIWindow::DefaultWindowRect() {
  RECT r{100, 0, 200, 100};
  MONITORINFOEXW info{};
  if (my::PrimaryMonitorInfo(info))
    r = ToRECT(
        DefaultPlacement(FromRECT(info.rcWork), g_setting.Direction, g_setting.TransparentEdge));
  return r;
}

LRESULT CUIWindow::OnCreate() {
  LoadMenu(0, kMenuId);

  // A stored size no window can have is damaged data, not a place the window
  // was ever at: it is not applied, as if none were stored (nor is a stored
  // maximised state with it).
  CWindowSetting placement = g_setting.Window;
  if (!FitsWindowExtent(placement.Rectangle)) placement.Rectangle = {};
  // The stored place is shifted into the bounding rectangle of all monitors;
  // with monitors of different sizes that can still be a corner no monitor
  // shows, where the mirror could be neither seen nor reached.
  if (!placement.Restore(m_hWnd, kRestoreIntoScreen) ||
      !::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONULL))
    MoveWindow(DefaultWindowRect());

  // Told of locks and disconnections, so as to read nothing while they last.
  // Without it (no session service yet, or none) the mirror only goes on
  // reading.
  WatchSession(MonotonicMicroseconds());
  // Told of cloaking (another virtual desktop), so as to read nothing while
  // it lasts. Out of context: the events come through this thread's queue.
  m_cloakHook.reset(::SetWinEventHook(EVENT_OBJECT_CLOAKED, EVENT_OBJECT_UNCLOAKED, nullptr,
                                      &OnCloakEvent, 0, 0, WINEVENT_OUTOFCONTEXT));
  m_visibility.cloaked = AskCloaked();
  SetTextFromResource(kCaptionId, false);
  SetIcons();
  SetDirectionRadio(g_setting.Direction);

  // The view's creation is not checked: without it the window still moves,
  // sizes and counts ticks, it only shows no picture.
  m_view.Create(m_hWnd);

  // A window restored maximised is shown already: its timer starts here.
  SetVisibilityFromWindow();
  // Place the view now: a window restored maximised gets no further move.
  PlaceView();
  // A window restored maximised is shown already; any other is shown later,
  // by whoever started the program, and the view with it.
  ShowViewWithWindow();
  return 0;
}

void CUIWindow::SetIcons() {
  // The sizes the system asks for at this window's scale: it is per-monitor
  // aware, so the class's system-scale icons would be stretched.
  const UINT dpi = ::GetDpiForWindow(m_hWnd);
  const auto load = [&](int cx, int cy) {
    return gdi::CIcon(static_cast<HICON>(::LoadImageW(
        ::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kIconId), IMAGE_ICON,
        ::GetSystemMetricsForDpi(cx, dpi), ::GetSystemMetricsForDpi(cy, dpi), LR_DEFAULTCOLOR)));
  };
  gdi::CIcon big = load(SM_CXICON, SM_CYICON);
  gdi::CIcon small = load(SM_CXSMICON, SM_CYSMICON);
  SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.Get()));
  SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.Get()));
  // The icons of the old scale go only once the window no longer holds them.
  m_iconBig = std::move(big);
  m_iconSmall = std::move(small);
}

void CUIWindow::KeepNormalRect() {
  if (!::IsWindowVisible(m_hWnd) || ::IsIconic(m_hWnd) || ::IsZoomed(m_hWnd)) return;
  RECT r{};
  if (::GetWindowRect(m_hWnd, &r)) m_rcNormal = FromRECT(r);
}

void CUIWindow::OnDisplayChange() {
  KeepOnAMonitor();
  PlaceView();
}

void CUIWindow::KeepOnAMonitor() {
  // Minimised, the window lies off every monitor by design; maximised, the
  // system keeps it on one.
  if (::IsIconic(m_hWnd) || ::IsZoomed(m_hWnd) ||
      ::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONULL))
    return;
  MONITORINFO info{};
  info.cbSize = sizeof info;
  RECT r{};
  if (!::GetMonitorInfoW(::MonitorFromWindow(m_hWnd, MONITOR_DEFAULTTONEAREST), &info) ||
      !::GetWindowRect(m_hWnd, &r))
    return;
  MoveWindow(ToRECT(CWindowSetting::ShiftIntoScreen(FromRECT(r), FromRECT(info.rcWork))));
}

void CUIWindow::ShowViewWithWindow() {
  if (!m_view.m_hWnd) return;
  // Minimised, the system hides the owned view and shows it again on restore.
  const bool shown = ::IsWindowVisible(m_hWnd) != FALSE;
  const bool viewShown = ::IsWindowVisible(m_view) != FALSE;
  if (shown && !::IsIconic(m_hWnd) && !viewShown) {
    PlaceView();
    // Without activation: the view takes no input, and under Wine with a
    // window manager an activated popup is handed to the manager, which then
    // stacks the mirror window above it.
    m_view.ShowWindow(SW_SHOWNA);
  } else if (!shown && viewShown) {
    m_view.ShowWindow(SW_HIDE);
  }
}

void CUIWindow::SetVisibilityFromWindow() {
  Visibility v = m_visibility;
  v.hidden = !::IsWindowVisible(m_hWnd);
  v.minimised = ::IsIconic(m_hWnd) != FALSE;
  SetVisibility(v);
}

void CUIWindow::OnSessionChange(WPARAM change) {
  Visibility v = m_visibility;
  switch (change) {
    case WTS_SESSION_LOCK: v.locked = true; break;
    case WTS_SESSION_UNLOCK: v.locked = false; break;
    case WTS_CONSOLE_DISCONNECT:
    case WTS_REMOTE_DISCONNECT: v.disconnected = true; break;
    case WTS_CONSOLE_CONNECT:
    case WTS_REMOTE_CONNECT: v.disconnected = false; break;
    default: return;
  }
  SetVisibility(v);
}

void CUIWindow::WatchSession(std::int64_t now) {
  if (m_bSessionWatched || m_nSessionTries >= kSessionWatchTries ||
      !m_system->RegisterSessionNotification ||
      (m_nSessionTries > 0 && now - m_nSessionTryAt < 1'000'000))
    return;
  ++m_nSessionTries;
  m_nSessionTryAt = now;
  m_bSessionWatched =
      m_system->RegisterSessionNotification(m_hWnd, NOTIFY_FOR_THIS_SESSION) != FALSE;
}

bool CUIWindow::AskCloaked() const {
  DWORD cloaked = 0;
  return m_system->GetWindowAttribute &&
         SUCCEEDED(m_system->GetWindowAttribute(m_hWnd, DWMWA_CLOAKED, &cloaked, sizeof cloaked)) &&
         cloaked != 0;
}

void CUIWindow::StartTimer() {
  m_nTickCount = 0;
  m_timerMode = TimerModeFor(m_visibility, static_cast<bool>(m_cloakHook));
  switch (m_timerMode) {
    case TimerMode::kStopped: break;
    case TimerMode::kPollCloak: CSingleTimerImpl::StartTimer(kCloakPollMs); break;
    case TimerMode::kRefreshing:
      m_schedule.Start(MonotonicMicroseconds(), g_setting.RefreshRate);
      CSingleTimerImpl::StartTimer(g_setting.TimerPeriod());
      break;
  }
}

void CUIWindow::SetVisibility(const Visibility& next) {
  m_visibility = next;
  const TimerMode running = m_nTimerId != 0 ? m_timerMode : TimerMode::kStopped;
  if (TimerModeFor(m_visibility, static_cast<bool>(m_cloakHook)) == running) return;
  StopTimer(true);
  StartTimer();
  // Shown again after a change of monitors while it was minimised.
  if (running == TimerMode::kStopped) KeepOnAMonitor();
}

void CUIWindow::OnRefreshTimer() {
  if (m_nTimerId == 0) return;  // a tick from before a stop
  const std::int64_t now = MonotonicMicroseconds();
  WatchSession(now);
  if (m_timerMode == TimerMode::kPollCloak) {
    Visibility v = m_visibility;
    v.cloaked = AskCloaked();
    SetVisibility(v);
    return;
  }
  if (m_schedule.OnTick(now)) {
    // Where no event tells of cloaking, every refresh asks first.
    if (!m_cloakHook && AskCloaked()) {
      Visibility v = m_visibility;
      v.cloaked = true;
      SetVisibility(v);
      return;
    }
    KeepOwnSurface(OnTimer(), now);
  }
  // Set again after every tick, also when the period stays: a timer left
  // running counts from its own expiry, not from now, and would come early
  // by the refresh's own time.
  CSingleTimerImpl::StartTimer(m_schedule.DelayMs(MonotonicMicroseconds()));
}

void CUIWindow::SetDirectionRadio(int direction) {
  for (const auto& pair : DirectionCommands) UISetRadio(pair.command, pair.direction == direction);
}

int CUIWindow::HitTest(int x, int y) const {
  RECT r{};
  ::GetWindowRect(m_hWnd, &r);
  return vl::HitTest(FromRECT(r), x, y);
}

LRESULT CUIWindow::OnSetCursor() {
  const DWORD pos = ::GetMessagePos();
  // While a border is dragged its cursor stays, wherever the mouse is.
  const int code = m_nSizingCode ? m_nSizingCode
                                 : HitTest(fw::GetXParam(static_cast<LPARAM>(pos)),
                                           fw::GetYParam(static_cast<LPARAM>(pos)));
  const int cursor = CursorForHitCode(code);
  if (cursor == 0) return 0;
  ::SetCursor(::LoadCursorW(nullptr, MAKEINTRESOURCEW(cursor)));
  return TRUE;
}

void CUIWindow::OnNcLButtonDown(LPARAM lParam) {
  const POINT pt{fw::GetXParam(lParam), fw::GetYParam(lParam)};
  BeginSizing(m_hWnd, HitTest(pt.x, pt.y), pt);
}

void CUIWindow::OnGetMinMaxInfo(MINMAXINFO* info) {
  const Point size = MinTrackSize(g_setting.Direction, g_setting.TransparentEdge);
  info->ptMinTrackSize = ToPOINT(size);
}

void CUIWindow::PlaceView() {
  // Minimised, the window lies off every monitor by design, and the system
  // has hidden the view; a restore places it again.
  if (!m_view.m_hWnd || ::IsIconic(m_hWnd)) return;
  RECT r{};
  ::GetWindowRect(m_hWnd, &r);
  m_nPlacedEdge = g_setting.TransparentEdge;
  m_view.PlaceAt(ViewRectFor(FromRECT(r), g_setting.Direction, m_nPlacedEdge));
}

Rect CUIWindow::OnTimer() {
  Rect changed;
  if (m_view.m_hWnd) changed = m_view.Refresh(g_setting.IsCursorOnlyTick(m_nTickCount));
  m_nTickCount = g_setting.NextTick(m_nTickCount);
  return changed;
}

void CUIWindow::KeepOwnSurface(const Rect& changed, std::int64_t now) {
  // The window's own surface lies under the view and is seen only in the
  // shell's previews: it gets all that changed since its last copy, about ten
  // times a second at most, which spares it a copy and a flush on most
  // refreshes at the higher rates.
  constexpr std::int64_t kOwnCopyPeriodUs = 100'000;
  m_rcOwnStale = UnionRect(m_rcOwnStale, changed);
  if (IsRectEmpty(m_rcOwnStale) || now < m_nOwnCopyDue) return;
  {
    const auto dc = gdi::CWindowDC::Client(m_hWnd);
    m_view.CopyPictureTo(m_hWnd, dc.Get(), m_rcOwnStale);
  }
  m_rcOwnStale = {};
  m_nOwnCopyDue = now + kOwnCopyPeriodUs;
}

void CUIWindow::OnDirection(UINT command) {
  const int direction = DirectionForCommand(command);
  if (direction == g_setting.Direction) return;
  SetDirectionRadio(direction);
  g_setting.Direction = direction;
  ApplySettings();
}

void CUIWindow::ApplySettings() {
  StopTimer(true);
  g_setting.Save();
  // Keep the view where it is; only the cut between window and band moves,
  // unless a wider band would leave the window smaller than its minimum
  // across the reflected side: then the view grows on that side. Without a
  // view the window keeps its own rectangle.
  if (m_view.m_hWnd) {
    RECT r{};
    ::GetWindowRect(m_view.m_hWnd, &r);
    const Rect view = FromRECT(r);
    const int side = g_setting.Direction;
    const std::int32_t band = g_setting.TransparentEdge;
    MoveWindow(ToRECT(band > m_nPlacedEdge ? FitMirrorIntoView(view, side, band)
                                           : MirrorRectFor(view, side, band)),
               true);
    // A window kept at its minimum may not have moved at all, and then no
    // move places the view with its new band.
    PlaceView();
  }
  StartTimer();
}

void CUIWindow::OnExit() { PostMessage(WM_CLOSE); }

void CUIWindow::OnClose() {
  m_bCloseAsked = true;
  CancelDialogs();
}

void CUIWindow::OnEndSession() {
  g_setting.Window.Capture(m_hWnd, m_rcNormal);
  g_setting.Save();
}

}  // namespace vl
