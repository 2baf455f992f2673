// The DICOM pixel stage: finds the requested frame, decodes it by transfer syntax (uncompressed
// layouts, RLE, baseline JPEG, lossless JPEG, JPEG 2000) and brings grey results into display
// range with the window step, or keeps the rescaled values and sets the display levels.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include "codecs/jpegfilt.h"
#include "codecs/pxcodecs_impl.h"
#include "codecs/pxdicom.h"
#include "codecs/pxdicom_impl.h"
#include "codecs/pxdicom_ljpeg.h"
#include "codecs/pxj2000.h"
#include "core/hypxutils.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_meta.h"
#include "io/pxxBitmaps_params.h"

using namespace pxcodecs_detail;
using namespace pxdicom_detail;

namespace {

constexpr const char* kRle = "1.2.840.10008.1.2.5";

inline uint16_t Swap16(uint16_t V) { return static_cast<uint16_t>((V >> 8) | (V << 8)); }

bool IsCompressedSyntax(const std::string& T) {
  return T.rfind("1.2.840.10008.1.2.4.", 0) == 0 || T == kRle;
}

class TPixelStage {
 public:
  TPixelStage(TDicomReadContext& C, TIOParams* P, TPXAbortFlag& A) : c_(C), p_(P), s_(*C.Stream), abort_(A) {}
  void Run(TPXBitmap* Bitmap);

 private:
  // Progress by rows of the frame, reported when the rounded per-cent value changes.
  void RowDone(int64_t Done, int64_t Total) {
    if (!c_.Progress.Event || Total <= 0) return;
    const auto per = static_cast<int32_t>(Round(Done * 100.0L / Total));
    if (per != last_) {
      last_ = per;
      c_.Progress.Event(c_.Progress.Sender, per);
    }
  }
  bool Fits(int64_t Bytes) const { return pos_ + Bytes <= c_.StreamSize + 2; }
  bool Read(void* Buffer, int64_t Count) { return ReadFully(&s_, Buffer, Count) == Count; }
  bool Seek(int64_t P) {
    if (P < 0 || P > c_.StreamSize) return false;
    s_.Seek(P, soBeginning);
    return true;
  }
  bool ReadItem(uint32_t& Length);
  bool LocateFrame();
  void Uncompressed(TPXBitmap* B);
  void Rle(TPXBitmap* B);
  void Jpeg(TPXBitmap* B);
  void Jpeg2000(TPXBitmap* B);
  void Lossless(TPXBitmap* B);
  // Bytes of one uncompressed frame; 1-bit frames are packed across rows.
  int64_t FrameBytes() const {
    if (c_.BitsAllocated == 1) return (int64_t(c_.Columns) * c_.Rows * c_.SamplesPerPixel + 7) / 8;
    return ((int64_t(c_.Columns) * c_.BitsAllocated + 7) / 8) * c_.Rows * c_.SamplesPerPixel;
  }
  bool IsPalette() const { return c_.Photometric == "PALETTE COLOR"; }
  bool Mono1() const { return c_.Photometric == "MONOCHROME1"; }
  void PaletteColour(uint32_t Index, bool Wide, uint8_t* Bgr, uint16_t* Rgb48) const;
  void EnsureLuts();

  int32_t Signed(int32_t V) const {
    const int32_t bs = std::clamp(c_.BitsStored, 1, 32);
    if (c_.PixelRepresentation == 1 && bs < 32 && (V >> (bs - 1)) & 1) return V - (1 << bs);
    return V;
  }
  void Window8(TPXBitmap* B) { Window(B, false); }
  void Window16(TPXBitmap* B) { Window(B, true); }
  void Window(TPXBitmap* B, bool Wide);
  void Invert8(TPXBitmap* B);

