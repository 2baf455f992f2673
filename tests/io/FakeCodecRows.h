// Fake rows of the format table for the I/O component's load and save tests: a tiny container
// ("FAKE", a tag byte, size, pixel format, rows, alpha rows) that round-trips any picture, with
// a log of what the writer and reader were given. A scope restores the table afterwards.
#pragma once

#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"

struct FakeCodecLog {
  int32_t Decodes = 0;
  int32_t Encodes = 0;
  TPXPixelFormat EncodedFormat = pxNoFormat;
  bool EncoderGotParams = false;
  bool EncoderGotMask = false;
  int32_t MaskBits = 0;
  std::vector<uint8_t> MaskRow0;
  TPXIcoSize IcoSize0;
  int32_t IcoBits0 = 0;
  std::vector<std::vector<uint8_t>> Markers;  // JPEG markers as the writer saw them (type byte first)
  bool PreviewOnly = false;
  // Scripted failures.
  bool ThrowOnEncode = false;
  bool AbortAfterBytes = false;  // the writer writes a few bytes, then sets the abort flag
  bool ThrowOnDecode = false;
  std::string DecodeMessage;  // the message of ThrowOnDecode (empty: "decoder failed")
  int32_t ReportedPages = 0;  // what the reader answers (0: 1)
  int32_t DecodeDpi = 1;      // the reader's resolution (below 2 asks for the default)
};

inline FakeCodecLog& FakeLog() {
  static FakeCodecLog log;
  return log;
}

inline int64_t FakeRowBytes(int32_t Width, TPXPixelFormat Format) {
  TPXBitmap probe;
  probe.Allocate(1, 1, Format);
  return (int64_t{Width} * probe.BitCount() + 7) / 8;
}

inline void FakeEncode(char Tag, TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask* Mask,
                       TPXProgressRecord& Progress) {
  FakeCodecLog& log = FakeLog();
  ++log.Encodes;
  log.EncodedFormat = Bitmap ? Bitmap->PixelFormat() : pxNoFormat;
  log.EncoderGotParams = Params != nullptr;
  log.EncoderGotMask = Mask != nullptr;
  log.MaskBits = Mask ? Mask->BitsPerPixel() : 0;
  log.MaskRow0.clear();
  if (Mask && Mask->Height() > 0) log.MaskRow0.assign(Mask->GetScanline(0), Mask->GetScanline(0) + Mask->Width());
  if (Params) {
    log.IcoSize0 = Params->ICO_Sizes[0];
    log.IcoBits0 = Params->ICO_BitCounts[0];
    log.Markers.clear();
    for (int32_t i = 0; i < Params->JPEG_Markers.GetCount(); ++i) {
      std::vector<uint8_t> m{Params->JPEG_Markers.GetMarkerType(i)};
      const uint8_t* d = Params->JPEG_Markers.GetMarkerData(i);
      m.insert(m.end(), d, d + Params->JPEG_Markers.GetMarkerLength(i));
      log.Markers.push_back(std::move(m));
    }
  }
  if (log.ThrowOnEncode) throw EPXException("encoder failed");
  if (log.AbortAfterBytes) {
    Stream->WriteBuffer("PART", 4);
    if (Progress.Aborting) *Progress.Aborting = true;
    return;
  }
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  const uint8_t format = static_cast<uint8_t>(Bitmap->PixelFormat());
  const uint8_t alpha = Bitmap->HasAlphaChannel() ? 1 : 0;
  Stream->WriteBuffer("FAKE", 4);
  Stream->WriteBuffer(&Tag, 1);
  Stream->WriteBuffer(&w, 4);
  Stream->WriteBuffer(&h, 4);
  Stream->WriteBuffer(&format, 1);
  Stream->WriteBuffer(&alpha, 1);
  const int64_t rowBytes = FakeRowBytes(w, Bitmap->PixelFormat());
  for (int32_t y = 0; y < h; ++y) Stream->WriteBuffer(Bitmap->Scanline(y), rowBytes);
  if (alpha)
    for (int32_t y = 0; y < h; ++y) Stream->WriteBuffer(Bitmap->PeekAlphaChannel()->Scanline(y), w);
}

