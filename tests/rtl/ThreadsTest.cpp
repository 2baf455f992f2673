#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/rtl/Classes_threads.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Runs a function as Execute. With a `go` event it first signals `entered` and waits for `go`
// (which Terminate also sets), so tests decide when the body runs.
class TFnThread : public TThread {
 public:
  TFnThread(bool suspended, std::function<void(TFnThread&)> body, TEvent* go = nullptr)
      : TThread(suspended), body_(std::move(body)), go_(go) {}
  using TThread::Queue;
  using TThread::SetReturnValue;
  using TThread::Synchronize;
  std::atomic<int> terminated_set{0};
  TEvent entered;

 protected:
  void Execute() override {
    if (go_) {
      entered.SetEvent();
      go_->WaitFor(INFINITE);
    }
    body_(*this);
  }
  void TerminatedSet() override {
    ++terminated_set;
    if (go_) go_->SetEvent();
  }

 private:
  std::function<void(TFnThread&)> body_;
  TEvent* go_;
};

// Signals when it has been destroyed (possibly on its own thread).
class TSelfFreeing : public TFnThread {
 public:
  TSelfFreeing(TEvent& destroyed, std::function<void(TFnThread&)> body)
      : TFnThread(true, std::move(body)), destroyed_(destroyed) {}
  ~TSelfFreeing() override { destroyed_.SetEvent(); }

 private:
  TEvent& destroyed_;
};

class TRecorder : public TObject {
 public:
  void Terminated(TObject* Sender) {
    sender = Sender;
    on_main = GetCurrentThreadID() == MainThreadID();
  }
  TObject* sender = nullptr;
  bool on_main = false;
};

}  // namespace

TEST(Thread, RunsExecuteAndAnswersReturnValueAndIdentity) {
  TThreadID inside;
  auto t = TThread::Create<TFnThread>(false, [&](TFnThread& self) {
    inside = GetCurrentThreadID();
    self.SetReturnValue(42);
  });
  EXPECT_FALSE(t->Suspended());
  EXPECT_EQ(t->WaitFor(), 42);
  EXPECT_TRUE(t->Finished());
  EXPECT_EQ(t->ThreadID(), inside);
  EXPECT_NE(inside, GetCurrentThreadID());
  EXPECT_FALSE(t->FatalException());
}

TEST(Thread, SuspendedThreadStartsOnlyWithStart) {
  std::atomic<int> runs{0};
  auto t = TThread::Create<TFnThread>(true, [&](TFnThread&) { ++runs; });
  EXPECT_TRUE(t->Suspended());
  EXPECT_EQ(t->ThreadID(), TThreadID());
  EXPECT_THROW(t->WaitFor(), EThread);
  t->Start();
  EXPECT_THROW(t->Start(), EThread);
  t->WaitFor();
  EXPECT_EQ(runs, 1);
  // Deleting a thread that never started must not hang either.
  auto never = TThread::Create<TFnThread>(true, [&](TFnThread&) { ++runs; });
  never.reset();
  EXPECT_EQ(runs, 1);
}

TEST(Thread, ExceptionInExecuteIsKeptForTheOwner) {
  auto t = TThread::Create<TFnThread>(false, [](TFnThread&) { throw EConvertError("bad value"); });
  EXPECT_NO_THROW(t->WaitFor());
  ASSERT_TRUE(t->FatalException());
  EXPECT_EQ(t->FatalExceptionMessage(), "bad value");
  EXPECT_THROW(std::rethrow_exception(t->FatalException()), EConvertError);

  auto u = TThread::Create<TFnThread>(false, [](TFnThread&) { throw 7; });
  u->WaitFor();
  EXPECT_EQ(u->FatalExceptionMessage(), "Unknown exception");
}

TEST(Thread, SynchronizeRunsOnTheMainThreadWhileItWaits) {
  std::vector<std::string> order;
  TThreadID ranOn;
  auto t = TThread::Create<TFnThread>(false, [&](TFnThread& self) {
    self.Synchronize([&] {
      ranOn = GetCurrentThreadID();
      order.push_back("sync");
    });
    order.push_back("after");  // Synchronize returned only once the method ran
  });
  t->WaitFor();  // serves the queue; a worker inside Synchronize cannot deadlock it
  EXPECT_EQ(ranOn, MainThreadID());
  EXPECT_EQ(order, (std::vector<std::string>{"sync", "after"}));
}

TEST(Thread, ExceptionInSynchronizedMethodIsRaisedInTheWorker) {
  std::string caught;
  auto t = TThread::Create<TFnThread>(false, [&](TFnThread& self) {
    try {
      self.Synchronize([] { throw EInvalidOperation("not now"); });
    } catch (const EInvalidOperation& e) {
      caught = e.Message();
    }
  });
  t->WaitFor();
  EXPECT_EQ(caught, "not now");
  EXPECT_FALSE(t->FatalException());
}

