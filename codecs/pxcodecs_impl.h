// Helpers the codecs of this folder share: little-endian fields, whole reads, the default
// resolution, the abort flag and per-cent progress, the source layout a writer takes and the
// format-table entries of plain decoders and encoders.
#pragma once

#include <algorithm>
#include <cstdint>
#include <exception>
#include <iterator>
#include <memory>

#include "core/hypxdefs.h"
#include "core/pxsettings.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/System.h"

class TIOParams;
class TPXBitmap;
class TPXMask;

namespace pxcodecs_detail {

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

inline int32_t DefaultDpiX() {
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  return s ? s->FDefaultDPIX : 300;
}
inline int32_t DefaultDpiY() {
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  return s ? s->FDefaultDPIY : 300;
}

// The record's abort flag, or Own when the record has none.
inline TPXAbortFlag& AbortFlagOf(TPXProgressRecord& Progress, TPXAbortFlag& Own) {
  return Progress.Aborting ? *Progress.Aborting : Own;
}

// Units done as a per-cent value, truncated and kept in 0..100.
inline int32_t PerCentOf(const TPXProgressRecord& Progress, int64_t Units) {
  return static_cast<int32_t>(
      std::clamp<long double>(Trunc(Units * static_cast<long double>(Progress.PerCentPerUnit) + 1e-9L), 0, 100));
}

// Runs Body(aborting) on the record's abort flag (or a flag of its own); arguments that are
// missing (ArgsValid false) and any exception Body throws set the flag.
template <class TBody>
void RunGuarded(TPXProgressRecord& Progress, bool ArgsValid, TBody&& Body) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  if (!ArgsValid) {
    aborting = true;
    return;
  }
  try {
    Body(aborting);
  } catch (const std::exception&) {
    aborting = true;
  }
}

// Format-table entries for a decoder that takes no mask (answering 0) and for an encoder that
// takes no mask.
template <void (*Decode)(TStream*, TPXBitmap*, TIOParams*, TPXProgressRecord&, bool)>
int32_t DecodeWithoutMask(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                          bool PreviewOnly, std::unique_ptr<TPXMask>&) {
  Decode(Stream, Bitmap, Params, Progress, PreviewOnly);
  return 0;
}
template <void (*Encode)(TStream*, TPXBitmap*, TIOParams*, TPXProgressRecord&)>
void EncodeWithoutMask(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask*, TPXProgressRecord& Progress) {
  Encode(Stream, Bitmap, Params, Progress);
}

// The string table of the hashed LZW encoders (GIF and TIFF), as the classic compress program
// keeps it: 5003 slots keyed by character x 4096 + prefix code, first slot (character shl 4)
// xor prefix, collisions probed backwards by 5003 - slot. An empty slot holds -1.
class TLzwHashTable {
 public:
  static constexpr int32_t kSlots = 5003;

  void Clear() { std::fill(std::begin(FKeys), std::end(FKeys), -1); }
  // The code of the string prefix + Char, or -1 when it is not in the table; then Slot receives
  // the slot the string goes into.
  int32_t Find(int32_t Char, int32_t Prefix, int32_t& Slot) const {
    const int32_t key = (Char << 12) + Prefix;
    int32_t i = (Char << 4) ^ Prefix;
    if (FKeys[i] == key) return FCodes[i];
    if (FKeys[i] >= 0) {
      const int32_t step = i == 0 ? 1 : kSlots - i;
      do {
        i -= step;
        if (i < 0) i += kSlots;
        if (FKeys[i] == key) return FCodes[i];
      } while (FKeys[i] > 0);
    }
    Slot = i;
    return -1;
  }
  void Store(int32_t Slot, int32_t Char, int32_t Prefix, int32_t Code) {
    FKeys[Slot] = (Char << 12) + Prefix;
    FCodes[Slot] = static_cast<uint16_t>(Code);
  }

 private:
  int32_t FKeys[kSlots];
  uint16_t FCodes[kSlots];
};

// Bitmap in the layout a writer takes: px1g when OneBit, px24RGB otherwise. A two-colour px24RGB
// picture going to px1g keeps its two colours in Colors; any other leaves black and white there.
// A converted picture lives in Copy. Answers nullptr when the result is not in that layout at
// Bitmap's size.
TPXBitmap* WriterSource(TPXBitmap* Bitmap, bool OneBit, std::unique_ptr<TPXBitmap>& Copy, TRGB (&Colors)[2]);

}  // namespace pxcodecs_detail
