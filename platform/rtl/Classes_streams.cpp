// Streams, resources and safe file replacement.
#include "platform/rtl/Classes_streams.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

extern const TResourceTable PxProgramResources;

PX_CLASS_INFO(TStream, TObject)
PX_CLASS_INFO(THandleStream, TStream)
PX_CLASS_INFO(TFileStream, THandleStream)
PX_CLASS_INFO(TCustomMemoryStream, TStream)
PX_CLASS_INFO(TMemoryStream, TCustomMemoryStream)
PX_CLASS_INFO(TBytesStream, TMemoryStream)
PX_CLASS_INFO(TStringStream, TBytesStream)
PX_CLASS_INFO(TResourceStream, TCustomMemoryStream)

namespace {

constexpr const char* SReadError = "Stream read error";
constexpr const char* SWriteError = "Stream write error";
constexpr const char* SMemoryStreamError = "Out of memory while expanding memory stream";
// Memory streams allocate in steps of this many bytes.
constexpr int64_t MemoryDelta = 0x2000;
// No memory stream grows beyond this.
constexpr int64_t MaxMemoryStreamSize = int64_t{1} << 40;
// The largest transfer handed to one Read or Write call.
constexpr int64_t MaxChunk = int64_t{1} << 30;

// The name as the file system takes it ("\" is a separator too); false for names that cannot
// name a file (empty, or with an embedded NUL that would silently name a shorter one).
bool NativeName(std::string_view name, std::string& out) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return false;
  out.assign(name);
  std::replace(out.begin(), out.end(), '\\', '/');
  return true;
}

[[noreturn]] void RaiseOpenError(std::string_view name, int err) {
  throw EFOpenError(Format("Cannot open file \"%s\". %s", ExpandFileName(name), SysErrorMessage(err)));
}

[[noreturn]] void RaiseCreateError(std::string_view name, int err) {
  throw EFCreateError(Format("Cannot create file \"%s\". %s", ExpandFileName(name), SysErrorMessage(err)));
}