  TDicomReadContext& c_;
  TIOParams* p_;
  TPXBufferedReadStream& s_;
  TPXAbortFlag& abort_;
  int64_t pos_ = 0;         // where the frame's data starts
  int64_t compressed_ = 0;  // its size in encapsulated data
  int32_t last_ = -1;
};

bool TPixelStage::ReadItem(uint32_t& Length) {
  uint8_t b[8];
  if (!Read(b, 8) || GetLE16(b) != 0xFFFE || GetLE16(b + 2) != 0xE000) return false;
  Length = GetLE32(b + 4);
  return true;
}

bool TPixelStage::LocateFrame() {
  const int32_t index = p_->ImageIndex;
  uint8_t b[4];
  if (!Read(b, 4)) return false;
  uint16_t g = GetLE16(b), e = GetLE16(b + 2);
  if (!c_.LittleEndian) g = Swap16(g), e = Swap16(e);
  if (!(g == 0xFFFE && e == 0xE000)) {
    if (!Seek(s_.Position() - 4)) return false;
    pos_ = s_.Position();
    // Every syntax read as uncompressed data (also a data set without file meta) skips frames.
    if (!IsCompressedSyntax(c_.TransferSyntax)) {
      const int64_t frame = FrameBytes();
      pos_ += frame * index;
      if (pos_ > c_.StreamSize) return false;
      Seek(pos_);
    }
    compressed_ = 0;
    return true;
  }
  uint32_t tableLength;
  uint8_t l[4];
  if (!Read(l, 4)) return false;
  tableLength = GetLE32(l);
  const int64_t tableStart = s_.Position();
  if (int64_t(tableLength) > c_.StreamSize - tableStart) return false;
  const int64_t afterTable = tableStart + tableLength;
  int64_t entries = std::min<int64_t>(tableLength / 4, c_.FrameCount);
  if (tableLength > 0 && index < entries) {
    std::vector<uint8_t> table(size_t(entries) * 4);
    if (!Read(table.data(), int64_t(table.size()))) return false;
    if (!Seek(afterTable + GetLE32(table.data() + 4 * size_t(index)))) return false;
  } else {
    // No table, or one that does not reach the frame: one fragment per preceding frame.
    if (!Seek(afterTable)) return false;
    for (int32_t i = 0; i < index; ++i) {
      uint32_t length;
      if (!ReadItem(length) || !Seek(s_.Position() + length)) return false;
    }
  }
  uint32_t length;
  if (!ReadItem(length)) return false;
  pos_ = s_.Position();
  compressed_ = length;
  return true;
}

void TPixelStage::EnsureLuts() {
  // A palette picture without tables reads through a grey ramp.
  const int32_t bits = std::clamp(c_.BitsAllocated, 1, 16);
  const size_t n = size_t(1) << bits;
  for (std::vector<uint16_t>* lut : {&c_.RedLut, &c_.GreenLut, &c_.BlueLut}) {
    if (!lut->empty()) continue;
    lut->resize(n);
    for (size_t i = 0; i < n; ++i) (*lut)[i] = uint16_t(n == 1 ? 0 : i * 65535 / (n - 1));
  }
}

void TPixelStage::PaletteColour(uint32_t Index, bool Wide, uint8_t* Bgr, uint16_t* Rgb48) const {
  const auto at = [&](const std::vector<uint16_t>& L) -> uint16_t { return Index < L.size() ? L[Index] : 0; };
  const uint16_t r = at(c_.RedLut), g = at(c_.GreenLut), b = at(c_.BlueLut);
  if (Wide) {
    Rgb48[0] = r, Rgb48[1] = g, Rgb48[2] = b;
  } else {
    Bgr[0] = uint8_t(b / 257), Bgr[1] = uint8_t(g / 257), Bgr[2] = uint8_t(r / 257);
  }
}

void TPixelStage::Window(TPXBitmap* B, bool Wide) {
  if (B->IsEmpty()) return;
  const uint8_t range = p_->DICOM_Range;
  // Windows belong to grey pictures; colour ones keep their values.
  if (range > 1 || c_.SamplesPerPixel != 1) return;
  const int32_t w = B->Width(), h = B->Height();
  const int32_t perRow = Wide ? w : w * std::min(c_.SamplesPerPixel, B->PixelFormat() == px24RGB ? 3 : 1);
  const auto sample = [&](int32_t y, int32_t x) -> int32_t {
    const uint8_t* r = B->Scanline(y);
    return Wide ? reinterpret_cast<const uint16_t*>(r)[x] : r[x];
  };
  double center = c_.WindowCenter, width = c_.WindowWidth;
  const double slope = c_.RescaleSlope, intercept = c_.RescaleIntercept;
  if (width == 0) center = width = kNotSet;
  if ((center == kNotSet || width == kNotSet) && c_.SmallestPixel != kIntNotSet && c_.LargestPixel != kIntNotSet) {
    center = (double(c_.SmallestPixel) + c_.LargestPixel) / 2;
    width = double(c_.LargestPixel) - c_.SmallestPixel;
  }
  if (!(center != kNotSet && width != kNotSet && !(center == 0 && width == 0))) {
    int32_t lo = INT32_MAX, hi = INT32_MIN;
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < perRow; ++x) {
        const int32_t v = Signed(sample(y, x));
        lo = std::min(lo, v), hi = std::max(hi, v);
      }
    const double low = intercept + slope * lo;
    width = (slope * hi + intercept) - low + 1;
    center = low + width / 2;
  }
  const bool mono1 = Mono1();
  if (range == 0) {
    const double a = double(Round(center - 0.5 - (width - 1) / 2));
    const double b = double(Round(center - 0.5 + (width - 1) / 2));
    const double d = a == b ? 2 : b - a;
    const double top = Wide ? 65535.0 : 255.0;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* r = B->Scanline(y);
      for (int32_t x = 0; x < perRow; ++x) {
        const double e = std::clamp(Signed(sample(y, x)) * slope + intercept, std::min(a, b), std::max(a, b));
        const auto v = static_cast<int32_t>(Round((e - a) / d * top));
        if (Wide) {
          const int32_t clamped = std::clamp(v, 0, 65535);
          reinterpret_cast<uint16_t*>(r)[x] = uint16_t(mono1 ? 65535 - clamped : clamped);
        } else {
          r[x] = uint8_t(std::clamp(v, 0, 255));
        }
      }
    }
    return;
  }
  // Display levels: the samples keep their (rescaled) values.
  const int32_t bs = std::clamp(c_.BitsStored, 1, Wide ? 16 : 8);
  const bool isSigned = c_.PixelRepresentation == 1;
  const int32_t half = 1 << (bs - 1);
  const uint32_t full = (uint32_t(1) << bs) - 1;
  if (Wide && mono1)
    for (int32_t y = 0; y < h; ++y) {
      auto* r = reinterpret_cast<uint16_t*>(B->Scanline(y));
      for (int32_t x = 0; x < perRow; ++x) r[x] = uint16_t(full - std::min<uint32_t>(r[x], full));
    }
  const double offset = isSigned ? half - intercept : -intercept;
  if (isSigned || slope != 1 || !Wide) {
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* r = B->Scanline(y);
      for (int32_t x = 0; x < perRow; ++x) {
        int64_t v = sample(y, x);
        if (isSigned) {
          v = Wide ? int16_t(uint16_t(v)) : int8_t(uint8_t(v));
          v = v < half ? v + half : v - half;
        }
        const int64_t out = Round(v * slope);
        if (Wide) reinterpret_cast<uint16_t*>(r)[x] = uint16_t(std::clamp<int64_t>(out, 0, 65535));
        else r[x] = uint8_t(std::clamp<int64_t>(out, 0, 255));
      }
    }
  }
  p_->DICOM_ValueOffset = offset;
  center += offset;
  B->FDisplayRangeLow = center - double(Round(width / 2));
  B->FDisplayRangeHigh = double(Round(width / 2)) + center;
}

