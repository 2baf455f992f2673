// TPixoranIO's per-format load and save members: the shared load core and save core over the
// format table's rows, the stream headers of TIFF, PCX and JPEG, and the members whose steps go
// beyond calling a codec (GIF frame composition, PSD layers, JPEG markers, icon sizes, PXM, DCX,
// DICOM, PDF and SVG). The layers-file and vector members are in pixoranio_formats_layers.cpp.
#include "io/pixoranio_formats.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxutils.h"
#include "core/hypxutils_streams.h"
#include "core/hypxutils_text.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps_mask.h"
#include "io/pixoranio.h"
#include "io/pixoranio_formats_impl.h"
#include "platform/rtl/SysUtils.h"

namespace {

TPXLayeredCoders& PsdCoders() {
  static TPXLayeredCoders coders;
  return coders;
}

// How a type's picture is brought to a format its writer takes.
enum class TSaveConversion : uint8_t {
  Any,      // the writer takes every pixel format
  To24,     // px24RGB and px1g stay, everything else becomes px24RGB
  Pxm,      // as To24, but a file save keeps pxRGB48
  J2000,    // px1g, px8g, px16g, px24RGB, pxRGB48; others by the pixel container's preference
};

// What a type's members do beyond the common shape: the front end's own knowledge of the
// built-in types, widened by the rules the codec's row states.
struct TTraits {
  bool IntResult = false;
  bool AlphaMaskOnSave = false;
  TSaveConversion Conversion = TSaveConversion::Any;
  std::string Header;          // stream header tag
  int32_t ReadBufferSize = 0;  // buffered reading (file loads; TIFF stream loads too)
  bool ApplyDefaultDpi = true;
  bool AdjustDpi = true;
  bool WriterGetsParams = true;
};

TTraits TraitsOf(TPXFileType Type) {
  TTraits t;
  switch (Type) {
    case pxftTIFF:
      t.IntResult = true;
      t.Header = "TIFF";
      t.ReadBufferSize = 8192;
      break;
    case pxftGIF:
      t.IntResult = true;
      break;
    case pxftJPEG:
      t.Conversion = TSaveConversion::To24;
      t.Header = "JFIF";
      t.ReadBufferSize = 65536;
      break;
    case pxftPCX:
      t.Conversion = TSaveConversion::To24;
      t.Header = "PCX2";
      break;
    case pxftICO:
    case pxftPS:
      t.Conversion = TSaveConversion::To24;
      break;
    case pxftPNG:
      t.AlphaMaskOnSave = true;
      break;
    case pxftTGA:
      t.Conversion = TSaveConversion::To24;
      t.AlphaMaskOnSave = true;
      break;
    case pxftPXM:
      t.Conversion = TSaveConversion::Pxm;
      break;
    case pxftJP2:
    case pxftJ2K:
      t.Conversion = TSaveConversion::J2000;
      break;
    case pxftWBMP:
      t.Conversion = TSaveConversion::To24;
      t.AdjustDpi = false;
      t.WriterGetsParams = false;
      break;
    case pxftBMPRAW:
    case pxftDICOM:
      t.ApplyDefaultDpi = false;
      t.AdjustDpi = false;
      break;
    default:
      break;
  }
  if (const TPXFormatRow* row = FormatRow(Type)) {
    const TPXFormatRules& r = row->Rules;
    t.IntResult = t.IntResult || r.IntegerResult;
    t.AlphaMaskOnSave = t.AlphaMaskOnSave || r.AlphaMaskOnSave;
    if (r.ConvertTo24OnSave && t.Conversion == TSaveConversion::Any) t.Conversion = TSaveConversion::To24;
    if (t.Header.empty() && r.StreamHeader.size() == 4) t.Header = r.StreamHeader;
    t.ReadBufferSize = std::max(t.ReadBufferSize, r.ReadBufferSize);
  }
  return t;
}

bool CanRead(TPXFileType Type) {
  if (Type == pxftPSD && PsdCoders().Decode) return true;
  return FormatCanRead(Type);
}

bool CanWrite(TPXFileType Type) {
  if (Type == pxftPSD && PsdCoders().Encode) return true;
  return FormatCanWrite(Type);
}

bool StreamRelativeOrigin() {
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  return s && s->FStreamRelativeOrigin != 0;
}

TColor ColorOf(const TRGB& c) { return RGBToTColor(c.r, c.g, c.b); }

// Icon sizes for one save: without any set, the picture's own size and bit count are written,
// and the caller's empty list comes back afterwards.
class TIcoSizesScope {
 public:
  TIcoSizesScope(TIOParams* Params, TPXBitmap* Bitmap) : params_(Params) {
    if (!Params || !Bitmap || IcoSizeCount(Params) > 0) return;
    active_ = true;
    size_ = Params->ICO_Sizes[0];
    bits_ = Params->ICO_BitCounts[0];
    Params->ICO_Sizes[0] = {Bitmap->Width(), Bitmap->Height()};
    Params->ICO_BitCounts[0] = Bitmap->BitCount();
  }
  ~TIcoSizesScope() {
    if (!active_) return;
    params_->ICO_Sizes[0] = size_;
    params_->ICO_BitCounts[0] = bits_;
  }
  TIcoSizesScope(const TIcoSizesScope&) = delete;
  TIcoSizesScope& operator=(const TIcoSizesScope&) = delete;

