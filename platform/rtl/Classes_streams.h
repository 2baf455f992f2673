// Streams: TStream and its file, memory, byte, string and resource descendants, and the
// compiled-in resource tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/System.h"

// One resource compiled into the program (see cmake/EmbedResources.cmake).
struct TResourceEntry {
  const char* Name;   // upper case
  const char* Type;   // upper case, e.g. "RCDATA", "BITMAP", "CURSOR"
  const unsigned char* Data;
  size_t Size;
};
struct TResourceTable {
  const TResourceEntry* Entries;
  size_t Count;
};

using TBytes = std::vector<uint8_t>;

// ---------------------------------------------------------------------------------------------
// TStream

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };
using enum TSeekOrigin;
// The older names of the origins.
inline constexpr TSeekOrigin soFromBeginning = soBeginning;
inline constexpr TSeekOrigin soFromCurrent = soCurrent;
inline constexpr TSeekOrigin soFromEnd = soEnd;

// File open modes: one access mode, optionally or'ed with a share mode (accepted, ignored).
inline constexpr uint16_t fmCreate = 0xFF00;
inline constexpr uint16_t fmOpenRead = 0x0000;
inline constexpr uint16_t fmOpenWrite = 0x0001;
inline constexpr uint16_t fmOpenReadWrite = 0x0002;
inline constexpr uint16_t fmShareCompat = 0x0000;
inline constexpr uint16_t fmShareExclusive = 0x0010;
inline constexpr uint16_t fmShareDenyWrite = 0x0020;
inline constexpr uint16_t fmShareDenyRead = 0x0030;
inline constexpr uint16_t fmShareDenyNone = 0x0040;

class TStream : public TObject {
  PX_CLASS(TStream)
 public:
  // Reads up to Count bytes at the position; returns how many were read (0 at the end).
  virtual int32_t Read(void* Buffer, int32_t Count) = 0;
  // Writes up to Count bytes at the position; returns how many were written.
  virtual int32_t Write(const void* Buffer, int32_t Count) = 0;
  // Moves the position; returns the new position (-1 when the stream refuses it).
  virtual int64_t Seek(int64_t Offset, TSeekOrigin Origin) = 0;

  // Read/Write that transfer exactly Count bytes or raise EReadError "Stream read error" /
  // EWriteError "Stream write error".
  void ReadBuffer(void* Buffer, int64_t Count);
  void WriteBuffer(const void* Buffer, int64_t Count);
  // Copies Count bytes from Source's position; Count <= 0 copies the whole of Source from
  // its start. Returns the number of bytes copied; a short source raises EReadError.
  int64_t CopyFrom(TStream* Source, int64_t Count);

  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t Pos) { Seek(Pos, soBeginning); }
  virtual int64_t Size();
  virtual void SetSize(int64_t NewSize);
};

// ---------------------------------------------------------------------------------------------
// THandleStream / TFileStream

// A stream over a file descriptor it does not own.
class THandleStream : public TStream {
  PX_CLASS(THandleStream)
 public:
  explicit THandleStream(int AHandle) : handle_(AHandle) {}
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override;
  // Truncates or extends the file and moves the position to NewSize; EOSError on failure.
  void SetSize(int64_t NewSize) override;
  int Handle() const { return handle_; }

 protected:
  int handle_ = -1;
};

// A stream over a file it opens and closes. Mode is fmCreate (create or truncate, read and
// write) or one of fmOpenRead, fmOpenWrite, fmOpenReadWrite, each optionally with a share
// flag. Failing to open raises EFOpenError "Cannot open file \"%s\". %s", failing to create
// EFCreateError "Cannot create file \"%s\". %s" (the full file name, then the system's text).
class TFileStream : public THandleStream {
  PX_CLASS(TFileStream)
 public:
  TFileStream(std::string_view AFileName, uint16_t Mode);
  // Rights: the permission bits of a created file (before the umask).
  TFileStream(std::string_view AFileName, uint16_t Mode, uint32_t Rights);
  ~TFileStream() override;
  const std::string& FileName() const { return file_name_; }

 private:
  std::string file_name_;
};

// ---------------------------------------------------------------------------------------------
// Memory streams

