#include "platform/gdiplus/MetafileGraphic.h"

#include <algorithm>
#include <cstring>

#include "platform/gdiplus/Metafile.h"
#include "platform/rtl/Classes.h"

PX_CLASS_INFO(TMetafile, TGraphic)

namespace {

uint32_t Le32(const uint8_t* P) { return uint32_t(P[0]) | (uint32_t(P[1]) << 8) | (uint32_t(P[2]) << 16) | (uint32_t(P[3]) << 24); }
uint16_t Le16(const uint8_t* P) { return uint16_t(P[0] | (P[1] << 8)); }

// The WMF and EMF keys: the placeable key, a plain WMF header (type 1 or 2, 9 words), an EMF
// header record (type 1, " EMF" at 40).
bool LooksLikeMetafile(const uint8_t* B, size_t N) {
  if (N >= 4 && Le32(B) == 0x9AC6CDD7u) return true;
  if (N >= 44 && Le32(B) == 1 && Le32(B + 40) == 0x464D4520u) return true;
  return N >= 18 && (Le16(B) == 1 || Le16(B) == 2) && Le16(B + 2) == 9 && (Le16(B + 4) == 0x0100 || Le16(B + 4) == 0x0300);
}

}  // namespace

TMetafile::TMetafile() {
  GdiplusStartupInput input;
  GdiplusStartup(&token_, &input, nullptr);
}

TMetafile::~TMetafile() {
  Clear();
  GdiplusShutdown(token_);
}

void TMetafile::Clear() {
  if (image_) GdipDisposeImage(image_);
  image_ = nullptr;
  header_ = MetafileHeader();
  bytes_.clear();
  width_ = height_ = 0;
}

void TMetafile::SetWidth(int32_t Value) {
  if (Value == width_) return;
  width_ = std::max(0, Value);
  Changed(this);
}

void TMetafile::SetHeight(int32_t Value) {
  if (Value == height_) return;
  height_ = std::max(0, Value);
  Changed(this);
}

void TMetafile::Load(std::vector<uint8_t> Bytes) {
  Clear();
  TBytesStream view(Bytes);
  GpMetafile* made = nullptr;
  if (GdipCreateMetafileFromStream(&view, &made) != Ok || !made) {
    Changed(this);
    throw EInvalidGraphic("Metafile is not valid");
  }
  image_ = made;
  GdipGetMetafileHeaderFromMetafile(made, &header_);
  bytes_ = std::move(Bytes);
  width_ = header_.Width;
  height_ = header_.Height;
  enhanced_ = header_.Type != MetafileTypeWmf && header_.Type != MetafileTypeWmfPlaceable;
  Changed(this);
}

void TMetafile::LoadFromStream(TStream* Stream) {
  const int64_t pos = Stream->Position(), size = Stream->Size();
  if (pos < 0 || size < pos || size - pos > int64_t(GpMaxMetafileBytes)) {
    Clear();
    Changed(this);
    throw EInvalidGraphic("Metafile is not valid");
  }
  std::vector<uint8_t> bytes(size_t(size - pos));
  Stream->ReadBuffer(bytes.data(), int32_t(bytes.size()));
  Load(std::move(bytes));
}

void TMetafile::SaveToStream(TStream* Stream) {
  if (!bytes_.empty()) Stream->WriteBuffer(bytes_.data(), int32_t(bytes_.size()));
}

bool TMetafile::CanLoadFromStream(TStream* Stream) {
  const int64_t pos = Stream->Position();
  uint8_t head[44] = {};
  const int32_t got = Stream->Read(head, sizeof(head));
  Stream->SetPosition(pos);
  return got > 0 && LooksLikeMetafile(head, size_t(got));
}

void TMetafile::Assign(TPersistent* Source) {
  if (!Source) {
    Clear();
    Changed(this);
    return;
  }
  if (auto* m = dynamic_cast<TMetafile*>(Source)) {
    if (m == this) return;
    if (m->Empty()) {
      Clear();
      Changed(this);
      return;
    }
    const int32_t w = m->width_, h = m->height_;
    const bool enhanced = m->enhanced_;
    Load(m->bytes_);
    width_ = w;
    height_ = h;
    enhanced_ = enhanced;
    Changed(this);
    return;
  }
  TGraphic::Assign(Source);
}

void TMetafile::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!image_ || !ACanvas) return;
  GpGraphics* g = nullptr;
  if (GdipCreateFromHDC(ACanvas->Handle(), &g) != Ok || !g) return;
  GdipSetSmoothingMode(g, SmoothingModeAntiAlias);
  GdipDrawImageRect(g, image_, REAL(Rect.Left), REAL(Rect.Top), REAL(Rect.Right - Rect.Left),
                    REAL(Rect.Bottom - Rect.Top));
  GdipDeleteGraphics(g);
}