 private:
  TIOParams* params_;
  bool active_ = false;
  TPXIcoSize size_;
  int32_t bits_ = 0;
};

}  // namespace

void RegisterPsdLayeredCoders(TPXLayeredCoders Coders) { PsdCoders() = std::move(Coders); }
const TPXLayeredCoders& PsdLayeredCoders() { return PsdCoders(); }

// ---------------------------------------------------------------------------------------------
// Load core

bool TPixoranIO::LoadCore(TPXFileType Type, TStream* Stream, const std::string& FileName, int32_t* PageCount) {
  if (PageCount) *PageCount = -1;
  FAborting = false;
  TPXProgressRecord progress;
  InitProgress(progress);
  const TPXFormatRow* row = FormatRow(Type);
  if (!row || !row->Decode) {
    // Format unavailable: the picture stays as it was.
    FAborting = true;
    DoFinishWork();
    return false;
  }
  if (!PrepareBitmap({})) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  const TTraits traits = TraitsOf(Type);
  const bool streamLoad = FileName.empty();

  // Stream headers: the picture lies in a window of the stream, after which the stream is left.
  std::unique_ptr<TPXWindowStream> window;
  int64_t after = -1;
  TStream* source = Stream;
  const auto refuse = [&] {
    FAborting = true;
    DoFinishWork();
    return false;
  };
  if (streamLoad && ((Type == pxftTIFF && FStreamHeaders) || Type == pxftJPEG || (Type == pxftPCX && FStreamHeaders))) {
    const TPXStreamHeaderRead h = ReadStreamHeader(Stream);
    const int64_t dataStart = h.Start + PXStreamHeaderSize;
    if (Type == pxftTIFF) {
      if (h.Tag != "TIFF" || !h.LengthFits()) return refuse();
      window = std::make_unique<TPXWindowStream>(Stream, dataStart, h.Length);
      after = dataStart + h.Length;
    } else if (Type == pxftJPEG) {
      if (h.Tag == "JFIF") {
        if (!h.LengthFits()) return refuse();
        window = std::make_unique<TPXWindowStream>(Stream, dataStart, h.Length);
        after = dataStart + h.Length;
      } else {
        Stream->Seek(h.Start, soBeginning);  // a plain JPEG
      }
    } else {
      if (!h.Complete || h.Tag.compare(0, 3, "PCX") != 0) return refuse();
      if (h.Tag == "PCX2") {
        if (!h.LengthFits()) return refuse();
        window = std::make_unique<TPXWindowStream>(Stream, dataStart, h.Length);
        after = dataStart + h.Length;
      } else {
        Stream->Seek(h.Start + 4, soBeginning);  // the older 4-byte header
      }
    }
    if (window) source = window.get();
  }

  TIOParams* params = GetParams();
  params->ClearMetadata(0);
  if (Type == pxftPNG) params->PNG_Background = TColorToRGB(Background());
  FBitmap->RemoveAlphaChannel(false, clWhite);

  int32_t count = 0;
  try {
    {
      std::unique_ptr<TPXBufferedReadStream> buffered;
      if (traits.ReadBufferSize > 0 && (!streamLoad || Type == pxftTIFF)) {
        const bool relative = Type == pxftTIFF ? StreamRelativeOrigin() : true;
        buffered = std::make_unique<TPXBufferedReadStream>(source, traits.ReadBufferSize, relative);
      }
      std::unique_ptr<TPXMask> mask;
      count = row->Decode(buffered ? buffered.get() : source, FBitmap, params, progress, false, mask);
      if (mask) MaskToAlphaChannel(mask.get(), FBitmap);
    }
    if (after >= 0) Stream->Seek(after, soBeginning);
    if (traits.ApplyDefaultDpi) ApplyDefaultDPI();
    if (traits.AdjustDpi && FAutoAdjustDPI) AdjustDPI();
    params->FileName = FileName;
    params->FileType = Type;
    if (Type == pxftPNG) SetBackground(ColorOf(params->PNG_Background));
  } catch (...) {
    FAborting = true;
    FinishLoad(false);
    throw;
  }
  FinishLoad(false);
  // The imaging component's types: a load that leaves no picture is an error.
  const bool imaging = Type == pxftHDP || Type == pxftDDS || Type == pxftHEIF || Type == pxftWEBP || Type == pxftWIC;
  if (imaging && FBitmap->IsEmpty()) throw EPXException("WIC Loading Error");
  if (PageCount) *PageCount = FAborting ? -1 : count;
  return !FAborting;
}

