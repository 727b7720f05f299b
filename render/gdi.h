// Owners for device contexts and GDI objects. Each wrapper is move-only and
// gives its handle back to the system on every path out of its scope.
#pragma once

#include <windows.h>

#include <atomic>
#include <utility>

namespace vl::gdi {

// How many contexts, objects and selections the wrappers below hold right
// now, so that tests can check every path gives back what it took.
inline std::atomic<long> g_liveHandles{0};

namespace detail {
template <class H>
H Track(H h) noexcept {
  if (h) ++g_liveHandles;
  return h;
}
inline void Untrack() noexcept { --g_liveHandles; }
}  // namespace detail

// A device context fetched with GetDC or GetWindowDC; released with ReleaseDC
// on the window it came from (null for the screen).
class CWindowDC {
 public:
  CWindowDC() noexcept = default;
  // The client-area context of `hwnd` (the screen for null).
  static CWindowDC Client(HWND hwnd) noexcept {
    return CWindowDC(hwnd, detail::Track(::GetDC(hwnd)));
  }
  // The whole-window context of `hwnd` (the whole screen for null).
  static CWindowDC Window(HWND hwnd) noexcept {
    return CWindowDC(hwnd, detail::Track(::GetWindowDC(hwnd)));
  }

  CWindowDC(CWindowDC&& other) noexcept
      : m_hWnd(other.m_hWnd), m_hDC(std::exchange(other.m_hDC, nullptr)) {}
  CWindowDC& operator=(CWindowDC&& other) noexcept {
    if (this != &other) {
      Release();
      m_hWnd = other.m_hWnd;
      m_hDC = std::exchange(other.m_hDC, nullptr);
    }
    return *this;
  }
  CWindowDC(const CWindowDC&) = delete;
  CWindowDC& operator=(const CWindowDC&) = delete;
  ~CWindowDC() { Release(); }

  HDC Get() const noexcept { return m_hDC; }

  void Release() noexcept {
    // A failed release leaves nothing for us to do: the context is not ours any more.
    if (m_hDC) {
      ::ReleaseDC(m_hWnd, m_hDC);
      detail::Untrack();
    }
    m_hDC = nullptr;
  }

 private:
  CWindowDC(HWND hwnd, HDC hdc) noexcept : m_hWnd(hwnd), m_hDC(hdc) {}

  HWND m_hWnd = nullptr;
  HDC m_hDC = nullptr;
};

// The context of a WM_PAINT, from BeginPaint to EndPaint.
class CPaintDC {
 public:
  explicit CPaintDC(HWND hwnd) noexcept : m_hWnd(hwnd) {
    m_hDC = detail::Track(::BeginPaint(hwnd, &m_ps));
  }
  CPaintDC(const CPaintDC&) = delete;
  CPaintDC& operator=(const CPaintDC&) = delete;
  ~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
    if (m_hDC) detail::Untrack();
  }

  HDC Get() const noexcept { return m_hDC; }

 private:
  HWND m_hWnd;
  PAINTSTRUCT m_ps{};
  HDC m_hDC = nullptr;
};

// A context of our own (CreateCompatibleDC); deleted with DeleteDC.
class CMemDC {
 public:
  CMemDC() noexcept = default;
  explicit CMemDC(HDC hdc) noexcept : m_hDC(detail::Track(hdc)) {}
  static CMemDC CompatibleWith(HDC reference) noexcept {
    return CMemDC(::CreateCompatibleDC(reference));
  }

  CMemDC(CMemDC&& other) noexcept : m_hDC(std::exchange(other.m_hDC, nullptr)) {}
  CMemDC& operator=(CMemDC&& other) noexcept {
    if (this != &other) {
      Reset();
      m_hDC = std::exchange(other.m_hDC, nullptr);
    }
    return *this;
  }
  CMemDC(const CMemDC&) = delete;
  CMemDC& operator=(const CMemDC&) = delete;
  ~CMemDC() { Reset(); }

  HDC Get() const noexcept { return m_hDC; }
  explicit operator bool() const noexcept { return m_hDC != nullptr; }

  void Reset() noexcept {
    if (m_hDC) {
      ::DeleteDC(m_hDC);
      detail::Untrack();
    }
    m_hDC = nullptr;
  }

 private:
  HDC m_hDC = nullptr;
};

struct DeleteGdiObject {
  void operator()(HGDIOBJ h) const noexcept { ::DeleteObject(h); }
};
struct DestroyIconHandle {
  void operator()(HICON h) const noexcept { ::DestroyIcon(h); }
};

// A GDI object of our own (bitmap, brush, ...); deleted with DeleteObject. It
// must not be selected into a context by then: see CSelectObject. With
// another `TFree`, the owner of another kind of handle (CIcon).
template <class THandle, class TFree = DeleteGdiObject>
class CGdiObject {
 public:
  CGdiObject() noexcept = default;
  explicit CGdiObject(THandle h) noexcept : m_h(detail::Track(h)) {}

  CGdiObject(CGdiObject&& other) noexcept : m_h(std::exchange(other.m_h, nullptr)) {}
  CGdiObject& operator=(CGdiObject&& other) noexcept {
    if (this != &other) {
      Reset();
      m_h = std::exchange(other.m_h, nullptr);
    }
    return *this;
  }
  CGdiObject(const CGdiObject&) = delete;
  CGdiObject& operator=(const CGdiObject&) = delete;
  ~CGdiObject() { Reset(); }

  THandle Get() const noexcept { return m_h; }
  explicit operator bool() const noexcept { return m_h != nullptr; }

  void Reset() noexcept {
    if (m_h) {
      TFree{}(m_h);
      detail::Untrack();
    }
    m_h = nullptr;
  }

 private:
  THandle m_h = nullptr;
};

using CBitmap = CGdiObject<HBITMAP>;
using CBrush = CGdiObject<HBRUSH>;
// An icon loaded for us alone (not shared).
using CIcon = CGdiObject<HICON, DestroyIconHandle>;

// Selects an object into a context and selects the previous one back when it
// goes, into the same context.
class CSelectObject {
 public:
  CSelectObject() noexcept = default;
  CSelectObject(HDC hdc, HGDIOBJ object) noexcept : m_hDC(hdc) {
    m_hOld = ::SelectObject(hdc, object);
    // A failed selection has nothing to put back (null, or HGDI_ERROR for a region).
    if (m_hOld == nullptr || m_hOld == reinterpret_cast<HGDIOBJ>(static_cast<LONG_PTR>(-1))) {
      m_hDC = nullptr;
      m_hOld = nullptr;
    }
    detail::Track(m_hDC);
  }

  CSelectObject(CSelectObject&& other) noexcept
      : m_hDC(std::exchange(other.m_hDC, nullptr)), m_hOld(std::exchange(other.m_hOld, nullptr)) {}
  CSelectObject& operator=(CSelectObject&& other) noexcept {
    if (this != &other) {
      Restore();
      m_hDC = std::exchange(other.m_hDC, nullptr);
      m_hOld = std::exchange(other.m_hOld, nullptr);
    }
    return *this;
  }
  CSelectObject(const CSelectObject&) = delete;
  CSelectObject& operator=(const CSelectObject&) = delete;
  ~CSelectObject() { Restore(); }

  explicit operator bool() const noexcept { return m_hDC != nullptr; }

  void Restore() noexcept {
    if (m_hDC) {
      ::SelectObject(m_hDC, m_hOld);
      detail::Untrack();
    }
    m_hDC = nullptr;
    m_hOld = nullptr;
  }

 private:
  HDC m_hDC = nullptr;
  HGDIOBJ m_hOld = nullptr;
};

}  // namespace vl::gdi
