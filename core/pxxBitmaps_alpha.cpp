// The alpha channel of TPXBitmap: creation, replacement, removal, merging with a background,
// feathering, the fully-opaque flag and the fourth byte of 32-bit pictures.
#include <algorithm>
#include <cstring>
#include <vector>

#include "core/pxxBitmaps.h"

TPXBitmap* TPXBitmap::GetAlphaChannel() {
  if (FIsAlphaChannel) return nullptr;
  if (!FAlphaChannel) FAlphaChannel = CreateAlphaChannel(GetWidth(), FLocation, GetHeight());
  return FAlphaChannel.get();
}

TPXBitmap* TPXBitmap::PeekAlphaChannel() { return FAlphaChannel.get(); }

std::unique_ptr<TPXBitmap> TPXBitmap::CreateAlphaChannel(int32_t Width, TPXBitmapLocation Location, int32_t Height) {
  auto alpha = std::make_unique<TPXBitmap>();
  alpha->FExternalTBitmap = 0;
  alpha->FExternalMemory = 0;
  alpha->FIsAlphaChannel = 1;
  alpha->FLocation = Location == pxTBitmap ? pxMemory : Location;
  alpha->Allocate(Width, Height, px8g);
  alpha->Fill(255);
  return alpha;
}

void TPXBitmap::ReplaceAlphaChannel(std::unique_ptr<TPXBitmap> Bitmap) {
  if (Bitmap && Bitmap.get() == FAlphaChannel.get()) {
    (void)Bitmap.release();  // already ours
    return;
  }
  if (FIsAlphaChannel) return;  // an alpha channel has none of its own
  FAlphaChannel = std::move(Bitmap);
  if (FAlphaChannel) FAlphaChannel->FIsAlphaChannel = 1;
  DoChange();
}

std::unique_ptr<TPXBitmap> TPXBitmap::DetachAlphaChannel(bool CreateIfMissing) {
  if (CreateIfMissing) GetAlphaChannel();
  std::unique_ptr<TPXBitmap> alpha = std::move(FAlphaChannel);
  if (alpha) DoChange();
  return alpha;
}

void TPXBitmap::RemoveAlphaChannel(bool Merge, TColor BackgroundColor) {
  if (FIsAlphaChannel || !FAlphaChannel) return;
  if (Merge) MergeAlphaWithColor(BackgroundColor);
  FAlphaChannel.reset();
  DoChange();
}

// v := b + floor((v - b) * A / 256), in 32-bit integers as ((v - b) * (A * 1024)) >> 18: an
// opaque channel above the background comes out one lower, which flattening relies on.
void TPXBitmap::MergeAlphaWithColor(TColor BackgroundColor) {
  if (!FAlphaChannel || GetPixelFormat() != px24RGB) return;
  const TRGB bg = TColorToRGB(BackgroundColor);
  const int32_t w = std::min(GetWidth(), FAlphaChannel->GetWidth());
  const int32_t h = std::min(GetHeight(), FAlphaChannel->GetHeight());
  const int32_t bb = bg.b, bgg = bg.g, br = bg.r;
  for (int32_t y = 0; y < h; ++y) {
    auto* px = static_cast<uint8_t*>(GetScanline(y));
    const auto* a = static_cast<const uint8_t*>(FAlphaChannel->GetScanline(y));
    for (int32_t x = 0; x < w; ++x, px += 3) {
      const int32_t k = a[x] * 1024;
      px[0] = static_cast<uint8_t>(bb + (((px[0] - bb) * k) >> 18));
      px[1] = static_cast<uint8_t>(bgg + (((px[1] - bgg) * k) >> 18));
      px[2] = static_cast<uint8_t>(br + (((px[2] - br) * k) >> 18));
    }
  }
  DoChange();
}