// ---------------------------------------------------------------------------------------------
// GIF: frames composed on a logical-screen canvas

int32_t TPixoranIO::LoadGifCore(TStream* Stream, const std::string& FileName) {
  FAborting = false;
  TPXProgressRecord progress;
  InitProgress(progress);
  const TPXFormatRow* row = FormatRow(pxftGIF);
  if (!row || !row->Decode) {
    FAborting = true;
    DoFinishWork();
    return -1;
  }
  if (!PrepareBitmap({})) {
    FAborting = true;
    DoFinishWork();
    return -1;
  }
  TIOParams* p = GetParams();
  p->ClearMetadata(0);
  FBitmap->RemoveAlphaChannel(false, clWhite);
  int32_t count = 0;
  try {
    if (p->GIF_FrameOnly) {
      std::unique_ptr<TPXMask> mask;
      count = row->Decode(Stream, FBitmap, p, progress, false, mask);
      if (mask) MaskToAlphaChannel(mask.get(), FBitmap);
      ApplyDefaultDPI();
      if (FAttachedPixoran && FAttachedPixoran->IsLayerView())
        FAttachedPixoran->SetCurrentLayerPos(p->GIF_XPos, p->GIF_YPos);
    } else {
      const int64_t start = Stream->Position();
      const int32_t target = std::max(0, p->GIF_ImageIndex);
      TPXProgressRecord frameProgress;
      if (target > 0) ResetProgressRecordSafe(&FAborting, false, frameProgress);
      else frameProgress = progress;
      auto canvas = std::make_unique<TPXBitmap>();
      std::unique_ptr<TPXBitmap> saved;
      uint8_t prevDisposal = 0;
      int32_t prevLeft = 0, prevTop = 0, prevWidth = 0, prevHeight = 0;
      for (int32_t i = 0;; ++i) {
        auto frame = std::make_unique<TPXBitmap>();
        Stream->Seek(start, soBeginning);
        p->SetImageIndex(i);
        std::unique_ptr<TPXMask> mask;
        count = row->Decode(Stream, frame.get(), p, frameProgress, false, mask);
        const TPXPixelFormat frameFormat = frame->PixelFormat();
        ApplyDefaultDPI();
        const int32_t wantWidth = std::max(frame->Width(), p->GIF_ScreenWidth);
        const int32_t wantHeight = std::max(frame->Height(), p->GIF_ScreenHeight);
        if (mask) MaskToAlphaChannel(mask.get(), frame.get());
        TPXBitmap* result = frame.get();
        if (count > 1 && !FAborting && !frame->IsEmpty() && wantWidth > 0 && wantHeight > 0) {
          const uint8_t disposal = p->GIF_Disposal;
          const double background = ColorOf(p->GIF_Background);
          // The previous frame's disposal first, so that a frame to be restored afterwards
          // comes back to the canvas as it was after that disposal.
          if (prevDisposal == 3 && saved) canvas->AssignFrom(saved.get(), false);
          if (prevDisposal == 2 && !canvas->IsEmpty()) {
            const int32_t x2 = prevLeft + prevWidth - 1, y2 = prevTop + prevHeight - 1;
            canvas->FillRect(prevLeft, prevTop, x2, y2, background);
            if (TPXBitmap* a = canvas->GetAlphaChannel()) {
              a->FillRect(prevLeft, prevTop, x2, y2, 0);
              a->FFull = 0;
            }
          }
          if (disposal == 3) {
            if (!saved) saved = std::make_unique<TPXBitmap>();
            saved->AssignFrom(canvas.get(), false);
          }
          if (canvas->Width() == 0) {
            canvas->Allocate(wantWidth, wantHeight, px24RGB);
            canvas->Fill(background);
            if (TPXBitmap* a = canvas->GetAlphaChannel()) {
              a->Fill(0);
              a->FFull = 0;
            }
          }
          if (canvas->PixelFormat() != px24RGB) canvas->SetPixelFormat(px24RGB);
          if (canvas->Width() < wantWidth || canvas->Height() < wantHeight)
            canvas->ResizeCanvas(std::max(canvas->Width(), wantWidth), std::max(canvas->Height(), wantHeight),
                                 background, 255, 0, 0);
          DrawFrameOnCanvas(canvas.get(), frame.get(), p->GIF_XPos, p->GIF_YPos);
          prevLeft = p->GIF_XPos;
          prevTop = p->GIF_YPos;
          prevWidth = frame->Width();
          prevHeight = frame->Height();
          frame.reset();
          result = canvas.get();
          prevDisposal = disposal;
          p->GIF_Disposal = 2;
          p->GIF_XPos = 0;
          p->GIF_YPos = 0;
        }
        if (FAborting) break;  // the working bitmap keeps the last completed frame
        if (count > 0) {
          progress.PerCentPerUnit = 100.0 / count;
          FBitmap->AssignFrom(result, false);
          if (frameFormat != pxNoFormat && FBitmap->PixelFormat() != frameFormat) FBitmap->SetPixelFormat(frameFormat);
          if (progress.Event) progress.Event(this, Trunc32(static_cast<long double>(i) * 100 / count));
        }
        if (i + 1 >= count || i >= target) break;
      }
      p->SetImageIndex(target);
    }
    if (FAutoAdjustDPI) AdjustDPI();
    SetBackground(ColorOf(p->GIF_HasTransparentColor ? p->GIF_TransparentColor : p->GIF_Background));
    p->FileType = pxftGIF;
    p->FileName = FileName;
  } catch (...) {
    FAborting = true;
    FinishLoad(false);
    throw;
  }
  FinishLoad(false);
  return FAborting ? -1 : count;
}