// A stream over a block of memory. Constructed over external memory it reads that memory and
// refuses to write (EStreamError); descendants manage memory of their own.
class TCustomMemoryStream : public TStream {
  PX_CLASS(TCustomMemoryStream)
 public:
  TCustomMemoryStream(const void* Ptr, int64_t ASize);
  // Reading past the end reads short; a position beyond the end or before 0 reads nothing.
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return size_; }
  void SetSize(int64_t NewSize) override;
  void SaveToStream(TStream* Stream);
  // Written through a temporary file (see SaveBytesToFile).
  void SaveToFile(std::string_view FileName);
  void* Memory() const { return memory_; }

 protected:
  TCustomMemoryStream() = default;
  void SetPointer(void* Ptr, int64_t ASize);
  int64_t MemorySize() const { return size_; }
  // The position; memory descendants move it directly.
  int64_t position_ = 0;

 private:
  uint8_t* memory_ = nullptr;  // not owned
  int64_t size_ = 0;
};

// A stream over memory it owns and grows as it is written. Growth is geometric, so writing
// piece by piece takes amortised constant time per byte; bytes between the old end and a
// write or SetSize beyond it read as zero.
class TMemoryStream : public TCustomMemoryStream {
  PX_CLASS(TMemoryStream)
 public:
  TMemoryStream() = default;
  ~TMemoryStream() override;
  // Frees the memory; size and position 0.
  void Clear();
  // Replaces the content by the whole of Stream (read from its start) or of a file.
  void LoadFromStream(TStream* Stream);
  void LoadFromFile(std::string_view FileName);
  // Keeps the data up to NewSize; the position moves to the end when it lay beyond it.
  void SetSize(int64_t NewSize) override;
  int32_t Write(const void* Buffer, int32_t Count) override;
  int64_t Capacity() const { return capacity_; }
  void SetCapacity(int64_t NewCapacity);

 protected:
  // Resizes the storage to NewCapacity (which it may round up) and returns it; raises
  // EStreamError "Out of memory while expanding memory stream" when that fails.
  virtual void* Realloc(int64_t& NewCapacity);
  int64_t capacity_ = 0;

 private:
  void Grow(int64_t Needed);
  struct FreeDeleter {
    void operator()(void* p) const;
  };
  std::unique_ptr<uint8_t, FreeDeleter> block_;
};

// A memory stream whose storage is a byte array.
class TBytesStream : public TMemoryStream {
  PX_CLASS(TBytesStream)
 public:
  explicit TBytesStream(TBytes ABytes = {});
  // The storage: it may be longer than Size (only the first Size bytes are the content).
  const TBytes& Bytes() const { return bytes_; }

 protected:
  void* Realloc(int64_t& NewCapacity) override;

 private:
  TBytes bytes_;
};

// A memory stream over (UTF-8) text.
class TStringStream : public TBytesStream {
  PX_CLASS(TStringStream)
 public:
  explicit TStringStream(std::string_view AString = {});
  // The whole content as a string.
  std::string DataString() const;
  // Reads up to Count bytes from the position.
  std::string ReadString(int32_t Count);
  void WriteString(std::string_view AString);
};

// ---------------------------------------------------------------------------------------------
// Resources compiled into the program

// Resource types; any other text names a custom type.
inline constexpr const char* RT_RCDATA = "RCDATA";
inline constexpr const char* RT_BITMAP = "BITMAP";
inline constexpr const char* RT_CURSOR = "CURSOR";
inline constexpr const char* RT_ICON = "ICON";

// The module handle that resource look-ups take; every resource is compiled into one program.
inline constexpr uintptr_t HInstance = 0;

// Adds a table to the ones looked up after the program's own (PxProgramResources); tables are
// searched in the order they were added. The table must outlive its registration.
void RegisterResourceTable(const TResourceTable* Table);
void UnregisterResourceTable(const TResourceTable* Table);
// The resource of that name and type (both compared without regard to ASCII case), or nullptr.
const TResourceEntry* FindResourceData(std::string_view Name, std::string_view Type);

// A read-only stream over a compiled-in resource: EResNotFound "Resource %s not found" when it
// does not exist; writing raises EStreamError.
class TResourceStream : public TCustomMemoryStream {
  PX_CLASS(TResourceStream)
 public:
  TResourceStream(uintptr_t Instance, std::string_view ResName, std::string_view ResType);
  int32_t Write(const void* Buffer, int32_t Count) override;
  void SetSize(int64_t NewSize) override;
};

// ---------------------------------------------------------------------------------------------

// Writes Size bytes to FileName without ever leaving a half-written file under that name: the
// bytes go to a new temporary file in the same folder, which then replaces the target (keeping
// an existing file's permissions; a symbolic link is followed). An existing target that may
// not be written is refused. Devices and pipes are written directly. Raises EFCreateError when
// the file cannot be created, EWriteError when writing fails; the target is then untouched.
void SaveBytesToFile(std::string_view FileName, const void* Data, int64_t Size);