void TPXBitmap::FeatherAlphaEdges(int32_t Width) {
  if (FIsAlphaChannel || !FAlphaChannel) return;
  TPXBitmap* alpha = FAlphaChannel.get();
  const int32_t w = alpha->GetWidth(), h = alpha->GetHeight();
  if (w <= 0 || h <= 0) return;
  if (Width > 0) {
    const int32_t step = 256 / Width;
    // One running value: alpha may rise by at most Step per pixel away from a lower value.
    auto scan = [step](int32_t& r, uint8_t& p) {
      if (r < p) {
        r = std::min(r + step, 255);
        p = static_cast<uint8_t>(r);
      } else {
        r = p;
      }
    };
    for (int32_t y = 0; y < h; ++y) {
      auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
      int32_t r = 0;
      for (int32_t x = 0; x < w; ++x) scan(r, row[x]);
      r = 0;
      for (int32_t x = w - 1; x >= 0; --x) scan(r, row[x]);
    }
    std::vector<int32_t> run(static_cast<size_t>(w));
    std::fill(run.begin(), run.end(), 0);
    for (int32_t y = 0; y < h; ++y) {
      auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
      for (int32_t x = 0; x < w; ++x) scan(run[x], row[x]);
    }
    std::fill(run.begin(), run.end(), 0);
    for (int32_t y = h - 1; y >= 0; --y) {
      auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
      for (int32_t x = 0; x < w; ++x) scan(run[x], row[x]);
    }
  }
  std::vector<uint8_t> copy(static_cast<size_t>(w) * static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y)
    std::memcpy(&copy[static_cast<size_t>(y) * w], alpha->GetScanline(y), static_cast<size_t>(w));
  auto at = [&](int32_t x, int32_t y) -> int32_t { return copy[static_cast<size_t>(y) * w + x]; };
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(alpha->GetScanline(y));
    const int32_t up = std::max(y - 1, 0), down = std::min(y + 1, h - 1);
    for (int32_t x = 0; x < w; ++x) {
      if (at(x, y) == 0) continue;
      const int32_t left = x > 0 ? at(x - 1, y) : 0;
      const int32_t right = x < w - 1 ? at(x + 1, y) : 0;
      row[x] = static_cast<uint8_t>((left + right + at(x, up) + at(x, down)) >> 2);
    }
  }
  alpha->FFull = 0;
  DoChange();
}

void TPXBitmap::UpdateFull() {
  const int32_t w = GetWidth(), h = GetHeight();
  const int64_t used = (static_cast<int64_t>(w) * GetBitCount() + 7) / 8;
  bool full = w > 0 && h > 0 && used > 0;
  for (int32_t y = 0; full && y < h; ++y) {
    const auto* row = static_cast<const uint8_t*>(GetScanline(y));
    if (!row) {
      full = false;
      break;
    }
    for (int64_t i = 0; i < used; ++i)
      if (row[i] != 255) {
        full = false;
        break;
      }
  }
  FFull = full ? 1 : 0;
}

void TPXBitmap::SyncAlpha32(bool ToAlpha, bool ChangeFormat) {
  if (ToAlpha) {
    if (GetPixelFormat() == px32RGB) {
      TPXBitmap* alpha = GetAlphaChannel();
      const int32_t w = std::min(GetWidth(), alpha->GetWidth()), h = std::min(GetHeight(), alpha->GetHeight());
      bool full = true;
      for (int32_t y = 0; y < h; ++y) {
        const auto* px = static_cast<const uint8_t*>(GetScanline(y));
        auto* a = static_cast<uint8_t*>(alpha->GetScanline(y));
        for (int32_t x = 0; x < w; ++x) {
          a[x] = px[4 * x + 3];
          if (a[x] != 255) full = false;
        }
      }
      alpha->FFull = full ? 1 : 0;
      if (ChangeFormat) SetPixelFormat(px24RGB);
    }
  } else {
    if (ChangeFormat) SetPixelFormat(px32RGB);
    if (GetPixelFormat() == px32RGB) {
      TPXBitmap* alpha = GetAlphaChannel();
      const int32_t w = std::min(GetWidth(), alpha->GetWidth()), h = std::min(GetHeight(), alpha->GetHeight());
      for (int32_t y = 0; y < h; ++y) {
        auto* px = static_cast<uint8_t*>(GetScanline(y));
        const auto* a = static_cast<const uint8_t*>(alpha->GetScanline(y));
        for (int32_t x = 0; x < w; ++x) px[4 * x + 3] = a[x];
      }
    }
  }
  DoChange();
}
