// The one path from a window procedure into an object's message map, for
// every kind of window of ours (CWindowImpl, dialogs, property sheets). Each
// kind's procedure only finds its object, attaching it on the kind's first
// message, and says what an answer looks like; CDispatch::Run does the rest:
//
//   1. offers the message to the object's map; a handler that throws leaves
//      the message unhandled, so no exception unwinds through system frames,
//      except that a throw while the window is created fails the creation
//      (WM_CREATE answers -1): no half-made window is left showing;
//   2. lets the procedure turn (handled, result) into its answer, which for
//      an unhandled message is the default processing's;
//   3. after the outermost message on WM_NCDESTROY has returned, detaches the
//      object and calls its OnFinalMessage, once. Messages sent from inside a
//      handler (a DestroyWindow among them) still find the object attached.
#pragma once

#include <windows.h>

#include <climits>
#include <utility>

namespace fw {

class CDispatch {
 public:
  // For kinds that keep the object somewhere other than a window long.
  static constexpr int kNoSlot = INT_MIN;

  // `slot`: the window-long index where the window keeps its object while
  // attached (GWLP_USERDATA, DWLP_USER), or kNoSlot.
  explicit constexpr CDispatch(int slot) noexcept : m_slot(slot) {}
  CDispatch(const CDispatch&) = delete;
  CDispatch& operator=(const CDispatch&) = delete;

  // The object gets the handle, and the window's slot the object.
  template <class T>
  void Attach(T& object, HWND hwnd) noexcept {
    object.m_hWnd = hwnd;
    if (m_slot != kNoSlot) ::SetWindowLongPtrW(hwnd, m_slot, reinterpret_cast<LONG_PTR>(&object));
  }

  // Cuts the object loose: the slot forgets it, it forgets the handle, which
  // it returns (null when it had none).
  template <class T>
  HWND Detach(T& object) noexcept {
    const HWND hwnd = std::exchange(object.m_hWnd, nullptr);
    if (hwnd && m_slot != kNoSlot) ::SetWindowLongPtrW(hwnd, m_slot, 0);
    return hwnd;
  }

  // Runs one message through `object`'s map. `answer(handled, result)` gives
  // what the window procedure returns.
  template <class T, class Answer>
  auto Run(T& object, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, Answer&& answer) {
    ++m_depth;
    LRESULT result = 0;
    bool handled = false;
    try {
      handled = object.ProcessWindowMessage(hwnd, msg, wParam, lParam, result);
    } catch (...) {
      handled = msg == WM_CREATE;
      result = -1;
    }
    const auto answered = answer(handled, result);
    if (msg == WM_NCDESTROY) m_bDestroyed = true;
    if (--m_depth == 0 && m_bDestroyed) {
      m_bDestroyed = false;
      Detach(object);
      object.OnFinalMessage(hwnd);
    }
    return answered;
  }

 private:
  int m_slot;
  unsigned m_depth = 0;       // messages of the window now being processed
  bool m_bDestroyed = false;  // WM_NCDESTROY seen
};

}  // namespace fw