void TPixelStage::Invert8(TPXBitmap* B) {
  if (!Mono1() || p_->DICOM_Range > 1 || B->IsEmpty()) return;
  const int32_t n = B->Width() * std::min(c_.SamplesPerPixel, B->PixelFormat() == px24RGB ? 3 : 1);
  for (int32_t y = 0; y < B->Height(); ++y) {
    uint8_t* r = B->Scanline(y);
    for (int32_t x = 0; x < n; ++x) r[x] = uint8_t(~r[x]);
  }
}

void TPixelStage::Uncompressed(TPXBitmap* B) {
  const int32_t w = c_.Columns, h = c_.Rows, spp = c_.SamplesPerPixel, bs = c_.BitsStored, ba = c_.BitsAllocated;
  const int64_t frame = FrameBytes();
  if (!Fits(frame)) {
    abort_ = true;
    return;
  }
  const bool big = !c_.LittleEndian;
  std::vector<uint8_t> row;
  if (spp == 1 && bs == 1) {
    // One bit per pixel, packed across rows with the first pixel in the lowest bit.
    const int64_t bytes = (int64_t(w) * h + 7) / 8;
    if (!Fits(bytes)) return void(abort_ = true);
    std::vector<uint8_t> bits(size_t(bytes), 0);
    Read(bits.data(), bytes);
    if (!B->Allocate(w, h, px1g)) return void(abort_ = true);
    int64_t i = 0;
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* r = B->Scanline(y);
      std::memset(r, 0, size_t((w + 7) / 8));
      for (int32_t x = 0; x < w; ++x, ++i)
        if ((bits[size_t(i >> 3)] >> (i & 7)) & 1) r[x >> 3] |= uint8_t(0x80 >> (x & 7));
      RowDone(y + 1, h);
    }
    return;
  }
  if (spp == 1 && bs == 12 && ba == 12 && !IsPalette()) {
    if (!Fits(int64_t(w) * h * 3 / 2)) return void(abort_ = true);
    if (!B->Allocate(w, h, px16g)) return void(abort_ = true);
    // Packed pairs run on across rows; they start at the frame.
    uint8_t t[3];
    int32_t pending = -1;
    int64_t i = 0;
    for (int32_t y = 0; y < h && !abort_; ++y) {
      auto* r = reinterpret_cast<uint16_t*>(B->Scanline(y));
      for (int32_t x = 0; x < w; ++x, ++i) {
        if (pending >= 0) {
          r[x] = uint16_t(pending);
          pending = -1;
          continue;
        }
        std::memset(t, 0, 3);
        Read(t, 3);
        r[x] = uint16_t(((t[1] << 8) & 0x0F00) | t[0]);
        pending = ((t[1] >> 4) & 0x0F) | (t[2] << 4);
      }
      RowDone(y + 1, h);
    }
    Window16(B);
    return;
  }
  if (spp == 1 && bs >= 9 && bs <= 16) {
    if (!Fits(int64_t(w) * h * 2)) return void(abort_ = true);
    const bool palette = IsPalette();
    if (palette) EnsureLuts();
    if (!B->Allocate(w, h, palette ? pxRGB48 : px16g)) return void(abort_ = true);
    row.assign(size_t(w) * 2, 0);
    for (int32_t y = 0; y < h && !abort_; ++y) {
      std::fill(row.begin(), row.end(), 0);
      Read(row.data(), int64_t(row.size()));
      auto* r = reinterpret_cast<uint16_t*>(B->Scanline(y));
      for (int32_t x = 0; x < w; ++x) {
        uint16_t v = GetLE16(row.data() + 2 * x);
        if (big) v = Swap16(v);
        if (palette) PaletteColour(v, true, nullptr, r + 3 * x);
        else r[x] = v;
      }
      RowDone(y + 1, h);
    }
    if (!palette) Window16(B);
    return;
  }
  if (spp == 1 && bs >= 17 && bs <= 32) {
    if (!Fits(int64_t(w) * h * 4)) return void(abort_ = true);
    if (c_.Photometric != "MONOCHROME2") return;
    if (!B->Allocate(w, h, px32f)) return void(abort_ = true);
    row.assign(size_t(w) * 4, 0);
    for (int32_t y = 0; y < h && !abort_; ++y) {
      std::fill(row.begin(), row.end(), 0);
      Read(row.data(), int64_t(row.size()));
      auto* r = reinterpret_cast<float*>(B->Scanline(y));
      for (int32_t x = 0; x < w; ++x) {
        uint32_t v = GetLE32(row.data() + 4 * x);
        if (big) v = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
        r[x] = float(v);
      }
      RowDone(y + 1, h);
    }
    return;
  }
  if (bs < 1 || bs > 8 || (spp != 1 && spp != 3)) return;  // nothing this reader can show
  const int32_t shift = 8 - bs;
  const int32_t step = ba == 16 ? 2 : 1;
  if (spp == 1) {
    const bool palette = IsPalette();
    if (palette) EnsureLuts();
    if (!B->Allocate(w, h, palette ? px24RGB : px8g)) return void(abort_ = true);
    row.assign(size_t(w) * step, 0);
    for (int32_t y = 0; y < h && !abort_; ++y) {
      std::fill(row.begin(), row.end(), 0);
      Read(row.data(), int64_t(row.size()));
      uint8_t* r = B->Scanline(y);
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t v = uint8_t(row[size_t(x) * step + (big && step == 2 ? 1 : 0)] << shift);
        if (palette) PaletteColour(v, false, r + 3 * x, nullptr);
        else r[x] = v;
      }
      RowDone(y + 1, h);
    }
    if (!palette) {
      Window8(B);
      Invert8(B);
    }
    return;
  }
  if (!B->Allocate(w, h, px24RGB)) return void(abort_ = true);
  if (c_.PlanarConfiguration == 1) {
    row.assign(size_t(w), 0);
    for (int32_t plane = 0; plane < 3 && !abort_; ++plane)
      for (int32_t y = 0; y < h && !abort_; ++y) {
        std::fill(row.begin(), row.end(), 0);
        Read(row.data(), w);
        uint8_t* r = B->Scanline(y);
        for (int32_t x = 0; x < w; ++x) r[3 * x + 2 - plane] = uint8_t(row[size_t(x)] << shift);
        RowDone(int64_t(plane) * h + y + 1, int64_t(3) * h);
      }
  } else {
    row.assign(size_t(w) * 3, 0);
    const bool ybr = bs == 8 && c_.Photometric == "YBR_FULL";
    for (int32_t y = 0; y < h && !abort_; ++y) {
      std::fill(row.begin(), row.end(), 0);
      Read(row.data(), int64_t(row.size()));
      uint8_t* r = B->Scanline(y);
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* s = row.data() + 3 * x;
        if (ybr) {
          TRGB c;
          YCbCrToRGB(c, s[0], s[1], s[2]);
          r[3 * x] = c.b, r[3 * x + 1] = c.g, r[3 * x + 2] = c.r;
        } else {
          r[3 * x] = uint8_t(s[2] << shift), r[3 * x + 1] = uint8_t(s[1] << shift), r[3 * x + 2] = uint8_t(s[0] << shift);
        }
      }
      RowDone(y + 1, h);
    }
    if (ybr) {
      Window8(B);
      Invert8(B);
      return;
    }
  }
  Window8(B);
}

