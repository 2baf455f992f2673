// The imaging component's reader and writer over the registered providers, the load and save
// entries and the format rows.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "codecs/pxcodecs_impl.h"
#include "codecs/pxwic.h"
#include "codecs/tiffilt.h"
#include "core/hypxutils.h"
#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxexif.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

using namespace pxcodecs_detail;

namespace {

// Restores a stream's position when it goes out of scope.
class TPositionKeeper {
 public:
  explicit TPositionKeeper(TStream* S) : FStream(S), FPos(S->Position()) {}
  ~TPositionKeeper() {
    try {
      FStream->Seek(FPos, soBeginning);
    } catch (...) {
    }
  }
  TPositionKeeper(const TPositionKeeper&) = delete;
  TPositionKeeper& operator=(const TPositionKeeper&) = delete;

 private:
  TStream* FStream;
  int64_t FPos;
};

bool ProbeProvider(TPXWICProvider& P, TStream* Stream) {
  TPositionKeeper keep(Stream);
  try {
    return P.Probe(Stream);
  } catch (...) {
    return false;
  }
}

bool ReadCodecInfo(const TPXWICCodecDescription& D, std::string& FriendlyName, std::string& Clsid,
                   std::string& Extensions, std::string& Version, std::string& Author) {
  FriendlyName = D.FriendlyName;
  Clsid = D.Clsid;
  Extensions = D.Extensions;
  Version = D.Version;
  Author = D.Author;
  return true;
}

void FireProgress(TPXProgressRecord& Progress, int32_t PerCent) {
  if (Progress.Event) Progress.Event(Progress.Sender, PerCent);
}

// Pictures with more pixels than this are refused before allocation.
constexpr uint64_t kMaxPixels = uint64_t{1} << 30;

// Copies Source into Bitmap in the library format its layout maps to.
void ConvertWICSource(IPXWICBitmapSource* Source, TPXBitmap* Bitmap, bool Native) {
  TPXWICPixelFormat sf = wpfUndefined;
  CheckWICResult(Source->GetPixelFormat(sf));
  std::vector<uint32_t> palette;
  if (sf == wpf8bppIndexed || sf == wpf1bppIndexed) Source->CopyPalette(palette);
  bool hasAlpha = false;
  TPXPixelFormat p = WICPixelFormatToPX(sf, palette, hasAlpha);
  TPXWICPixelFormat t = sf;
  if (Native) {
    if (sf == wpf32bppRGBA || sf == wpf32bppBGRA) {
      t = wpf32bppBGRA;
      p = px32RGB;
    } else if (sf == wpf1bppIndexed) {
      t = wpf8bppIndexed;
      p = px8p;
    } else if (sf == wpf8bppIndexed) {
      t = wpf24bppBGR;
      p = px24RGB;
    }
    if (p == pxNoFormat) {
      t = wpf24bppBGR;
      p = px24RGB;
    }
  } else if (sf == wpfBlackWhite) {
    p = px1g;
  } else if (sf == wpf32bppRGBA && hasAlpha) {
    t = wpf32bppBGRA;
  } else {
    t = wpf24bppBGR;
    p = px24RGB;
  }
  std::unique_ptr<IPXWICBitmapSource> converter;
  IPXWICBitmapSource* conv = Source;
  if (t != sf) {
    converter = CreateWICFormatConverter(Source, t);
    if (!converter) CheckWICResult(wicUnsupportedPixelFormat);
    conv = converter.get();
  }
  uint32_t w = 0, h = 0;
  CheckWICResult(conv->GetSize(w, h));
  if (w == 0 || h == 0 || w > uint32_t(INT32_MAX) || h > uint32_t(INT32_MAX) || uint64_t(w) * h > kMaxPixels)
    CheckWICResult(wicBadImage);
  if (!Bitmap->Allocate(int32_t(w), int32_t(h), p)) CheckWICResult(wicOutOfMemory);
  const uint64_t rowLen = uint64_t(Bitmap->RowLen());
  const uint64_t need = WICRowBytes(t, w);
  std::vector<uint8_t> rowBuf;
  if (rowLen < need) rowBuf.resize(size_t(need));
  for (uint32_t r = 0; r < h; ++r) {
    uint8_t* row = Bitmap->Scanline(int32_t(r));
    if (rowBuf.empty()) {
      CheckWICResult(conv->CopyPixels(0, r, w, 1, uint32_t(rowLen), rowLen, row));
    } else {
      CheckWICResult(conv->CopyPixels(0, r, w, 1, uint32_t(need), need, rowBuf.data()));
      std::memcpy(row, rowBuf.data(), size_t(rowLen));
    }
    if (p == pxCMYK)
      for (uint64_t i = 0; i < uint64_t(w) * 4; ++i) row[i] = uint8_t(255 - row[i]);
  }
  if (p == px8p) {
    // The indices keep their colours.
    std::vector<uint32_t> colours;
    conv->CopyPalette(colours);
    const int32_t n = int32_t(std::min<size_t>(colours.size(), 256));
    Bitmap->SetPaletteUsed(std::max(n, 1));
    TRGB* pal = Bitmap->GetPalette();
    for (int32_t i = 0; i < n; ++i) {
      const uint32_t c = colours[size_t(i)];
      pal[i] = TRGB{uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16)};
    }
  }
  if (!hasAlpha) return;
  TPXWICPixelFormat again = wpfUndefined;
  Source->GetPixelFormat(again);
  TPXBitmap* alpha = Bitmap->AlphaChannel();
  if (!alpha) return;
  if (again == wpf32bppBGRA || again == wpf32bppRGBA) {
    std::vector<uint8_t> src(size_t(w) * 4);
    for (uint32_t r = 0; r < h; ++r) {
      Source->CopyPixels(0, r, w, 1, w * 4, uint64_t(w) * 4, src.data());
      uint8_t* a = alpha->Scanline(int32_t(r));
      for (uint32_t x = 0; x < w; ++x) a[x] = src[4 * size_t(x) + 3];
    }
    if (p == px32RGB && !Native) Bitmap->SyncAlpha32(true, true);
  } else if (again == wpf8bppIndexed) {
    std::vector<uint8_t> idx(w);
    for (uint32_t r = 0; r < h; ++r) {
      Source->CopyPixels(0, r, w, 1, w, w, idx.data());
      uint8_t* a = alpha->Scanline(int32_t(r));
      for (uint32_t x = 0; x < w; ++x) {
        const uint8_t i = idx[x];
        a[x] = i < palette.size() ? uint8_t(palette[i] >> 24) : 255;
      }
    }
  }
  alpha->UpdateFull();
}

