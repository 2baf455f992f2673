// The imaging component: a registry of codec providers that read and write the formats the
// library has no codec of its own for (HD Photo, DDS, HEIF, WebP, camera raw files), and the
// bridge between them and the library's bitmaps and I/O parameters.
//
// A provider answers what a platform imaging codec answers: whether it recognises a stream,
// a decoder (frames, their size, resolution, pixel layout, palette, rows, thumbnail, preview)
// and, for the container it writes, an encoder (options, size, resolution, pixel layout, rows,
// commit). The bridge picks decoders by content, never by type, converts the provider's layouts
// into the library's pixel formats and fills the parameters. Failures a provider reports become
// EPXException "WIC Failure"; readers catch them and set the abort flag.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "io/pixoranio_registry.h"

class TStream;
class TPXBitmap;
class TIOParams;

// Result codes of the provider interface, with the platform's values (negative is failure).
using TPXWICResult = int32_t;
inline constexpr TPXWICResult wicOK = 0;
inline constexpr TPXWICResult wicFalse = 1;
inline constexpr TPXWICResult wicFail = static_cast<int32_t>(0x80004005u);
inline constexpr TPXWICResult wicNotImpl = static_cast<int32_t>(0x80004001u);
inline constexpr TPXWICResult wicInvalidArg = static_cast<int32_t>(0x80070057u);
inline constexpr TPXWICResult wicOutOfMemory = static_cast<int32_t>(0x8007000Eu);
inline constexpr TPXWICResult wicPaletteUnavailable = static_cast<int32_t>(0x88982F45u);
inline constexpr TPXWICResult wicCodecNoThumbnail = static_cast<int32_t>(0x88982F44u);
inline constexpr TPXWICResult wicUnsupportedPixelFormat = static_cast<int32_t>(0x88982F80u);
inline constexpr TPXWICResult wicFrameMissing = static_cast<int32_t>(0x88982F62u);
inline constexpr TPXWICResult wicBadImage = static_cast<int32_t>(0x88982F60u);

// Raises EPXException "WIC Failure" for a failure code.
void CheckWICResult(TPXWICResult Result);

// Pixel layouts a source may have. Rows are packed (1-bit: leftmost pixel in the top bit);
// 16-bit samples are in host order; CMYK has 0 for no ink.
enum class TPXWICPixelFormat : uint8_t {
  wpfUndefined = 0,  // "no requested format": the encoder chooses
  wpf1bppIndexed,
  wpf8bppIndexed,
  wpfBlackWhite,     // 0 black, 1 white
  wpf8bppGray,
  wpf16bppGray,
  wpf24bppBGR,
  wpf24bppRGB,
  wpf32bppBGRA,
  wpf32bppRGBA,
  wpf48bppRGB,
  wpf64bppRGBA,
  wpf32bppCMYK,
};
using enum TPXWICPixelFormat;

// Bits per pixel of a layout (0 for wpfUndefined) and bytes of a row of Width pixels.
int32_t WICBitsPerPixel(TPXWICPixelFormat Format);
int32_t WICChannelCount(TPXWICPixelFormat Format);
uint64_t WICRowBytes(TPXWICPixelFormat Format, uint32_t Width);

// The library format of a source layout and whether its alpha is kept; Palette (0xAARRGGBB)
// decides the alpha of 8bppIndexed.
TPXPixelFormat WICPixelFormatToPX(TPXWICPixelFormat Format, const std::vector<uint32_t>& Palette, bool& HasAlpha);

// Pixel sources: a frame, a thumbnail, a preview, a converter or a wrapped bitmap.
class IPXWICBitmapSource {
 public:
  virtual ~IPXWICBitmapSource() = default;
  virtual TPXWICResult GetSize(uint32_t& Width, uint32_t& Height) = 0;
  virtual TPXWICResult GetPixelFormat(TPXWICPixelFormat& Format) = 0;
  virtual TPXWICResult GetResolution(double& DpiX, double& DpiY) = 0;
  // Colours as 0xAARRGGBB; wicPaletteUnavailable when the layout has none.
  virtual TPXWICResult CopyPalette(std::vector<uint32_t>& Colors) = 0;
  // Rows Top .. Top + Count - 1, pixels Left .. Left + Width - 1, Stride bytes apart in Buffer
  // of BufferSize bytes.
  virtual TPXWICResult CopyPixels(uint32_t Left, uint32_t Top, uint32_t Width, uint32_t Count, uint32_t Stride,
                                  uint64_t BufferSize, uint8_t* Buffer) = 0;
};