void TPixelStage::Rle(TPXBitmap* B) {
  const int32_t w = c_.Columns, h = c_.Rows, spp = c_.SamplesPerPixel, bs = c_.BitsStored;
  if (compressed_ < 64 || pos_ + compressed_ > c_.StreamSize) return void(abort_ = true);
  uint8_t header[64];
  if (!Read(header, 64)) return void(abort_ = true);
  const uint32_t segments = GetLE32(header);
  if (segments < 1 || segments > 15) return void(abort_ = true);
  const int64_t plane = int64_t(w) * h;
  if (w <= 0 || h <= 0) return void(abort_ = true);
  uint32_t offsets[16];
  for (uint32_t i = 0; i < segments; ++i) {
    offsets[i] = GetLE32(header + 4 + 4 * i);
    if (offsets[i] < 64 || offsets[i] > compressed_) return void(abort_ = true);
  }
  offsets[segments] = uint32_t(compressed_);
  // One buffer per segment the layout uses.
  const auto segment = [&](uint32_t Index, std::vector<uint8_t>& Out) -> bool {
    Out.assign(size_t(plane), 0);
    if (Index >= segments) return false;
    const int64_t start = pos_ + offsets[Index];
    const int64_t end = Index + 1 < segments && offsets[Index + 1] > offsets[Index] ? pos_ + offsets[Index + 1]
                                                                                    : pos_ + compressed_;
    if (!Seek(start)) return false;
    DecodeDicomRleSegment(&s_, Out.data(), plane, end - start);
    return true;
  };
  std::vector<uint8_t> s1, s2, s3;
  const bool palette = IsPalette();
  if (palette) EnsureLuts();
  if (spp == 1 && bs <= 8) {
    if (!segment(0, s1)) return void(abort_ = true);
    if (!B->Allocate(w, h, palette ? px24RGB : px8g)) return void(abort_ = true);
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* r = B->Scanline(y);
      const uint8_t* s = s1.data() + int64_t(y) * w;
      for (int32_t x = 0; x < w; ++x)
        if (palette) PaletteColour(s[x], false, r + 3 * x, nullptr);
        else r[x] = s[x];
      RowDone(y + 1, h);
    }
    if (!palette) {
      Window8(B);
      Invert8(B);
    }
    return;
  }
  if (spp == 1 && bs <= 16) {
    if (!segment(0, s1) || !segment(1, s2)) return void(abort_ = true);
    if (!B->Allocate(w, h, palette ? px24RGB : px16g)) return void(abort_ = true);
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* r = B->Scanline(y);
      const int64_t o = int64_t(y) * w;
      for (int32_t x = 0; x < w; ++x) {
        const uint16_t v = uint16_t((s1[size_t(o + x)] << 8) | s2[size_t(o + x)]);
        if (palette) PaletteColour(v, false, r + 3 * x, nullptr);
        else reinterpret_cast<uint16_t*>(r)[x] = v;
      }
      RowDone(y + 1, h);
    }
    if (!palette) Window16(B);
    return;
  }
  if (spp == 3 && bs <= 8) {
    if (!segment(0, s1) || !segment(1, s2) || !segment(2, s3)) return void(abort_ = true);
    if (!B->Allocate(w, h, px24RGB)) return void(abort_ = true);
    const bool ybr = bs == 8 && c_.Photometric == "YBR_FULL";
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* r = B->Scanline(y);
      const int64_t o = int64_t(y) * w;
      for (int32_t x = 0; x < w; ++x) {
        const size_t i = size_t(o + x);
        if (ybr) {
          TRGB c;
          YCbCrToRGB(c, s1[i], s2[i], s3[i]);
          r[3 * x] = c.b, r[3 * x + 1] = c.g, r[3 * x + 2] = c.r;
        } else {
          r[3 * x] = s3[i], r[3 * x + 1] = s2[i], r[3 * x + 2] = s1[i];
        }
      }
      RowDone(y + 1, h);
    }
    Window8(B);
    Invert8(B);
    return;
  }
  abort_ = true;
}

