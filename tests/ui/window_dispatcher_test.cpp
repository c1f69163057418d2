// Workers reach the main thread through window messages: calls posted from
// another thread run on the main thread in order, a worker's Synchronize and
// end notification arrive through the message loop.
#include "ui/window_dispatcher.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace cvn::ui {
namespace {

// Runs the message loop until `done` or two seconds have passed.
template <class Done>
void PumpUntil(Done done) {
  const ULONGLONG start = GetTickCount64();
  MSG message;
  while (!done() && GetTickCount64() - start < 2000) {
    if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT) != WAIT_OBJECT_0) continue;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  }
}

TEST(WindowDispatcherTest, CallsFromAnotherThreadRunOnTheMainThreadInOrder) {
  WindowDispatcher dispatcher;
  const std::thread::id main = std::this_thread::get_id();
  std::vector<int> ran;
  bool elsewhere = false;
  std::thread poster([&] {
    for (int i = 0; i < 100; ++i)
      dispatcher.Post([&, i] {
        elsewhere = elsewhere || std::this_thread::get_id() != main;
        ran.push_back(i);
      });
  });
  poster.join();
  PumpUntil([&] { return ran.size() == 100; });
  ASSERT_EQ(ran.size(), 100u);
  EXPECT_FALSE(elsewhere);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(ran[i], i);
  // Without a message loop, ProcessPending runs what is queued.
  dispatcher.Post([&] { ran.push_back(100); });
  dispatcher.ProcessPending();
  EXPECT_EQ(ran.back(), 100);
}

TEST(WindowDispatcherTest, AWorkersCallsAndItsEndArriveThroughTheMessageLoop) {
  class Worker final : public threads::WorkerThread {
   public:
    using WorkerThread::WorkerThread;
    int synchronized = 0;

   protected:
    void Execute() override {
      for (int i = 0; i < 3; ++i) Synchronize([this] { ++synchronized; });
    }
  };
  WindowDispatcher dispatcher;
  Worker worker(dispatcher);
  bool ended = false;
  worker.SetOnTerminate([&](threads::WorkerThread&) { ended = true; });
  worker.Start();
  PumpUntil([&] { return ended; });
  EXPECT_TRUE(ended);
  EXPECT_EQ(worker.synchronized, 3);
}

}  // namespace
}  // namespace cvn::ui
