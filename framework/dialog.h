// Dialogs implemented by a C++ class T, with the same message maps as windows.
//
// The object pointer arrives with WM_INITDIALOG and is kept in the dialog's
// DWLP_USER slot; messages before WM_INITDIALOG (WM_SETFONT and the creation
// messages) go to the dialog manager alone. What T's map handles is answered
// the way the dialog manager expects: the few messages whose result is the
// dialog procedure's own return value (WM_INITDIALOG, WM_CTLCOLOR*, ...) get
// it directly, all others through DWLP_MSGRESULT. What it leaves unhandled
// goes to the dialog manager's default processing. The object is detached
// after the outermost message on WM_NCDESTROY has returned.
#pragma once

#include <windows.h>

#include "framework/dispatch.h"
#include "framework/message_map.h"
#include "framework/window.h"

namespace fw {

namespace detail {

// Messages for which a dialog procedure returns the result itself.
constexpr bool ReturnsResultDirectly(UINT msg) noexcept {
  switch (msg) {
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON: return true;
    default: return false;
  }
}

}  // namespace detail

// What every dialog of ours shares: the dialog procedure, attach and detach.
template <class TBase = CWindowHandle>
class CDialogImplBaseT : public TBase {
 public:
  CDialogImplBaseT() = default;
  CDialogImplBaseT(const CDialogImplBaseT&) = delete;
  CDialogImplBaseT& operator=(const CDialogImplBaseT&) = delete;

  // A dialog that outlives its object is cut loose, so no message can reach
  // the half-destroyed object. It is not destroyed here: the dialog manager
  // or the property sheet that made it does that.
  virtual ~CDialogImplBaseT() { m_dispatch.Detach(*this); }

  // The message map; true when a handler handled the message.
  virtual bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) = 0;

  // Called once the dialog is gone and the object detached from it.
  // noexcept: it runs after the message, outside the guard that keeps
  // exceptions from crossing the window procedure.
  virtual void OnFinalMessage(HWND) noexcept {}

  bool EndDialog(INT_PTR result) const noexcept {
    return ::EndDialog(this->m_hWnd, result) != FALSE;
  }
  HWND GetDlgItem(int id) const noexcept { return ::GetDlgItem(this->m_hWnd, id); }

 protected:
  using FromInitParam = CDialogImplBaseT* (*)(LPARAM);

  // The dialog procedure of dialogs whose object FromInit finds in the
  // WM_INITDIALOG parameter.
  template <FromInitParam FromInit>
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CDialogImplBaseT*>(::GetWindowLongPtrW(hwnd, DWLP_USER));
    if (!self) {
      if (msg != WM_INITDIALOG || !(self = FromInit(lParam))) return FALSE;
      self->m_dispatch.Attach(*self, hwnd);
    }
    return self->m_dispatch.Run(*self, hwnd, msg, wParam, lParam,
                                [&](bool handled, LRESULT r) -> INT_PTR {
                                  if (!handled) return FALSE;
                                  if (detail::ReturnsResultDirectly(msg)) return r;
                                  ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, r);
                                  return TRUE;
                                });
  }

 private:
  CDispatch m_dispatch{DWLP_USER};
};

// A modal dialog made from dialog template T::IDD.
template <class T, class TBase = CWindowHandle>
class CDialogImpl : public CDialogImplBaseT<TBase> {
  using Base = CDialogImplBaseT<TBase>;

 public:
  // Shows the dialog owned by `owner` and runs it until EndDialog; its
  // result, or -1 (0 for a bad owner) when the dialog could not be shown.
  INT_PTR DoModal(HWND owner = ::GetActiveWindow(),
                  HINSTANCE module = ::GetModuleHandleW(nullptr)) {
    return ::DialogBoxParamW(module, MAKEINTRESOURCEW(T::IDD), owner,
                             &Base::template DialogProc<&FromParam>,
                             reinterpret_cast<LPARAM>(static_cast<Base*>(this)));
  }

 private:
  static Base* FromParam(LPARAM param) { return reinterpret_cast<Base*>(param); }
};

}  // namespace fw
