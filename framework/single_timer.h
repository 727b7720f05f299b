// CSingleTimerImpl: a mixin that owns one window timer of T's window.
#pragma once

#include <windows.h>

#include "framework/message_map.h"

namespace fw {

template <class T, UINT DefaultElapse, UINT_PTR DefaultId>
class CSingleTimerImpl {
 public:
  UINT m_nElapse = DefaultElapse;  // period of the running timer, ms
  UINT_PTR m_nTimerId = 0;         // 0 while no timer runs

  // (Re)starts the timer with `elapse` ms, keeping its id. A failed SetTimer
  // leaves the id 0, so the next start asks for the default id again.
  void StartTimer(UINT elapse) {
    m_nElapse = elapse;
    m_nTimerId = ::SetTimer(Hwnd(), m_nTimerId != 0 ? m_nTimerId : DefaultId, m_nElapse, nullptr);
  }

  // Stops the timer; with flushPending also drops the ticks already queued,
  // so none arrives after the stop. Nothing happens when no timer runs.
  void StopTimer(bool flushPending) {
    if (m_nTimerId == 0) return;
    ::KillTimer(Hwnd(), m_nTimerId);
    m_nTimerId = 0;
    if (!flushPending) return;
    MSG msg;
    while (::PeekMessageW(&msg, Hwnd(), WM_TIMER, WM_TIMER, PM_NOREMOVE) && msg.message != WM_QUIT)
      ::PeekMessageW(&msg, Hwnd(), WM_TIMER, WM_TIMER, PM_REMOVE);
  }

  bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM, LRESULT& result) {
    CMessageMap map(m_bMsgHandled, result);
    if (msg == WM_DESTROY) map.PassOn([&] { StopTimer(true); });
    return false;
  }

 protected:
  FW_HANDLED_FLAG

 private:
  HWND Hwnd() const { return static_cast<const T*>(this)->m_hWnd; }
};

}  // namespace fw
