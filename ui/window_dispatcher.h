// The window program's way for workers to reach the main thread: a call
// posted from any thread is queued and a message wakes the main thread's
// message loop, which runs it. So a worker's status texts, progress steps
// and end notification arrive while the window goes on painting.
#pragma once

#include "platform/win32/windows_api.h"

#include <deque>
#include <functional>
#include <mutex>

#include "engine/threads/worker_thread.h"

namespace cvn::ui {

class WindowDispatcher final : public threads::MainThreadDispatcher {
 public:
  // Main thread: makes the message-only window the calls are posted to.
  WindowDispatcher();
  // Main thread, when no worker runs any more: calls still queued are dropped.
  ~WindowDispatcher() override;
  WindowDispatcher(const WindowDispatcher&) = delete;
  WindowDispatcher& operator=(const WindowDispatcher&) = delete;

  void Post(std::function<void()> call) override;
  // Main thread: runs the calls queued so far.
  void ProcessPending() override;

 private:
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
  std::mutex mutex_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace cvn::ui