TEST(Thread, QueueDoesNotBlockAndRunsInOrderWhenDrained) {
  std::vector<int> ran;
  int wakes = 0;
  SetWakeMainThread([&] { ++wakes; });  // called on the worker; read after WaitFor
  TEvent queued;
  auto t = TThread::Create<TFnThread>(false, [&](TFnThread& self) {
    for (int i = 0; i < 3; ++i) self.Queue([&ran, i] { ran.push_back(i); });
    queued.SetEvent();
  });
  ASSERT_EQ(queued.WaitFor(10000), wrSignaled);
  t->WaitFor();
  SetWakeMainThread(nullptr);
  EXPECT_EQ(wakes, 3);
  // WaitFor may already have served some; the rest is drained here, in order.
  while (CheckSynchronize()) {
  }
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2}));
  EXPECT_FALSE(CheckSynchronize());
}

TEST(Thread, CheckSynchronizeWaitsForWorkAndRaisesQueuedExceptionsKeepingTheRest) {
  std::vector<int> ran;
  auto t = TThread::Create<TFnThread>(false, [&](TFnThread& self) {
    self.Queue([] { throw EAbort(); });
    self.Queue([&] { ran.push_back(1); });
  });
  // The first call waits for the first entry and raises its exception; the second entry
  // stays queued for the next call.
  EXPECT_THROW(while (!CheckSynchronize(INFINITE)) {}, EAbort);
  while (ran.empty()) CheckSynchronize(INFINITE);
  EXPECT_EQ(ran, std::vector<int>{1});
  t->WaitFor();
}

TEST(Thread, RemoveQueuedEventsDropsOnlyThatThreadsEntries) {
  std::vector<std::string> ran;
  auto a = TThread::Create<TFnThread>(true, [&](TFnThread& self) { self.Queue([&] { ran.push_back("a"); }); });
  auto b = TThread::Create<TFnThread>(true, [&](TFnThread& self) { self.Queue([&] { ran.push_back("b"); }); });
  // Neither is served while the other is waited for from a non-main thread.
  std::thread waiter([&] {
    a->Start();
    a->WaitFor();
    b->Start();
    b->WaitFor();
  });
  waiter.join();
  TThread::RemoveQueuedEvents(a.get());
  while (CheckSynchronize()) {
  }
  EXPECT_EQ(ran, std::vector<std::string>{"b"});
}

TEST(Thread, OnTerminateRunsOnTheMainThread) {
  TRecorder rec;
  auto t = TThread::Create<TFnThread>(true, [](TFnThread&) {});
  t->SetOnTerminate(TNotifyEvent(&rec, &TRecorder::Terminated));
  t->Start();
  t->WaitFor();
  EXPECT_EQ(rec.sender, t.get());
  EXPECT_TRUE(rec.on_main);
}

TEST(Thread, TerminateReachesExecuteAndDeletingAWaitingThreadStopsIt) {
  TEvent go;
  std::atomic<bool> sawTerminated{false};
  auto t = TThread::Create<TFnThread>(false, [&](TFnThread& self) { sawTerminated = self.Terminated(); }, &go);
  ASSERT_EQ(t->entered.WaitFor(10000), wrSignaled);
  EXPECT_FALSE(t->Terminated());
  t->Terminate();  // TerminatedSet releases the waiting Execute
  t->WaitFor();
  EXPECT_TRUE(sawTerminated);
  EXPECT_EQ(t->terminated_set, 1);

  TEvent blocked;
  std::atomic<bool> bodyRan{false};
  auto u = TThread::Create<TFnThread>(false, [&](TFnThread&) { bodyRan = true; }, &blocked);
  ASSERT_EQ(u->entered.WaitFor(10000), wrSignaled);
  u.reset();  // the deleter terminates (waking it) and waits before destruction
  EXPECT_TRUE(bodyRan);
}

TEST(Thread, FreeOnTerminateThreadDeletesItselfAfterOnTerminate) {
  TEvent destroyed;
  TRecorder rec;
  auto t = TThread::Create<TSelfFreeing>(destroyed, [](TFnThread&) {});
  t->SetOnTerminate(TNotifyEvent(&rec, &TRecorder::Terminated));
  TThread* raw = t.get();
  TThread::StartFreeOnTerminate(std::move(t));
  EXPECT_TRUE(CheckSynchronize(INFINITE));  // OnTerminate, synchronized
  EXPECT_EQ(rec.sender, raw);
  EXPECT_EQ(destroyed.WaitFor(10000), wrSignaled);

  TEvent destroyed2;
  auto u = TThread::Create<TSelfFreeing>(destroyed2, [](TFnThread&) {});
  u->Start();
  u->WaitFor();  // already ended when handed over: freed at once
  TThread::StartFreeOnTerminate(std::move(u));
  EXPECT_EQ(destroyed2.WaitFor(0), wrSignaled);
}

