// Property sheets and their pages, implemented by C++ classes with the same
// message maps as windows.
//
// A page is a dialog (see dialog.h) whose object travels in its
// PROPSHEETPAGEW's lParam; the sheet's notifications reach it as WM_NOTIFY
// and its own map turns PSN_APPLY and PSN_RESET into T::OnApply and
// T::OnReset. A sheet runs modally with PropertySheetW; its callback
// subclasses the sheet window as soon as it exists, so the sheet class sees
// the window's messages (WM_SHOWWINDOW among them) through its map, with
// window-procedure results. The sheet is detached after the outermost message
// on WM_NCDESTROY has returned.
#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "framework/dialog.h"
#include "framework/dispatch.h"
#include "framework/message_map.h"
#include "framework/window.h"

namespace fw {

// A page made from dialog template T::IDD. T may hide OnApply and OnReset.
template <class T, class TBase = CWindowHandle>
class CPropertyPageImpl : public CDialogImplBaseT<TBase> {
  using Base = CDialogImplBaseT<TBase>;

 public:
  PROPSHEETPAGEW m_psp{};

  explicit CPropertyPageImpl(const std::wstring& title = {},
                             HINSTANCE module = ::GetModuleHandleW(nullptr))
      : m_strTitle(title) {
    m_psp.dwSize = sizeof m_psp;
    m_psp.dwFlags = PSP_DEFAULT;
    m_psp.hInstance = module;
    m_psp.pszTemplate = MAKEINTRESOURCEW(T::IDD);
    m_psp.pfnDlgProc = &Base::template DialogProc<&FromParam>;
    m_psp.lParam = reinterpret_cast<LPARAM>(static_cast<Base*>(this));
    if (!m_strTitle.empty()) {
      m_psp.dwFlags |= PSP_USETITLE;
      m_psp.pszTitle = m_strTitle.c_str();
    }
  }

  // A page handle for a sheet's list; null on failure. Whoever takes it owns
  // it (CPropertySheetImpl::AddPage does).
  HPROPSHEETPAGE Create() { return ::CreatePropertySheetPageW(&m_psp); }

  // OK was pressed: store what the page shows. PSNRET_NOERROR lets the sheet close.
  int OnApply() { return PSNRET_NOERROR; }
  // The sheet was cancelled.
  void OnReset() {}

  bool ProcessWindowMessage(HWND, UINT msg, WPARAM, LPARAM lParam, LRESULT& result) override {
    CMessageMap map(m_bMsgHandled, result);
    if (msg != WM_NOTIFY) return false;
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    // Only the sheet's own notifications; the page's controls notify too.
    if (header->hwndFrom != ::GetParent(this->m_hWnd)) return false;
    switch (header->code) {
      case PSN_APPLY: return map.Handle([&] { return static_cast<T*>(this)->OnApply(); });
      case PSN_RESET:
        return map.Handle([&] {
          static_cast<T*>(this)->OnReset();
          return 0;
        });
      default: return false;
    }
  }

 protected:
  FW_HANDLED_FLAG

 private:
  static Base* FromParam(LPARAM param) {
    return reinterpret_cast<Base*>(reinterpret_cast<const PROPSHEETPAGEW*>(param)->lParam);
  }

  std::wstring m_strTitle;
};

namespace detail {
// The sheet whose window is being created on this thread, until its
// callback attaches it.
inline thread_local void* t_creatingSheet = nullptr;
}  // namespace detail

template <class T, class TBase = CWindowHandle>
class CPropertySheetImpl : public TBase {
 public:
  PROPSHEETHEADERW m_psh{};

  explicit CPropertySheetImpl(const std::wstring& title = {}, UINT startPage = 0,
                              HWND parent = nullptr, HINSTANCE module = ::GetModuleHandleW(nullptr))
      : m_strTitle(title) {
    m_psh.dwSize = sizeof m_psh;
    m_psh.dwFlags = PSH_USECALLBACK;
    m_psh.hwndParent = parent;
    m_psh.hInstance = module;
    m_psh.pszCaption = m_strTitle.c_str();
    m_psh.nStartPage = startPage;
    m_psh.pfnCallback = &SheetCallback;
  }
  CPropertySheetImpl(const CPropertySheetImpl&) = delete;
  CPropertySheetImpl& operator=(const CPropertySheetImpl&) = delete;

  // Pages never handed to a running sheet are still ours to destroy.
  virtual ~CPropertySheetImpl() {
    if (const HWND hwnd = m_dispatch.Detach(*this))
      ::RemoveWindowSubclass(hwnd, &SubclassProc, kSubclassId);
    for (HPROPSHEETPAGE page : m_pages) ::DestroyPropertySheetPage(page);
  }

  // Takes ownership of a page handle; false for a null one.
  bool AddPage(HPROPSHEETPAGE page) {
    if (!page) return false;
    m_pages.push_back(page);
    return true;
  }

  // Runs the sheet modally, owned by `owner`, else by the preset parent, else
  // by the active window. PropertySheetW's result. The pages belong to the
  // system from then on, which destroys them with the sheet, so a sheet runs
  // its pages once.
  INT_PTR DoModal(HWND owner = nullptr) {
    m_psh.dwFlags &= ~static_cast<DWORD>(PSH_MODELESS);
    m_psh.dwFlags |= PSH_USECALLBACK;
    if (owner) m_psh.hwndParent = owner;
    if (!m_psh.hwndParent) m_psh.hwndParent = ::GetActiveWindow();
    m_psh.nPages = static_cast<UINT>(m_pages.size());
    m_psh.phpage = m_pages.data();
    detail::t_creatingSheet = static_cast<CPropertySheetImpl*>(this);
    const INT_PTR result = ::PropertySheetW(&m_psh);
    detail::t_creatingSheet = nullptr;
    m_pages.clear();
    m_psh.phpage = nullptr;
    m_psh.nPages = 0;
    return result;
  }

  // The sheet window's message map (window-procedure results).
  virtual bool ProcessWindowMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
                                    LRESULT& result) = 0;

  // Called once the sheet window is gone and the object detached from it.
  // noexcept: it runs after the message, outside the guard that keeps
  // exceptions from crossing the window procedure.
  virtual void OnFinalMessage(HWND) noexcept {}

 private:
  static constexpr UINT_PTR kSubclassId = 1;

  static int CALLBACK SheetCallback(HWND hwnd, UINT msg, LPARAM) {
    if (msg != PSCB_INITIALIZED || !detail::t_creatingSheet) return 0;
    auto* self = static_cast<CPropertySheetImpl*>(detail::t_creatingSheet);
    detail::t_creatingSheet = nullptr;
    if (::SetWindowSubclass(hwnd, &SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(self)))
      self->m_dispatch.Attach(*self, hwnd);
    return 0;
  }

  static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR data) {
    auto* self = reinterpret_cast<CPropertySheetImpl*>(data);
    return self->m_dispatch.Run(*self, hwnd, msg, wParam, lParam, [&](bool handled, LRESULT r) {
      if (!handled) r = ::DefSubclassProc(hwnd, msg, wParam, lParam);
      // The subclass goes with the window; the object stays attached until
      // the outermost message has returned.
      if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, &SubclassProc, kSubclassId);
      return r;
    });
  }

  std::wstring m_strTitle;
  std::vector<HPROPSHEETPAGE> m_pages;       // not yet handed to the system
  CDispatch m_dispatch{CDispatch::kNoSlot};  // the object travels in the subclass's data
};

}  // namespace fw
