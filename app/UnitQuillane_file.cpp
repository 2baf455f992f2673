// Open and Save As of the main window: the picture is loaded into the off-screen source view
// and its reflection built in the display view; the result is saved as one merged picture.
#include <memory>

#include "app/UnitQuillane.h"
#include "controls/CvButton.h"
#include "controls/CvPanel.h"
#include "controls/CvRadChk.h"
#include "controls/CvStatus.h"
#include "io/pixoranio.h"
#include "io/pxopensavedlg.h"
#include "layers/pxxLayers.h"
#include "platform/forms/Dialogs.h"
#include "platform/rtl/SysUtils.h"
#include "view/pixoran.h"

namespace {

struct TFormatList {
  int32_t Index;
  const char* List;
  bool Exact;  // equals the list; else occurs in it
};

// Tested in this order, the first match deciding.
constexpr TFormatList kFormatLists[] = {
    {1, "TIF;TIFF;FAX;", false}, {2, "GIF;", true},     {3, "JPG;JPEG;JPE;", false},
    {4, "PCX;", true},           {5, "BMP;DIB;RLE;", false}, {6, "ICO;", true},
    {7, "PNG;", true},           {8, "TGA;TARGA;VDA;ICB;VST;PIX;", false},
    {9, "PXM;PPM;PGM;PBM;", false}, {10, "WBMP;", true},  {11, "JP2;", true},
    {12, "J2K;JPC;J2C;", false}, {13, "PS;EPS;", false}, {14, "PDF;", true},
    {15, "DCX;", true},          {16, "PSD;", true},     {17, "PXV;", true},
    {18, "LYR;", true},          {19, "ALL;", true},     {20, "AVI;", true},
};

constexpr int32_t kFormatTiff = 1, kFormatGif = 2, kFormatIcon = 6, kFormatPng = 7, kFormatPhotoshop = 16;

void ShowError(const std::string& Text) { MessageBox(nullptr, Text, MsgError, MB_ICONERROR); }

}  // namespace

int32_t FormatIndexOfFile(const std::string& FileName) {
  std::string ext = UpperCase(ExtractFileExt(FileName));
  if (ext.empty()) return 0;
  ext = ext.substr(1) + ";";
  for (const TFormatList& f : kFormatLists) {
    const std::string_view list(f.List);
    if (f.Exact ? list == ext : list.find(ext) != std::string_view::npos) return f.Index;
  }
  return 0;
}

bool LoadSourceImage(TPixoran* View, const std::string& FileName) {
  try {
    // A load that gives up without raising failed as well: the view may hold stale data.
    return View->IO()->LoadFromFileByExtension(FileName, true) && !View->IO()->Aborting();
  } catch (const std::exception&) {
    return false;
  }
}

void ClearLayers(TPixoran* View) {
  for (int32_t i = View->LayersCount() - 1; i >= 1; --i) View->LayersRemove(i, false);
  View->SetLayersCurrent(0);
  View->Clear();
}

int32_t AddReflectionLayer(TPixoran* View) {
  const int32_t index = View->LayersAdd(pxlkImage, -1, -1, 0, 0);
  View->Layers(index)->SetLocked(true);
  return index;
}

// ---------------------------------------------------------------------------------------------
// Open

void TFrmQuillane::M_OpenClick(TObject*) {
  Application()->ProcessMessages();
  OpenPixoranDialog1->SetInitialDir(FLastDir);
  if (!OpenPixoranDialog1->Execute()) return;
  Application()->ProcessMessages();
  const std::string name = OpenPixoranDialog1->FileName();
  FImageSrc->IO()->Params()->SetImageIndex(OpenPixoranDialog1->SelectedFrame());
  FLastDir = ExtractFileDir(name);
  FImageLoaded = LoadSourceImage(FImageSrc.get(), name);
  BtnSaveAs->SetEnabled(FImageLoaded);
  if (!FImageLoaded) {
    // The old reflection stays on screen; every picture action is inert until the next open.
    MessageBox(nullptr, MsgOpenError, MsgError, MB_ICONERROR);
    return;
  }
  CvStatusPane1->SetCaption(name);
  ClearLayers(PixoranDis);
  FReflectLayer = -1;
  FReflectLayer = AddReflectionLayer(PixoranDis);
  BuildReflection(*PixoranDis, *FImageSrc, ReadReflectionParams());
  FitIfLarger(PixoranDis);
}