TEST(Thread, ShutdownWaitsForThreadsThatFreeThemselves) {
  // The run-time's shutdown (the end of main) waits for such a thread, serving its synchronized
  // OnTerminate meanwhile, so that none outlives the run-time's shared state.
  TEvent destroyed, release;
  TRecorder rec;
  auto t = TThread::Create<TSelfFreeing>(destroyed, [&](TFnThread&) { release.WaitFor(INFINITE); });
  t->SetOnTerminate(TNotifyEvent(&rec, &TRecorder::Terminated));
  TThread* raw = t.get();
  TThread::StartFreeOnTerminate(std::move(t));
  std::thread opener([&] { release.SetEvent(); });
  RtlShutdown();
  RtlStartup();
  opener.join();
  EXPECT_EQ(rec.sender, raw);
  EXPECT_EQ(destroyed.WaitFor(0), wrSignaled);
}

TEST(Thread, MisuseIsRefused) {
  EXPECT_NO_THROW(CheckSynchronize());
  std::string error;
  std::thread other([&] {
    try {
      CheckSynchronize();
    } catch (const EThread& e) {
      error = e.Message();
    }
  });
  other.join();
  EXPECT_FALSE(error.empty());

  std::string selfWait;
  auto t = TThread::Create<TFnThread>(false, [&](TFnThread& self) {
    try {
      self.WaitFor();
    } catch (const EThread& e) {
      selfWait = e.Message();
    }
  });
  t->WaitFor();
  EXPECT_EQ(selfWait, "A thread cannot wait for itself");
}

TEST(Thread, WithoutAMainThreadSynchronizeFailsInsteadOfHanging) {
  // A worker waiting in Synchronize when the main thread stops serving gets an error.
  TEvent queued;
  SetWakeMainThread([&] { queued.SetEvent(); });
  auto waiting = TThread::Create<TFnThread>(false, [](TFnThread& self) { self.Synchronize([] {}); });
  ASSERT_EQ(queued.WaitFor(10000), wrSignaled);
  RtlShutdown();
  waiting->WaitFor();
  EXPECT_EQ(waiting->FatalExceptionMessage(), "The main thread no longer serves synchronized calls");

  // And a Synchronize with no main thread at all raises at once.
  auto late = TThread::Create<TFnThread>(false, [](TFnThread& self) { self.Synchronize([] {}); });
  late->WaitFor();
  RtlStartup();
  EXPECT_EQ(late->FatalExceptionMessage(), "No main thread serves synchronized calls (RtlStartup was not called)");
}

TEST(SyncObjects, EventResetModesAndInitialState) {
  struct Case {
    bool manual, initial;
    TWaitResult first, second;
  } cases[] = {
      {true, true, wrSignaled, wrSignaled},
      {false, true, wrSignaled, wrTimeout},
      {true, false, wrTimeout, wrTimeout},
      {false, false, wrTimeout, wrTimeout},
  };
  for (const Case& c : cases) {
    TEvent e(c.manual, c.initial);
    EXPECT_EQ(e.WaitFor(0), c.first) << c.manual << c.initial;
    EXPECT_EQ(e.WaitFor(0), c.second) << c.manual << c.initial;
    e.SetEvent();
    EXPECT_EQ(e.WaitFor(0), wrSignaled);
    e.ResetEvent();
    EXPECT_EQ(e.WaitFor(1), wrTimeout);
  }
  TSimpleEvent s;
  EXPECT_EQ(s.WaitFor(0), wrTimeout);
}

TEST(SyncObjects, EventWakesAWaiterOnAnotherThread) {
  TEvent ready(false, false), reply(false, false);
  std::thread worker([&] {
    EXPECT_EQ(ready.WaitFor(INFINITE), wrSignaled);
    reply.SetEvent();
  });
  ready.SetEvent();
  EXPECT_EQ(reply.WaitFor(10000), wrSignaled);
  worker.join();
}

TEST(SyncObjects, CriticalSectionIsReentrantAndExclusive) {
  TCriticalSection cs;
  cs.Enter();
  cs.Acquire();  // the same thread again
  auto tryFromOther = [&] {
    bool got = false;
    std::thread t([&] {
      got = cs.TryEnter();
      if (got) cs.Leave();
    });
    t.join();
    return got;
  };
  EXPECT_FALSE(tryFromOther());
  cs.Release();
  EXPECT_FALSE(tryFromOther());
  cs.Leave();
  EXPECT_TRUE(tryFromOther());
  {
    std::lock_guard guard(cs);
    EXPECT_FALSE(tryFromOther());
  }
}

TEST(Machine, CoresAndMemory) {
  int cores = CPUCount();
  EXPECT_GE(cores, 1);
  unsigned hw = std::thread::hardware_concurrency();
  if (hw) {
    EXPECT_LE(static_cast<unsigned>(cores), hw);
  }

  std::ifstream meminfo("/proc/meminfo");
  std::string line;
  uint64_t kib = 0;
  while (std::getline(meminfo, line))
    if (line.rfind("MemTotal:", 0) == 0) std::istringstream(line.substr(9)) >> kib;
  ASSERT_GT(kib, 0u);
  EXPECT_EQ(PhysicalMemory(), kib * 1024);
}
