// TPixoranIO's metafile entries: the size rule, the imports of WMF and EMF pictures (through the
// antialiased library's metafile and through the class library's TMetafile), the metafile
// header read of ReadParams, and the open prompt.
#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxcanvas.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxopensavedlg.h"
#include "io/pxxBitmaps_params.h"
#include "platform/gdiplus/GdiPlusMetafile.h"
#include "platform/gdiplus/MetafileGraphic.h"

namespace {

// The picture fields every metafile source sets: 8-bit RGB of W x H at the default resolution.
void SetMetafileParams(TIOParams* P, bool Enhanced, int32_t W, int32_t H) {
  P->FileName.clear();
  P->FileType = Enhanced ? pxftEMF : pxftWMF;
  P->BitsPerSample = 8;
  P->SamplesPerPixel = 3;
  P->Width = W;
  P->Height = H;
  P->OriginalWidth = W;
  P->OriginalHeight = H;
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  P->SetDpiX(s->FDefaultDPIX);
  P->SetDpiY(s->FDefaultDPIY);
  P->FreeColorMap();
}

}  // namespace

std::string CompanionLibraryMessage() {
  return "A required library file (dovevodi.dll, dovevodi32.dll, pxlib.dll or pxlib32.dll) was not found, or is "
         "outdated (Version expected: 5.1.1.0)";
}

void TPixoranIO::MetafileSize(int32_t NaturalWidth, int32_t NaturalHeight, int32_t WantedWidth,
                              int32_t WantedHeight, int32_t& Width, int32_t& Height) {
  // A picture of no size stays of no size; the imports refuse it.
  if (NaturalWidth <= 0 || NaturalHeight <= 0) {
    Width = Height = 0;
    return;
  }
  // 64-bit products: natural and wanted sides multiply without overflow.
  int64_t w = NaturalWidth, h = NaturalHeight;
  if (WantedWidth > 0 || WantedHeight > 0) {
    if (WantedWidth > 0 && WantedHeight > 0) {
      w = WantedWidth;
      h = WantedHeight;
    } else if (WantedWidth < 0) {
      w = int64_t(NaturalWidth) * WantedHeight / NaturalHeight;
      h = WantedHeight;
    } else if (WantedHeight < 0) {
      w = WantedWidth;
      h = int64_t(NaturalHeight) * WantedWidth / NaturalWidth;
    }
  }
  const int64_t m = GlobalSettingsInstance()->FMetafileMaxSize;
  if (m > 0 && (w > m || h > m)) {
    if (h > w) {
      w = w * m / h;
      h = m;
    } else {
      h = h * m / w;
      w = m;
    }
  }
  // A side scaled below one pixel keeps one.
  Width = int32_t(std::clamp<int64_t>(w, 1, INT32_MAX));
  Height = int32_t(std::clamp<int64_t>(h, 1, INT32_MAX));
}

bool TPixoranIO::ImportMetafileCore(TPXMetafile* Metafile, int32_t Width, int32_t Height, bool Transparent) {
  FAborting = false;
  if (!Metafile || Metafile->GetWidth() <= 0 || Metafile->GetHeight() <= 0) {
    FAborting = true;
    return false;
  }
  if ((Width == 0 && Height == 0) || !PrepareBitmap({})) return false;
  int32_t w = 0, h = 0;
  MetafileSize(Metafile->GetWidth(), Metafile->GetHeight(), Width, Height, w, h);
  // The drawing at W x H, premultiplied, transparent where nothing is drawn.
  std::vector<uint32_t> drawn;
  if (GdipRasterizeMetafile(Metafile->Image(), w, h, drawn) != Ok) {
    FAborting = true;
    return false;
  }
  TIOParams* p = GetParams();
  p->ClearMetadata(0);
  SetMetafileParams(p, !Metafile->IsWMF(), w, h);
  p->SetImageCount(1);

  // The drawing over the key colour (Transparent) or the background, in one pass into the
  // 24-bit picture; with Transparent the pixels left in the key colour become the background at
  // alpha 0 and every other pixel is opaque.
  const TRGB back = TColorToRGB(Background());
  const TRGB key{253, 254, 255};  // red 255, green 254, blue 253
  const TRGB under = Transparent ? key : back;
  FBitmap->RemoveAlphaChannel(false, 0);
  if (!FBitmap->Allocate(w, h, px24RGB)) {
    FAborting = true;
    return false;
  }
  TPXBitmap* alpha = Transparent ? FBitmap->GetAlphaChannel() : nullptr;
  const auto over = [](uint32_t Src, uint8_t Dst, uint32_t Left) {
    return uint8_t(Src + (Dst * Left + 127) / 255);
  };
  for (int32_t y = 0; y < h; ++y) {
    const uint32_t* src = drawn.data() + size_t(y) * size_t(w);
    TRGB* row = reinterpret_cast<TRGB*>(FBitmap->Scanline(y));
    uint8_t* a = alpha ? alpha->Scanline(y) : nullptr;
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t s = src[x], left = 255 - (s >> 24);
      TRGB c{over(s & 0xFF, under.b, left), over((s >> 8) & 0xFF, under.g, left), over((s >> 16) & 0xFF, under.r, left)};
      if (a) {
        const bool keyed = c == key;
        a[x] = keyed ? 0 : 255;
        if (keyed) c = back;
      }
      row[x] = c;
    }
  }
  if (alpha) FBitmap->UpdateFull();
  UpdateAttached();
  ClearModified(false);
  return !FAborting;
}

