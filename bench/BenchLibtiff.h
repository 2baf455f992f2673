// libtiff reading and writing a TIFF held in memory: the peer side of the TIFF benchmarks.
#pragma once

#include <tiffio.h>

#include <algorithm>
#include <cstring>
#include <string>

inline namespace benchlibtiff {

struct MemoryFile {
  std::string Data;
  toff_t At = 0;
};

inline tsize_t MemRead(thandle_t H, tdata_t Buf, tsize_t N) {
  auto* f = static_cast<MemoryFile*>(H);
  const tsize_t n = std::max<tsize_t>(0, std::min<tsize_t>(N, tsize_t(f->Data.size()) - tsize_t(f->At)));
  std::memcpy(Buf, f->Data.data() + f->At, size_t(n));
  f->At += toff_t(n);
  return n;
}
inline tsize_t MemWrite(thandle_t H, tdata_t Buf, tsize_t N) {
  auto* f = static_cast<MemoryFile*>(H);
  const auto* bytes = static_cast<const char*>(Buf);
  // Appending grows the string geometrically; writes inside it overwrite.
  if (f->At > f->Data.size()) f->Data.resize(size_t(f->At));
  const size_t inside = std::min(size_t(N), f->Data.size() - size_t(f->At));
  std::memcpy(f->Data.data() + f->At, bytes, inside);
  f->Data.append(bytes + inside, size_t(N) - inside);
  f->At += toff_t(N);
  return N;
}
inline toff_t MemSeek(thandle_t H, toff_t Off, int Whence) {
  auto* f = static_cast<MemoryFile*>(H);
  f->At = Whence == SEEK_SET ? Off : Whence == SEEK_CUR ? f->At + Off : f->Data.size() + Off;
  return f->At;
}
inline int MemClose(thandle_t) { return 0; }
inline toff_t MemSize(thandle_t H) { return static_cast<MemoryFile*>(H)->Data.size(); }
inline int MemMap(thandle_t, tdata_t*, toff_t*) { return 0; }
inline void MemUnmap(thandle_t, tdata_t, toff_t) {}

inline TIFF* OpenMemory(MemoryFile& F, const char* Mode) {
  F.At = 0;
  return TIFFClientOpen("memory", Mode, &F, MemRead, MemWrite, MemSeek, MemClose, MemSize, MemMap, MemUnmap);
}

}  // namespace benchlibtiff
