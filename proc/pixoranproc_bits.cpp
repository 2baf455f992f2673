#include "proc/pixoranproc_bits.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/System.h"

void ExpandBitsTo24(const uint8_t* Source, uint8_t* Dest, int32_t Width) {
  if (Width <= 0) return;
  const int32_t whole = Width / 8;
  for (int32_t i = 0; i < whole; ++i, Dest += 24) std::memcpy(Dest, BitExpansionTable[Source[i]].data(), 24);
  const int32_t rest = Width % 8;
  if (rest) std::memcpy(Dest, BitExpansionTable[Source[whole]].data(), static_cast<size_t>(rest) * 3);
}

void CopyBits(void* Dest, const void* Source, int32_t DestBitOffset, int32_t SourceBitOffset, int32_t BitCount,
              int32_t SourceByteLimit) {
  if (BitCount < 1 || DestBitOffset < 0 || SourceBitOffset < 0) return;
  auto* dst = static_cast<uint8_t*>(Dest) + DestBitOffset / 8;
  const auto* src = static_cast<const uint8_t*>(Source) + SourceBitOffset / 8;
  const int64_t limit = static_cast<int64_t>(SourceByteLimit) - SourceBitOffset / 8;
  const int32_t d = DestBitOffset % 8;
  const int32_t s = SourceBitOffset % 8;
  const int64_t n = (static_cast<int64_t>(BitCount) + d + 7) / 8;
  const int64_t needed = (static_cast<int64_t>(BitCount) + s + 7) / 8;

  // Rows are short; a stack buffer serves nearly every call.
  uint8_t small[512];
  std::vector<uint8_t> large;
  const size_t bufLen = static_cast<size_t>(needed + 8);
  uint8_t* buf = small;
  if (bufLen > sizeof small) {
    large.resize(bufLen);
    buf = large.data();
  }
  std::memset(buf, 0, bufLen);
  const int64_t take = std::clamp<int64_t>(limit, 0, needed + 8);
  if (take > 0) std::memcpy(buf, src, static_cast<size_t>(take));

  if (s > 0)
    for (int64_t i = 0; i < needed; ++i)
      buf[i] = static_cast<uint8_t>((buf[i] << s) | (buf[i + 1] >> (8 - s)));
  if (d > 0) {
    for (int64_t i = n - 1; i > 0; --i)
      buf[i] = static_cast<uint8_t>((buf[i] >> d) | (buf[i - 1] << (8 - d)));
    buf[0] = static_cast<uint8_t>(buf[0] >> d);
  }
  if (BitCount % 8 != 0 || d != 0 || s != 0) {
    const uint8_t keepTop = static_cast<uint8_t>(~(0xFFu >> d));
    buf[0] = static_cast<uint8_t>((buf[0] & ~keepTop) | (dst[0] & keepTop));
    const int64_t e = 8 * n - d - BitCount;
    const uint8_t keepLow = static_cast<uint8_t>((1u << e) - 1);
    buf[n - 1] = static_cast<uint8_t>((buf[n - 1] & ~keepLow) | (dst[n - 1] & keepLow));
  }
  std::memcpy(dst, buf, static_cast<size_t>(n));
}

void CopyBitRun(void* Dest, const void* Source, int32_t DestBitPos, int32_t SourceBitPos, int32_t Count,
                int32_t /*Limit*/) {
  auto* dst = static_cast<uint8_t*>(Dest);
  const auto* src = static_cast<const uint8_t*>(Source);
  for (int32_t i = 0; i < Count; ++i) {
    const int64_t sp = static_cast<int64_t>(SourceBitPos) + i;
    const int64_t dp = static_cast<int64_t>(DestBitPos) + i;
    const uint8_t dm = static_cast<uint8_t>(0x80u >> (dp % 8));
    if (src[sp / 8] & (0x80u >> (sp % 8)))
      dst[dp / 8] |= dm;
    else
      dst[dp / 8] &= static_cast<uint8_t>(~dm);
  }
}

int32_t TBitmapFormatBits(TPixelFormat Format) {
  switch (Format) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf24bit: return 24;
    case pf32bit:
    case pfDevice: return 32;
    default: return 0;
  }
}

