// The I/O component's worker threads: TPXIOThread runs one stored entry of its owner once;
// the asynchronous test, the hand-over, IsIOThread and WaitThreads.
#include <algorithm>
#include <mutex>

#include "io/pixoranio.h"
#include "platform/rtl/TypInfo.h"

PX_CLASS_INFO(TPXIOThread, TThread);

TPXIOThread::TPXIOThread(TPixoranIO* Owner, TPXIOCallShape Shape, std::function<void()> Call)
    : TThread(true), FShape(Shape), FCall(std::move(Call)), FOwner(Owner) {}

void TPXIOThread::Execute() {
  FExecutingThread.store(GetCurrentThreadID());
  try {
    FCall();
  } catch (...) {
    // The caller is long gone: the failure becomes the owner's abort flag.
    FOwner->SetAborting(true);
  }
  // Leave the owner's list; after the lock is released the owner is never touched again (it
  // may be destroyed as soon as its WaitThreads sees the list empty).
  TPixoranIO* owner = FOwner;
  std::lock_guard guard(owner->FThreadsLock);
  std::vector<TPXIOThread*>& list = *FList;
  list.erase(std::remove(list.begin(), list.end(), this), list.end());
  if (list.empty()) owner->FThreadsEmpty.SetEvent();
}

// ---------------------------------------------------------------------------------------------
// TPixoranIO: threads

bool TPixoranIO::IsIOThread() {
  const TThreadID self = GetCurrentThreadID();
  std::lock_guard guard(FThreadsLock);
  for (TPXIOThread* t : FThreads)
    if (t->FExecutingThread.load() == self) return true;
  return false;
}

bool TPixoranIO::IsAsync() {
  if (FOwnsBitmap || !AsyncMode) return false;
  // An entry called from inside another entry of this component on the same thread (on a
  // worker or not) runs synchronously.
  if (FOperationThread.load() == GetCurrentThreadID()) return false;
  return !IsIOThread();
}

void TPixoranIO::WaitThreads(bool Abort) {
  for (;;) {
    size_t count;
    {
      std::lock_guard guard(FThreadsLock);
      if (Abort) SetAborting(true);
      count = FThreads.size();
    }
    if (count == 0) return;
    if (IsIOThread()) throw EPXException("An I/O thread cannot wait for its own component");
    FThreadsEmpty.WaitFor(INFINITE);
  }
}

void TPixoranIO::LaunchIOThread(TThread::Ptr<TPXIOThread> Thread) {
  TPXIOThread* t = Thread.get();
  t->FList = &FThreads;
  {
    std::lock_guard guard(FThreadsLock);
    FThreads.push_back(t);
    FThreadsEmpty.ResetEvent();
  }
  try {
    TThread::StartFreeOnTerminate(TThread::Ptr<TThread>(Thread.release()));
  } catch (...) {
    // Not started: it never leaves the list by itself.
    std::lock_guard guard(FThreadsLock);
    FThreads.erase(std::remove(FThreads.begin(), FThreads.end(), t), FThreads.end());
    if (FThreads.empty()) FThreadsEmpty.SetEvent();
    throw;
  }
}

namespace {
TThread::Ptr<TPXIOThread> NewThread(TPixoranIO* Owner, TPXIOCallShape Shape, std::function<void()> Call) {
  return TThread::Create<TPXIOThread>(Owner, Shape, std::move(Call));
}
}  // namespace

void TPixoranIO::StartIOThread(TPXIOFileProc Method, const std::string& FileName) {
  auto t = NewThread(this, pxcsFile, [this, Method, FileName] { (this->*Method)(FileName); });
  t->FFileName = FileName;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOFileTypeProc Method, const std::string& FileName, TPXFileType FileType) {
  auto t = NewThread(this, pxcsFileType, [this, Method, FileName, FileType] { (this->*Method)(FileName, FileType); });
  t->FFileName = FileName;
  t->FFileType = FileType;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOStreamProc Method, TStream* Stream) {
  auto t = NewThread(this, pxcsStream, [this, Method, Stream] { (this->*Method)(Stream); });
  t->FStream = Stream;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOFileIntFunc Method, const std::string& FileName) {
  auto t = NewThread(this, pxcsFileInt, [this, Method, FileName] { (this->*Method)(FileName); });
  t->FFileName = FileName;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOFileBoolFunc Method, const std::string& FileName) {
  auto t = NewThread(this, pxcsFileBool, [this, Method, FileName] { (this->*Method)(FileName); });
  t->FFileName = FileName;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOFileTypeBoolFunc Method, const std::string& FileName, TPXFileType FileType) {
  auto t =
      NewThread(this, pxcsFileTypeBool, [this, Method, FileName, FileType] { (this->*Method)(FileName, FileType); });
  t->FFileName = FileName;
  t->FFileType = FileType;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOStreamIntFunc Method, TStream* Stream) {
  auto t = NewThread(this, pxcsStreamInt, [this, Method, Stream] { (this->*Method)(Stream); });
  t->FStream = Stream;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOStreamBoolFunc Method, TStream* Stream) {
  auto t = NewThread(this, pxcsStreamBool, [this, Method, Stream] { (this->*Method)(Stream); });
  t->FStream = Stream;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOStreamTypeProc Method, TStream* Stream, TPXFileType FileType) {
  auto t = NewThread(this, pxcsStreamType, [this, Method, Stream, FileType] { (this->*Method)(Stream, FileType); });
  t->FStream = Stream;
  t->FFileType = FileType;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOStreamTypeBoolFunc Method, TStream* Stream, TPXFileType FileType) {
  auto t =
      NewThread(this, pxcsStreamTypeBool, [this, Method, Stream, FileType] { (this->*Method)(Stream, FileType); });
  t->FStream = Stream;
  t->FFileType = FileType;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOFrameBoolFunc Method, int32_t Frame) {
  auto t = NewThread(this, pxcsFrameBool, [this, Method, Frame] { (this->*Method)(Frame); });
  t->FFrameIndex = Frame;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThread(TPXIOMetafileBoolFunc Method, const std::string& FileName, int32_t Width,
                               int32_t Height, bool Transparency) {
  auto t = NewThread(this, pxcsMetafileBool, [this, Method, FileName, Width, Height, Transparency] {
    (this->*Method)(FileName, Width, Height, Transparency);
  });
  t->FFileName = FileName;
  t->FMetaWidth = Width;
  t->FMetaHeight = Height;
  t->FMetaTransparency = Transparency;
  LaunchIOThread(std::move(t));
}

void TPixoranIO::StartIOThreadURL(const std::string& URL) {
  auto t = NewThread(this, pxcsURLBool, [this, URL] { LoadFromURL(URL); });
  t->FURL = URL;
  LaunchIOThread(std::move(t));
}