void TPixelStage::Jpeg(TPXBitmap* B) {
  TIOParams params;
  TPXProgressRecord progress = c_.Progress;
  TPXAbortFlag own{false};
  progress.Aborting = &own;
  DecodeJpegStream(&s_, nullptr, B, &params, progress, false, false, false, false, false, false, -1,
                   c_.SamplesPerPixel == 1);
  if (own) return void(abort_ = true);
  Window8(B);
  if (c_.SamplesPerPixel == 1) Invert8(B);
}

void TPixelStage::Jpeg2000(TPXBitmap* B) {
  const int64_t size = compressed_ > 0 ? compressed_ : c_.StreamSize - pos_;
  if (size <= 0) return void(abort_ = true);
  TMemoryStream data;
  data.SetSize(size);
  if (!Read(data.Memory(), size)) return void(abort_ = true);
  data.Seek(0, soBeginning);
  TIOParams params;
  params.NativePixelFormat = true;
  TPXProgressRecord progress = c_.Progress;
  TPXAbortFlag own{false};
  progress.Aborting = &own;
  // The code stream's header first: a frame must have the data set's size, and a frame far
  // larger than its bytes could plausibly code (over 1024 samples per byte beyond a few
  // megapixels) is refused before the decoder allocates and walks it.
  DecodeJpeg2000Stream(&data, nullptr, &params, true, progress);
  if (own || params.Width != c_.Columns || params.Height != c_.Rows) return void(abort_ = true);
  const uint64_t samples = uint64_t(params.Width) * uint64_t(params.Height) * uint64_t(std::max(1, params.SamplesPerPixel));
  if (samples > (uint64_t{1} << 22) && samples / 1024 > uint64_t(size)) return void(abort_ = true);
  data.Seek(0, soBeginning);
  DecodeJpeg2000Stream(&data, B, &params, false, progress);
  if (own || B->IsEmpty()) return void(abort_ = true);
  c_.BitsStored = params.BitsPerSample;
  const int32_t bs = c_.BitsStored;
  if (c_.SamplesPerPixel == 1 && c_.BitsAllocated == 16 && bs < 16 && B->PixelFormat() == px16g) {
    const int32_t full = (1 << bs) - 1;
    const int32_t m = c_.LargestPixel != kIntNotSet && c_.LargestPixel < full ? c_.LargestPixel : full;
    for (int32_t y = 0; y < B->Height(); ++y) {
      auto* r = reinterpret_cast<uint16_t*>(B->Scanline(y));
      for (int32_t x = 0; x < B->Width(); ++x) {
        if (c_.PixelRepresentation == 1) {
          r[x] = uint16_t(Round(double(m) * int16_t(r[x]) / 16383.0));
        } else if (m == full) {
          // The reader put the samples at the top of the word: back to their stored bits.
          r[x] = uint16_t(r[x] >> (16 - bs));
        } else {
          r[x] = uint16_t(Round(double(m) * r[x] / 65535.0));
        }
      }
    }
  }
  if (bs <= 8) Window8(B);
  if (c_.SamplesPerPixel == 1) {
    if (bs <= 8) Invert8(B);
    else Window16(B);
  }
}

