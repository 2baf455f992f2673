// Helpers the BMP and icon codecs share: little-endian fields, whole reads, resolution
// conversion and per-row progress.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>

#include "core/hypxdefs.h"
#include "core/pxsettings.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/System.h"

namespace bmpfilt_detail {

inline uint16_t GetLE16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const uint8_t* p) {
  return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}
inline void PutLE16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
  PutLE16(p, v);
  PutLE16(p + 2, v >> 16);
}

// Reads up to Count bytes (any size) and answers how many arrived.
inline int64_t ReadFully(TStream* Stream, void* Buffer, int64_t Count) {
  auto* p = static_cast<uint8_t*>(Buffer);
  int64_t done = 0;
  while (done < Count) {
    const auto chunk = static_cast<int32_t>(std::min<int64_t>(Count - done, 1 << 30));
    const int32_t got = Stream->Read(p + done, chunk);
    if (got <= 0) break;
    done += got;
  }
  return done;
}

// Bytes between the position and the end (0 when the position is past it).
inline int64_t BytesLeft(TStream* Stream) { return std::max<int64_t>(0, Stream->Size() - Stream->Position()); }

// Pixels per metre to dots per inch, halves to even; 0 or less gives Default.
inline int32_t DpiFromPpm(int64_t Ppm, int32_t Default) {
  if (Ppm <= 0) return Default;
  // ppm x 254 / 10000 keeps halves exact, so they round to even.
  const int64_t dpi = Round(static_cast<long double>(Ppm) * 254.0L / 10000.0L);
  if (dpi <= 0) return Default;
  return static_cast<int32_t>(std::min<int64_t>(dpi, std::numeric_limits<int32_t>::max()));
}
inline uint32_t PpmFromDpi(int32_t Dpi) {
  const int64_t v = Round(static_cast<long double>(Dpi) * 10000.0L / 254.0L);
  return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, std::numeric_limits<int32_t>::max()));
}

inline int32_t DefaultDpiX() {
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  return s ? s->FDefaultDPIX : 300;
}
inline int32_t DefaultDpiY() {
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  return s ? s->FDefaultDPIY : 300;
}

inline bool IsAborting(const TPXProgressRecord& Progress) { return Progress.Aborting && *Progress.Aborting; }
inline void SetAborting(TPXProgressRecord& Progress) {
  if (Progress.Aborting) *Progress.Aborting = true;
}

// Per-row progress: fires the per-cent value when it changed (or on every row with Always).
class TRowProgress {
 public:
  TRowProgress(TPXProgressRecord& Progress, int64_t Rows) : progress_(Progress) {
    Progress.Count = 0;
    Progress.PerCentPerUnit = Rows > 0 ? 100.0 / static_cast<double>(Rows) : 0;
  }
  // Reports Done units; answers false when the abort flag is set.
  bool Report(int64_t Done, bool Always = false) {
    progress_.Count = static_cast<int32_t>(std::min<int64_t>(Done, std::numeric_limits<int32_t>::max()));
    const auto per = static_cast<int32_t>(
        std::clamp<long double>(Trunc(static_cast<long double>(Done) * progress_.PerCentPerUnit + 1e-9L), 0, 100));
    if (progress_.Event && (Always || per != last_)) {
      last_ = per;
      progress_.Event(progress_.Sender, per);
    }
    return !IsAborting(progress_);
  }

 private:
  TPXProgressRecord& progress_;
  int32_t last_ = -1;
};

}  // namespace bmpfilt_detail

// The format table's ICO and CUR rows (the icon file of this unit).
void RegisterIcoCodec();