// Fills Params from the frame's EXIF data, when it has any.
void ReadFrameExif(IPXWICBitmapFrameDecode* Frame, TIOParams* Params) {
  std::vector<uint8_t> tiff;
  if (Frame->GetExifTiff(tiff) != wicOK || tiff.size() < 8) return;
  TMemoryStream m;
  m.WriteBuffer(tiff.data(), int64_t(tiff.size()));
  m.Seek(0, soBeginning);
  const int32_t keep = Params->TIFF_ImageIndex;
  ReadTiffTagsIntoParams(&m, Params);
  m.Seek(0, soBeginning);
  ReadExifFromTiffStream(&m, Params, false);
  Params->TIFF_ImageIndex = keep;
  Params->RAW_CameraName = Trim(Params->EXIF_Model);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Reader

TPXWICReader::TPXWICReader() {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  FDpiX = s->FDefaultDPIX;
  FDpiY = s->FDefaultDPIY;
}

TPXWICReader::~TPXWICReader() { Close(); }

bool TPXWICReader::IsAvailable() { return WICAvailable(); }

bool TPXWICReader::OpenDecoder(TStream* Stream) {
  FFrame.reset();
  FDecoder.reset();
  FProvider.reset();
  for (const auto& p : WICProviders()) {
    if (!ProbeProvider(*p, Stream)) continue;
    std::unique_ptr<IPXWICBitmapDecoder> d;
    TPositionKeeper keep(Stream);
    TPXWICResult r = wicFail;
    try {
      r = p->CreateDecoder(Stream, d);
    } catch (...) {
      r = wicFail;
    }
    if (r >= 0 && d) {
      FProvider = p;
      FDecoder = std::move(d);
      return true;
    }
  }
  return false;
}

bool TPXWICReader::Open(TStream* Stream, TPXFileType FileType) {
  (void)FileType;  // decoders are chosen by content
  if (!IsAvailable() || !Stream) return false;
  FStream = Stream;
  FStreamPos = Stream->Position();
  return OpenDecoder(Stream);
}

bool TPXWICReader::IsDecodable(TStream* Stream, TPXFileType FileType) {
  if (!IsAvailable() || !Stream) return false;
  const std::string ext = WICExtensionOfType(FileType);
  TPositionKeeper keep(Stream);
  for (const auto& p : WICProviders()) {
    if (!ProbeProvider(*p, Stream)) continue;
    if (ext.empty()) return true;
    const std::string list = UpperCase(p->DecoderInfo().Extensions) + ",";
    if (list.find(ext + ",") != std::string::npos) return true;
  }
  return false;
}

bool TPXWICReader::GetCodecInfo(std::string& FriendlyName, std::string& Clsid, std::string& Extensions,
                                std::string& Version, std::string& Author) {
  if (!FProvider) return false;
  try {
    return ReadCodecInfo(FProvider->DecoderInfo(), FriendlyName, Clsid, Extensions, Version, Author);
  } catch (...) {
    return false;
  }
}

int32_t TPXWICReader::GetFrameCount() {
  if (!FDecoder) return 0;
  uint32_t n = 0;
  try {
    if (FDecoder->GetFrameCount(n) < 0) return 0;
  } catch (...) {
    return 0;
  }
  return int32_t(std::min<uint32_t>(n, INT32_MAX));
}

bool TPXWICReader::ReadFrame(int32_t Index, TPXBitmap* Bitmap, TIOParams* Params, TPXAbortFlag* AbortingFlag) {
  const auto fail = [&] {
    if (AbortingFlag) *AbortingFlag = true;
    return false;
  };
  if (!IsAvailable() || !FDecoder) return fail();
  try {
    FFrame.reset();
    if (Index < 0) CheckWICResult(wicInvalidArg);
    CheckWICResult(FDecoder->GetFrame(uint32_t(Index), FFrame));
    if (!FFrame) CheckWICResult(wicFrameMissing);
    double dx = 0, dy = 0;
    if (FFrame->GetResolution(dx, dy) >= 0 && dx > 0 && dy > 0 && std::isfinite(dx) && std::isfinite(dy)) {
      FDpiX = dx;
      FDpiY = dy;
    }
    const bool native = !Params || Params->NativePixelFormat;
    if (Bitmap) {
      std::unique_ptr<IPXWICBitmapSource> other;
      bool fromPreview = false;
      if (Params && (Params->GetThumbnail || Params->RAW_GetExifThumbnail)) {
        if (FFrame->GetThumbnail(other) < 0) other.reset();
      } else if (Params && Params->RAW_UseEmbeddedPreview) {
        if (FDecoder->GetPreview(other) < 0) other.reset();
        fromPreview = true;
      }
      bool done = false;
      if (other) {
        ConvertWICSource(other.get(), Bitmap, native);
        done = true;
        if (fromPreview) {
          TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
          done = Bitmap->Width() >= s->FRawPreviewMinWidth && Bitmap->Height() >= s->FRawPreviewMinHeight;
        }
      }
      if (!done) ConvertWICSource(FFrame.get(), Bitmap, native);
    }
    if (Params) {
      if (FStream) {
        const int64_t pos = FStream->Position();
        FStream->Seek(FStreamPos, soBeginning);
        if (Params->ReadMetadata) ReadFrameExif(FFrame.get(), Params);
        FStream->Seek(pos, soBeginning);
      }
      uint32_t fw = 0, fh = 0;
      CheckWICResult(FFrame->GetSize(fw, fh));
      if (Bitmap && !Bitmap->IsEmpty()) {
        const int32_t channels = std::max(1, Bitmap->ChannelCount());
        Params->BitsPerSample = Bitmap->BitCount() / channels;
        Params->SamplesPerPixel = channels;
        Params->Width = Bitmap->Width();
        Params->Height = Bitmap->Height();
      } else {
        TPXWICPixelFormat f = wpfUndefined;
        FFrame->GetPixelFormat(f);
        const int32_t channels = std::max(1, WICChannelCount(f));
        Params->BitsPerSample = WICBitsPerPixel(f) / channels;
        Params->SamplesPerPixel = channels;
        Params->Width = int32_t(std::min<uint32_t>(fw, INT32_MAX));
        Params->Height = int32_t(std::min<uint32_t>(fh, INT32_MAX));
      }
      Params->OriginalWidth = int32_t(std::min<uint32_t>(fw, INT32_MAX));
      Params->OriginalHeight = int32_t(std::min<uint32_t>(fh, INT32_MAX));
      Params->SetDpiX(int32_t(std::clamp<double>(Round(FDpiX), 1, INT32_MAX)));
      Params->SetDpiY(int32_t(std::clamp<double>(Round(FDpiY), 1, INT32_MAX)));
      std::string name, clsid, exts, version, author;
      if (GetCodecInfo(name, clsid, exts, version, author)) Params->WIC_CodecInfo = {name, author, version};
    }
  } catch (...) {
    return fail();
  }
  return true;
}

int32_t TPXWICReader::GetFrameWidth() {
  uint32_t w = 0, h = 0;
  if (!FFrame || FFrame->GetSize(w, h) < 0) return 0;
  return int32_t(std::min<uint32_t>(w, INT32_MAX));
}

int32_t TPXWICReader::GetFrameHeight() {
  uint32_t w = 0, h = 0;
  if (!FFrame || FFrame->GetSize(w, h) < 0) return 0;
  return int32_t(std::min<uint32_t>(h, INT32_MAX));
}

void TPXWICReader::Close() {
  FFrame.reset();
  FDecoder.reset();
  FProvider.reset();
}

// ---------------------------------------------------------------------------------------------
// Writer

TPXWICWriter::TPXWICWriter() {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  FDpiX = s->FDefaultDPIX;
  FDpiY = s->FDefaultDPIY;
}

TPXWICWriter::~TPXWICWriter() {
  try {
    Close();
  } catch (...) {
  }
}

bool TPXWICWriter::IsAvailable() { return WICAvailable(); }

bool TPXWICWriter::Open(TStream* Stream, TPXFileType FileType) {
  if (!IsAvailable() || !Stream) return false;
  FStream = Stream;
  FStreamPos = Stream->Position();
  const TPXWICContainer c = WICContainerOfType(FileType);
  if (c == TPXWICContainer::wcNone) return false;
  for (const auto& p : WICProviders()) {
    if (p->EncoderContainer() != c) continue;
    std::unique_ptr<IPXWICBitmapEncoder> e;
    if (p->CreateEncoder(Stream, e) >= 0 && e) {
      FProvider = p;
      FEncoder = std::move(e);
      return true;
    }
  }
  return false;
}

void TPXWICWriter::SetEncoderOption(TPXWICPropertyBag& Bag, const std::string& Name, double Value,
                                    TPXWICVariantType VariantType) {
  for (TPXWICOption& o : Bag)
    if (o.Name == Name) {
      o.Type = VariantType;
      o.Value = Value;
      return;
    }
  Bag.push_back({Name, VariantType, Value});
}

void TPXWICWriter::WriteFrame(TPXBitmap* Bitmap, TIOParams* Params) {
  if (!FEncoder || !Bitmap) return;
  try {
    WriteFrameRows(Bitmap, Params);
  } catch (...) {
    // A frame that failed is never committed: the target gets no half-written file.
    FEncoder.reset();
    FProvider.reset();
    throw;
  }
}

void TPXWICWriter::WriteFrameRows(TPXBitmap* Bitmap, TIOParams* Params) {
  std::unique_ptr<IPXWICBitmapFrameEncode> frame;
  TPXWICPropertyBag bag;
  CheckWICResult(FEncoder->CreateNewFrame(frame, bag));
  if (!frame) return;
  if (Params) {
    FDpiX = Params->DpiX;
    FDpiY = Params->DpiY;
    FImageQuality = Params->WIC_Quality;
    FLossless = Params->WIC_Flag;
  }
  using enum TPXWICVariantType;
  if (FImageQuality >= 0) SetEncoderOption(bag, "ImageQuality", FImageQuality, vtR4);
  if (FCompressionQuality >= 0) SetEncoderOption(bag, "CompressionQuality", FCompressionQuality, vtR4);
  SetEncoderOption(bag, "Lossless", FLossless ? 1 : 0, vtBool);
  if (FUseCodecOptions) {
    SetEncoderOption(bag, "UseCodecOptions", 1, vtBool);
    SetEncoderOption(bag, "Quality", FQuality, vtUI1);
    SetEncoderOption(bag, "Overlap", FOverlap, vtUI1);
    SetEncoderOption(bag, "Subsampling", FSubsampling, vtUI1);
  }
  SetEncoderOption(bag, "HorizontalTileSlices", FHorizontalTileSlices, vtUI2);
  SetEncoderOption(bag, "VerticalTileSlices", FVerticalTileSlices, vtUI2);
  SetEncoderOption(bag, "FrequencyOrder", FFrequencyOrder ? 1 : 0, vtBool);
  // WICTiffCompressionOption: don't care, none, CCITT3, CCITT4, LZW, RLE, ZIP.
  static constexpr uint8_t kTiffCompression[7] = {0, 1, 2, 3, 4, 5, 6};
  SetEncoderOption(bag, "TiffCompressionMethod", kTiffCompression[std::min<uint8_t>(FTiffCompressionIndex, 6)], vtUI1);

  CheckWICResult(frame->Initialize(bag));
  const uint32_t w = uint32_t(std::max(0, Bitmap->Width())), h = uint32_t(std::max(0, Bitmap->Height()));
  CheckWICResult(frame->SetSize(w, h));
  CheckWICResult(frame->SetResolution(FDpiX, FDpiY));
  TPXWICPixelFormat asked = wpfUndefined;
  switch (Bitmap->PixelFormat()) {
    case px1g:
      asked = wpfBlackWhite;
      break;
    case px8g:
      asked = wpf8bppGray;
      break;
    case px16g:
      asked = wpf16bppGray;
      break;
    case px24RGB:
      asked = wpf24bppBGR;
      break;
    case pxCMYK:
      asked = wpf32bppCMYK;
      break;
    case pxRGB48:
      asked = wpf48bppRGB;
      break;
    default:
      asked = wpfUndefined;  // px8p, px32RGB and the rest: the encoder chooses
      break;
  }
  TPXWICPixelFormat answer = asked;
  CheckWICResult(frame->SetPixelFormat(answer));
  // Rows go in the layout the encoder answered; the bitmap is converted row by row, never changed.
  TPXBitmap* source = Bitmap;
  std::unique_ptr<TPXBitmap> copy;
  const TPXPixelFormat pf = Bitmap->PixelFormat();
  if (pf != px1g && pf != px8p && pf != px8g && pf != px16g && pf != px24RGB && pf != px32RGB && pf != pxCMYK &&
      pf != pxRGB48) {
    copy = TPXBitmap::CreateAllocated(1, 1, px24RGB);
    copy->Assign(Bitmap);
    copy->SetPixelFormat(px24RGB);
    source = copy.get();
  }
  TPXWICBitmapWrapper wrapper(source, nullptr);
  TPXWICPixelFormat own = wpfUndefined;
  CheckWICResult(wrapper.GetPixelFormat(own));
  if (answer == wpfUndefined) answer = own;
  std::unique_ptr<IPXWICBitmapSource> conv;
  IPXWICBitmapSource* rows = &wrapper;
  if (answer != own) {
    conv = CreateWICFormatConverter(&wrapper, answer);
    if (!conv) CheckWICResult(wicUnsupportedPixelFormat);
    rows = conv.get();
  }
  const uint64_t stride = WICRowBytes(answer, w);
  std::vector<uint8_t> line(size_t(std::max<uint64_t>(stride, 1)));
  for (uint32_t r = 0; r < h; ++r) {
    CheckWICResult(rows->CopyPixels(0, r, w, 1, uint32_t(stride), stride, line.data()));
    CheckWICResult(frame->WritePixels(1, uint32_t(stride), stride, line.data()));
  }
  CheckWICResult(frame->Commit());
  std::string name, clsid, exts, version, author;
  if (Params && GetCodecInfo(name, clsid, exts, version, author)) Params->WIC_CodecInfo = {name, author, version};
}

bool TPXWICWriter::GetCodecInfo(std::string& FriendlyName, std::string& Clsid, std::string& Extensions,
                                std::string& Version, std::string& Author) {
  if (!FProvider) return false;
  try {
    return ReadCodecInfo(FProvider->EncoderInfo(), FriendlyName, Clsid, Extensions, Version, Author);
  } catch (...) {
    return false;
  }
}

void TPXWICWriter::Close() {
  if (!FEncoder) return;
  std::unique_ptr<IPXWICBitmapEncoder> e = std::move(FEncoder);
  FProvider.reset();
  CheckWICResult(e->Commit());
}

// ---------------------------------------------------------------------------------------------
// Entries

void DecodeWICStream(TStream* Stream, TPXFileType FileType, TPXBitmap* Bitmap, TIOParams* Params,
                     TPXProgressRecord& Progress) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  if (!Stream || !Params) {
    aborting = true;
    return;
  }
  FireProgress(Progress, 0);
  {
    TPXWICReader reader;
    if (reader.Open(Stream, FileType)) reader.ReadFrame(Params->ImageIndex, Bitmap, Params, &aborting);
    else aborting = true;
    Params->SetImageCount(reader.GetFrameCount());
  }
  FireProgress(Progress, 100);
}