void TPixelStage::Lossless(TPXBitmap* B) {
  const int64_t size = compressed_ > 0 ? compressed_ : c_.StreamSize - pos_;
  const int32_t w = c_.Columns, h = c_.Rows, spp = c_.SamplesPerPixel, bs = c_.BitsStored;
  if (w <= 0 || h <= 0 || size <= 0) return void(abort_ = true);
  TPXPixelFormat f;
  if (spp == 1 && bs <= 8) f = px8g;
  else if (spp == 1 && bs <= 16) f = px16g;
  else if (spp == 3 && bs <= 8) f = px24RGB;
  else return void(abort_ = true);
  const int64_t samples = int64_t(w) * h * spp;
  // The frame is bounded by the data: a lossless sample takes at least one bit.
  if (samples > size * 8 + 64) return void(abort_ = true);
  // Grey frames whose bitmap rows lie one after the other, top down and unpadded, are decoded
  // straight into the bitmap; others go through a sample buffer.
  if (f != px24RGB && h > 0) {
    if (!B->Allocate(w, h, f)) return void(abort_ = true);
    const int64_t rowBytes = int64_t(w) * (f == px16g ? 2 : 1);
    const bool contiguous = h == 1 || B->Scanline(1) - B->Scanline(0) == rowBytes;
    if (contiguous) {
      uint8_t* first = B->Scanline(0);
      std::memset(first, 0, size_t(rowBytes * h));  // what a short or non-lossless frame leaves
      if (!DecodeLosslessJpeg(&s_, f == px16g ? reinterpret_cast<uint16_t*>(first) : nullptr,
                              f == px8g ? first : nullptr, samples, c_.Progress.Event, c_.Progress.Sender, size))
        return void(abort_ = true);
      if (f == px8g) {
        Window8(B);
        Invert8(B);
      } else {
        Window16(B);
      }
      return;
    }
  }
  std::vector<uint8_t> s8;
  std::vector<uint16_t> s16;
  if (f == px16g) s16.assign(size_t(samples), 0);
  else s8.assign(size_t(samples), 0);
  if (!DecodeLosslessJpeg(&s_, s16.empty() ? nullptr : s16.data(), s8.empty() ? nullptr : s8.data(), samples,
                          c_.Progress.Event, c_.Progress.Sender, size))
    return void(abort_ = true);
  if (!B->Allocate(w, h, f)) return void(abort_ = true);
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* r = B->Scanline(y);
    const int64_t o = int64_t(y) * w * spp;
    if (f == px16g) std::memcpy(r, s16.data() + o, size_t(w) * 2);
    else if (f == px8g) std::memcpy(r, s8.data() + o, size_t(w));
    else
      for (int32_t x = 0; x < w; ++x) {
        const uint8_t* s = s8.data() + o + 3 * x;
        r[3 * x] = s[2], r[3 * x + 1] = s[1], r[3 * x + 2] = s[0];
      }
  }
  if (f == px8g) {
    Window8(B);
    Invert8(B);
  } else if (f == px16g) {
    Window16(B);
  } else {
    Window8(B);
  }
}

