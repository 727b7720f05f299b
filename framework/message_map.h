// Message maps: each window class and each mixin has a
//
//   bool ProcessWindowMessage(HWND, UINT, WPARAM, LPARAM, LRESULT& result)
//
// that tries its handlers in a fixed order and returns true once one of them
// has handled the message. A handler runs with its class's handled flag set;
// it passes the message on by clearing the flag (SetMsgHandled(false)), and
// then the next handler, and finally DefWindowProcW, sees the message too.
//
// Every class and mixin keeps its own flag (a member named m_bMsgHandled, so a
// class's own flag hides those of its bases) and saves it for the length of
// each message, so a message sent from inside a handler cannot change what the
// outer handler decided.
//
// A map reads top to bottom, in the order the handlers are tried, and each
// chain call says in a comment what the mixin takes and whether it passes on:
//
//   fw::CMessageMap map(m_bMsgHandled, result);
//   if (msg == WM_CREATE && map.Handle([&] { return OnCreate(); })) return true;
//   if (msg == WM_MOVE) map.PassOn([&] { PlaceView(); });
//   // CTimerMixin: WM_DESTROY (stops the timer, passes on).
//   if (map.Chain<CTimerMixin>(*this, hwnd, msg, wParam, lParam)) return true;
//   return false;
//
// Only a true from Handle or Chain ends the map. In a switch, write
// `if (map.Handle(...)) return true; break;`, never `return map.Handle(...)`,
// which would end the map on a pass-on too.
#pragma once

#include <windows.h>

#include <type_traits>

namespace fw {

class CHandledFlag {
 public:
  void Set(bool handled) noexcept { m_bValue = handled; }
  bool Get() const noexcept { return m_bValue; }

 private:
  bool m_bValue = true;
};

// One message's pass through one class's map: saves the class's handled flag
// and restores it when the pass ends, whatever the handlers did.
class CMessageMap {
 public:
  CMessageMap(CHandledFlag& flag, LRESULT& result) noexcept
      : m_flag(flag), m_saved(flag.Get()), m_result(result) {}
  ~CMessageMap() { m_flag.Set(m_saved); }
  CMessageMap(const CMessageMap&) = delete;
  CMessageMap& operator=(const CMessageMap&) = delete;

  // Runs a handler with the flag set; its return value becomes the result,
  // 0 for a handler that returns nothing. True when the handler left the
  // message handled.
  template <class Handler>
  bool Handle(Handler&& handler) {
    m_flag.Set(true);
    if constexpr (std::is_void_v<std::invoke_result_t<Handler&>>) {
      handler();
      m_result = 0;
    } else {
      m_result = static_cast<LRESULT>(handler());
    }
    return m_flag.Get();
  }

  // Runs an action that lets the message pass on to the later handlers and
  // the default procedure; never ends dispatch.
  template <class Action>
  bool PassOn(Action&& action) {
    m_flag.Set(true);
    action();
    m_flag.Set(false);
    return false;
  }

  // Offers the message to the map of a mixin (a base of the calling class).
  template <class Mixin>
  bool Chain(Mixin& mixin, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return mixin.Mixin::ProcessWindowMessage(hwnd, msg, wParam, lParam, m_result);
  }

 private:
  CHandledFlag& m_flag;
  bool m_saved;
  LRESULT& m_result;
};

// Declares a class's own handled flag and its accessors; put it in a
// protected section of every class and mixin that has a message map. The
// names hide those of the bases, so each map works on its own flag.
#define FW_HANDLED_FLAG                                                     \
  ::fw::CHandledFlag m_bMsgHandled;                                         \
  void SetMsgHandled(bool handled) noexcept { m_bMsgHandled.Set(handled); } \
  bool IsMsgHandled() const noexcept { return m_bMsgHandled.Get(); }

// Parameter crackers.
inline int GetXParam(LPARAM l) noexcept { return static_cast<short>(LOWORD(l)); }
inline int GetYParam(LPARAM l) noexcept { return static_cast<short>(HIWORD(l)); }
inline POINT GetPointParam(LPARAM l) noexcept { return {GetXParam(l), GetYParam(l)}; }

}  // namespace fw
