// TThread: calls handed to the creating thread under a message loop that is
// not ours, the termination handler, exceptions, waiting, and the pump of a
// worker thread's own queue.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <stdexcept>
#include <vector>

#include "classlib/Threads.h"

namespace {

class TFnThread : public TThread {
public:
  explicit TFnThread(std::function<void(TFnThread&)> Body) : TThread(true), FBody(std::move(Body)) {}
  void Sync(const std::function<void()>& M) { Synchronize(M); }

protected:
  void Execute() override { FBody(*this); }

private:
  std::function<void(TFnThread&)> FBody;
};

// A plain GetMessage loop, as a host program would run it, until WM_QUIT.
void ForeignLoop() {
  MSG m;
  while (GetMessageW(&m, nullptr, 0, 0) > 0) {
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
}

}  // namespace

TEST(TThreadTest, SynchronizeAndTerminateRunOnTheCreatorUnderAForeignLoop) {
  const DWORD ui = GetCurrentThreadId();
  std::vector<DWORD> syncThreads;
  DWORD terminateThread = 0, workerThread = 0;
  TFnThread t([&](TFnThread& self) {
    workerThread = GetCurrentThreadId();
    for (int i = 0; i < 3; ++i) self.Sync([&] { syncThreads.push_back(GetCurrentThreadId()); });
  });
  t.OnTerminate = [&](TObject* Sender) {
    EXPECT_EQ(Sender, &t);
    terminateThread = GetCurrentThreadId();
    PostQuitMessage(0);
  };
  t.Start();
  ForeignLoop();
  t.WaitFor();
  ASSERT_EQ(syncThreads.size(), 3u);
  for (DWORD id : syncThreads) EXPECT_EQ(id, ui);
  EXPECT_EQ(terminateThread, ui);
  EXPECT_NE(workerThread, ui);
  EXPECT_TRUE(t.Finished());
}

TEST(TThreadTest, ExceptionsAreCaughtAndTheHandlerStillRuns) {
  // Raised by Execute: kept, and the termination handler runs.
  bool terminated = false;
  TFnThread t([](TFnThread&) { throw std::runtime_error("boom in execute"); });
  t.OnTerminate = [&](TObject*) { terminated = true; };
  t.Start();
  t.WaitFor();
  EXPECT_TRUE(terminated);
  EXPECT_EQ(t.FatalMessage(), "boom in execute");

  // Raised by a synchronised call: back on the worker, which may catch it.
  std::string caught;
  TFnThread u([&](TFnThread& self) {
    try {
      self.Sync([] { throw std::runtime_error("boom on the ui thread"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
  });
  u.Start();
  u.WaitFor();  // handles the sent call while it waits
  EXPECT_EQ(caught, "boom on the ui thread");
  EXPECT_FALSE(u.FatalException());
}

TEST(TThreadTest, DestroyingARunningThreadWaitsWhileItSynchronises) {
  std::atomic<int> calls{0};
  auto* t = new TFnThread([&](TFnThread& self) {
    while (!self.Terminated()) {
      self.Sync([&] { ++calls; });
      Sleep(1);
    }
  });
  t->Start();
  while (calls < 5) {
    MSG m;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);
  }
  delete t;  // terminates and waits; must not deadlock on the pending call
  SUCCEED();
}

TEST(TThreadTest, AWorkerPumpsOnlyItsOwnQueue) {
  // A posted message for the creating thread stays queued while a worker
  // pumps; the worker's own message is handled.
  const UINT msg = WM_APP + 7;
  ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), msg, 1, 0));
  bool sawOwn = false;
  bool sawForeign = false;
  TFnThread t([&](TFnThread&) {
    MSG m;
    PeekMessageW(&m, nullptr, 0, 0, PM_NOREMOVE);  // make the worker's queue
    PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 0, 0);
    ProcessThreadMessages();                         // leaves the quit request
    sawOwn = PeekMessageW(&m, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
    sawForeign = PeekMessageW(&m, nullptr, msg, msg, PM_NOREMOVE) != 0;
  });
  t.Start();
  t.WaitFor();
  EXPECT_TRUE(sawOwn);
  EXPECT_FALSE(sawForeign);
  MSG m;
  EXPECT_TRUE(PeekMessageW(&m, nullptr, msg, msg, PM_REMOVE));
}
