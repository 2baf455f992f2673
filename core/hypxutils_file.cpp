// Memory blocks, temporary files and the file buffer.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/hypxutils.h"
#include "core/pxsettings.h"

// ---------------------------------------------------------------------------------------------
// Memory blocks
//
// Every block starts with a 16-byte header (so the caller's address stays 16-byte aligned) whose
// first byte names the allocator: 0 the heap, 1 a zero-filled heap block, 2 an anonymous
// mapping (zero-filled; its total size in bytes 8..15). Big blocks are mapped so that a request
// the machine cannot serve fails cleanly instead of aborting the allocator.

namespace {

constexpr size_t kHeader = 16;
constexpr int64_t kGlobalThreshold = 1048576;
enum : uint8_t { kHeap = 0, kHeapZeroed = 1, kMapped = 2 };

void* Finish(void* raw, uint8_t kind, size_t total) {
  auto* p = static_cast<uint8_t*>(raw);
  p[0] = kind;
  std::memcpy(p + 8, &total, sizeof total);
  return p + kHeader;
}

bool TotalSize(int64_t Size, size_t& total) {
  if (Size < 0 || static_cast<uint64_t>(Size) > SIZE_MAX - kHeader) return false;
  total = static_cast<size_t>(Size) + kHeader;
  return true;
}

void* AllocMapped(size_t total) {
  void* raw = ::mmap(nullptr, total, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (raw == MAP_FAILED) return nullptr;
  // Picture-sized blocks are written whole: huge pages spare one fault per 4 KB page.
  if (total >= (size_t{2} << 20)) ::madvise(raw, total, MADV_HUGEPAGE);
  return Finish(raw, kMapped, total);
}

void* AllocZeroed(int64_t Size) {
  size_t total = 0;
  if (!TotalSize(Size, total)) return nullptr;
  if (Size >= kGlobalThreshold) return AllocMapped(total);
  void* raw = std::calloc(1, total);
  return raw ? Finish(raw, kHeapZeroed, total) : nullptr;
}

}  // namespace

void* AllocBlock(bool ForceGlobal, int64_t Size) {
  if (ForceGlobal || Size >= kGlobalThreshold) return AllocZeroed(Size);
  size_t total = 0;
  if (!TotalSize(Size, total)) return nullptr;
  if (void* raw = std::malloc(total)) return Finish(raw, kHeap, total);
  return AllocZeroed(Size);
}

void* AllocHeapBlock(int64_t Size) {
  size_t total = 0;
  if (!TotalSize(Size, total)) return nullptr;
  if (Size >= kGlobalThreshold) return AllocMapped(total);
  void* raw = std::malloc(total);
  return raw ? Finish(raw, kHeap, total) : nullptr;
}

void FreeBlock(void*& P) {
  if (!P) return;
  auto* raw = static_cast<uint8_t*>(P) - kHeader;
  if (raw[0] == kMapped) {
    size_t total = 0;
    std::memcpy(&total, raw + 8, sizeof total);
    ::munmap(raw, total);
  } else {
    std::free(raw);
  }
  P = nullptr;
}

void TPXBlockDeleter::operator()(void* P) const { FreeBlock(P); }

void* GlobalAllocZeroed(int64_t Size) { return AllocZeroed(Size); }

void GlobalFreeAndNil(void*& P) { FreeBlock(P); }

void TPXGlobalDeleter::operator()(void* P) const { FreeBlock(P); }

void TryGetMem(void*& P, int64_t Size) { P = AllocHeapBlock(Size); }

// ---------------------------------------------------------------------------------------------
// Temporary files

bool FileExistsA(std::string_view Name) {
  if (GlobalSettingsInstance()->FUseFileExists) return FileExists(Name);
  const std::string name(Name);
  struct stat st {};
  if (name.empty() || ::stat(name.c_str(), &st) != 0) return false;
  return !S_ISDIR(st.st_mode);
}

bool FileExistsW(std::u16string_view Name) {
  const std::string name = Utf16ToUtf8(Name);
  struct stat st {};
  if (name.empty() || ::stat(name.c_str(), &st) != 0) return false;
  return !S_ISDIR(st.st_mode);
}

std::string MakeTempFileName(std::string_view Prefix, std::string_view Folder, std::string_view Extension) {
  std::string prefix = Prefix.empty() ? std::string("~pxtemp") : std::string(Prefix);
  std::string folder(Folder);
  if (folder.empty()) folder = GlobalSettingsInstance()->FTempDirectory;
  if (folder.empty()) folder = GetTempDir();
  folder = IncludeTrailingPathDelimiter(folder);
  const std::string ext = Extension.empty() ? std::string(".tmp") : std::string(Extension);
  std::string name;
  // The exclusive creation of the file is what guards against races; this only skips names
  // that are plainly taken.
  for (int attempt = 0; attempt < 1000; ++attempt) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%08X", static_cast<unsigned>(Random(2147483647)));
    name = folder + prefix + "-" + hex + ext;
    if (!FileExistsA(name)) break;
  }
  return name;
}