// ---------------------------------------------------------------------------------------------
// PSD: the merged picture and, on request, its layers

bool TPixoranIO::LoadPsdCore(TStream* Stream, const std::string& FileName) {
  FAborting = false;
  TPXProgressRecord progress;
  InitProgress(progress);
  const TPXLayeredCoders& coders = PsdCoders();
  const TPXFormatRow* row = FormatRow(pxftPSD);
  if (!coders.Decode && (!row || !row->Decode)) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  if (!PrepareBitmap({})) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  TIOParams* p = GetParams();
  p->ClearMetadata(0);
  IPXIOView* view = FAttachedPixoran && FAttachedPixoran->IsLayerView() ? FAttachedPixoran : nullptr;
  const bool loadLayers = p->PSD_LoadLayers;
  try {
    if (loadLayers && p->PSD_ReplaceLayers && view) view->LayersClear(false);
    FBitmap->RemoveAlphaChannel(false, clWhite);
    std::vector<TPXDecodedLayer> layers;
    if (coders.Decode) {
      const bool wantLayers = loadLayers || !p->PSD_LoadMerged;
      coders.Decode(Stream, FBitmap, p, progress, wantLayers ? &layers : nullptr);
    } else {
      std::unique_ptr<TPXMask> mask;
      row->Decode(Stream, FBitmap, p, progress, false, mask);
      if (mask) MaskToAlphaChannel(mask.get(), FBitmap);
    }
    if (!FAborting) {
      if (loadLayers && view) {
        if (!layers.empty()) {
          if (layers.front().PosX != 0 || layers.front().PosY != 0) {
            // A transparent background layer of the picture's size goes underneath.
            TPXDecodedLayer base;
            base.Bitmap = TPXBitmap::CreateAllocated(FBitmap->Width(), FBitmap->Height(), px24RGB);
            base.Bitmap->Fill(ColorOf(TRGB{255, 255, 255}));
            if (TPXBitmap* a = base.Bitmap->GetAlphaChannel()) {
              a->Fill(0);
              a->FFull = 0;
            }
            layers.insert(layers.begin(), std::move(base));
          }
          view->LayersFromDecoded(layers, !p->PSD_ReplaceLayers);
        }
      } else if (!p->PSD_LoadMerged && !layers.empty() && !p->GetThumbnail) {
        if (std::unique_ptr<IPXIOView> temp = CreateTemporaryView()) {
          temp->LayersFromDecoded(layers, false);
          temp->LayersMergeAll();
          if (TPXBitmap* merged = temp->GetPXBitmap()) FBitmap->AssignFrom(merged, false);
        }
      } else if (layers.size() == 1 && !p->GetThumbnail && layers.front().Bitmap) {
        // The single layer's alpha, placed at its position on the picture.
        TPXDecodedLayer& layer = layers.front();
        TPXBitmap* src = layer.Bitmap->PeekAlphaChannel();
        if (src && !FBitmap->IsEmpty()) {
          TPXBitmap* dst = FBitmap->GetAlphaChannel();
          dst->Fill(0);
          for (int32_t y = 0; y < src->Height(); ++y) {
            const int64_t ty = int64_t{y} + layer.PosY;
            if (ty < 0 || ty >= dst->Height()) continue;
            const uint8_t* s = src->Scanline(y);
            uint8_t* d = dst->Scanline(static_cast<int32_t>(ty));
            for (int32_t x = 0; x < src->Width(); ++x) {
              const int64_t tx = int64_t{x} + layer.PosX;
              if (tx >= 0 && tx < dst->Width()) d[tx] = s[x];
            }
          }
          dst->FFull = 0;
          FBitmap->DoChange();
        }
      }
    }
    layers.clear();
    ApplyDefaultDPI();
    if (FAutoAdjustDPI) AdjustDPI();
    p->FileName = FileName;
    p->FileType = pxftPSD;
  } catch (...) {
    FAborting = true;
    FinishLoad(loadLayers);
    throw;
  }
  FinishLoad(loadLayers);
  return !FAborting;
}