bool TPixoranIO::ImportMetafile(const std::string& FileName, int32_t Width, int32_t Height, bool Transparent) {
  if (IsAsync()) {
    StartIOThread(&TPixoranIO::ImportMetafile, FileName, Width, Height, Transparent);
    return true;
  }
  TPXIOOperation operation(this);
  bool result = false;
  {
    const std::unique_ptr<TPXMetafile> metafile = TPXMetafile::CreateFromFile(FileName);
    result = ImportMetafileCore(metafile.get(), Width, Height, Transparent);
  }
  GetParams()->FileName = FileName;
  DoFinishWork();
  return result;
}

bool TPixoranIO::ImportMetafileFromStream(TStream* Stream, int32_t Width, int32_t Height, bool Transparent) {
  TPXIOOperation operation(this);
  bool result = false;
  {
    const std::unique_ptr<TPXMetafile> metafile = Stream ? TPXMetafile::CreateFromStream(Stream) : nullptr;
    result = ImportMetafileCore(metafile.get(), Width, Height, Transparent);
  }
  GetParams()->FileName.clear();
  DoFinishWork();
  return result;
}

bool TPixoranIO::ImportTMetafile(TMetafile* Metafile, int32_t Width, int32_t Height, bool Transparent) {
  TPXIOOperation operation(this);
  FAborting = false;
  if (!Metafile || Metafile->Width() <= 0 || Metafile->Height() <= 0) {
    FAborting = true;
    return false;
  }
  if (Width == 0 || Height == 0 || !PrepareBitmap({})) return false;
  TIOParams* p = GetParams();
  p->ClearMetadata(0);
  int32_t w = 0, h = 0;
  MetafileSize(Metafile->Width(), Metafile->Height(), Width, Height, w, h);
  Metafile->SetWidth(w);
  Metafile->SetHeight(h);
  // Draws the metafile on a 24-bit DIB filled with Fill.
  const auto drawOn = [&](TPXDibbitmap& Dib, TColor Fill) {
    if (!Dib.AllocateBits(w, h, 24)) throw EOutOfMemory("Out of memory");
    TCanvas canvas;
    canvas.SetHandle(Dib.FDC);
    canvas.Brush()->SetStyle(bsSolid);
    canvas.Brush()->SetColor(Fill);
    canvas.FillRect(TRect{0, 0, w, h});
    canvas.Draw(0, 0, Metafile);
    canvas.SetHandle(nullptr);
  };
  TPXDibbitmap dib;
  drawOn(dib, Background());
  SetMetafileParams(p, Metafile->Enhanced(), w, h);
  p->SetImageCount(1);
  FBitmap->CopyFromDibbitmap(&dib);
  FBitmap->RemoveAlphaChannel(false, 0);
  if (Transparent) {
    TPXDibbitmap keyed;
    drawOn(keyed, TColor(0x010203));  // red 3, green 2, blue 1
    TPXBitmap* alpha = FBitmap->GetAlphaChannel();
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* k = static_cast<const uint8_t*>(keyed.GetScanline(y));
      uint8_t* a = alpha->Scanline(y);
      for (int32_t x = 0; x < w; ++x, k += 3) a[x] = k[0] == 1 && k[1] == 2 && k[2] == 3 ? 0 : 255;
    }
    FBitmap->UpdateFull();
  }
  UpdateAttached();
  ClearModified(false);
  return !FAborting;
}

bool TPixoranIO::ReadMetafileHeader(TStream* Stream) {
  TMetafile metafile;
  metafile.LoadFromStream(Stream);
  TIOParams* p = GetParams();
  SetMetafileParams(p, metafile.Enhanced(), metafile.Width(), metafile.Height());
  return true;
}

std::string TPixoranIO::ExecuteOpenDialog(const std::string& InitialDir, const std::string& InitialFileName,
                                          bool AlwaysAnimate, int32_t FilterIndex,
                                          const std::string& ExtendedFilters, const std::string& Title,
                                          const std::string& Filter, int32_t FilterDefault,
                                          int32_t LimitToFileType, TPXShowFormats ShowFormats) {
  std::string result;
  if (GlobalSettingsInstance()->FUseStandardOpenDialog != 0) {
    TOpenDialog dialog(this);
    dialog.SetInitialDir(InitialDir);
    dialog.SetFileName(InitialFileName);
    dialog.SetOptions(dialog.Options().Include(ofEnableSizing));
    dialog.SetFilter(!Filter.empty() ? Filter
                                     : BuildDialogFilter(false, ShowFormats, LimitToFileType, ExtendedFilters, false));
    dialog.SetFilterIndex(FilterIndex);
    if (!Title.empty()) dialog.SetTitle(Title);
    if (dialog.Execute()) result = dialog.FileName();
    return result;
  }
  TOpenPixoranDialog dialog(this);
  dialog.SetInitialDir(InitialDir);
  dialog.SetFileName(InitialFileName);
  dialog.SetAlwaysAnimate(AlwaysAnimate);
  dialog.SetOptions(dialog.Options().Include(ofEnableSizing));
  if (!Filter.empty()) {
    dialog.SetAutoSetFilter(false);
    dialog.SetFilter(Filter);
  }
  dialog.SetAutoSetFilterFileType(LimitToFileType);
  dialog.SetFilterDefault(FilterDefault);
  dialog.SetFilterIndex(FilterIndex);
  dialog.SetAutoAdjustDPI(FAutoAdjustDPI);
  dialog.SetFilteredAdjustDPI(FFilteredAdjustDPI);
  dialog.SetExtraFilter(ExtendedFilters);
  dialog.SetShowFormats(ShowFormats);
  if (!Title.empty()) dialog.SetTitle(Title);
  if (dialog.Execute()) {
    GetParams()->SetImageIndex(dialog.SelectedFrame());
    result = dialog.FileName();
  }
  return result;
}
