// The message loop of a user-interface thread, and the module object that
// knows the program instance and each thread's loop.
#pragma once

#include <windows.h>

#include <map>
#include <vector>

namespace fw {

class CMessageFilter {
 public:
  virtual bool PreTranslateMessage(MSG* msg) = 0;

 protected:
  ~CMessageFilter() = default;
};

class CIdleHandler {
 public:
  // True while the handler has more idle work to do.
  virtual bool OnIdle() = 0;

 protected:
  ~CIdleHandler() = default;
};

class CMessageLoop {
 public:
  std::vector<CMessageFilter*> m_filters;
  std::vector<CIdleHandler*> m_idleHandlers;

  // Runs until WM_QUIT and returns its wParam. Between messages the thread
  // sleeps in GetMessageW; idle work runs once the queue is empty, and is
  // armed again by any message but mouse moves, paints and the caret blink.
  int Run();

  // Offers a message to the filters, last registered first.
  bool PreTranslateMessage(MSG* msg);

  // Runs the idle handlers; false when none has work left.
  bool OnIdle(int idleCount);

  static bool IsIdleMessage(const MSG& msg) noexcept;
};

class CAppModule {
 public:
  bool Init(HINSTANCE instance);
  void Term();
  HINSTANCE GetModuleInstance() const noexcept { return m_hInstance; }

  bool AddMessageLoop(CMessageLoop* loop);
  bool RemoveMessageLoop();
  CMessageLoop* GetMessageLoop(DWORD threadId = ::GetCurrentThreadId()) const;

 private:
  HINSTANCE m_hInstance = nullptr;
  std::map<DWORD, CMessageLoop*> m_loops;
};

}  // namespace fw