// ---------------------------------------------------------------------------------------------
// Save core

TPXBitmap* TPixoranIO::BitmapForWriter(TPXFileType Type, bool ToStream, std::unique_ptr<TPXBitmap>& Converted) {
  IPXIOView* layerView = FAttachedPixoran && FAttachedPixoran->IsLayerView() ? FAttachedPixoran : nullptr;
  if (Type == pxftSVG) return FBitmap;  // the document writer takes what there is
  if (Type == pxftPDF && layerView && layerView->GetLayersCount() > 1) {
    // All layers on one page.
    Converted = std::make_unique<TPXBitmap>();
    layerView->LayersDrawTo(Converted.get());
    if (!Converted->IsEmpty() && Converted->PixelFormat() != px24RGB) Converted->SetPixelFormat(px24RGB);
    return Converted.get();
  }
  if (!PrepareBitmap({})) return nullptr;
  if (Type == pxftPSD && layerView) {
    Converted = std::make_unique<TPXBitmap>();
    layerView->LayersDrawTo(Converted.get());
    const TPXPixelFormat first = layerView->FirstLayerPixelFormat();
    if (!Converted->IsEmpty() && first != pxNoFormat && Converted->PixelFormat() != first)
      Converted->SetPixelFormat(first);
    return Converted.get();
  }
  TSaveConversion conversion = TraitsOf(Type).Conversion;
  if (Type == pxftPDF) conversion = TSaveConversion::To24;
  TPXPixelFormatSet allowed;
  switch (conversion) {
    case TSaveConversion::Any:
      return FBitmap;
    case TSaveConversion::To24:
      allowed = TPXPixelFormatSet{px24RGB, px1g};
      break;
    case TSaveConversion::Pxm:
      allowed = ToStream ? TPXPixelFormatSet{px24RGB, px1g} : TPXPixelFormatSet{px24RGB, px1g, pxRGB48};
      break;
    case TSaveConversion::J2000:
      allowed = TPXPixelFormatSet{px1g, px8g, px16g, px24RGB, pxRGB48};
      break;
  }
  if (FBitmap->IsEmpty() || allowed.Contains(FBitmap->PixelFormat())) return FBitmap;
  // Writers convert a copy: the caller's picture keeps its format and alpha.
  Converted = TPXBitmap::CreateCopy(FBitmap);
  if (conversion == TSaveConversion::J2000) Converted->EnsurePixelFormat(allowed, true);
  else Converted->SetPixelFormat(px24RGB);
  return Converted.get();
}

void TPixoranIO::SaveCore(TPXFileType Type, TStream* Stream, bool ToStream) {
  FAborting = false;
  TPXProgressRecord progress;
  InitProgress(progress);
  const TPXFormatRow* row = FormatRow(Type);
  const TPXLayeredCoders& psd = PsdCoders();
  const bool layered = Type == pxftPSD && psd.Encode;
  if (!layered && (!row || !row->Encode)) {
    FAborting = true;
    return;
  }
  std::unique_ptr<TPXBitmap> converted;
  TPXBitmap* bitmap = BitmapForWriter(Type, ToStream, converted);
  if (!bitmap && Type != pxftSVG) {
    FAborting = true;
    return;
  }
  TIOParams* params = GetParams();
  const TTraits traits = TraitsOf(Type);

  switch (Type) {
    case pxftDICOM: {
      const TPXPixelFormat f = bitmap->PixelFormat();
      if (f != px1g && f != px8g && f != px16g && f != px24RGB)
        throw EPXException("DICOM saving: unsupported pixel format");
      params->SetColorsFromPixelFormat(f);
      params->Width = bitmap->Width();
      params->Height = bitmap->Height();
      break;
    }
    case pxftJPEG:
      PrepareJpegSaveMarkers(params);
      break;
    case pxftDCX:
      // One page: the stream holds this picture only.
      if (ToStream) {
        Stream->SetSize(0);
        Stream->Seek(0, soBeginning);
      }
      break;
    default:
      break;
  }

  std::unique_ptr<TPXMask> mask;
  if (traits.AlphaMaskOnSave && bitmap) mask = AlphaChannelToMask(bitmap);
  const bool header = ToStream && FStreamHeaders && !traits.Header.empty();
  const int64_t start = header ? WriteStreamHeaderPlaceholder(Stream) : 0;
  {
    TIcoSizesScope icoSizes(Type == pxftICO ? params : nullptr, bitmap);
    if (layered) {
      std::vector<TPXBitmap*> layers;
      if (FAttachedPixoran && FAttachedPixoran->IsLayerView()) layers = FAttachedPixoran->LayerBitmaps();
      psd.Encode(Stream, bitmap, layers, params, progress);
    } else {
      row->Encode(Stream, bitmap, traits.WriterGetsParams ? params : nullptr, mask.get(), progress);
    }
  }
  // An aborted PCX keeps its 12 zero bytes; TIFF and JPEG always describe what was written.
  if (header && (Type != pxftPCX || !FAborting)) FillStreamHeader(Stream, start, traits.Header);
}

