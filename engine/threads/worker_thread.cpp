#include "engine/threads/worker_thread.h"

#include <chrono>
#include <exception>

namespace cvn::threads {

// ---- QueueDispatcher ----

void QueueDispatcher::Post(std::function<void()> call) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back(std::move(call));
  }
  arrived_.notify_all();
}

void QueueDispatcher::ProcessPending() {
  std::deque<std::function<void()>> calls;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls.swap(queue_);
  }
  // Calls may post further calls or free the object that posted them: run
  // each from the local queue, never touching the member queue meanwhile.
  for (auto& call : calls) call();
}

bool QueueDispatcher::WaitAndProcess(int timeout_ms) {
  if (!WaitForPending(timeout_ms)) return false;
  ProcessPending();
  return true;
}

bool QueueDispatcher::WaitForPending(int timeout_ms) {
  std::unique_lock<std::mutex> lock(mutex_);
  return arrived_.wait_for(lock, std::chrono::milliseconds(timeout_ms),
                           [&] { return !queue_.empty(); });
}

// ---- WorkerThread ----

WorkerThread::WorkerThread(MainThreadDispatcher& dispatcher) : dispatcher_(dispatcher) {}

WorkerThread::~WorkerThread() {
  if (thread_.joinable()) thread_.join();
}

void WorkerThread::Start() {
  if (thread_.joinable() || finished_) return;
  thread_ = std::thread(&WorkerThread::Run, this);
}

void WorkerThread::Run() {
  try {
    Execute();
  } catch (...) {
    // Every worker catches its own errors; this only keeps an escaped one
    // from ending the process.
  }
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    finished_ = true;
  }
  pause_changed_.notify_all();
  // The last touch of this object on the worker thread.
  dispatcher_.Post([this] { EndOnMainThread(); });
}

void WorkerThread::EndOnMainThread() {
  // The worker has nothing left to do but return from Run.
  if (thread_.joinable()) thread_.join();
  ended_ = true;
  if (on_terminate_) on_terminate_(*this);
  if (free_on_terminate_) {
    if (main_thread_waits_ > 0) {
      release_pending_ = true;  // SafeSuspend is still on the stack
    } else {
      delete this;
    }
  }
}

void WorkerThread::Synchronize(const std::function<void()>& call) {
  std::mutex mutex;
  std::condition_variable ran;
  bool done = false;
  std::exception_ptr error;
  dispatcher_.Post([&] {
    try {
      call();
    } catch (...) {
      error = std::current_exception();
    }
    // Notify under the lock: the worker may leave, destroying `ran`, as
    // soon as it sees `done`.
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    ran.notify_one();
  });
  std::unique_lock<std::mutex> lock(mutex);
  ran.wait(lock, [&] { return done; });
  if (error) std::rethrow_exception(error);
}

bool WorkerThread::SafeSuspend() {
  if (!thread_.joinable()) return false;  // not started, or already ended
  ++main_thread_waits_;
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    pause_requested_ = true;
  }
  bool parked = false;
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(pause_mutex_);
      if (paused_ || finished_) {
        parked = paused_;
        if (!parked) pause_requested_ = false;
        break;
      }
    }
    // The worker may be waiting in Synchronize before it reaches its pause point.
    dispatcher_.ProcessPending();
    std::unique_lock<std::mutex> lock(pause_mutex_);
    pause_changed_.wait_for(lock, std::chrono::milliseconds(1),
                            [&] { return paused_ || finished_.load(); });
  }
  if (!parked) {
    // The worker ended instead: deliver its end notification now.
    while (!ended_) {
      dispatcher_.ProcessPending();
      if (!ended_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  }
  --main_thread_waits_;
  if (release_pending_) Release();
  return parked;
}

void WorkerThread::Release() {
  delete this;
}

void WorkerThread::Resume() {
  {
    std::lock_guard<std::mutex> lock(pause_mutex_);
    pause_requested_ = false;
  }
  pause_changed_.notify_all();
}

void WorkerThread::CheckPause() {
  if (!pause_requested_.load(std::memory_order_acquire)) return;
  std::unique_lock<std::mutex> lock(pause_mutex_);
  if (pause_requested_) {
    paused_ = true;
    pause_changed_.notify_all();
    pause_changed_.wait(lock, [&] { return !pause_requested_.load(); });
  }
  paused_ = false;
}

}  // namespace cvn::threads