void EncodeWICStream(TStream* Stream, TPXFileType FileType, TPXBitmap* Bitmap, TIOParams* Params,
                     TPXProgressRecord& Progress) {
  TPXAbortFlag own{false};
  TPXAbortFlag& aborting = AbortFlagOf(Progress, own);
  if (!WICAvailable() || !Stream || !Params || !Bitmap) {
    aborting = true;
    return;
  }
  FireProgress(Progress, 0);
  const int64_t pos = Stream->Position();
  const auto finish = [&] {
    Stream->Seek(pos, soBeginning);
    if (FileType == pxftTIFF || FileType == pxftHDP) InjectExifIntoTiff(Stream, Stream, {}, {}, 0, Params);
  };
  try {
    TPXWICWriter writer;
    if (!writer.Open(Stream, FileType)) {
      aborting = true;
    } else {
      writer.WriteFrame(Bitmap, Params);
      writer.Close();
    }
  } catch (...) {
    finish();
    throw;
  }
  finish();
  FireProgress(Progress, 100);
}

int32_t GetWICStreamFrameCount(TStream* Stream) {
  if (!Stream) return 0;
  try {
    TPositionKeeper keep(Stream);
    TPXWICReader reader;
    if (!reader.Open(Stream, pxftWIC)) return 0;
    return reader.GetFrameCount();
  } catch (...) {
    return 0;
  }
}