// ---------------------------------------------------------------------------------------------
// The member shapes

int32_t TPixoranIO::LoadFileMember(TPXFileType Type, const std::string& FileName, TPXIOFileIntFunc SelfInt,
                                   TPXIOFileBoolFunc SelfBool) {
  CheckBitmap();
  if (IsAsync()) {
    if (SelfInt) {
      StartIOThread(SelfInt, FileName);
      return -1;
    }
    StartIOThread(SelfBool, FileName);
    return 1;
  }
  TPXIOOperation operation(this);
  const bool integer = TraitsOf(Type).IntResult;
  if (!CanRead(Type)) {
    FAborting = true;
    DoFinishWork();
    return integer ? -1 : 0;
  }
  FAborting = true;  // stays set when the file cannot be opened
  const std::unique_ptr<TPXWideFileStream> opened = OpenFileForLoad(this, FileName);
  return LoadMemberNow(Type, opened.get(), FileName, integer);
}

int32_t TPixoranIO::LoadStreamMember(TPXFileType Type, TStream* Stream, TPXIOStreamIntFunc SelfInt,
                                     TPXIOStreamBoolFunc SelfBool) {
  CheckBitmap();
  if (IsAsync()) {
    if (SelfInt) {
      StartIOThread(SelfInt, Stream);
      return -1;
    }
    StartIOThread(SelfBool, Stream);
    return 1;
  }
  TPXIOOperation operation(this);
  const bool integer = TraitsOf(Type).IntResult;
  if (!Stream || !CanRead(Type)) {
    FAborting = true;
    DoFinishWork();
    return integer ? -1 : 0;
  }
  return LoadMemberNow(Type, Stream, std::string(), integer);
}

int32_t TPixoranIO::LoadMemberNow(TPXFileType Type, TStream* Stream, const std::string& FileName, bool Integer) {
  if (Type == pxftGIF) return LoadGifCore(Stream, FileName);
  if (Type == pxftPSD) return LoadPsdCore(Stream, FileName) ? 1 : 0;
  int32_t count = -1;
  const bool ok = LoadCore(Type, Stream, FileName, &count);
  if (Integer) return ok ? count : -1;
  return ok ? 1 : 0;
}

void TPixoranIO::SaveFileMember(TPXFileType Type, const std::string& FileName, TPXIOFileProc Self) {
  if (Type != pxftPDF && Type != pxftSVG) CheckBitmap();
  if (IsAsync()) {
    StartIOThread(Self, FileName);
    return;
  }
  SaveFileNow(Type, FileName);
}