namespace {
// Copies every row of Source into Dest (same size and format), the 32-bit aligned row length.
void CopyRows(TBitmap* Source, TBitmap* Dest) {
  const int64_t rowLen = ((static_cast<int64_t>(Source->Width()) * TBitmapFormatBits(Source->PixelFormat()) + 31) / 32) * 4;
  for (int32_t y = 0; y < Source->Height(); ++y)
    std::memcpy(Dest->ScanLine(y), Source->ScanLine(y), static_cast<size_t>(rowLen));
}
}  // namespace

void CopyTBitmapPixels(TBitmap* Source, TBitmap* Dest) {
  if (!Source || !Dest) return;
  if (Source->Width() > 0 && Source->Height() > 0) {
    if (Dest->Width() != Source->Width() || Dest->Height() != Source->Height() ||
        Dest->PixelFormat() != Source->PixelFormat()) {
      Dest->SetSize(1, 1);
      Dest->SetPixelFormat(Source->PixelFormat());
      Dest->SetSize(Source->Width(), Source->Height());
    }
    CopyRows(Source, Dest);
  } else {
    Dest->SetSize(1, 1);
    Dest->SetPixelFormat(Source->PixelFormat());
  }
}

std::unique_ptr<TBitmap> CloneTBitmap(TBitmap* Source) {
  auto result = std::make_unique<TBitmap>();
  if (!Source) return result;
  if (Source->PixelFormat() != pfCustom) result->SetPixelFormat(Source->PixelFormat());
  if (Source->Width() > 0 && Source->Height() > 0) {
    result->SetSize(Source->Width(), Source->Height());
    const std::vector<TRGBQuad> table = Source->ColorTable();
    if (!table.empty()) result->SetColorTable(table);
    CopyRows(Source, result.get());
  }
  return result;
}

void TBitmapTo24Bit(TBitmap* Src, TBitmap* Dst, TPXProgressRecord& Progress) {
  if (!Src || !Dst) return;
  Dst->SetSize(1, 1);
  Dst->SetPixelFormat(pf24bit);
  Dst->SetSize(Src->Width(), Src->Height());
  const int32_t w = Src->Width();
  const int32_t h = Src->Height();
  Progress.PerCentPerUnit = 100.0 / (h + 0.5);
  if (w <= 0 || h <= 0) return;
  for (int32_t y = 0; y < h; ++y) {
    ExpandBitsTo24(static_cast<const uint8_t*>(Src->ScanLine(y)), static_cast<uint8_t*>(Dst->ScanLine(y)), w);
    if (Progress.Event) Progress.Event(Progress.Sender, Trunc32(Progress.PerCentPerUnit * (y + 1)));
  }
}

void CopySwapRB(void* Dest, const void* Source, int32_t Count) {
  if (Count <= 0 || !Dest || !Source) return;
  auto* d = static_cast<uint8_t*>(Dest);
  const auto* s = static_cast<const uint8_t*>(Source);
  for (int64_t i = 0; i < Count; ++i, d += 3, s += 3) {
    const uint8_t b0 = s[0], b1 = s[1], b2 = s[2];
    d[0] = b2;
    d[1] = b1;
    d[2] = b0;
  }
}

void SwapRB(void* Data, int32_t Count) { CopySwapRB(Data, Data, Count); }

void SwapRB48(void* Data, int32_t Count) {
  if (Count <= 0 || !Data) return;
  auto* p = static_cast<uint8_t*>(Data);
  for (int64_t i = 0; i < Count; ++i, p += 6) {
    // Bytes, not words: a 48-bit run need not be 16-bit aligned.
    std::swap(p[0], p[4]);
    std::swap(p[1], p[5]);
  }
}

void SwapPaletteRB(std::span<TRGB> Palette, int32_t Count) {
  const size_t n = Count <= 0 ? 0 : std::min(Palette.size(), static_cast<size_t>(Count));
  for (size_t i = 0; i < n; ++i) std::swap(Palette[i].b, Palette[i].r);
}