void TPixelStage::Run(TPXBitmap* Target) {
  p_->ImageIndex = std::clamp(p_->ImageIndex, 0, std::max(c_.FrameCount - 1, 0));
  p_->DICOM_ValueOffset = 0;
  if (!LocateFrame()) return void(abort_ = true);
  if (pos_ + compressed_ > c_.StreamSize) return void(abort_ = true);
  if (TPXDicomItems* voi = c_.Params->GetDicomTags()->GetChildren(0x0028, 0x3110)) {
    int32_t i;
    if (TPXDicomTags* t = TPXDicomTags::FindTagInItems(0x0028, 0x1050, voi, i))
      c_.WindowCenter = DicomTextToFloat(t->GetTagText(i), c_.WindowCenter);
    if (TPXDicomTags* t = TPXDicomTags::FindTagInItems(0x0028, 0x1051, voi, i))
      c_.WindowWidth = DicomTextToFloat(t->GetTagText(i), c_.WindowWidth);
  }
  // Frames no bigger than the data could describe: at most 2^31 - 1 pixels a side, and
  // uncompressed ones are checked against the stream.
  if (c_.Columns <= 0 || c_.Rows <= 0 || c_.SamplesPerPixel <= 0 || c_.SamplesPerPixel > 4) return;
  const std::string& t = c_.TransferSyntax;
  const std::string base = "1.2.840.10008.1.2.4.";
  if (t == base + "50" || t == base + "51") Jpeg(Target);
  else if (t == base + "90" || t == base + "91") Jpeg2000(Target);
  else if (t == base + "70" || t == base + "57") Lossless(Target);
  else if (t == base + "100" || t == base + "101" || t == base + "102" || t == base + "103") abort_ = true;
  else if (t == kRle) Rle(Target);
  else Uncompressed(Target);
}

}  // namespace

