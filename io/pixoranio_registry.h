// The file-format registry: the one list of formats the library knows (type, name, extensions,
// read and write abilities, parameters-dialog page), the lookups by type and extension, the open
// and save dialogs' filter texts, and the format table through which codecs reach the I/O front
// end (decoder, encoder, signature test and page counter per type). Codecs fill their rows when
// they register; until then a type has no row and counts as "format unavailable".
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "core/hypxdefs.h"
#include "core/pxsettings.h"
#include "platform/rtl/Classes.h"

class TPXBitmap;
class TPXMask;
class TIOParams;

// File types. An int32: plug-ins may use numbers of their own.
using TPXFileType = int32_t;
inline constexpr TPXFileType pxftUnknown = 0;
inline constexpr TPXFileType pxftTIFF = 1;
inline constexpr TPXFileType pxftGIF = 2;
inline constexpr TPXFileType pxftJPEG = 3;
inline constexpr TPXFileType pxftPCX = 4;
inline constexpr TPXFileType pxftBMP = 5;
inline constexpr TPXFileType pxftICO = 6;
inline constexpr TPXFileType pxftCUR = 7;
inline constexpr TPXFileType pxftPNG = 8;
inline constexpr TPXFileType pxftWMF = 9;
inline constexpr TPXFileType pxftEMF = 10;
inline constexpr TPXFileType pxftTGA = 11;
inline constexpr TPXFileType pxftPXM = 12;
inline constexpr TPXFileType pxftJP2 = 13;
inline constexpr TPXFileType pxftJ2K = 14;
inline constexpr TPXFileType pxftAVI = 15;
inline constexpr TPXFileType pxftWBMP = 16;
inline constexpr TPXFileType pxftPS = 17;
inline constexpr TPXFileType pxftPDF = 18;
inline constexpr TPXFileType pxftDCX = 19;
inline constexpr TPXFileType pxftRAW = 20;
inline constexpr TPXFileType pxftBMPRAW = 21;
inline constexpr TPXFileType pxftWMV = 22;
inline constexpr TPXFileType pxftMPEG = 23;
inline constexpr TPXFileType pxftPSD = 24;
inline constexpr TPXFileType pxftPXV = 25;
inline constexpr TPXFileType pxftPXN = 26;
inline constexpr TPXFileType pxftALL = 27;
inline constexpr TPXFileType pxftDICOM = 28;
inline constexpr TPXFileType pxftHDP = 29;
inline constexpr TPXFileType pxftSVG = 31;
inline constexpr TPXFileType pxftDDS = 32;
inline constexpr TPXFileType pxftHEIF = 33;
inline constexpr TPXFileType pxftWEBP = 34;
inline constexpr TPXFileType pxftWIC = 99;

// Pages of the format-parameters dialog, one bit each: 0 all, 1 the picture's own format,
// 2 JPEG, 3 TIFF, 4 GIF, 5 BMP, 6 PCX, 7 PNG, 8 Targa, 9 JPEG 2000.
using TPXPreviewsPages = uint16_t;

// Which formats a dialog filter lists.
enum class TPXShowFormats : uint8_t {
  pxsfImagesAndVideos,
  pxsfImagesOnly,
  pxsfVideosOnly,
  pxsfAllOnly,
  pxsfLayerFormatsOnly,
  pxsfLayerFormatsPriority,
};
using enum TPXShowFormats;

// Callbacks of a registry entry. Present read/write callbacks mean the format can be read or
// written; the try callback is the content test the sniffer asks after its own.
using TPXReadFormatProc = std::function<void(TStream* Stream, TPXBitmap* Bitmap)>;
using TPXWriteFormatProc = std::function<void(TStream* Stream, TPXBitmap* Bitmap)>;
using TPXTryFormatProc = std::function<bool(TStream* Stream, TPXFileType FileType)>;

class TPXFileFormatInfo : public TObject {
 public:
  TPXFileType FileType = pxftUnknown;
  std::string FullName;
  std::string Extensions;         // upper case, no dots, ";"-separated; may be empty
  std::string SuitableExtension;  // lower case; the first of Extensions when empty at registration
  bool InternalFormat = true;     // false for plug-in formats
  TPXPreviewsPages DialogPage = 0;
  TPXReadFormatProc ReadFunction;
  TPXWriteFormatProc WriteFunction;
  TPXTryFormatProc TryFunction;

  // Appends the entry to the registry (which takes it over), filling an empty SuitableExtension
  // with the first item of Extensions. Without a registry the entry is dropped.
  static TPXFileFormatInfo* Register(std::unique_ptr<TPXFileFormatInfo> Info);
};

// ---------------------------------------------------------------------------------------------
// Registry

// Builds the registry in the settings object with the built-in entries (26 without the
// platform's imaging component, which this platform has not). Frees an earlier one first.
void RegisterFileFormats();
// Removes and frees the entry of FileType, if any.
void UnregisterFileFormat(TPXFileType FileType);
// Frees every entry and the list; the settings' slot becomes none.
void FreeFileFormats();

// Number of entries (0 without a registry) and entry Index in registration order.
int32_t FileFormatCount();
TPXFileFormatInfo* FileFormatAt(int32_t Index);

// The entry of FileType, none for 0 or an unknown type.
TPXFileFormatInfo* FileFormatByType(TPXFileType FileType);
// The first entry holding Ext (case-insensitive, one leading "." ignored); none for "".
TPXFileFormatInfo* FileFormatByExtension(std::string_view Ext);
int32_t GetExtensionCount(TPXFileType FileType);
// Item Index of the entry's extension list, "" past the end or for an unknown type.
std::string GetExtensionOfType(TPXFileType FileType, int32_t Index);
// The registry's type; else 23 for MPE, MPG, MPEG, 22 for WMV, else 0.
TPXFileType FileTypeFromExtension(std::string_view Ext);
TPXFileType FileTypeFromFileName(std::string_view FileName);
// Video extensions answer VideoAnswer; others whether an entry has the extension and can read.
bool IsLoadableExtension(std::string_view FileName, bool VideoAnswer);