int32_t GetWICFrameCount(const std::string& FileName, TPXFileType FileType) {
  (void)FileType;
  if (!WICAvailable()) return 0;
  try {
    TPXWideFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    return GetWICStreamFrameCount(&file);
  } catch (...) {
    return 0;
  }
}

bool IsWICDecodable(TStream* Stream, TPXFileType FileType) {
  try {
    TPXWICReader reader;
    return reader.IsDecodable(Stream, FileType);
  } catch (...) {
    return false;
  }
}

void RegisterWICCodec() {
  // Providers recognised by their signatures first; LibRaw, which probes by parsing, last.
  RegisterWICProvider(CreateWebpProvider());
  RegisterWICProvider(CreateLibRawProvider());
  for (const TPXFileType type : {pxftHDP, pxftDDS, pxftHEIF, pxftWEBP, pxftWIC}) {
    TPXFormatRow row;
    if (const TPXFormatRow* old = FormatRow(type)) row = *old;
    row.Decode = [type](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress,
                        bool PreviewOnly, std::unique_ptr<TPXMask>&) -> int32_t {
      DecodeWICStream(Stream, type, PreviewOnly ? nullptr : Bitmap, Params, Progress);
      return 0;
    };
    if (WICContainerOfType(type) != TPXWICContainer::wcNone)
      row.Encode = [type](TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXMask*,
                          TPXProgressRecord& Progress) { EncodeWICStream(Stream, type, Bitmap, Params, Progress); };
    if (!row.Signature) row.Signature = [type](TStream* Stream) { return IsWICDecodable(Stream, type); };
    row.PageCount = GetWICStreamFrameCount;
    RegisterFormatRow(type, std::move(row));
  }
}
