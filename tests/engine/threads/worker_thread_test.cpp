// The thread base: Synchronize on a pumped main thread, the pause handshake,
// the stop request, the end notification and the self-release after it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/threads/worker_thread.h"

namespace cvn::snapshot {

using threads::MainThreadDispatcher;
using threads::QueueDispatcher;
using threads::WorkerThread;
namespace {

using namespace std::chrono_literals;

// A worker whose body the test supplies and that frees itself; counts live objects.
class Worker : public WorkerThread {
 public:
  Worker(MainThreadDispatcher& d, std::function<void(Worker&)> body)
      : WorkerThread(d), body_(std::move(body)) {
    ++alive;
  }
  ~Worker() override { --alive; }
  using WorkerThread::Synchronize;
  static inline std::atomic<int> alive{0};

 protected:
  void Execute() override {
    SetFreeOnTerminate(true);
    body_(*this);
  }

 private:
  std::function<void(Worker&)> body_;
};

class SafeThreadTest : public ::testing::Test {
 protected:
  // A worker whose end notification, on the main thread, counts in `ended_`; not started yet.
  Worker* Make(std::function<void(Worker&)> body) {
    auto* w = new Worker(dispatcher_, std::move(body));
    w->SetOnTerminate([this](WorkerThread& t) {
      EXPECT_EQ(std::this_thread::get_id(), main_id_);
      EXPECT_EQ(Worker::alive, 1);  // still there during the notification
      ++ended_;
      terminated_seen_ = t.Terminated();
    });
    return w;
  }
  // Pumps the main thread until the end notification (at most about 10 s),
  // after which the worker frees itself.
  void PumpToTheEnd() {
    for (int i = 0; i < 1000 && Worker::alive > 0; ++i) dispatcher_.WaitAndProcess(10);
    EXPECT_EQ(ended_, 1);
    EXPECT_EQ(Worker::alive, 0);
  }

  QueueDispatcher dispatcher_;
  int ended_ = 0;
  bool terminated_seen_ = false;
  const std::thread::id main_id_ = std::this_thread::get_id();
};

TEST_F(SafeThreadTest, SynchronizeRunsOnTheMainThreadOnlyAfterStartAndWaitsForIt) {
  std::atomic<int> after_call{-1};
  int value = 0;
  std::string caught;
  Worker* w = Make([&](Worker& self) {
    self.Synchronize([&] { value = 42; });
    after_call = value;  // the call has run when Synchronize returns
    try {
      self.Synchronize([] { throw std::runtime_error("from the window"); });
    } catch (const std::exception& e) {
      caught = e.what();  // an error of the call reaches the worker
    }
  });
  w->Start();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(after_call, -1);  // nothing runs while the main thread does not pump
  PumpToTheEnd();
  EXPECT_EQ(after_call, 42);
  EXPECT_EQ(caught, "from the window");
}

TEST_F(SafeThreadTest, SafeSuspendServesASynchronizeTheWorkerWaitsIn) {
  std::atomic<int> status_updates{0};
  std::atomic<bool> in_synchronize{false};
  Worker* w = Make([&](Worker& self) {
    while (!self.Terminated()) {
      in_synchronize = true;
      self.Synchronize([&] { ++status_updates; });
      in_synchronize = false;
      self.CheckPause();
    }
  });
  w->Start();
  // Wait until the worker blocks in Synchronize, without pumping.
  for (int i = 0; i < 1000 && !in_synchronize; ++i) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(in_synchronize);
  const int before = status_updates;
  ASSERT_TRUE(w->SafeSuspend());
  EXPECT_GE(status_updates, before + 1);
  const int parked_at = status_updates;
  std::this_thread::sleep_for(50ms);
  dispatcher_.ProcessPending();
  EXPECT_EQ(status_updates, parked_at);  // parked: not one more call
  // Stop while parked, as the window does on "Yes".
  w->Terminate();
  w->Resume();
  PumpToTheEnd();
  EXPECT_TRUE(terminated_seen_);
}

TEST_F(SafeThreadTest, SafeSuspendOfAWorkerThatEndsInsteadReportsItsEnd) {
  // No pause point at all: the worker ends while SafeSuspend waits for it.
  Worker* w = Make([](Worker&) { std::this_thread::sleep_for(30ms); });
  w->Start();
  EXPECT_FALSE(w->SafeSuspend());
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(Worker::alive, 0);  // released once SafeSuspend was done with it
}

}  // namespace
}  // namespace cvn::snapshot