inline int32_t FakeDecode(char Tag, TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                          bool PreviewOnly, std::unique_ptr<TPXMask>& Mask) {
  FakeCodecLog& log = FakeLog();
  ++log.Decodes;
  log.PreviewOnly = PreviewOnly;
  if (log.ThrowOnDecode) throw EPXException(log.DecodeMessage.empty() ? "decoder failed" : log.DecodeMessage);
  const auto fail = [&] {
    if (Progress.Aborting) *Progress.Aborting = true;
    return 0;
  };
  char magic[5] = {};
  int32_t w = 0, h = 0;
  uint8_t format = 0, alpha = 0;
  if (Stream->Read(magic, 5) != 5 || std::memcmp(magic, "FAKE", 4) != 0 || magic[4] != Tag) return fail();
  if (Stream->Read(&w, 4) != 4 || Stream->Read(&h, 4) != 4 || Stream->Read(&format, 1) != 1 ||
      Stream->Read(&alpha, 1) != 1)
    return fail();
  if (w <= 0 || h <= 0 || w > 4096 || h > 4096 || format == 0 || format >= PXPixelFormatCount) return fail();
  if (Params) {
    Params->Width = w;
    Params->Height = h;
    Params->SetDpiX(log.DecodeDpi);
    Params->SetDpiY(log.DecodeDpi);
  }
  const auto pf = static_cast<TPXPixelFormat>(format);
  const int64_t rowBytes = FakeRowBytes(w, pf);
  if (PreviewOnly) {
    Stream->Seek(rowBytes * h + (alpha ? int64_t{w} * h : 0), soCurrent);
    return log.ReportedPages > 0 ? log.ReportedPages : 1;
  }
  Bitmap->Allocate(w, h, pf);
  for (int32_t y = 0; y < h; ++y)
    if (Stream->Read(Bitmap->Scanline(y), static_cast<int32_t>(rowBytes)) != rowBytes) return fail();
  if (alpha) {
    Mask = std::make_unique<TPXMask>();
    Mask->AllocateBits(w, h, 8);
    for (int32_t y = 0; y < h; ++y)
      if (Stream->Read(Mask->GetScanline(y), w) != w) return fail();
  }
  return log.ReportedPages > 0 ? log.ReportedPages : 1;
}

// A row whose content test answers "FAKE" + Tag.
inline TPXFormatRow FakeRow(char Tag, TPXFormatRules Rules = {}) {
  TPXFormatRow row;
  row.Decode = [Tag](TStream* s, TPXBitmap* b, TIOParams* p, TPXProgressRecord& r, bool preview,
                     std::unique_ptr<TPXMask>& m) { return FakeDecode(Tag, s, b, p, r, preview, m); };
  row.Encode = [Tag](TStream* s, TPXBitmap* b, TIOParams* p, TPXMask* m, TPXProgressRecord& r) {
    FakeEncode(Tag, s, b, p, m, r);
  };
  row.Signature = [Tag](TStream* s) {
    char b[5] = {};
    const int64_t pos = s->Position();
    const bool yes = s->Read(b, 5) == 5 && std::memcmp(b, "FAKE", 4) == 0 && b[4] == Tag;
    s->Seek(pos, soBeginning);
    return yes;
  };
  row.Rules = std::move(Rules);
  return row;
}

// Saves the rows of the given types, and puts them back (or removes the fakes) on destruction.
class FakeRowsScope {
 public:
  explicit FakeRowsScope(std::initializer_list<TPXFileType> Types) {
    for (TPXFileType t : Types) {
      const TPXFormatRow* row = FormatRow(t);
      saved_[t] = row ? std::optional<TPXFormatRow>(*row) : std::nullopt;
    }
    FakeLog() = FakeCodecLog();
  }
  ~FakeRowsScope() {
    for (auto& [t, row] : saved_) {
      if (row) RegisterFormatRow(t, *row);
      else UnregisterFormatRow(t);
    }
    FakeLog() = FakeCodecLog();
  }
  FakeRowsScope(const FakeRowsScope&) = delete;
  FakeRowsScope& operator=(const FakeRowsScope&) = delete;
  // Registers the fake row of Type (tag: a letter of its own per type).
  void Fake(TPXFileType Type, char Tag, TPXFormatRules Rules = {}) { RegisterFormatRow(Type, FakeRow(Tag, std::move(Rules))); }
  void Remove(TPXFileType Type) { UnregisterFormatRow(Type); }

 private:
  std::map<TPXFileType, std::optional<TPXFormatRow>> saved_;
};
