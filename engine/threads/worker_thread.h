// WorkerThread: the base of every worker. A worker runs Execute once on its own
// thread and talks to the main thread only through Synchronize; when Execute
// has returned, its end notification runs on the main thread and, when the
// worker asked for it, the object then releases itself.
//
// The main thread can park a worker at its next pause point (SafeSuspend,
// then Resume); the worker is never suspended anywhere else, so it never
// stops inside a platform call or while holding a store half-written. A stop
// request (Terminate) is a flag that the worker's loops test.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "engine/threads/scan_control.h"

namespace cvn::threads {

// Runs calls on the main thread. In the program a posted window message
// carries each call; tests use QueueDispatcher and pump it.
class MainThreadDispatcher {
 public:
  virtual ~MainThreadDispatcher() = default;
  // Any thread: queues `call` to run on the main thread.
  virtual void Post(std::function<void()> call) = 0;
  // Main thread: runs the calls queued so far (in the program: processes
  // the pending window messages).
  virtual void ProcessPending() = 0;
};

// A dispatcher whose queue the main thread pumps by hand.
class QueueDispatcher final : public MainThreadDispatcher {
 public:
  void Post(std::function<void()> call) override;
  void ProcessPending() override;
  // Waits up to `timeout_ms` for a call to arrive, then runs what is queued;
  // false when nothing came.
  bool WaitAndProcess(int timeout_ms);
  // Waits up to `timeout_ms` for a call to arrive and leaves it queued: a
  // worker that synchronizes is then held at a known point.
  bool WaitForPending(int timeout_ms);

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<std::function<void()>> queue_;
};

class WorkerThread : public ScanControl {
 public:
  using EndHandler = std::function<void(WorkerThread&)>;

  // Created suspended: nothing runs until Start.
  explicit WorkerThread(MainThreadDispatcher& dispatcher);
  WorkerThread(const WorkerThread&) = delete;
  WorkerThread& operator=(const WorkerThread&) = delete;
  // Waits for the thread when it still runs.
  ~WorkerThread() override;

  // Main thread, before Start: the end notification.
  void SetOnTerminate(EndHandler handler) { on_terminate_ = std::move(handler); }
  // Main thread: starts Execute on a new thread (once).
  void Start();

  // Any thread: asks the worker to stop at its next test of Terminated.
  void Terminate() { terminated_ = true; }
  bool Terminated() const override { return terminated_; }
  // Workers that follow the application's stop request override this.
  bool CancelRequested() const override { return Terminated(); }

  // Main thread: parks the worker at its next pause point, running the main
  // thread's pending calls meanwhile (a Synchronize the worker waits in
  // among them). True when the worker is parked; false when it ended
  // instead: its end notification has run then, and a worker that frees
  // itself is gone when this returns.
  bool SafeSuspend();
  // Main thread: lets a parked worker go on.
  void Resume();
  // Worker: the pause point.
  void CheckPause() override;

  // True once Execute has returned.
  bool Finished() const { return finished_; }

 protected:
  // The worker's body, run once on the worker thread.
  virtual void Execute() = 0;
  // Worker: runs `call` on the main thread and waits until it has run.
  void Synchronize(const std::function<void()>& call);
  // Worker: the object releases itself after its end notification.
  void SetFreeOnTerminate(bool free) { free_on_terminate_ = free; }
  MainThreadDispatcher& Dispatcher() { return dispatcher_; }

 private:
  void Run();
  // Main thread: the end notification, then the release.
  void EndOnMainThread();
  void Release();

  MainThreadDispatcher& dispatcher_;
  EndHandler on_terminate_;
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  std::atomic<bool> free_on_terminate_{false};

  std::mutex pause_mutex_;
  std::condition_variable pause_changed_;
  // Written under pause_mutex_; the request is read without it at every
  // pause point, so that an unrequested pause costs one load.
  std::atomic<bool> pause_requested_{false};  // main thread asks the worker to park
  bool paused_ = false;                       // the worker is parked

  // Main thread only: SafeSuspend is running, so a release must wait.
  int main_thread_waits_ = 0;
  bool release_pending_ = false;
  bool ended_ = false;  // the end notification has run
};

}  // namespace cvn::threads