// write() until everything is written; false on an error.
bool WriteAll(int fd, const uint8_t* p, int64_t n) {
  while (n > 0) {
    const ssize_t w = ::write(fd, p, static_cast<size_t>(std::min(n, MaxChunk)));
    if (w < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (w == 0) {
      errno = ENOSPC;
      return false;
    }
    p += w;
    n -= w;
  }
  return true;
}

int64_t RoundUpToDelta(int64_t n) { return (n + (MemoryDelta - 1)) & ~(MemoryDelta - 1); }

// memcpy with the sizes of single fields copied inline (they are most of the small transfers).
inline void CopyBytes(void* dst, const void* src, size_t n) {
  switch (n) {
    case 1: std::memcpy(dst, src, 1); break;
    case 2: std::memcpy(dst, src, 2); break;
    case 4: std::memcpy(dst, src, 4); break;
    case 8: std::memcpy(dst, src, 8); break;
    default: std::memcpy(dst, src, n);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TStream

void TStream::ReadBuffer(void* Buffer, int64_t Count) {
  if (Count >= 0 && Count <= MaxChunk) {  // the common case: one call
    if (Read(Buffer, static_cast<int32_t>(Count)) != Count) throw EReadError(SReadError);
    return;
  }
  if (Count < 0) throw EReadError(SReadError);
  auto* p = static_cast<uint8_t*>(Buffer);
  while (Count > 0) {
    const auto chunk = static_cast<int32_t>(std::min(Count, MaxChunk));
    if (Read(p, chunk) != chunk) throw EReadError(SReadError);
    p += chunk;
    Count -= chunk;
  }
}

void TStream::WriteBuffer(const void* Buffer, int64_t Count) {
  if (Count >= 0 && Count <= MaxChunk) {
    if (Write(Buffer, static_cast<int32_t>(Count)) != Count) throw EWriteError(SWriteError);
    return;
  }
  if (Count < 0) throw EWriteError(SWriteError);
  auto* p = static_cast<const uint8_t*>(Buffer);
  while (Count > 0) {
    const auto chunk = static_cast<int32_t>(std::min(Count, MaxChunk));
    if (Write(p, chunk) != chunk) throw EWriteError(SWriteError);
    p += chunk;
    Count -= chunk;
  }
}

int64_t TStream::CopyFrom(TStream* Source, int64_t Count) {
  if (!Source) return 0;
  if (Count <= 0) {
    Source->SetPosition(0);
    Count = Source->Size();
    if (Count <= 0) return 0;
  }
  // A memory source is written straight from its memory.
  if (auto* mem = dynamic_cast<TCustomMemoryStream*>(Source)) {
    const int64_t pos = mem->Position();
    if (pos < 0 || pos > mem->Size() || mem->Size() - pos < Count) throw EReadError(SReadError);
    WriteBuffer(static_cast<const uint8_t*>(mem->Memory()) + pos, Count);
    mem->Seek(Count, soCurrent);
    return Count;
  }
  const int64_t bufSize = std::min<int64_t>(Count, 1 << 20);
  auto buf = std::make_unique_for_overwrite<uint8_t[]>(static_cast<size_t>(bufSize));
  for (int64_t left = Count; left > 0;) {
    const int64_t n = std::min(left, bufSize);
    Source->ReadBuffer(buf.get(), n);
    WriteBuffer(buf.get(), n);
    left -= n;
  }
  return Count;
}

int64_t TStream::Size() {
  const int64_t pos = Seek(0, soCurrent);
  const int64_t end = Seek(0, soEnd);
  Seek(pos, soBeginning);
  return end;
}

void TStream::SetSize(int64_t) {}

// ---------------------------------------------------------------------------------------------
// THandleStream

int32_t THandleStream::Read(void* Buffer, int32_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  int32_t done = 0;
  while (done < Count) {
    const ssize_t r = ::read(handle_, p + done, static_cast<size_t>(Count - done));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    done += static_cast<int32_t>(r);
  }
  return done;
}

int32_t THandleStream::Write(const void* Buffer, int32_t Count) {
  auto* p = static_cast<const uint8_t*>(Buffer);
  int32_t done = 0;
  while (done < Count) {
    const ssize_t w = ::write(handle_, p + done, static_cast<size_t>(Count - done));
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) break;
    done += static_cast<int32_t>(w);
  }
  return done;
}

int64_t THandleStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int whence = Origin == soBeginning ? SEEK_SET : Origin == soCurrent ? SEEK_CUR : SEEK_END;
  return ::lseek(handle_, static_cast<off_t>(Offset), whence);
}

int64_t THandleStream::Size() {
  struct stat st;
  if (::fstat(handle_, &st) == 0 && S_ISREG(st.st_mode)) return st.st_size;
  return TStream::Size();
}

void THandleStream::SetSize(int64_t NewSize) {
  Seek(NewSize, soBeginning);
  if (NewSize < 0 || ::ftruncate(handle_, static_cast<off_t>(NewSize)) != 0) {
    const int err = NewSize < 0 ? EINVAL : errno;
    throw EOSError(Format("System Error.  Code: %d.\n%s", err, SysErrorMessage(err)));
  }
}

// ---------------------------------------------------------------------------------------------
// TFileStream

TFileStream::TFileStream(std::string_view AFileName, uint16_t Mode) : TFileStream(AFileName, Mode, 0666) {}

TFileStream::TFileStream(std::string_view AFileName, uint16_t Mode, uint32_t Rights)
    : THandleStream(-1), file_name_(AFileName) {
  std::string name;
  const bool create = (Mode & fmCreate) == fmCreate;
  if (!NativeName(AFileName, name)) {
    if (create) RaiseCreateError(AFileName, ENOENT);
    RaiseOpenError(AFileName, ENOENT);
  }
  if (create) {
    handle_ = ::open(name.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(Rights & 07777));
    if (handle_ < 0) RaiseCreateError(AFileName, errno);
    return;
  }
  int flags;
  switch (Mode & 3) {
    case fmOpenRead: flags = O_RDONLY; break;
    case fmOpenWrite: flags = O_WRONLY; break;
    case fmOpenReadWrite: flags = O_RDWR; break;
    default: RaiseOpenError(AFileName, EINVAL);
  }
  handle_ = ::open(name.c_str(), flags | O_CLOEXEC);
  if (handle_ < 0) RaiseOpenError(AFileName, errno);
  // A folder opens for reading here, but is no file to stream.
  struct stat st;
  if (::fstat(handle_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(handle_);
    handle_ = -1;
    RaiseOpenError(AFileName, EISDIR);
  }
}

TFileStream::~TFileStream() {
  if (handle_ >= 0) ::close(handle_);
}

// ---------------------------------------------------------------------------------------------
// TCustomMemoryStream

TCustomMemoryStream::TCustomMemoryStream(const void* Ptr, int64_t ASize) {
  SetPointer(const_cast<void*>(Ptr), Ptr && ASize > 0 ? ASize : 0);
}

void TCustomMemoryStream::SetPointer(void* Ptr, int64_t ASize) {
  memory_ = static_cast<uint8_t*>(Ptr);
  size_ = ASize;
}

int32_t TCustomMemoryStream::Read(void* Buffer, int32_t Count) {
  if (Count <= 0 || position_ < 0 || position_ >= size_) return 0;
  const int64_t n = std::min<int64_t>(size_ - position_, Count);
  CopyBytes(Buffer, memory_ + position_, static_cast<size_t>(n));
  position_ += n;
  return static_cast<int32_t>(n);
}

int32_t TCustomMemoryStream::Write(const void*, int32_t) {
  throw EStreamError("Can't write to a read-only memory stream");
}

void TCustomMemoryStream::SetSize(int64_t) { throw EStreamError("Can't write to a read-only memory stream"); }

int64_t TCustomMemoryStream::Seek(int64_t Offset, TSeekOrigin Origin) {
  const int64_t base = Origin == soBeginning ? 0 : Origin == soCurrent ? position_ : size_;
  int64_t pos;
  if (__builtin_add_overflow(base, Offset, &pos)) return -1;
  position_ = pos;
  return pos;
}

void TCustomMemoryStream::SaveToStream(TStream* Stream) {
  if (size_ > 0) Stream->WriteBuffer(memory_, size_);
}

void TCustomMemoryStream::SaveToFile(std::string_view FileName) { SaveBytesToFile(FileName, memory_, size_); }

// ---------------------------------------------------------------------------------------------
// TMemoryStream

void TMemoryStream::FreeDeleter::operator()(void* p) const { std::free(p); }

TMemoryStream::~TMemoryStream() = default;

void* TMemoryStream::Realloc(int64_t& NewCapacity) {
  if (NewCapacity < 0 || NewCapacity > MaxMemoryStreamSize) throw EStreamError(SMemoryStreamError);
  if (NewCapacity > 0) NewCapacity = RoundUpToDelta(NewCapacity);
  if (NewCapacity == capacity_ && (NewCapacity == 0 || block_)) return block_.get();
  if (NewCapacity == 0) {
    block_.reset();
    return nullptr;
  }
  void* p = std::realloc(block_.get(), static_cast<size_t>(NewCapacity));
  if (!p) throw EStreamError(SMemoryStreamError);
  (void)block_.release();  // realloc moved or kept the block; p owns it now
  block_.reset(static_cast<uint8_t*>(p));
  // Big streams (pictures, layer stacks) are written whole: huge pages spare a fault per 4 KB
  // page, which costs more than the copying on some machines.
  constexpr uintptr_t kHuge = uintptr_t{2} << 20;
  if (static_cast<uintptr_t>(NewCapacity) >= 2 * kHuge) {
    const uintptr_t first = (reinterpret_cast<uintptr_t>(p) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(p) + static_cast<uintptr_t>(NewCapacity)) & ~(kHuge - 1);
    if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
  }
  return p;
}

void TMemoryStream::SetCapacity(int64_t NewCapacity) {
  // Never below the size: the data stays.
  NewCapacity = std::max(NewCapacity, Size());
  void* p = Realloc(NewCapacity);
  capacity_ = NewCapacity;
  SetPointer(p, Size());
}

void TMemoryStream::Grow(int64_t Needed) {
  if (Needed <= capacity_) return;
  if (Needed > MaxMemoryStreamSize) throw EStreamError(SMemoryStreamError);
  SetCapacity(std::max(Needed, std::min(capacity_ + capacity_ / 2, MaxMemoryStreamSize)));
}

void TMemoryStream::Clear() {
  position_ = 0;
  SetPointer(Memory(), 0);
  SetCapacity(0);
}

void TMemoryStream::SetSize(int64_t NewSize) {
  if (NewSize < 0) throw EStreamError(Format("Invalid stream size (%d)", NewSize));
  const int64_t old = Size();
  if (NewSize > capacity_) Grow(NewSize);
  else if (NewSize < capacity_ / 2) {
    SetPointer(Memory(), std::min(old, NewSize));
    SetCapacity(NewSize);
  }
  if (NewSize > old) std::memset(static_cast<uint8_t*>(Memory()) + old, 0, static_cast<size_t>(NewSize - old));
  SetPointer(Memory(), NewSize);
  if (position_ > NewSize) position_ = NewSize;
}

int32_t TMemoryStream::Write(const void* Buffer, int32_t Count) {
  if (Count <= 0 || position_ < 0 || position_ > MaxMemoryStreamSize) return 0;
  const int64_t end = position_ + Count;
  const int64_t size = MemorySize();
  if (end > size) {
    Grow(end);
    if (position_ > size)
      std::memset(static_cast<uint8_t*>(Memory()) + size, 0, static_cast<size_t>(position_ - size));
    SetPointer(Memory(), end);
  }
  CopyBytes(static_cast<uint8_t*>(Memory()) + position_, Buffer, static_cast<size_t>(Count));
  position_ = end;
  return Count;
}

void TMemoryStream::LoadFromStream(TStream* Stream) {
  if (!Stream || Stream == this) return;
  Stream->SetPosition(0);
  const int64_t count = Stream->Size();
  if (count >= 0) {
    SetSize(count);
    Stream->ReadBuffer(Memory(), count);
    return;
  }
  // A stream that cannot tell its size is read to its end.
  SetSize(0);
  uint8_t buf[65536];
  int64_t at = 0;
  for (int32_t n; (n = Stream->Read(buf, sizeof buf)) > 0; at += n) {
    SetSize(at + n);
    std::memcpy(static_cast<uint8_t*>(Memory()) + at, buf, static_cast<size_t>(n));
  }
}

void TMemoryStream::LoadFromFile(std::string_view FileName) {
  TFileStream stream(FileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(&stream);
}

// ---------------------------------------------------------------------------------------------
// TBytesStream / TStringStream

TBytesStream::TBytesStream(TBytes ABytes) : bytes_(std::move(ABytes)) {
  SetPointer(bytes_.data(), static_cast<int64_t>(bytes_.size()));
  capacity_ = static_cast<int64_t>(bytes_.size());
}

void* TBytesStream::Realloc(int64_t& NewCapacity) {
  if (NewCapacity < 0 || NewCapacity > MaxMemoryStreamSize) throw EStreamError(SMemoryStreamError);
  if (NewCapacity > 0) NewCapacity = RoundUpToDelta(NewCapacity);
  try {
    bytes_.resize(static_cast<size_t>(NewCapacity));
  } catch (const std::bad_alloc&) {
    throw EStreamError(SMemoryStreamError);
  }
  return bytes_.empty() ? nullptr : bytes_.data();
}

TStringStream::TStringStream(std::string_view AString) : TBytesStream(TBytes(AString.begin(), AString.end())) {}

std::string TStringStream::DataString() const {
  return std::string(static_cast<const char*>(Memory()), static_cast<size_t>(MemorySize()));
}

std::string TStringStream::ReadString(int32_t Count) {
  if (Count <= 0 || position_ < 0 || position_ >= Size()) return {};
  const int64_t n = std::min<int64_t>(Count, Size() - position_);
  std::string s(static_cast<const char*>(Memory()) + position_, static_cast<size_t>(n));
  position_ += n;
  return s;
}

void TStringStream::WriteString(std::string_view AString) {
  WriteBuffer(AString.data(), static_cast<int64_t>(AString.size()));
}

// ---------------------------------------------------------------------------------------------
// Resources

namespace {

struct ResourceRegistry {
  std::mutex lock;
  std::vector<const TResourceTable*> tables;
};

ResourceRegistry& Registry() {
  static ResourceRegistry registry;
  return registry;
}

const TResourceEntry* FindIn(const TResourceTable* t, std::string_view name, std::string_view type) {
  if (!t || !t->Entries) return nullptr;
  for (size_t i = 0; i < t->Count; ++i) {
    const TResourceEntry& e = t->Entries[i];
    if (e.Name && e.Type && SameText(e.Name, name) && SameText(e.Type, type)) return &e;
  }
  return nullptr;
}

}  // namespace

void RegisterResourceTable(const TResourceTable* Table) {
  if (!Table) return;
  ResourceRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.lock);
  if (std::find(r.tables.begin(), r.tables.end(), Table) == r.tables.end()) r.tables.push_back(Table);
}

void UnregisterResourceTable(const TResourceTable* Table) {
  ResourceRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.lock);
  r.tables.erase(std::remove(r.tables.begin(), r.tables.end(), Table), r.tables.end());
}

const TResourceEntry* FindResourceData(std::string_view Name, std::string_view Type) {
  if (const TResourceEntry* e = FindIn(&PxProgramResources, Name, Type)) return e;
  ResourceRegistry& r = Registry();
  std::lock_guard<std::mutex> g(r.lock);
  for (const TResourceTable* t : r.tables)
    if (const TResourceEntry* e = FindIn(t, Name, Type)) return e;
  return nullptr;
}

TResourceStream::TResourceStream(uintptr_t, std::string_view ResName, std::string_view ResType) {
  const TResourceEntry* e = FindResourceData(ResName, ResType);
  if (!e) throw EResNotFound(Format("Resource %s not found", ResName));
  SetPointer(const_cast<unsigned char*>(e->Data), static_cast<int64_t>(e->Size));
}

int32_t TResourceStream::Write(const void*, int32_t) {
  throw EStreamError("Can't write to a read-only resource stream");
}

void TResourceStream::SetSize(int64_t) { throw EStreamError("Can't write to a read-only resource stream"); }

// ---------------------------------------------------------------------------------------------
// Saving files

void SaveBytesToFile(std::string_view FileName, const void* Data, int64_t Size) {
  std::string target;
  if (!NativeName(FileName, target)) RaiseCreateError(FileName, ENOENT);
  const auto* bytes = static_cast<const uint8_t*>(Data);
  if (Size < 0 || (Size > 0 && !bytes)) throw EWriteError(SWriteError);

  // Replace the file a symbolic link points to, not the link.
  struct stat lst;
  if (::lstat(target.c_str(), &lst) == 0 && S_ISLNK(lst.st_mode)) {
    if (char* real = ::realpath(target.c_str(), nullptr)) {
      target = real;
      std::free(real);
    }
  }
  struct stat st;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists && S_ISDIR(st.st_mode)) RaiseCreateError(FileName, EISDIR);
  if (exists && !S_ISREG(st.st_mode)) {
    // A device or a pipe cannot be replaced; it is written in place.
    const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0) RaiseCreateError(FileName, errno);
    const bool ok = WriteAll(fd, bytes, Size);
    ::close(fd);
    if (!ok) throw EWriteError(SWriteError);
    return;
  }
  if (exists && ::access(target.c_str(), W_OK) != 0) RaiseCreateError(FileName, errno);

  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  static std::atomic<uint64_t> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    const uint64_t mix = (static_cast<uint64_t>(ts.tv_nsec) ^ (static_cast<uint64_t>(::getpid()) << 32)) +
                         counter.fetch_add(1) * 0x9E3779B97F4A7C15ull;
    // Short enough for the longest file name the folder takes.
    temp = dir + "." + base.substr(0, 200) + "." + IntToHex(static_cast<int64_t>(mix & 0xFFFFFFFFFFFFull), 12) + ".tmp";
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, exists ? 0600 : 0666);
    if (fd < 0 && errno != EEXIST) RaiseCreateError(FileName, errno);
  }
  if (fd < 0) RaiseCreateError(FileName, EEXIST);

  bool ok = WriteAll(fd, bytes, Size);
  if (ok && exists) (void)::fchmod(fd, st.st_mode & 07777);
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok) {
    ::unlink(temp.c_str());
    throw EWriteError(SWriteError);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    RaiseCreateError(FileName, err);
  }
}