void TPixoranIO::SaveFileNow(TPXFileType Type, const std::string& FileName) {
  TPXIOOperation operation(this);
  FAborting = true;
  if (!CanWrite(Type)) {
    DoFinishWork();  // format unavailable: no file is made
    return;
  }
  try {
    WriteFileSafely(FileName, [&](TStream* Stream) { SaveCore(Type, Stream, false); });
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  if (!FAborting) {
    TIOParams* params = GetParams();
    params->FileName = FileName;
    params->FileType = Type;
  }
  DoFinishWork();
}

void TPixoranIO::SaveStreamMember(TPXFileType Type, TStream* Stream, TPXIOStreamProc Self) {
  if (Type != pxftPDF && Type != pxftSVG) CheckBitmap();
  if (IsAsync()) {
    StartIOThread(Self, Stream);
    return;
  }
  SaveStreamNow(Type, Stream);
}

void TPixoranIO::SaveStreamNow(TPXFileType Type, TStream* Stream) {
  TPXIOOperation operation(this);
  FAborting = false;
  if (!Stream || !CanWrite(Type)) {
    FAborting = true;
    DoFinishWork();
    return;
  }
  try {
    SaveCore(Type, Stream, true);
  } catch (...) {
    FAborting = true;
    DoFinishWork();
    throw;
  }
  DoFinishWork();
}

// ---------------------------------------------------------------------------------------------
// The members

#define PX_INT_LOAD_MEMBERS(Name, Type)                                                                   \
  int32_t TPixoranIO::LoadFromFile##Name(const std::string& FileName) {                                   \
    return LoadFileMember(Type, FileName, &TPixoranIO::LoadFromFile##Name, nullptr);                     \
  }                                                                                                      \
  int32_t TPixoranIO::LoadFromStream##Name(TStream* Stream) {                                             \
    return LoadStreamMember(Type, Stream, &TPixoranIO::LoadFromStream##Name, nullptr);                   \
  }
#define PX_BOOL_LOAD_MEMBERS(Name, Type)                                                                  \
  bool TPixoranIO::LoadFromFile##Name(const std::string& FileName) {                                      \
    return LoadFileMember(Type, FileName, nullptr, &TPixoranIO::LoadFromFile##Name) > 0;                 \
  }                                                                                                      \
  bool TPixoranIO::LoadFromStream##Name(TStream* Stream) {                                                \
    return LoadStreamMember(Type, Stream, nullptr, &TPixoranIO::LoadFromStream##Name) > 0;               \
  }
#define PX_SAVE_MEMBERS(Name, Type)                                                                       \
  void TPixoranIO::SaveToFile##Name(const std::string& FileName) {                                        \
    SaveFileMember(Type, FileName, &TPixoranIO::SaveToFile##Name);                                       \
  }                                                                                                      \
  void TPixoranIO::SaveToStream##Name(TStream* Stream) { SaveStreamMember(Type, Stream, &TPixoranIO::SaveToStream##Name); }

PX_INT_LOAD_MEMBERS(Tiff, pxftTIFF)
PX_SAVE_MEMBERS(Tiff, pxftTIFF)
PX_INT_LOAD_MEMBERS(Gif, pxftGIF)
PX_SAVE_MEMBERS(Gif, pxftGIF)
PX_BOOL_LOAD_MEMBERS(Jpeg, pxftJPEG)
PX_SAVE_MEMBERS(Jpeg, pxftJPEG)
PX_BOOL_LOAD_MEMBERS(Pcx, pxftPCX)
PX_SAVE_MEMBERS(Pcx, pxftPCX)
PX_BOOL_LOAD_MEMBERS(Bmp, pxftBMP)
PX_SAVE_MEMBERS(Bmp, pxftBMP)
PX_BOOL_LOAD_MEMBERS(Ico, pxftICO)
PX_SAVE_MEMBERS(Ico, pxftICO)
PX_BOOL_LOAD_MEMBERS(Cur, pxftCUR)
PX_BOOL_LOAD_MEMBERS(Png, pxftPNG)
PX_SAVE_MEMBERS(Png, pxftPNG)
PX_BOOL_LOAD_MEMBERS(Tga, pxftTGA)
PX_SAVE_MEMBERS(Tga, pxftTGA)
PX_BOOL_LOAD_MEMBERS(Pxm, pxftPXM)
PX_SAVE_MEMBERS(Pxm, pxftPXM)
PX_BOOL_LOAD_MEMBERS(Jp2, pxftJP2)
PX_SAVE_MEMBERS(Jp2, pxftJP2)
PX_BOOL_LOAD_MEMBERS(J2k, pxftJ2K)
PX_SAVE_MEMBERS(J2k, pxftJ2K)
PX_BOOL_LOAD_MEMBERS(Wbmp, pxftWBMP)
PX_SAVE_MEMBERS(Wbmp, pxftWBMP)
PX_SAVE_MEMBERS(PS, pxftPS)
PX_SAVE_MEMBERS(PDF, pxftPDF)
PX_BOOL_LOAD_MEMBERS(Dcx, pxftDCX)
PX_SAVE_MEMBERS(Dcx, pxftDCX)
PX_BOOL_LOAD_MEMBERS(RAW, pxftRAW)
PX_BOOL_LOAD_MEMBERS(Psd, pxftPSD)
PX_BOOL_LOAD_MEMBERS(Dicom, pxftDICOM)
PX_SAVE_MEMBERS(Dicom, pxftDICOM)
PX_BOOL_LOAD_MEMBERS(HDP, pxftHDP)
PX_SAVE_MEMBERS(HDP, pxftHDP)
PX_SAVE_MEMBERS(Svg, pxftSVG)

#undef PX_INT_LOAD_MEMBERS
#undef PX_BOOL_LOAD_MEMBERS
#undef PX_SAVE_MEMBERS

bool TPixoranIO::LoadFromStreamBmpRaw(TStream* Stream) {
  return LoadStreamMember(pxftBMPRAW, Stream, nullptr, &TPixoranIO::LoadFromStreamBmpRaw) > 0;
}

void TPixoranIO::SaveToFilePsd(const std::string& FileName) {
  // The large-document form for ".psb" names.
  if (TIOParams* params = GetParams()) params->PSD_WriterOption = FileMatchesFilter(FileName, "*.psb");
  SaveFileMember(pxftPSD, FileName, &TPixoranIO::SaveToFilePsd);
}

void TPixoranIO::SaveToStreamPsd(TStream* Stream) { SaveStreamMember(pxftPSD, Stream, &TPixoranIO::SaveToStreamPsd); }

// The imaging component's types, read and written through the rows its providers fill.
bool TPixoranIO::LoadFromFileWIC(const std::string& FileName, TPXFileType FileType) {
  CheckBitmap();
  if (IsAsync()) {
    StartIOThread(&TPixoranIO::LoadFromFileWIC, FileName, FileType);
    return true;
  }
  TPXIOOperation operation(this);
  if (!CanRead(FileType)) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  FAborting = true;
  const std::unique_ptr<TPXWideFileStream> opened = OpenFileForLoad(this, FileName);
  TPXWideFileStream& file = *opened;
  return LoadCore(FileType, &file, FileName, nullptr);
}

bool TPixoranIO::LoadFromStreamWIC(TStream* Stream, TPXFileType FileType) {
  if (IsAsync()) {
    StartIOThread(&TPixoranIO::LoadFromStreamWIC, Stream, FileType);
    return true;
  }
  TPXIOOperation operation(this);
  if (!Stream || !CanRead(FileType)) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  return LoadCore(FileType, Stream, std::string(), nullptr);
}

void TPixoranIO::SaveToFileWIC(const std::string& FileName, TPXFileType FileType) {
  CheckBitmap();
  if (IsAsync()) {
    StartIOThread(&TPixoranIO::SaveToFileWIC, FileName, FileType);
    return;
  }
  SaveFileNow(FileType, FileName);
}

void TPixoranIO::SaveToStreamWIC(TStream* Stream, TPXFileType FileType) {
  CheckBitmap();
  if (IsAsync()) {
    StartIOThread(&TPixoranIO::SaveToStreamWIC, Stream, FileType);
    return;
  }
  SaveStreamNow(FileType, Stream);
}

// ---------------------------------------------------------------------------------------------
// PDF through a plug-in reader (registry entries 8222, else 8196)

bool TPixoranIO::LoadFromStreamPDF(TStream* Stream, int32_t Width, int32_t Height, const std::string& Password) {
  TPXIOOperation operation(this);
  FAborting = false;
  TPXProgressRecord progress;
  InitProgress(progress);
  if (!PrepareBitmap({})) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  TPXFileFormatInfo* entry = FileFormatByType(8222);
  if (!entry) entry = FileFormatByType(8196);
  if (!entry || !entry->ReadFunction || entry->InternalFormat || !Stream) {
    FAborting = true;
    DoFinishWork();
    return false;
  }
  TIOParams* p = GetParams();
  try {
    p->ClearMetadata(0);
    FBitmap->RemoveAlphaChannel(false, clWhite);
    if (Width > 0 && Height > 0) {
      p->Dictionary.InsertInteger("PDF:DesiredWidth", Width);
      p->Dictionary.InsertInteger("PDF:DesiredHeight", Height);
    }
    if (!Password.empty()) p->Dictionary.InsertString("PDF:Password", Password);
    entry->ReadFunction(Stream, FBitmap);
    ApplyDefaultDPI();
    if (FAutoAdjustDPI) AdjustDPI();
    p->FileName.clear();
    p->FileType = pxftPDF;
  } catch (...) {
    FAborting = true;
    FinishLoad(false);
    throw;
  }
  FinishLoad(false);
  return !FAborting;
}

bool TPixoranIO::LoadFromFilePDF(const std::string& FileName, int32_t Width, int32_t Height, const std::string& Password) {
  TPXIOOperation operation(this);
  FAborting = true;
  const std::unique_ptr<TPXWideFileStream> opened = OpenFileForLoad(this, FileName);
  TPXWideFileStream& file = *opened;
  const bool ok = LoadFromStreamPDF(&file, Width, Height, Password);
  GetParams()->FileName = FileName;
  return ok;
}
