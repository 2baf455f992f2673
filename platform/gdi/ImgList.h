// The class library's image list: equally sized images with masks, drawn normally, blended,
// as a mask or in the disabled look, and change links that tell the controls using a list
// about every change.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes_components.h"

enum class TDrawingStyle : uint8_t { dsFocus, dsSelected, dsNormal, dsTransparent };
using enum TDrawingStyle;
enum class TImageType : uint8_t { itImage, itMask };
using enum TImageType;

PTypeInfo TypeInfo_TDrawingStyle();
PTypeInfo TypeInfo_TImageType();

struct TImageListCellDrawing;  // what a draw keeps of a cell (ImgList.cpp)

class TCustomImageList;

// Registered with an image list, a link's OnChange fires on every change of the list.
class TChangeLink : public TObject {
  PX_CLASS(TChangeLink)
 public:
  TChangeLink() = default;
  ~TChangeLink() override;  // unregisters from its list
  TCustomImageList* Sender() const { return sender_; }
  void SetSender(TCustomImageList* Value) { sender_ = Value; }
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }
  virtual void Change();

 private:
  TCustomImageList* sender_ = nullptr;  // not owned
  TNotifyEvent on_change_;
};

// Points Field at the list Value for the component Owner: Link and Owner's free notification
// leave the old list and join the new one. False (and nothing done) when Field is Value already.
bool SetLinkedImageList(TCustomImageList*& Field, TCustomImageList* Value, TChangeLink* Link, TComponent* Owner);

class TCustomImageList : public TComponent {
  PX_CLASS(TCustomImageList)
 public:
  explicit TCustomImageList(TComponent* AOwner);
  TCustomImageList(int32_t AWidth, int32_t AHeight);  // without owner
  ~TCustomImageList() override;
  // From another image list: size, images and settings.
  void Assign(TPersistent* Source) override;

  int32_t Count() const { return static_cast<int32_t>(images_.size()); }
  // Changing the size removes every image.
  int32_t Width() const { return width_; }
  void SetWidth(int32_t Value) { SetSize(Value, height_); }
  int32_t Height() const { return height_; }
  void SetHeight(int32_t Value) { SetSize(width_, Value); }
  void SetSize(int32_t AWidth, int32_t AHeight);
  // clNone: masked images are drawn transparently; another colour fills the masked pixels.
  TColor BkColor() const { return bk_color_; }
  void SetBkColor(TColor Value);
  // dsFocus (25 %) and dsSelected (50 %) blend with this colour; clNone blends with what lies below.
  TColor BlendColor() const { return blend_color_; }
  void SetBlendColor(TColor Value);
  TDrawingStyle DrawingStyle() const { return drawing_style_; }
  void SetDrawingStyle(TDrawingStyle Value);
  TImageType ImageType() const { return image_type_; }
  void SetImageType(TImageType Value);
  // Without masks every image is drawn opaque.
  bool Masked() const { return masked_; }
  void SetMasked(bool Value);
  int32_t AllocBy() const { return alloc_by_; }
  void SetAllocBy(int32_t Value) { alloc_by_ = Value; }
  bool ShareImages() const { return share_images_; }
  void SetShareImages(bool Value) { share_images_ = Value; }

  // Adds Image's width div Width images from its top-left Width x Height cells; white pixels of
  // Mask are transparent. Returns the index of the first, -1 without an image; an image smaller
  // than one cell raises EInvalidOperation "Invalid image size".
  int32_t Add(TBitmap* Image, TBitmap* Mask);
  // The pixels of MaskColor are transparent (and stored black).
  int32_t AddMasked(TBitmap* Image, TColor MaskColor);
  // The icon drawn into one cell (stretched when its size differs).
  int32_t AddIcon(TIcon* Image);
  // Index 0..Count; EInvalidOperation "Invalid ImageList Index" otherwise.
  void Insert(int32_t Index, TBitmap* Image, TBitmap* Mask);
  void InsertMasked(int32_t Index, TBitmap* Image, TColor MaskColor);
  void InsertIcon(int32_t Index, TIcon* Image);
  // EInvalidOperation "Unable to Replace Image" for a bad index.
  void Replace(int32_t Index, TBitmap* Image, TBitmap* Mask);
  void ReplaceMasked(int32_t Index, TBitmap* NewImage, TColor MaskColor);
  void ReplaceIcon(int32_t Index, TIcon* Image);
  // Index -1 deletes every image; another bad index raises EInvalidOperation "Invalid ImageList
  // Index".
  void Delete(int32_t Index);
  void Clear() { Delete(-1); }
  void Move(int32_t CurIndex, int32_t NewIndex);

  // Sizes Image to one cell and draws the image on it (transparent pixels keep the bitmap's).
  bool GetBitmap(int32_t Index, TBitmap* Image);
  // An icon of the image and its mask.
  void GetIcon(int32_t Index, TIcon* Image);

  // Draws with DrawingStyle and ImageType; nothing for a bad index. Disabled images are drawn in
  // the classic embossed look: the image's non-background pixels (those not white after drawing
  // it on white) in clBtnHighlight one pixel down and right, then in clBtnShadow in place.
  void Draw(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Index, bool Enabled = true);
  void Draw(TCanvas* Canvas, int32_t X, int32_t Y, int32_t Index, TDrawingStyle ADrawingStyle,
            TImageType AImageType, bool Enabled = true);

  void RegisterChanges(TChangeLink* Value);
  void UnRegisterChanges(TChangeLink* Value);
  // Changes inside BeginUpdate/EndUpdate are told once, at the last EndUpdate.
  void BeginUpdate();
  void EndUpdate();

  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }

 protected:
  virtual void Change();

 private:
  struct Cell {
    std::vector<uint32_t> colors;  // $00BBGGRR, row by row; masked pixels black
    std::vector<uint8_t> mask;     // 1 = transparent
    // The pictures the last plain draw made of the cell, kept for the next draw alike; a cell's
    // pixels never change in place (a change puts a new cell), so they go with the cell.
    std::shared_ptr<TImageListCellDrawing> drawn;
  };
  std::vector<Cell> CellsOf(TBitmap* Image, TBitmap* Mask, bool UseColor, TColor MaskColor, bool All);
  Cell CellOfIcon(TIcon* Image);
  // Puts Cells in before Index; false (nothing changed) when there are none.
  bool InsertCells(int32_t Index, std::vector<Cell> Cells);
  // Replaces the image at Index (checked by the caller) by the first of Cells.
  void ReplaceCell(int32_t Index, std::vector<Cell> Cells);
  void CheckImage(TGraphic* Image) const;

  int32_t width_ = 16;
  int32_t height_ = 16;
  TColor bk_color_ = clNone;
  TColor blend_color_ = clNone;
  TDrawingStyle drawing_style_ = dsNormal;
  TImageType image_type_ = itImage;
  bool masked_ = true;
  int32_t alloc_by_ = 4;
  bool share_images_ = false;
  std::vector<Cell> images_;
  std::vector<TChangeLink*> links_;  // not owned
  int32_t update_count_ = 0;
  bool changed_ = false;
  TNotifyEvent on_change_;
};

class TImageList : public TCustomImageList {
  PX_CLASS(TImageList)
 public:
  explicit TImageList(TComponent* AOwner) : TCustomImageList(AOwner) {}
  TImageList(int32_t AWidth, int32_t AHeight) : TCustomImageList(AWidth, AHeight) {}
};