// A whole picture held in memory; the base of most providers' frames.
class TPXWICMemorySource : public IPXWICBitmapSource {
 public:
  // Raises EPXException "WIC Failure" when the size is zero or the rows do not fit in memory.
  TPXWICMemorySource(uint32_t Width, uint32_t Height, TPXWICPixelFormat Format);
  uint8_t* Row(uint32_t Y) { return FPixels.get() + uint64_t(Y) * FStride; }
  uint64_t Stride() const { return FStride; }
  std::vector<uint32_t>& Palette() { return FPalette; }
  void SetResolution(double DpiX, double DpiY) {
    FDpiX = DpiX;
    FDpiY = DpiY;
  }

  TPXWICResult GetSize(uint32_t& Width, uint32_t& Height) override;
  TPXWICResult GetPixelFormat(TPXWICPixelFormat& Format) override;
  TPXWICResult GetResolution(double& DpiX, double& DpiY) override;
  TPXWICResult CopyPalette(std::vector<uint32_t>& Colors) override;
  TPXWICResult CopyPixels(uint32_t Left, uint32_t Top, uint32_t Width, uint32_t Count, uint32_t Stride,
                          uint64_t BufferSize, uint8_t* Buffer) override;

 private:
  uint32_t FWidth, FHeight;
  TPXWICPixelFormat FFormat;
  uint64_t FStride;
  std::unique_ptr<uint8_t[]> FPixels;  // rows the provider fills
  std::vector<uint32_t> FPalette;
  double FDpiX = 0, FDpiY = 0;  // 0: the source has no resolution
};

// One frame of a decoder.
class IPXWICBitmapFrameDecode : public IPXWICBitmapSource {
 public:
  // The frame's own small picture; wicCodecNoThumbnail when it has none.
  virtual TPXWICResult GetThumbnail(std::unique_ptr<IPXWICBitmapSource>& Thumbnail) {
    (void)Thumbnail;
    return wicCodecNoThumbnail;
  }
  // The frame's EXIF data as a TIFF structure; wicFalse when it has none.
  virtual TPXWICResult GetExifTiff(std::vector<uint8_t>& Tiff) {
    (void)Tiff;
    return wicFalse;
  }
};

class IPXWICBitmapDecoder {
 public:
  virtual ~IPXWICBitmapDecoder() = default;
  virtual TPXWICResult GetFrameCount(uint32_t& Count) = 0;
  virtual TPXWICResult GetFrame(uint32_t Index, std::unique_ptr<IPXWICBitmapFrameDecode>& Frame) = 0;
  // The file's embedded preview picture; wicNotImpl when it has none.
  virtual TPXWICResult GetPreview(std::unique_ptr<IPXWICBitmapSource>& Preview) {
    (void)Preview;
    return wicNotImpl;
  }
};

// Encoder options with the platform's names and variant types.
enum class TPXWICVariantType : uint16_t { vtR4 = 4, vtBool = 11, vtUI1 = 17, vtUI2 = 18 };
struct TPXWICOption {
  std::string Name;
  TPXWICVariantType Type;
  double Value;
};
using TPXWICPropertyBag = std::vector<TPXWICOption>;
// The option Name of the bag, or nil.
const TPXWICOption* FindWICOption(const TPXWICPropertyBag& Bag, std::string_view Name);

class IPXWICBitmapFrameEncode {
 public:
  virtual ~IPXWICBitmapFrameEncode() = default;
  virtual TPXWICResult Initialize(const TPXWICPropertyBag& Options) = 0;
  virtual TPXWICResult SetSize(uint32_t Width, uint32_t Height) = 0;
  virtual TPXWICResult SetResolution(double DpiX, double DpiY) = 0;
  // Asked for Format (wpfUndefined: any), answers the layout the rows must have.
  virtual TPXWICResult SetPixelFormat(TPXWICPixelFormat& Format) = 0;
  virtual TPXWICResult WritePixels(uint32_t LineCount, uint32_t Stride, uint64_t BufferSize, const uint8_t* Pixels) = 0;
  virtual TPXWICResult Commit() = 0;
};