namespace pxdicom_detail {

void DecodeDicomPixels(TDicomReadContext& C, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                       TPXAbortFlag& Aborting) {
  Params->BitsPerSample = C.BitsStored;
  Params->SamplesPerPixel = C.SamplesPerPixel;
  Params->Width = C.Columns;
  Params->Height = C.Rows;
  Params->OriginalWidth = C.Columns;
  Params->OriginalHeight = C.Rows;
  Params->SetImageCount(C.FrameCount);
  Params->DICOM_RangeValues = {C.RescaleIntercept, C.RescaleSlope, C.WindowCenter == kNotSet ? 0 : C.WindowCenter,
                               C.WindowWidth == kNotSet ? 0 : C.WindowWidth};
  if (PreviewOnly || !Bitmap) return;
  const int64_t at = C.PixelPos >= 0 ? C.PixelPos : C.JpegPixelPos;
  if (at < 0) return;
  C.Stream->Seek(at, soBeginning);
  std::unique_ptr<TPXBitmap> temporary;
  TPXBitmap* target = Bitmap;
  if (Bitmap->Location() == pxTBitmap) {
    temporary = std::make_unique<TPXBitmap>();
    temporary->SetLocation(pxMemory);
    target = temporary.get();
  }
  TPixelStage stage(C, Params, Aborting);
  stage.Run(target);
  if (temporary && !temporary->IsEmpty()) {
    if (temporary->PixelFormat() != px1g && temporary->PixelFormat() != px24RGB) temporary->SetPixelFormat(px24RGB);
    Bitmap->AssignFrom(temporary.get(), false);
  }
}

}  // namespace pxdicom_detail

int64_t DecodeDicomRleSegment(TStream* Stream, uint8_t* Buffer, int64_t Count, int64_t Size) {
  int64_t filled = 0, used = 0;
  uint8_t n, v;
  while (filled < Count && used < Size) {
    if (Stream->Read(&n, 1) != 1) break;
    ++used;
    const auto control = static_cast<int8_t>(n);
    if (control >= 0) {
      const int64_t run = std::min<int64_t>(control + 1, Size - used);
      const int64_t keep = std::min(run, Count - filled);
      const int64_t got = ReadFully(Stream, Buffer + filled, keep);
      filled += got;
      used += got;
      if (got < keep) break;
      if (run > keep) {
        Stream->Seek(run - keep, soCurrent);
        used += run - keep;
      }
    } else if (control != -128) {
      if (used >= Size || Stream->Read(&v, 1) != 1) break;
      ++used;
      const int64_t run = std::min<int64_t>(1 - control, Count - filled);
      std::memset(Buffer + filled, v, size_t(run));
      filled += run;
    }
  }
  return used;
}