// Gives the GIF entry read and write callbacks only when the settings hold the GIF LZW decoder
// and encoder respectively.
void UpdateGifFormatAbilities();

// The common dialogs' filter text: alternating names and pattern lists separated by "|".
// MultiImageTarget (saving) keeps only formats for which IsMultiPage answers true.
std::string BuildDialogFilter(bool ForSaving, TPXShowFormats ShowFormats, TPXFileType DefaultType,
                              std::string_view ExtraFilter, bool MultiImageTarget);
// Pages of a file: its type by content with the extension as fallback, then the counter of the
// format table's row (TIFF, GIF, ICO, PDF, DCX, DICOM); every other picture counts 1, a file of
// unknown type, a video or a format without its counter 0.
int32_t GetImageCountOfFile(std::string_view FileName);
// The row's counter on the file opened for reading; a file that cannot be opened raises the
// stream's error; 0 while the format has no counter.
int32_t GetTiffPageCountOfFile(std::string_view FileName);
int32_t GetDcxPageCountOfFile(std::string_view FileName);
int32_t GetIcoImageCountOfFile(std::string_view FileName);
// 0 on any failure.
int32_t GetGifFrameCountOfFile(std::string_view FileName);

// Whether a format holds several pages (TIFF, GIF, DCX, ICO, PDF, PS; and what the format
// table's rows say).
bool FileTypeIsMultiPage(TPXFileType FileType);

// ---------------------------------------------------------------------------------------------
// Format table: how the I/O front end reaches the codec of each type.

// Decodes the picture at the stream's position into Bitmap; answers the page or frame count
// where the format has one (TIFF, GIF), else 0. Mask receives the alpha channel of readers
// whose rules say MaskToAlpha. Never raises on bad data: sets the progress record's flag.
using TPXDecodeProc = std::function<int32_t(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params,
                                            TPXProgressRecord& Progress, bool PreviewOnly,
                                            std::unique_ptr<TPXMask>& Mask)>;
// Encodes Bitmap at the stream's position; AlphaMask (may be nil) is the picture's alpha.
using TPXEncodeProc = std::function<void(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params,
                                         TPXMask* AlphaMask, TPXProgressRecord& Progress)>;
// Answers whether the data at the stream's position is of this format; restores the position.
using TPXSignatureProc = std::function<bool(TStream* Stream)>;
// Pages or frames of the picture at the stream's position.
using TPXPageCountProc = std::function<int32_t(TStream* Stream)>;

// What a type's load and save members do beyond the common shape.
struct TPXFormatRules {
  bool IntegerResult = false;      // loads answer the reader's page or frame count (-1: failed)
  bool MaskToAlpha = false;        // the reader hands the alpha channel back as a mask
  bool AlphaMaskOnSave = false;    // the writer gets the alpha channel as an 8-bit mask
  bool ConvertTo24OnSave = false;  // pictures other than px24RGB and px1g become px24RGB
  std::string StreamHeader;        // "TIFF", "PCX2", "JFIF": the 12-byte stream header, or none
  int32_t ReadBufferSize = 0;      // file loads read through a buffered stream of this size
  bool MultiPage = false;          // the format holds several pages
};

struct TPXFormatRow {
  TPXDecodeProc Decode;        // none: the type cannot be read yet
  TPXEncodeProc Encode;        // none: the type cannot be written yet
  TPXSignatureProc Signature;  // the content test the sniffer asks
  // A second content test with a per-type meaning: TIFF: the camera-raw marks of a TIFF-built
  // file (a DNG); JPEG: a start of image at the position or within the 149 bytes after it;
  // camera RAW: the raw engine is ready and recognises the data.
  TPXSignatureProc AltSignature;
  TPXPageCountProc PageCount;
  TPXFormatRules Rules;
};

// Fills (or replaces) the row of FileType; an empty row removes it.
void RegisterFormatRow(TPXFileType FileType, TPXFormatRow Row);
void UnregisterFormatRow(TPXFileType FileType);
// The row of FileType, none while no codec has registered it. The pointer stays valid until the
// row is replaced or removed; rows are registered at start-up, before any I/O runs.
const TPXFormatRow* FormatRow(TPXFileType FileType);
// Whether a codec can read / write the type.
bool FormatCanRead(TPXFileType FileType);
bool FormatCanWrite(TPXFileType FileType);

// The LZW coders the codec units provide; InitIOSupport copies them into the settings object.
struct TPXLzwCoders {
  TPXGifLzwDecompressProc GifDecode = nullptr;
  TPXGifLzwCompressProc GifEncode = nullptr;
  TPXTiffLzwDecompressProc TiffDecode = nullptr;
  TPXTiffLzwCompressProc TiffEncode = nullptr;
};
void RegisterLzwCoders(const TPXLzwCoders& Coders);
const TPXLzwCoders& RegisteredLzwCoders();

// Square pixels: for DpiX <> DpiY (both positive) and a non-empty Bitmap, a new bitmap whose
// shorter side is scaled so both resolutions become the larger axis's (Params' DpiX, DpiY,
// Width and Height follow). With Resample the picture goes through 24-bit RGB and the settings'
// default resample filter, otherwise it is stretched in its own pixel format. Answers none when
// nothing needs doing (the caller keeps Bitmap).
std::unique_ptr<TPXBitmap> AdjustBitmapForDpi(TPXBitmap* Bitmap, TIOParams* Params, bool Resample);
