// The I/O component's worker threads: hand-over, end of work, failures on the worker, waiting,
// serialisation, nested entries and the way a worker reaches an attached view.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "io/pixoranio.h"
#include "tests/io/FakeIOView.h"
#include "tests/io/IOTestComponent.h"

namespace {

// A gate the worker waits at until the test opens it.
class Gate {
 public:
  void Open() {
    std::lock_guard guard(m_);
    open_ = true;
    cv_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(m_);
    cv_.wait(lock, [&] { return open_; });
  }

 private:
  std::mutex m_;
  std::condition_variable cv_;
  bool open_ = false;
};

TEST(IOAsync, OwnedBitmapStaysSynchronous) {
  TestIO io(nullptr);
  io.AsyncMode = true;
  int finished = 0;
  io.SetOnFinishWork([&](TObject*) { ++finished; });
  TMemoryStream s;
  EXPECT_TRUE(io.LoadFromStream(&s, pxftPNG));
  EXPECT_EQ(finished, 1);
  ASSERT_EQ(io.loadThreads.size(), 1u);
  EXPECT_EQ(io.loadThreads[0], std::this_thread::get_id());
}

TEST(IOAsync, EntryReturnsAtOnceAndFinishWorkFollowsOnTheWorker) {
  TPXBitmap bmp;
  auto io = TestIO::ForBitmap(&bmp);
  io->AsyncMode = true;
  Gate gate;
  std::atomic<bool> inside{false};
  io->Work = [&](TestIO* self) {
    inside = self->IsIOThread();
    gate.Wait();
  };
  std::atomic<int> finished{0};
  std::thread::id finishThread;
  io->SetOnFinishWork([&](TObject*) {
    finishThread = std::this_thread::get_id();
    ++finished;
  });
  TMemoryStream s;
  EXPECT_TRUE(io->LoadFromStream(&s, pxftPNG));
  EXPECT_EQ(finished, 0);
  EXPECT_FALSE(io->IsIOThread());
  gate.Open();
  io->WaitThreads(false);
  EXPECT_EQ(finished, 1);
  EXPECT_TRUE(inside);
  EXPECT_NE(finishThread, std::this_thread::get_id());
  EXPECT_FALSE(io->Aborting());
}

TEST(IOAsync, ExceptionOnTheWorkerBecomesAborting) {
  TPXBitmap bmp;
  auto io = TestIO::ForBitmap(&bmp);
  io->AsyncMode = true;
  io->Work = [](TestIO*) { throw EPXException("codec failed"); };
  std::atomic<int> finished{0};
  io->SetOnFinishWork([&](TObject*) { ++finished; });
  TMemoryStream s;
  EXPECT_NO_THROW(EXPECT_TRUE(io->LoadFromStream(&s, pxftPNG)));
  io->WaitThreads(false);
  EXPECT_TRUE(io->Aborting());
  EXPECT_EQ(finished, 1);
}

TEST(IOAsync, DestroyWaitsForRunningWork) {
  TPXBitmap bmp;
  auto io = TestIO::ForBitmap(&bmp);
  io->AsyncMode = true;
  Gate started, release;
  std::atomic<bool> destroyed{false}, destroyedWhileWorking{true}, done{false};
  io->Work = [&](TestIO*) {
    started.Open();
    release.Wait();
    destroyedWhileWorking = destroyed.load();
    done = true;
  };
  TMemoryStream s;
  io->LoadFromStream(&s, pxftPNG);
  started.Wait();
  std::thread opener([&] { release.Open(); });
  io.reset();
  destroyed = true;
  opener.join();
  EXPECT_TRUE(done);
  EXPECT_FALSE(destroyedWhileWorking);
}

TEST(IOAsync, ReattachingWaitsForTheRunningLoad) {
  TPXBitmap bmp, other;
  auto io = TestIO::ForBitmap(&bmp);
  io->AsyncMode = true;
  Gate started, release;
  std::atomic<bool> done{false};
  io->Work = [&](TestIO* self) {
    started.Open();
    release.Wait();
    done = self->WorkingBitmap() == &bmp;
  };
  TMemoryStream s;
  io->LoadFromStream(&s, pxftPNG);
  started.Wait();
  // The load finishes while (or before) the new bitmap is attached; the attachment waits for it.
  std::thread opener([&] { release.Open(); });
  io->SetAttachedBitmap(&other);
  opener.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(io->WorkingBitmap(), &other);
  io->WaitThreads(false);
}

TEST(IOAsync, TwoLoadsRunOneAfterTheOtherAndBothFinishBeforeWaitThreads) {
  TPXBitmap bmp;
  auto io = TestIO::ForBitmap(&bmp);
  io->AsyncMode = true;
  std::atomic<int> running{0}, maxRunning{0}, finished{0};
  Gate firstStarted, release;
  io->Work = [&](TestIO*) {
    const int now = ++running;
    if (now > maxRunning) maxRunning = now;
    firstStarted.Open();
    release.Wait();  // the second load is started while the first one still runs
    --running;
  };
  io->SetOnFinishWork([&](TObject*) { ++finished; });
  TMemoryStream a, b;
  io->LoadFromStream(&a, pxftPNG);
  firstStarted.Wait();
  io->LoadFromStream(&b, pxftPNG);
  release.Open();
  io->WaitThreads(false);
  EXPECT_EQ(finished, 2);
  EXPECT_EQ(maxRunning, 1);
  ASSERT_EQ(io->loadThreads.size(), 2u);
  EXPECT_NE(io->loadThreads[0], io->loadThreads[1]);
}

TEST(IOAsync, WaitThreadsWithAbortSetsTheFlagForRunningWork) {
  TPXBitmap bmp;
  auto io = TestIO::ForBitmap(&bmp);
  io->AsyncMode = true;
  std::atomic<bool> sawAbort{false};
  Gate started;
  io->Work = [&](TestIO* self) {
    started.Open();
    // A codec polls the flag through its progress record, here until it is set.
    while (!self->Aborting()) std::this_thread::yield();
    sawAbort = true;
  };
  TMemoryStream s;
  io->LoadFromStream(&s, pxftPNG);
  started.Wait();
  io->WaitThreads(true);
  EXPECT_TRUE(sawAbort);
}

TEST(IOAsync, NestedEntriesRunSynchronously) {
  TPXBitmap bmp;
  bmp.Allocate(1, 1, px24RGB);
  auto io = TestIO::ForBitmap(&bmp);
  io->AsyncMode = true;
  io->Encoded = {1, 2, 3};
  // On the worker: a save from inside the load runs there too.
  io->Work = [](TestIO* self) {
    TMemoryStream inner;
    self->SaveToStream(&inner, pxftPNG);
    EXPECT_EQ(inner.Size(), 3);
  };
  TMemoryStream s;
  io->LoadFromStream(&s, pxftPNG);
  io->WaitThreads(false);
  ASSERT_EQ(io->loadThreads.size(), 1u);
  ASSERT_EQ(io->saveThreads.size(), 1u);
  EXPECT_EQ(io->saveThreads[0], io->loadThreads[0]);

  // On the caller's thread: the text export's own save is not handed to a worker.
  io->saveThreads.clear();
  io->Params()->FileName = "x";
  TMemoryStream text;
  io->SaveToTextStream(&text, pxftPNG, 2);
  EXPECT_EQ(std::string(static_cast<const char*>(text.Memory()), text.Size()), "AQID\r\n");
  ASSERT_EQ(io->saveThreads.size(), 1u);
  EXPECT_EQ(io->saveThreads[0], std::this_thread::get_id());
}

TEST(IOAsync, WorkerReachesAViewInAWindowOnlyThroughItsQueue) {
  FakeIOView view;
  view.parentWindow = true;
  TestIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.AsyncMode = true;
  io.SetOnProgress([](TObject*, int32_t) { ADD_FAILURE() << "progress event on the worker"; });
  io.SetOnFinishWork([](TObject*) { ADD_FAILURE() << "finish event on the worker"; });
  TMemoryStream s;
  EXPECT_TRUE(io.LoadFromStream(&s, pxftPNG));
  io.WaitThreads(false);
  EXPECT_EQ(view.TakeLog(), (std::vector<std::string>{"post 7003 50", "post 7000 0", "post 7003 100", "post 7004 0"}));
  // The image-changed notification and the modified state follow on the UI thread.
  view.RunQueued();
  EXPECT_EQ(view.TakeLog(), (std::vector<std::string>{"ImageChange 0", "SetModified 0"}));
}

TEST(IOAsync, WithoutAWindowTheEventsRunOnTheWorker) {
  FakeIOView view;
  view.parentWindow = false;
  TestIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.AsyncMode = true;
  std::atomic<int> finished{0};
  std::thread::id finishThread;
  io.SetOnFinishWork([&](TObject*) {
    finishThread = std::this_thread::get_id();
    ++finished;
  });
  TMemoryStream s;
  io.LoadFromStream(&s, pxftPNG);
  io.WaitThreads(false);
  EXPECT_EQ(finished, 1);
  EXPECT_NE(finishThread, std::this_thread::get_id());
  // No update from the worker; the change notification waits for the UI thread.
  EXPECT_TRUE(view.TakeLog().empty());
  view.RunQueued();
  EXPECT_EQ(view.TakeLog(), (std::vector<std::string>{"ImageChange 0", "SetModified 0"}));
}

}  // namespace
