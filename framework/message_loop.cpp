#include "framework/message_loop.h"

namespace fw {

int CMessageLoop::Run() {
  bool idle = true;
  int idleCount = 0;
  MSG msg{};
  for (;;) {
    while (idle && !::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) {
      if (!OnIdle(idleCount++)) idle = false;
    }
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got == -1) continue;  // a bad call, not a reason to stop the program
    if (got == 0) break;      // WM_QUIT
    if (!PreTranslateMessage(&msg)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (IsIdleMessage(msg)) {
      idle = true;
      idleCount = 0;
    }
  }
  return static_cast<int>(msg.wParam);
}

bool CMessageLoop::PreTranslateMessage(MSG* msg) {
  for (auto it = m_filters.rbegin(); it != m_filters.rend(); ++it)
    if ((*it)->PreTranslateMessage(msg)) return true;
  return false;
}

bool CMessageLoop::OnIdle(int) {
  bool more = false;
  for (CIdleHandler* handler : m_idleHandlers) more = handler->OnIdle() || more;
  return more;
}

bool CMessageLoop::IsIdleMessage(const MSG& msg) noexcept {
  constexpr UINT kCaretBlink = 0x0118;
  switch (msg.message) {
    case WM_MOUSEMOVE:
    case WM_NCMOUSEMOVE:
    case WM_PAINT:
    case kCaretBlink: return false;
    default: return true;
  }
}

bool CAppModule::Init(HINSTANCE instance) {
  m_hInstance = instance;
  return true;
}

void CAppModule::Term() { m_loops.clear(); }

bool CAppModule::AddMessageLoop(CMessageLoop* loop) {
  return m_loops.emplace(::GetCurrentThreadId(), loop).second;
}

bool CAppModule::RemoveMessageLoop() { return m_loops.erase(::GetCurrentThreadId()) != 0; }

CMessageLoop* CAppModule::GetMessageLoop(DWORD threadId) const {
  const auto it = m_loops.find(threadId);
  return it == m_loops.end() ? nullptr : it->second;
}

}  // namespace fw