class IPXWICBitmapEncoder {
 public:
  virtual ~IPXWICBitmapEncoder() = default;
  // A new frame and the option bag its Initialize takes, filled with the option names the
  // encoder knows (the bridge writes its values into it).
  virtual TPXWICResult CreateNewFrame(std::unique_ptr<IPXWICBitmapFrameEncode>& Frame, TPXWICPropertyBag& Options) = 0;
  // Writes the container to the stream given at creation; nothing is written before.
  virtual TPXWICResult Commit() = 0;
};

// The containers encoders write.
enum class TPXWICContainer : uint8_t { wcNone, wcTiff, wcGif, wcJpeg, wcBmp, wcIco, wcPng, wcWmp, wcDds, wcHeif, wcWebp };

// The codec information a provider reports for its decoder and encoder.
struct TPXWICCodecDescription {
  std::string FriendlyName;
  std::string Clsid;       // "{...}"
  std::string Extensions;  // ".webp,.WEBP": the file extensions, "," between
  std::string Version;
  std::string Author;
};

// A codec provider. Probing and creating a decoder start at the stream's position; the bridge
// restores it after a probe.
class TPXWICProvider {
 public:
  virtual ~TPXWICProvider() = default;
  virtual TPXWICCodecDescription DecoderInfo() const = 0;
  virtual TPXWICCodecDescription EncoderInfo() const { return DecoderInfo(); }
  // Whether the data at the stream's position is this provider's.
  virtual bool Probe(TStream* Stream) = 0;
  virtual TPXWICResult CreateDecoder(TStream* Stream, std::unique_ptr<IPXWICBitmapDecoder>& Decoder) = 0;
  // The container the encoder writes; wcNone for a read-only provider.
  virtual TPXWICContainer EncoderContainer() const { return TPXWICContainer::wcNone; }
  virtual TPXWICResult CreateEncoder(TStream* Stream, std::unique_ptr<IPXWICBitmapEncoder>& Encoder) {
    (void)Stream;
    (void)Encoder;
    return wicNotImpl;
  }
};

// The registry. Decoders are tried in registration order (First puts the provider in front);
// the encoder of a container is the first provider writing it. Registration happens at start-up
// or in tests, never while pictures are read or written.
void RegisterWICProvider(std::shared_ptr<TPXWICProvider> Provider, bool First = false);
void UnregisterWICProvider(const TPXWICProvider* Provider);
std::vector<std::shared_ptr<TPXWICProvider>> WICProviders();

// The container a file type is written in (wcNone: it cannot be written) and the extension a
// decoder must list for it (empty: any decoder).
TPXWICContainer WICContainerOfType(TPXFileType FileType);
std::string WICExtensionOfType(TPXFileType FileType);

// The pixel source over a bitmap (and, for px24RGB, its alpha channel); owns neither.
class TPXWICBitmapWrapper : public IPXWICBitmapSource {
 public:
  TPXWICBitmapWrapper(TPXBitmap* Bitmap, TPXBitmap* AlphaBitmap);
  TPXWICResult GetSize(uint32_t& Width, uint32_t& Height) override;
  TPXWICResult GetPixelFormat(TPXWICPixelFormat& Format) override;
  TPXWICResult GetResolution(double& DpiX, double& DpiY) override;
  TPXWICResult CopyPalette(std::vector<uint32_t>& Colors) override;
  TPXWICResult CopyPixels(uint32_t Left, uint32_t Top, uint32_t Width, uint32_t Count, uint32_t Stride,
                          uint64_t BufferSize, uint8_t* Buffer) override;

 private:
  TPXBitmap* FBitmap;
  TPXBitmap* FAlpha;
};

// A source seen in another layout (the platform's format converter). Targets: the source's own
// layout, 24bppBGR, 32bppBGRA, 32bppRGBA, 8bppGray, 16bppGray, 48bppRGB, 32bppCMYK, and
// 8bppIndexed or BlackWhite from indexed and 1-bit sources.
std::unique_ptr<IPXWICBitmapSource> CreateWICFormatConverter(IPXWICBitmapSource* Source, TPXWICPixelFormat Target);

