// The thread base: Synchronize on a pumped main thread, the pause handshake,
// the stop request, the end notification and the self-release after it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/snapshot/safe_thread.h"

namespace cvn::snapshot {
namespace {

using namespace std::chrono_literals;

// A worker whose body the test supplies; counts live objects.
class Worker : public TSafeThread {
 public:
  Worker(MainThreadDispatcher& d, std::function<void(Worker&)> body, bool free_itself)
      : TSafeThread(d), body_(std::move(body)), free_itself_(free_itself) {
    ++alive;
  }
  ~Worker() override { --alive; }
  using TSafeThread::Synchronize;
  static inline std::atomic<int> alive{0};

 protected:
  void Execute() override {
    SetFreeOnTerminate(free_itself_);
    body_(*this);
  }

 private:
  std::function<void(Worker&)> body_;
  bool free_itself_;
};

class SafeThreadTest : public ::testing::Test {
 protected:
  // A worker whose end notification counts in `ended_`; not started yet.
  Worker* Make(std::function<void(Worker&)> body, bool free_itself = true) {
    auto* w = new Worker(dispatcher_, std::move(body), free_itself);
    w->SetOnTerminate([this](TSafeThread& t) {
      ++ended_;
      terminated_seen_ = t.Terminated();
    });
    return w;
  }
  // Pumps the main thread until `done` holds (at most about 10 s).
  void PumpUntil(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) dispatcher_.WaitAndProcess(10);
    ASSERT_TRUE(done());
  }
  void PumpToTheEnd() {
    PumpUntil([&] { return ended_ > 0; });
  }
  void TearDown() override { EXPECT_EQ(Worker::alive, 0); }

  QueueDispatcher dispatcher_;
  int ended_ = 0;
  bool terminated_seen_ = false;
  const std::thread::id main_id_ = std::this_thread::get_id();
};

TEST_F(SafeThreadTest, SynchronizeRunsOnTheMainThreadOnlyAfterStartAndWaitsForIt) {
  std::thread::id ran_on;
  std::atomic<int> after_call{-1};
  int value = 0;
  std::string caught;
  Worker* w = Make([&](Worker& self) {
    self.Synchronize([&] {
      ran_on = std::this_thread::get_id();
      value = 42;
    });
    after_call = value;  // the call has run when Synchronize returns
    try {
      self.Synchronize([] { throw std::runtime_error("from the window"); });
    } catch (const std::exception& e) {
      caught = e.what();  // an error of the call reaches the worker
    }
  });
  std::this_thread::sleep_for(20ms);
  EXPECT_EQ(after_call, -1);  // created suspended
  w->Start();
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(after_call, -1);  // nothing runs while the main thread does not pump
  PumpToTheEnd();
  EXPECT_EQ(ran_on, main_id_);
  EXPECT_EQ(after_call, 42);
  EXPECT_EQ(caught, "from the window");
}

TEST_F(SafeThreadTest, EndNotificationRunsOnTheMainThreadThenTheWorkerIsFreed) {
  std::thread::id ended_on;
  bool finished_seen = false;
  auto* w = new Worker(
      dispatcher_, [](Worker&) {}, true);
  w->SetOnTerminate([&](TSafeThread& t) {
    ended_on = std::this_thread::get_id();
    finished_seen = t.Finished();
    EXPECT_EQ(Worker::alive, 1);  // still there during the notification
  });
  w->Start();
  PumpUntil([&] { return Worker::alive == 0; });
  EXPECT_EQ(ended_on, main_id_);
  EXPECT_TRUE(finished_seen);
  // A worker that keeps itself is freed by its owner.
  std::unique_ptr<Worker> kept(Make([](Worker&) {}, false));
  kept->Start();
  PumpToTheEnd();
  EXPECT_EQ(Worker::alive, 1);
}

TEST_F(SafeThreadTest, SafeSuspendParksAtThePausePointUntilResume) {
  std::atomic<long> items{0};
  Worker* w = Make([&](Worker& self) {
    while (!self.Terminated()) {
      ++items;
      self.CheckPause();
    }
  });
  w->Resume();  // without a pause request Resume changes nothing
  w->Start();
  w->Resume();
  PumpUntil([&] { return items > 100; });
  ASSERT_TRUE(w->SafeSuspend());
  const long parked_at = items;
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(items, parked_at);  // parked: not one more item
  w->Resume();
  PumpUntil([&] { return items > parked_at + 100; });
  // Park again and stop while parked, as the window does on "Yes".
  ASSERT_TRUE(w->SafeSuspend());
  w->Terminate();
  w->Resume();
  PumpToTheEnd();
  EXPECT_TRUE(terminated_seen_);
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
  w->Terminate();
  w->Resume();
  PumpToTheEnd();
}

TEST_F(SafeThreadTest, SafeSuspendOfAWorkerThatEndsInsteadReportsItsEnd) {
  std::atomic<bool> go{false};
  Worker* w = Make([&](Worker&) {
    while (!go) std::this_thread::sleep_for(1ms);  // no pause point at all
  });
  w->Start();
  std::thread releaser([&] {
    std::this_thread::sleep_for(30ms);
    go = true;
  });
  EXPECT_FALSE(w->SafeSuspend());
  releaser.join();
  EXPECT_EQ(ended_, 1);
  EXPECT_EQ(Worker::alive, 0);  // released once SafeSuspend was done with it
  dispatcher_.ProcessPending();
  EXPECT_EQ(ended_, 1);
}

}  // namespace
}  // namespace cvn::snapshot