// ---------------------------------------------------------------------------------------------
// Save As

void TFrmQuillane::M_SaveAsClick(TObject*) {
  if (!FImageLoaded) return;
  SavePixoranDialog1->SetAttachedPixoranIO(PixoranDis->IO());
  const std::string loaded = CvStatusPane1->Caption();
  SavePixoranDialog1->SetFilterIndex(FormatIndexOfFile(loaded));
  SavePixoranDialog1->SetInitialDir(ExtractFileDir(loaded));
  if (!SavePixoranDialog1->Execute()) return;
  const std::string name = SavePixoranDialog1->FileName();
  const int32_t F = FormatIndexOfFile(name);
  // Asked at each save, so that writers that land later need no change here.
  if (!FormatCanWrite(FileTypeForSaving(name, false))) {
    ShowError(MsgSaveUnavailable);
    return;
  }
  if (F == kFormatPhotoshop && !CheckBoxRemoveAlpa->Checked()) {
    // The view's layers as layers, with the merged picture.
    PixoranDis->IO()->SaveToFile(name, 0);
    if (PixoranDis->IO()->Aborting()) ShowError(MsgSaveFailed);
    return;
  }
  SaveMerged(name, F);
}

void TFrmQuillane::SaveMerged(const std::string& FileName, int32_t F) {
  const bool removeAlpha = CheckBoxRemoveAlpa->Checked();
  const TColor background = PanelBkColor->Color();
  auto T = std::make_unique<TPixoranView>(nullptr);  // never shown
  auto M = std::make_unique<TPXBitmap>();
  TPXBitmap* base = T->GetPXBitmap();
  base->Assign(PixoranDis->Layers(0)->GetBitmap());
  if (removeAlpha) {
    // The layers' colours are already flattened onto the background in the view: the merge
    // takes them as they show, each pixel the colour of the topmost layer covering it.
    base->RemoveAlphaChannel(false, background);
  }
  TPXBlendLayerOptions options;
  if (removeAlpha) options.Background = background;
  for (int32_t k = 1; k < PixoranDis->LayersCount(); ++k) {
    TPXLayer* layer = PixoranDis->Layers(k);
    if (removeAlpha) {
      // An opaque copy of layer k in T, blended over T's layer 0.
      TPXBitmap opaque;
      opaque.Assign(layer->GetBitmap());
      opaque.RemoveAlphaChannel(false, background);
      const int32_t copy = T->LayersAppend(pxlkImage, layer->GetPosX(), layer->GetPosY(), layer->GetWidth(),
                                           layer->GetHeight(), &opaque, true, false, false, false);
      BlendLayerPair(T->Layers(0), T->Layers(copy), M.get(), options);
      T->LayersRemove(copy, false);
    } else {
      BlendLayerPair(T->Layers(0), layer, M.get(), options);
    }
    T->SetLayersCurrent(0);
    T->GetPXBitmap()->Assign(M.get());
  }
  T->SetBackground(background);
  T->SetLayersCurrent(0);
  if (removeAlpha) {
    // What no layer covers is the background; no alpha channel is written.
    T->GetPXBitmap()->RemoveAlphaChannel(false, background);
  } else if (F != kFormatTiff && F != kFormatPng) {
    T->RemoveAlphaChannel(true);
  }
  if (F == kFormatGif || F == kFormatIcon) {
    const TRGB bg = TColorToRGB(background);
    T->Proc()->SetTransparentColors(bg, bg, 0);
  }
  T->IO()->SaveToFile(FileName, 0);
  if (T->IO()->Aborting()) ShowError(MsgSaveFailed);
}
