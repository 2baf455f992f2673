// TMetafile: the class library's metafile picture (WMF, placeable or not, and EMF) as a
// TGraphic, over the same metafile reader as the antialiased drawing library. Width and Height
// start as the metafile's size in pixels; setting them changes the size it is drawn at by
// TCanvas::Draw. The bytes loaded are kept and are what SaveToStream writes.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/gdiplus/GdiPlus.h"

class TMetafile : public TGraphic {
  PX_CLASS(TMetafile)
 public:
  TMetafile();
  ~TMetafile() override;
  TMetafile(const TMetafile&) = delete;
  TMetafile& operator=(const TMetafile&) = delete;

  bool Empty() const override { return image_ == nullptr; }
  int32_t Width() const override { return width_; }
  void SetWidth(int32_t Value) override;
  int32_t Height() const override { return height_; }
  void SetHeight(int32_t Value) override;
  // True for an enhanced metafile (EMF), false for a WMF; setting it is kept as the kind
  // saved files are of (the bytes themselves are written as loaded).
  bool Enhanced() const { return enhanced_; }
  void SetEnhanced(bool Value) { enhanced_ = Value; }

  // Reads the rest of the stream; EInvalidGraphic "Metafile is not valid" when it holds no
  // metafile the reader takes (the picture is then empty).
  void LoadFromStream(TStream* Stream) override;
  // Nothing is written for an empty picture.
  void SaveToStream(TStream* Stream) override;
  // A placeable WMF key, a WMF header or an EMF header record at the position (kept).
  bool CanLoadFromStream(TStream* Stream) override;
  void Assign(TPersistent* Source) override;
  void Clear();

  // The drawing library's picture (nil when empty), for drawing with a GpGraphics.
  GpImage* Image() const { return image_; }
  const MetafileHeader& Header() const { return header_; }

 protected:
  // Drawn stretched into Rect through the drawing library on the canvas's device context.
  void Draw(TCanvas* ACanvas, const TRect& Rect) override;

 private:
  void Load(std::vector<uint8_t> Bytes);
  ULONG_PTR token_ = 0;
  GpImage* image_ = nullptr;
  MetafileHeader header_;
  std::vector<uint8_t> bytes_;
  int32_t width_ = 0;
  int32_t height_ = 0;
  bool enhanced_ = true;
};
