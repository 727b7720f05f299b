// The mirror window: the borderless, top-most window the user drags, sizes and
// right-clicks. It draws nothing itself; the view it owns lies over it, widened
// by the transparent band, and shows the reflection on every timer tick.
#pragma once

#include <windows.h>

#include <cstdint>

#include "app/mouse_move.h"
#include "app/refresh_schedule.h"
#include "app/visibility.h"
#include "framework/single_timer.h"
#include "framework/update_ui.h"
#include "framework/window_impl.h"
#include "render/gdi.h"
#include "render/view_window.h"
#include "res/resource.h"
#include "support/sub_menu.h"
#include "support/system_functions.h"
#include "support/win_event_hook.h"
#include "support/window_utils.h"

namespace vl {

// Menu commands, from the resources.
enum Command : UINT {
  kCmdLeft = ID_DIRECTION_LEFT,
  kCmdRight = ID_DIRECTION_RIGHT,
  kCmdTop = ID_DIRECTION_TOP,
  kCmdBottom = ID_DIRECTION_BOTTOM,
  kCmdSetting = ID_SETTING,
  kCmdAbout = ID_APP_ABOUT,
  kCmdExit = ID_APP_EXIT,
};

inline constexpr UINT kMenuId = IDR_CONTEXT_MENU;
inline constexpr UINT kCaptionId = IDS_PRODUCT;
inline constexpr UINT kIconId = IDI_VELLORA;
inline constexpr UINT_PTR kRefreshTimerId = 1;
// Sent to the mirror window by its WinEvent hook: wParam TRUE when it was
// cloaked (another virtual desktop shown), FALSE when it shows again.
inline constexpr UINT kMsgCloakChanged = WM_APP + 1;
// How often a failed registration for session notifications is tried again:
// early at sign-in the session service may not be ready yet.
inline constexpr int kSessionWatchTries = 60;
// The mirror window's class: the installer and the uninstaller find every
// running mirror of the session by it, and nothing else (an Explorer window
// on the install folder is also captioned "Vellora").
inline constexpr wchar_t kMirrorClassName[] = L"Korvane.Vellora.Mirror";

struct DirectionCommand {
  UINT command;
  int direction;
};

// Menu command to reflected side, in menu order.
inline constexpr DirectionCommand DirectionCommands[] = {
    {kCmdLeft, Left}, {kCmdRight, Right}, {kCmdTop, Top}, {kCmdBottom, Bottom}};

// The side a command selects; -1 for any other command.
int DirectionForCommand(UINT command) noexcept;

using CUIWindowTraits = fw::CWinTraits<WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_TOPMOST>;

class CUIWindow : public fw::CWindowImpl<CUIWindow, CWindowW, CUIWindowTraits>,
                  public fw::CUpdateUI<CUIWindow>,
                  public fw::CSingleTimerImpl<CUIWindow, 100, kRefreshTimerId>,
                  public CSubMenuImpl<CUIWindow>,
                  public CMouseMoveImpl<CUIWindow> {
 public:
  static constexpr UINT kUpdateUIMap[] = {kCmdLeft,   kCmdRight, kCmdTop,
                                          kCmdBottom, kCmdExit,  kCmdAbout};

  // Before the view and the mixins go: the map uses them.
  ~CUIWindow() override { DestroyDetached(); }

  // Black behind the picture, where a restore shows the window before the
  // picture is copied onto it.
  static fw::WindowClassInfo GetWndClassInfo() {
    fw::WindowClassInfo info;
    info.background = static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH));
    info.name = kMirrorClassName;
    return info;
  }

  // Ticks since the timer was last started, kept modulo EntireRefreshRate.
  std::int32_t m_nTickCount = 0;
  CWindow m_view;
  CRefreshSchedule m_schedule;
  // The program's icon at the window's scale, for its taskbar button, Alt+Tab
  // and the task list; kept until the window has gone.
  gdi::CIcon m_iconBig, m_iconSmall;
  // The window's rectangle when last seen in its normal state: what a close
  // while minimised or maximised keeps. Empty until it is first seen so.
  Rect m_rcNormal;
  // What can keep the mirror from being seen; the timer follows it.
  Visibility m_visibility;
  // How the timer runs while m_nTimerId is not 0.
  TimerMode m_timerMode = TimerMode::kStopped;
  // The functions of DLLs loaded at run time; tests put their own here
  // before the window is created.
  const my::SystemFunctions* m_system = &my::SystemFunctions::Get();
  // Tells of cloaking as it happens; null where the system cannot.
  my::CWinEventHook m_cloakHook;
  bool m_bSessionWatched = false;    // registered for session notifications
  int m_nSessionTries = 0;           // registrations tried
  std::int64_t m_nSessionTryAt = 0;  // when the last was tried, microseconds
  int m_nModal = 0;                  // modal dialogs open over the window
  // What the refreshes changed on the view since the window's own surface last
  // had a copy of it, and when it may have the next (monotonic microseconds).
  Rect m_rcOwnStale;
  std::int64_t m_nOwnCopyDue = 0;
  std::int32_t m_nPlacedEdge = 0;  // the band the view was last placed with
  bool m_bCloseAsked = false;      // a close waits for them to end

  bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                            LRESULT& result) override;

  // (Re)starts the timer as m_visibility asks, ticks counted from 0 so the
  // first refresh is whole: at the period of the current refresh rate when
  // the mirror can be seen, once a second to ask after the cloak, or not at
  // all.
  void StartTimer();
  using CSingleTimerImpl::StopTimer;

  void SetDirectionRadio(int direction);

  // Hit-test code of a screen point against the window's current rectangle.
  int HitTest(int x, int y) const;

  // Lays the view over the window, widened by the band on the reflected side;
  // not while the window is minimised.
  void PlaceView();
  // Shows the view when the window is shown and hides it when the window is
  // hidden, so that a hidden start leaves nothing on the screen.
  void ShowViewWithWindow();
  // The one place that changes m_visibility: the timer is stopped, slowed
  // or started afresh (a whole refresh first) to match it.
  void SetVisibility(const Visibility& next);
  // The window's own part of it (shown, minimised), read from the window.
  void SetVisibilityFromWindow();
  // A lock or disconnection of the session stops the refreshes until the
  // unlock or reconnection; the first one after is whole.
  void OnSessionChange(WPARAM change);
  // Registers for session notifications, if not done yet; a failure is
  // tried again on later ticks, at most kSessionWatchTries times a second apart.
  void WatchSession(std::int64_t now);
  // Whether the cloak query says the window is cloaked; no answer is "no".
  bool AskCloaked() const;

  // A tick of the refresh timer: refreshes when the refresh is due, and sets
  // the timer for the next one.
  void OnRefreshTimer();
  // One refresh: whole or only around the cursor. Returns what it changed on
  // the view (the view's client coordinates).
  Rect OnTimer();
  // Gathers what a refresh changed and copies it onto the window's own
  // surface at `now` (monotonic microseconds), ten times a second at most.
  void KeepOwnSurface(const Rect& changed, std::int64_t now);
  void OnDirection(UINT command);
  // Carries the settings record into the running window: save, fit the
  // window into the view for the current side and band, restart the timer.
  void ApplySettings();
  void OnExit();
  // The session ends (logoff, shutdown) and the process with it: capture the
  // placement and save, as the end of a normal run does.
  void OnEndSession();
  // The settings sheet, modal; every closing of it ends in ApplySettings.
  void OnSetting();
  // The About dialog, modal; changes nothing.
  void OnAbout();
  // A close while a dialog is open (an installer closing every copy, the
  // Restart Manager) first ends the dialog as cancelled, then closes.
  void OnClose();
  // A monitor came or went: a mirror left on none comes back onto the
  // nearest, and the view with it.
  void OnDisplayChange();
  // Puts a mirror that lies on no monitor onto the nearest one, whole.
  void KeepOnAMonitor();

  // The first-run rectangle: from the primary work area, else a fixed one.
  static RECT DefaultWindowRect();

 protected:
  FW_HANDLED_FLAG

 private:
  LRESULT OnCreate();
  void SetIcons();
  void KeepNormalRect();
  // Runs a modal dialog, counted, so that a close asked meanwhile waits.
  template <class F>
  void RunModal(F&& run) {
    struct Count {
      int& n;
      explicit Count(int& count) : n(++count) {}
      ~Count() { --n; }
    } count(m_nModal);
    run();
  }
  void CancelDialogs();
  void CloseIfAsked();
  LRESULT OnSetCursor();
  void OnNcLButtonDown(LPARAM lParam);
  void OnGetMinMaxInfo(MINMAXINFO* info);
};

}  // namespace vl