class TPXWICReader {
 public:
  TPXWICReader();
  ~TPXWICReader();
  static bool IsAvailable();
  bool Open(TStream* Stream, TPXFileType FileType);
  bool IsDecodable(TStream* Stream, TPXFileType FileType);
  bool GetCodecInfo(std::string& FriendlyName, std::string& Clsid, std::string& Extensions, std::string& Version,
                    std::string& Author);
  int32_t GetFrameCount();
  bool ReadFrame(int32_t Index, TPXBitmap* Bitmap, TIOParams* Params, TPXAbortFlag* AbortingFlag);
  int32_t GetFrameWidth();
  int32_t GetFrameHeight();
  void Close();

 private:
  bool OpenDecoder(TStream* Stream);

  std::shared_ptr<TPXWICProvider> FProvider;
  std::unique_ptr<IPXWICBitmapDecoder> FDecoder;
  std::unique_ptr<IPXWICBitmapFrameDecode> FFrame;
  double FDpiX, FDpiY;
  TStream* FStream = nullptr;
  int64_t FStreamPos = 0;
};

class TPXWICWriter {
 public:
  TPXWICWriter();
  ~TPXWICWriter();
  static bool IsAvailable();
  bool Open(TStream* Stream, TPXFileType FileType);
  void SetEncoderOption(TPXWICPropertyBag& Bag, const std::string& Name, double Value, TPXWICVariantType VariantType);
  void WriteFrame(TPXBitmap* Bitmap, TIOParams* Params);
  bool GetCodecInfo(std::string& FriendlyName, std::string& Clsid, std::string& Extensions, std::string& Version,
                    std::string& Author);
  void Close();

 private:
  void WriteFrameRows(TPXBitmap* Bitmap, TIOParams* Params);

  std::shared_ptr<TPXWICProvider> FProvider;
  std::unique_ptr<IPXWICBitmapEncoder> FEncoder;
  double FDpiX, FDpiY;
  double FImageQuality = -1.0;
  double FCompressionQuality = -1.0;
  bool FLossless = false;
  bool FUseCodecOptions = false;
  int32_t FQuality = 1;
  int32_t FOverlap = 1;
  int32_t FSubsampling = 3;
  int32_t FHorizontalTileSlices = 0;
  int32_t FVerticalTileSlices = 0;
  bool FFrequencyOrder = true;
  uint8_t FTiffCompressionIndex = 1;
  TStream* FStream = nullptr;
  int64_t FStreamPos = 0;
};

// Decodes the frame Params->ImageIndex of the stream into Bitmap (nil: only Params), fills Params
// and sets their image count to the frame count (0 when no provider accepts the stream, which
// also sets the abort flag and leaves Bitmap untouched).
void DecodeWICStream(TStream* Stream, TPXFileType FileType, TPXBitmap* Bitmap, TIOParams* Params,
                     TPXProgressRecord& Progress);
// Writes Bitmap as one frame in the container of FileType. A type without a container sets the
// abort flag and writes nothing; provider failures raise "WIC Failure" and write nothing.
void EncodeWICStream(TStream* Stream, TPXFileType FileType, TPXBitmap* Bitmap, TIOParams* Params,
                     TPXProgressRecord& Progress);
// Frames of a file; 0 when it cannot be opened or decoded.
int32_t GetWICFrameCount(const std::string& FileName, TPXFileType FileType);
int32_t GetWICStreamFrameCount(TStream* Stream);
// Whether a provider accepts the stream (for a type with an extension: one listing it); the
// position is restored.
bool IsWICDecodable(TStream* Stream, TPXFileType FileType);
// Always true here: the providers are part of the library.
bool WICAvailable();

// Fills the format rows of HD Photo (29), DDS (32), HEIF (33), WebP (34) and the catch-all
// type 99, and registers the built-in providers.
void RegisterWICCodec();
// The built-in providers, one per unit.
std::shared_ptr<TPXWICProvider> CreateLibRawProvider();
std::shared_ptr<TPXWICProvider> CreateWebpProvider();