TPXTemporaryFileStream::TPXTemporaryFileStream(std::string_view FileName)
    : THandleStream(-1), file_name_(FileName) {
  handle_ = ::open(file_name_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (handle_ < 0) throw EInOutError("Unable to create " + file_name_, errno);
}

TPXTemporaryFileStream::~TPXTemporaryFileStream() {
  if (handle_ >= 0) {
    ::close(handle_);
    ::unlink(file_name_.c_str());
  }
}

// ---------------------------------------------------------------------------------------------
// TPXFileBuffer

TPXFileBuffer::~TPXFileBuffer() {
  try {
    Deallocate();
  } catch (const std::exception&) {
    // A failed write-back of a region cannot be reported from a destructor.
  }
}

bool TPXFileBuffer::Allocate(std::string_view Prefix, bool UseFile, int64_t Size) {
  if (IsAllocated()) Deallocate();
  if (Size < 0) return false;
  try {
    if (!UseFile) {
      FileName = MakeTempFileName(Prefix, "", "");
      auto mem = std::make_unique<TMemoryStream>();
      mem->SetSize(Size);
      Stream = std::move(mem);
      return true;
    }
    std::unique_ptr<TPXTemporaryFileStream> file;
    for (int attempt = 0; !file; ++attempt) {
      FileName = MakeTempFileName(Prefix, "", "");
      try {
        file = std::make_unique<TPXTemporaryFileStream>(FileName);
      } catch (const EInOutError& e) {
        if (e.ErrorCode != EEXIST || attempt >= 100) throw;
      }
    }
    // Reserve the space now: a full disk must fail here, not later through a mapped row.
    if (Size > 0) {
      const int r = ::posix_fallocate(file->Handle(), 0, static_cast<off_t>(Size));
      if (r != 0 && r != EOPNOTSUPP && r != EINVAL) return false;
    }
    file->SetSize(Size);
    Stream = std::move(file);
    return true;
  } catch (const std::exception&) {
    Stream.reset();
    return false;
  }
}

void TPXFileBuffer::SetSize(int64_t Size) {
  Unmap();
  if (!Stream) return;
  if (auto* file = dynamic_cast<TPXTemporaryFileStream*>(Stream.get()); file && Size > file->Size()) {
    const int r = ::posix_fallocate(file->Handle(), 0, static_cast<off_t>(Size));
    if (r != 0 && r != EOPNOTSUPP && r != EINVAL)
      throw EInOutError("Unable to extend " + FileName, r);
  }
  Stream->SetSize(Size);
}

void TPXFileBuffer::Deallocate() {
  if (!Stream) return;
  ReleaseAll();
  Unmap();
  Stream.reset();  // a temporary file is removed with its stream
}

void* TPXFileBuffer::Map(uint8_t Access, int64_t Position, int64_t Size) {
  void* block = AllocBlock(false, Size);
  if (!block) return nullptr;
  TRegion region;
  region.Position = Position;
  region.Size = Size;
  region.Memory.reset(static_cast<uint8_t*>(block));
  region.Access = Access;
  if (Stream && (Access & 1)) {
    Stream->SetPosition(Position);
    int64_t done = 0;
    while (done < Size) {
      const auto piece = static_cast<int32_t>(std::min<int64_t>(Size - done, 1 << 30));
      const int32_t got = Stream->Read(region.Memory.get() + done, piece);
      if (got <= 0) break;
      done += got;
    }
  }
  Regions.push_back(std::move(region));
  return block;
}

void TPXFileBuffer::Release(void* Memory) {
  if (!Memory) return;
  auto it = std::find_if(Regions.begin(), Regions.end(),
                         [Memory](const TRegion& r) { return r.Memory.get() == Memory; });
  if (it == Regions.end()) throw EListError("List index out of bounds (-1)");
  TRegion region = std::move(*it);
  Regions.erase(it);
  if (Stream && (region.Access & 2)) {
    Stream->SetPosition(region.Position);
    Stream->WriteBuffer(region.Memory.get(), region.Size);
  }
}

void TPXFileBuffer::ReleaseAll() {
  while (!Regions.empty()) Release(Regions.back().Memory.get());
}

void TPXFileBuffer::Write(const void* Data, int64_t Position, int64_t Size) {
  if (!Stream) return;
  Stream->SetPosition(Position);
  Stream->WriteBuffer(Data, Size);
}

void TPXFileBuffer::CopyTo(TPXFileBuffer* Dest, int64_t Position, int64_t Count) {
  if (!Dest || !IsAllocated() || !Dest->IsAllocated()) return;
  ReleaseAll();
  Dest->ReleaseAll();
  Stream->SetPosition(Position);
  Dest->Stream->SetPosition(Position);
  constexpr int64_t kPiece = 1048576;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(Count, 0), kPiece)));
  int64_t done = 0;
  while (done < Count) {
    const int64_t n = std::min<int64_t>(kPiece, Count - done);
    Stream->ReadBuffer(buffer.data(), n);
    Dest->Stream->WriteBuffer(buffer.data(), n);
    done += n;
  }
}

void TPXFileBuffer::CopyToStream(TStream* Dest, int64_t Position, int64_t Count) {
  if (!IsAllocated()) return;
  ReleaseAll();
  Stream->SetPosition(Position);
  CopyStreamBytes(Dest, Stream.get(), Count);
}

uint8_t* TPXFileBuffer::Data() {
  if (data_ || !Stream) return data_;
  const int64_t size = Stream->Size();
  if (size <= 0) return nullptr;
  if (auto* file = dynamic_cast<TPXTemporaryFileStream*>(Stream.get())) {
    void* p = ::mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, file->Handle(), 0);
    if (p == MAP_FAILED) return nullptr;
    data_ = static_cast<uint8_t*>(p);
    mapped_ = true;
  } else if (auto* mem = dynamic_cast<TCustomMemoryStream*>(Stream.get())) {
    data_ = static_cast<uint8_t*>(mem->Memory());
    mapped_ = false;
  }
  if (data_) data_size_ = size;
  return data_;
}

void TPXFileBuffer::Unmap() {
  if (data_ && mapped_) ::munmap(data_, static_cast<size_t>(data_size_));
  data_ = nullptr;
  data_size_ = 0;
  mapped_ = false;
}
