// CWindowImpl: a window class implemented by a C++ class T.
//
// The class is registered once per T under a generated or a fixed name, with the class
// style, background and cursor that T::GetWndClassInfo() gives (the defaults
// below unless T hides it). Messages reach T::ProcessWindowMessage; what it
// leaves unhandled goes to DefWindowProcW. The object is attached from the
// first message of its window (WM_GETMINMAXINFO comes before WM_NCCREATE) and
// detached after the outermost message on WM_NCDESTROY has returned.
#pragma once

#include <windows.h>

#include <cwchar>
#include <utility>

#include "framework/dispatch.h"
#include "framework/message_map.h"
#include "framework/window.h"

namespace fw {

template <DWORD Style, DWORD ExStyle>
struct CWinTraits {
  static constexpr DWORD kStyle = Style;
  static constexpr DWORD kExStyle = ExStyle;
};

struct WindowClassInfo {
  UINT style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
  HBRUSH background = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  LPCWSTR cursor = IDC_ARROW;  // a system cursor
  // A fixed name, for a window that other programs look for (an installer
  // closing it); null for one generated from the class's address.
  LPCWSTR name = nullptr;
};

namespace detail {
// The object whose window is being created on this thread, until its first
// message attaches it.
inline thread_local void* t_creating = nullptr;
}  // namespace detail

template <class T, class TBase = CWindowHandle, class TTraits = CWinTraits<0, 0>>
class CWindowImpl : public TBase {
 public:
  CWindowImpl() = default;
  CWindowImpl(const CWindowImpl&) = delete;
  CWindowImpl& operator=(const CWindowImpl&) = delete;

  // A window that outlives its object is cut loose and destroyed before T's
  // members and mixins go: a T whose map uses them calls DestroyDetached()
  // first in its own destructor, and this base one covers every other T.
  virtual ~CWindowImpl() { DestroyDetached(); }

  static WindowClassInfo GetWndClassInfo() { return {}; }

  // Registers T's window class (once); the atom, or 0 with the last error set.
  static ATOM RegisterWndClass() {
    static ATOM atom = 0;
    if (atom != 0) return atom;
    static wchar_t generated[40];
    std::swprintf(generated, 40, L"Vellora:%p", static_cast<void*>(&atom));
    const WindowClassInfo info = T::GetWndClassInfo();
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.style = info.style;
    wc.lpfnWndProc = &CWindowImpl::WindowProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = info.cursor ? ::LoadCursorW(nullptr, info.cursor) : nullptr;
    wc.hbrBackground = info.background;
    wc.lpszClassName = info.name ? info.name : generated;
    atom = ::RegisterClassExW(&wc);
    return atom;
  }

  // Creates the window with T's traits unless a style is given.
  HWND Create(HWND parent, const RECT* rect = nullptr, LPCWSTR text = nullptr, DWORD style = 0,
              DWORD exStyle = 0, HMENU menu = nullptr) {
    const ATOM atom = RegisterWndClass();
    if (atom == 0) return nullptr;
    if (style == 0) style = TTraits::kStyle;
    if (exStyle == 0) exStyle = TTraits::kExStyle;
    int x = CW_USEDEFAULT, y = CW_USEDEFAULT, cx = CW_USEDEFAULT, cy = CW_USEDEFAULT;
    if (rect) {
      x = rect->left;
      y = rect->top;
      cx = rect->right - rect->left;
      cy = rect->bottom - rect->top;
    }
    detail::t_creating = static_cast<T*>(this);
    const HWND hwnd = ::CreateWindowExW(exStyle, MAKEINTATOM(atom), text, style, x, y, cx, cy,
                                        parent, menu, ::GetModuleHandleW(nullptr), nullptr);
    detail::t_creating = nullptr;
    return hwnd;
  }

  // The message map; true when a handler handled the message.
  virtual bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) = 0;

  // Called once the window is gone and the object detached from it.
  // noexcept: it runs after the message, outside the guard that keeps
  // exceptions from crossing the window procedure.
  virtual void OnFinalMessage(HWND) noexcept {}

 protected:
  // A window that outlives its object is cut loose, so its last messages go
  // to DefWindowProcW alone and OnFinalMessage does not run, then destroyed.
  void DestroyDetached() noexcept {
    if (const HWND hwnd = m_dispatch.Detach(*this)) ::DestroyWindow(hwnd);
  }

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CWindowImpl*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self && detail::t_creating) {
      self = static_cast<T*>(std::exchange(detail::t_creating, nullptr));
      self->m_dispatch.Attach(*self, hwnd);
    }
    if (!self) return ::DefWindowProcW(hwnd, msg, wParam, lParam);

    return self->m_dispatch.Run(*self, hwnd, msg, wParam, lParam, [&](bool handled, LRESULT r) {
      return handled ? r : ::DefWindowProcW(hwnd, msg, wParam, lParam);
    });
  }

  CDispatch m_dispatch{GWLP_USERDATA};
};

}  // namespace fw
