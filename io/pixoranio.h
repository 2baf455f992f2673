// TPixoranIO: the component through which the library reads and writes pictures. It works on
// one picture at a time (its own TPXBitmap, a bitmap handed to it, an attached view's picture or
// an attached TImage's bitmap), picks a reader or writer by type, extension or content, carries
// the picture's parameters (TIOParams), reports progress and the end of every operation through
// events, and can run loads and saves on worker threads (TPXIOThread).
//
// Where the members are defined:
//   pixoranio.cpp          construction, attachment, notifications, properties, the common
//                          steps (CheckBitmap, PrepareBitmap, progress record, default DPI,
//                          AdjustDPI, UpdateAttached, ClearModified), safe file writing, the
//                          operation guard, the factories of io/pixoranio_view.h
//   pixoranio_thread.cpp   TPXIOThread, the asynchronous test and hand-over, IsIOThread,
//                          WaitThreads
//   pixoranio_misc.cpp     LoadFromURL, Seek, SaveToText, SaveToTextStream, FileTypeForSaving
//   pixoranio_entries.cpp  the other load and save entries and the header-only reads
//   pixoranio_formats*.cpp the per-format load and save members, their cores and the stream
//                          headers
//
// Outcome of an operation: Aborting (atomic) is the result flag; every entry that set it ends
// with exactly one DoFinishWork. Operations on one component are serialised: every entry holds
// a TPXIOOperation guard from after its asynchronous test to its end (re-entrant, so an entry
// may call another).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/hypxdefs.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pixoranio_view.h"
#include "io/pxxBitmaps_params.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SyncObjs.h"
#include "platform/video/VideoFile.h"

class TImage;
class TMetafile;
class TPXMetafile;
class TPixoranIO;
class TPXIOThread;

// Options of the parameters dialog.
enum class TIOPreviewsParam : uint8_t { ioppDefaultLockPreview, ioppApplyButton };
using enum TIOPreviewsParam;
using TIOPreviewsParams = TSet<TIOPreviewsParam>;

enum class TPXDialogsMeasureUnit : uint8_t { pxduInches, pxduCm, pxduSelectableDefInches, pxduSelectableDefCm };
using enum TPXDialogsMeasureUnit;

PX_EVENT_TYPE(TPXDoPreviewsEvent, void(TObject* Sender, bool& Handled));
PX_EVENT_TYPE(TPXIOPreviewEvent, void(TObject* Sender, TObject* PreviewForm));
// An acquired image with its resolution; Handled: the handler took the image.
PX_EVENT_TYPE(TPXAcquireBitmapEvent, void(TObject* Sender, TPXBitmap* Bitmap, int32_t DpiX, int32_t DpiY, bool& Handled));
PX_EVENT_TYPE(TPXPrintPageEvent, void(TObject* Sender, TCanvas* Canvas, int32_t PageNumber, bool& Continue));

// Print and contact-sheet settings: kept with the component, read by nothing here.
class TIOPrintPreviewParams : public TObject {
 public:
  double MarginTop = 1.0;
  double MarginLeft = 1.0;
  double MarginRight = 1.0;
  double MarginBottom = 1.0;
  uint8_t Position = 4;
  uint8_t Size = 1;
  double Width = -1.0;
  double Height = -1.0;
  double Gamma = 1.0;
  uint8_t PrintThumbnails = 0;
  uint8_t Reserved = 0;
  int32_t ThumbnailColumns = 4;
  int32_t ThumbnailRows = 5;
  double ThumbnailSpacing = 0.1;
  uint8_t ThumbnailStyle = 1;
  uint8_t ThumbnailShowText = 1;
  int32_t ContactSheetWidth = 1200;
  int32_t ContactSheetHeight = 800;
  int32_t ContactSheetMargins = 12;
  int32_t ContactSheetSpacing = 6;
  int32_t HeadingSize = 5;
  int32_t HeadingColor = 0;
  int32_t DlgWidth = 0;
  int32_t DlgHeight = 0;
  uint8_t DlgMaximized = 0;
  uint8_t PrintSelected = 0;
  int32_t MaxiDlgWidth = 0;
  int32_t MaxiDlgHeight = 0;
  uint8_t MaxiDlgMaximized = 1;
};

// What the AVI reader uses of the video stream's information.
struct TPXAviStreamInfo {
  int64_t Length = 0;  // frames
  uint32_t Rate = 0;   // frames per second = Rate / Scale
  uint32_t Scale = 0;
};

// The AVI reading state: the open file's frame reader and its stream information (and a writing
// state nothing opens).
struct TPXAviState {
  std::unique_ptr<TVideoFile> FrameReader;
  TPXAviStreamInfo StreamInfo;
  void* WriteFile = nullptr;
  void* WriteStream = nullptr;
  int32_t WriteFrameCount = 0;
};

// The call shapes of the worker thread: argument list and result of the stored entry.
enum class TPXIOCallShape : uint8_t {
  pxcsFile,                 // (file name)
  pxcsFileType,             // (file name, type)
  pxcsStream,               // (stream)
  pxcsFileInt,              // (file name) -> integer
  pxcsFileBool,             // (file name) -> Boolean
  pxcsFileTypeBool,         // (file name, type) -> Boolean
  pxcsStreamInt,            // (stream) -> integer
  pxcsStreamBool,           // (stream) -> Boolean
  pxcsStreamType,           // (stream, type)
  pxcsStreamTypeBool,       // (stream, type) -> Boolean
  pxcsFrameBool,            // (frame index) -> Boolean
  pxcsMetafileBool,         // (file name, width, height, transparency) -> Boolean
  pxcsURLBool,              // (web address) -> Boolean
};
using enum TPXIOCallShape;

// Method shapes of the entries a worker can run.
using TPXIOFileProc = void (TPixoranIO::*)(const std::string& FileName);
using TPXIOFileTypeProc = void (TPixoranIO::*)(const std::string& FileName, TPXFileType FileType);
using TPXIOStreamProc = void (TPixoranIO::*)(TStream* Stream);
using TPXIOFileIntFunc = int32_t (TPixoranIO::*)(const std::string& FileName);
using TPXIOFileBoolFunc = bool (TPixoranIO::*)(const std::string& FileName);
using TPXIOFileTypeBoolFunc = bool (TPixoranIO::*)(const std::string& FileName, TPXFileType FileType);
using TPXIOStreamIntFunc = int32_t (TPixoranIO::*)(TStream* Stream);
using TPXIOStreamBoolFunc = bool (TPixoranIO::*)(TStream* Stream);
using TPXIOStreamTypeProc = void (TPixoranIO::*)(TStream* Stream, TPXFileType FileType);
using TPXIOStreamTypeBoolFunc = bool (TPixoranIO::*)(TStream* Stream, TPXFileType FileType);
using TPXIOFrameBoolFunc = bool (TPixoranIO::*)(int32_t Frame);
using TPXIOMetafileBoolFunc = bool (TPixoranIO::*)(const std::string& FileName, int32_t Width, int32_t Height,
                                                  bool Transparency);

// The message with which a reader says that the optional companion library is missing or too
// old; header reads pass it on to their caller.
std::string CompanionLibraryMessage();

// Holds a component's operation lock (re-entrant) for its lifetime.
class TPXIOOperation {
 public:
  explicit TPXIOOperation(TPixoranIO* IO);
  ~TPXIOOperation();
  TPXIOOperation(const TPXIOOperation&) = delete;
  TPXIOOperation& operator=(const TPXIOOperation&) = delete;

 private:
  TPixoranIO* FIO;
};

// The library's version text.
inline constexpr const char* PixoranLibraryVersion = "Pixoran 1.0";

class TPixoranIO : public TComponent, public IPXParamsOwnerIO {
  PX_CLASS(TPixoranIO)
 public:
  explicit TPixoranIO(TComponent* AOwner);
  // A component without owner working on Bitmap (not owned).
  static std::unique_ptr<TPixoranIO> CreateForBitmap(TPXBitmap* Bitmap);
  // Waits for the component's threads (without aborting them) first. A descendant whose
  // overrides run on workers waits in its own destructor, while they still exist.
  ~TPixoranIO() override;

  // --- attachment ----------------------------------------------------------------------------
  // Changes of attachment wait for a running operation (they replace its bitmap).
  // Unregisters from a view; a nil Bitmap while a view or TImage is attached changes nothing
  // else; otherwise Bitmap becomes the working bitmap (not owned) and the attachments clear.
  void SetAttachedBitmap(TPXBitmap* Bitmap);
  // Bitmap (nil allowed, not owned) becomes the working bitmap; an owned one is freed first.
  void AssignWorkingBitmap(TPXBitmap* Bitmap);
  IPXIOView* AttachedPixoran() const { return FAttachedPixoran; }
  void SetAttachedPixoran(IPXIOView* Value);
  TImage* AttachedTImage() const { return FAttachedTImage; }
  void SetAttachedTImage(TImage* Value);
  // The callback registered with the view (codes pxbc*).
  void ViewBitmapChanged(TObject* Sender, int32_t Code);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // The picture every operation works on (nil possible).
  TPXBitmap* WorkingBitmap() const { return FBitmap; }
  bool OwnsBitmap() const { return FOwnsBitmap; }
  // The attached platform bitmap reference (a view's TBitmap or a TImage's picture bitmap).
  TBitmap* AttachedTBitmap() const { return FAttachedTBitmap; }

  // --- properties ----------------------------------------------------------------------------
  // The parameters of the working bitmap when it carries its own, else the component's.
  TIOParams* GetParams();
  TIOParams* Params() { return GetParams(); }
  TColor GetBackground();
  TColor Background() { return GetBackground(); }
  void SetBackground(TColor Value);
  bool GetNativePixelFormat();
  bool NativePixelFormat() { return GetNativePixelFormat(); }
  void SetNativePixelFormat(bool Value);
  bool Aborting() const { return FAborting.load(); }
  // Sets Aborting and the abort flags of the acquisition objects.
  void SetAborting(bool Value);
  // The working bitmap's platform bitmap when that is its storage, else the attached TBitmap.
  virtual TBitmap* GetTBitmap();

  TIOPreviewsParams PreviewsParams() const { return FPreviewsParams; }
  void SetPreviewsParams(TIOPreviewsParams Value) { FPreviewsParams = Value; }
  bool SimplifiedParamsDialogs() const { return FSimplifiedParamsDialogs; }
  void SetSimplifiedParamsDialogs(bool Value) { FSimplifiedParamsDialogs = Value; }
  bool StreamHeaders() const { return FStreamHeaders; }
  void SetStreamHeaders(bool Value) { FStreamHeaders = Value; }
  TFont* PreviewFont() const { return FPreviewFont.get(); }
  // Copies the font's attributes.
  void SetPreviewFont(TFont* Value);
  bool PreviewFontEnabled() const { return FPreviewFontEnabled; }
  void SetPreviewFontEnabled(bool Value) { FPreviewFontEnabled = Value; }
  TPXDialogsMeasureUnit DialogsMeasureUnit() const { return FDialogsMeasureUnit; }
  void SetDialogsMeasureUnit(TPXDialogsMeasureUnit Value) { FDialogsMeasureUnit = Value; }
  bool AutoAdjustDPI() const { return FAutoAdjustDPI; }
  void SetAutoAdjustDPI(bool Value) { FAutoAdjustDPI = Value; }
  bool FilteredAdjustDPI() const { return FFilteredAdjustDPI; }
  void SetFilteredAdjustDPI(bool Value) { FFilteredAdjustDPI = Value; }
  // No platform imaging component here: stored only.
  bool WicFastLoading() const { return FWicFastLoading; }
  void SetWicFastLoading(bool Value) { FWicFastLoading = Value; }
  uint8_t ColorReductionMode() const { return FColorReductionMode; }
  // Stored here and in the working bitmap's conversion mode.
  void SetColorReductionMode(uint8_t Value);
  TIOPrintPreviewParams* PrintPreviewParams() const { return FPrintPreviewParams.get(); }
  std::string PixoranVersion() const { return PixoranLibraryVersion; }
  void SetPixoranVersion(const std::string&) {}

  // --- events --------------------------------------------------------------------------------
  const TPXProgressEvent& OnProgress() const { return FOnProgress; }
  void SetOnProgress(const TPXProgressEvent& Value) { FOnProgress = Value; }
  const TNotifyEvent& OnFinishWork() const { return FOnFinishWork; }
  void SetOnFinishWork(const TNotifyEvent& Value) { FOnFinishWork = Value; }
  const TPXDoPreviewsEvent& OnDoPreviews() const { return FOnDoPreviews; }
  void SetOnDoPreviews(const TPXDoPreviewsEvent& Value) { FOnDoPreviews = Value; }
  const TPXIOPreviewEvent& OnIOPreview() const { return FOnIOPreview; }
  void SetOnIOPreview(const TPXIOPreviewEvent& Value) { FOnIOPreview = Value; }
  const TPXAcquireBitmapEvent& OnAcquireBitmap() const { return FOnAcquireBitmap; }
  void SetOnAcquireBitmap(const TPXAcquireBitmapEvent& Value) { FOnAcquireBitmap = Value; }
  const TNotifyEvent& OnAcquireClose() const { return FOnAcquireClose; }
  void SetOnAcquireClose(const TNotifyEvent& Value) { FOnAcquireClose = Value; }
  // Never fired here.
  const TPXPrintPageEvent& OnPrintPage() const { return FOnPrintPage; }
  void SetOnPrintPage(const TPXPrintPageEvent& Value) { FOnPrintPage = Value; }

  // Progress and end of work: on one of the component's threads with a view in a window they
  // are posted to the view (PXMSG_IO_PROGRESS, PXMSG_IO_FINISHWORK); else the events run on the
  // calling thread.
  virtual void DoProgress(TObject* Sender, int32_t per);
  // Progress 100, then OnFinishWork.
  virtual void DoFinishWork();
  // EPXException "Active layer does not contain bitmap" when there is nothing to work on.
  void CheckBitmap();

  // --- load and save entries -----------------------------------------------------------------
  // Type 0: from the content.
  virtual bool LoadFromFile(const std::string& FileName, TPXFileType FileType);
  virtual bool LoadFromFileByExtension(const std::string& FileName, bool RetryWithContent);
  virtual bool LoadFromFileAuto(const std::string& FileName);
  virtual bool LoadFromFileFormat(const std::string& FileName, TPXFileType FileType);
  // Type 0: from the content.
  virtual bool LoadFromStream(TStream* Stream, TPXFileType FileType);
  virtual bool LoadFromStreamFormat(TStream* Stream, TPXFileType FileType);
  // False (and Aborting) for a nil block or size 0.
  virtual bool LoadFromBuffer(const void* Buffer, int32_t BufferSize, TPXFileType FileType);
  // Keeps Aborting set when the download or the load failed.
  bool LoadFromURL(const std::string& URL);
  // Page 0 first, 1 previous, 2 next, 3 last; answers the target index, -1 when the reload failed.
  int32_t Seek(int32_t Page, const std::string& FileName);
  // Type 0 or negative: by extension. A failed save leaves no file (the old one stays).
  virtual void SaveToFile(const std::string& FileName, TPXFileType FileType);
  // Type 0: Params.FileType, and JPEG when that is 0 too.
  virtual void SaveToStream(TStream* Stream, TPXFileType FileType);
  // Header-only reads into Params (no pixels): true when the header was read.
  // [added for the load entries] ReadParams uses the file when Stream is nil.
  virtual bool ParamsFromFile(const std::string& FileName, TPXFileType FileType);
  virtual bool ParamsFromFileByExtension(const std::string& FileName, bool UseExtension);
  virtual bool ParamsFromFileFormat(const std::string& FileName, TPXFileType FileType);
  virtual bool ParamsFromStream(TStream* Stream, TPXFileType FileType);
  virtual bool ParamsFromStreamFormat(TStream* Stream, TPXFileType FileType);
  // False (and Aborting) for a nil block or size 0.
  virtual bool ParamsFromBuffer(const void* Buffer, int32_t BufferSize, TPXFileType FileType);
  bool ReadParams(const std::string& FileName, TStream* Stream, TPXFileType FileType);
  // [end of addition]

  // --- metafiles and the open prompt (pixoranio_metafile.cpp) --------------------------------
  // The size a metafile of the natural size is drawn at for a wanted size (a side <= 0 follows
  // the other one; both <= 0 keep the natural size), within the settings' FMetafileMaxSize; a
  // natural side of 0 gives 0 x 0.
  static void MetafileSize(int32_t NaturalWidth, int32_t NaturalHeight, int32_t WantedWidth, int32_t WantedHeight,
                           int32_t& Width, int32_t& Height);
  // Rasterise a WMF or EMF into the working bitmap (24-bit; with Transparent the undrawn pixels
  // get alpha 0). The loads call them with -1, -1, True.
  bool ImportMetafile(const std::string& FileName, int32_t Width, int32_t Height, bool Transparent);
  bool ImportMetafileFromStream(TStream* Stream, int32_t Width, int32_t Height, bool Transparent);
  // The class library's metafile drawn through a canvas (no OnFinishWork); its size is set to
  // the one drawn.
  bool ImportTMetafile(TMetafile* Metafile, int32_t Width, int32_t Height, bool Transparent);
  // Prompts for a file to open (the library's open dialog, or the platform's one when the
  // settings' FUseStandardOpenDialog is set); "" when cancelled.
  std::string ExecuteOpenDialog(const std::string& InitialDir, const std::string& InitialFileName,
                                bool AlwaysAnimate, int32_t FilterIndex, const std::string& ExtendedFilters,
                                const std::string& Title, const std::string& Filter, int32_t FilterDefault,
                                int32_t LimitToFileType, TPXShowFormats ShowFormats);
  // Text forms: 0 constant-array source text, 1 hexadecimal byte list, 2 Base64, 3 character
  // picture. Nothing is written after an empty or failed encoding or for another form (Aborting
  // is then set); SaveToText leaves no file in that case.
  virtual void SaveToText(const std::string& FileName, TPXFileType FileType, uint8_t TextFormat);
  virtual void SaveToTextStream(TStream* Stream, TPXFileType FileType, uint8_t TextFormat);

  // --- per-format members (pixoranio_formats.cpp) --------------------------------------------
  int32_t LoadFromFileTiff(const std::string& FileName);
  int32_t LoadFromStreamTiff(TStream* Stream);
  void SaveToFileTiff(const std::string& FileName);
  void SaveToStreamTiff(TStream* Stream);
  int32_t LoadFromFileGif(const std::string& FileName);
  int32_t LoadFromStreamGif(TStream* Stream);
  void SaveToFileGif(const std::string& FileName);
  void SaveToStreamGif(TStream* Stream);
  bool LoadFromFileJpeg(const std::string& FileName);
  bool LoadFromStreamJpeg(TStream* Stream);
  void SaveToFileJpeg(const std::string& FileName);
  void SaveToStreamJpeg(TStream* Stream);
  bool LoadFromFilePcx(const std::string& FileName);
  bool LoadFromStreamPcx(TStream* Stream);
  void SaveToFilePcx(const std::string& FileName);
  void SaveToStreamPcx(TStream* Stream);
  bool LoadFromFileBmp(const std::string& FileName);
  bool LoadFromStreamBmp(TStream* Stream);
  void SaveToFileBmp(const std::string& FileName);
  void SaveToStreamBmp(TStream* Stream);
  bool LoadFromFileIco(const std::string& FileName);
  bool LoadFromStreamIco(TStream* Stream);
  void SaveToFileIco(const std::string& FileName);
  void SaveToStreamIco(TStream* Stream);
  bool LoadFromFileCur(const std::string& FileName);
  bool LoadFromStreamCur(TStream* Stream);
  bool LoadFromFilePng(const std::string& FileName);
  bool LoadFromStreamPng(TStream* Stream);
  void SaveToFilePng(const std::string& FileName);
  void SaveToStreamPng(TStream* Stream);
  bool LoadFromFileTga(const std::string& FileName);
  bool LoadFromStreamTga(TStream* Stream);
  void SaveToFileTga(const std::string& FileName);
  void SaveToStreamTga(TStream* Stream);
  bool LoadFromFilePxm(const std::string& FileName);
  bool LoadFromStreamPxm(TStream* Stream);
  void SaveToFilePxm(const std::string& FileName);
  void SaveToStreamPxm(TStream* Stream);
  bool LoadFromFileJp2(const std::string& FileName);
  bool LoadFromStreamJp2(TStream* Stream);
  void SaveToFileJp2(const std::string& FileName);
  void SaveToStreamJp2(TStream* Stream);
  bool LoadFromFileJ2k(const std::string& FileName);
  bool LoadFromStreamJ2k(TStream* Stream);
  void SaveToFileJ2k(const std::string& FileName);
  void SaveToStreamJ2k(TStream* Stream);
  bool LoadFromFileWbmp(const std::string& FileName);
  bool LoadFromStreamWbmp(TStream* Stream);
  void SaveToFileWbmp(const std::string& FileName);
  void SaveToStreamWbmp(TStream* Stream);
  void SaveToFilePS(const std::string& FileName);
  void SaveToStreamPS(TStream* Stream);
  void SaveToFilePDF(const std::string& FileName);
  void SaveToStreamPDF(TStream* Stream);
  bool LoadFromFileDcx(const std::string& FileName);
  bool LoadFromStreamDcx(TStream* Stream);
  void SaveToFileDcx(const std::string& FileName);
  void SaveToStreamDcx(TStream* Stream);
  bool LoadFromFileRAW(const std::string& FileName);
  bool LoadFromStreamRAW(TStream* Stream);
  bool LoadFromStreamBmpRaw(TStream* Stream);
  bool LoadFromFilePsd(const std::string& FileName);
  bool LoadFromStreamPsd(TStream* Stream);
  void SaveToFilePsd(const std::string& FileName);
  void SaveToStreamPsd(TStream* Stream);
  // Types 25 and 27 only (others answer False).
  bool LoadFromFileVect(const std::string& FileName, TPXFileType FileType);
  bool LoadFromStreamVect(TStream* Stream, TPXFileType FileType);
  bool LoadFromFileLayers(const std::string& FileName, bool Merge);
  bool LoadFromStreamLayers(TStream* Stream, bool Merge);
  // EPXException "Must be attached to a TPixoranView to save in PXN format" without a view.
  void SaveToFileLayers(const std::string& FileName);
  void SaveToStreamLayers(TStream* Stream);
  bool LoadFromFileDicom(const std::string& FileName);
  bool LoadFromStreamDicom(TStream* Stream);
  // EPXException "DICOM saving: unsupported pixel format" for formats other than px1g, px8g,
  // px16g and px24RGB.
  void SaveToFileDicom(const std::string& FileName);
  void SaveToStreamDicom(TStream* Stream);
  bool LoadFromFileHDP(const std::string& FileName);
  bool LoadFromStreamHDP(TStream* Stream);
  void SaveToFileHDP(const std::string& FileName);
  void SaveToStreamHDP(TStream* Stream);
  void SaveToFileSvg(const std::string& FileName);
  void SaveToStreamSvg(TStream* Stream);
  bool LoadFromFileWIC(const std::string& FileName, TPXFileType FileType);
  bool LoadFromStreamWIC(TStream* Stream, TPXFileType FileType);
  void SaveToFileWIC(const std::string& FileName, TPXFileType FileType);
  void SaveToStreamWIC(TStream* Stream, TPXFileType FileType);
  bool LoadFromFilePDF(const std::string& FileName, int32_t Width, int32_t Height, const std::string& Password);
  bool LoadFromStreamPDF(TStream* Stream, int32_t Width, int32_t Height, const std::string& Password);

  // --- video and acquisition sources (pixoranio_video.cpp) -----------------------------------
  // Opens the first video stream of an AVI (or other video) file: answers its frame count, 0 on
  // failure (Aborting set). An open file is closed first.
  int32_t OpenAVIFile(const std::string& FileName);
  // Frame FrameIndex (0 <= index < frame count) of the open file as px24RGB; one DoFinishWork.
  bool LoadFromAVI(int32_t FrameIndex);
  void CloseAVIFile();
  // Opens a media file for frames through the media reader: answers its frame count, 0 on
  // failure (Aborting set). An open media file is closed first.
  int32_t OpenMediaFile(const std::string& FileName);
  // Frame FrameIndex of the open media file; false (picture unchanged) outside the frames or when
  // no frame was decoded.
  bool LoadFromMediaFile(int32_t FrameIndex);
  void CloseMediaFile();
  bool IsMediaFileOpen() const { return FDirectShow != nullptr; }
  // The capture object, made on first use; with a view attached it notifies the view's window.
  virtual IPXIOMediaReader* GetDirectShow();
  // The view's window was made again: the capture object notifies the new one.
  void RebindNotifyWindows();
  // An acquisition object delivers an image: unless OnAcquireBitmap handles it, the working
  // bitmap becomes a copy of Bitmap, and IOParams is pointed at the component's parameters.
  virtual void AcquireImageSink(TPXBitmap* Bitmap, TIOParams*& IOParams, int32_t DpiX, int32_t DpiY);
  virtual void DoAcquireBitmap(TPXBitmap* ABitmap, int32_t DpiX, int32_t DpiY, bool& Handled);
  // Acquisition state 0, then OnAcquireClose.
  virtual void DoAcquireClose();
  int32_t AcquisitionState() const { return FAcquisitionState; }
  // The WIA object, made on first use (owned).
  virtual IPXIOWia* GetWia();
  // The WIA object's progress: OnProgress with per; true while not aborting.
  bool WiaProgress(int32_t per);

  // --- threads (pixoranio_thread.cpp) --------------------------------------------------------
  // Whether the calling thread is one of the component's workers.
  bool IsIOThread();
  // Returns once no worker of the component is left; Abort sets Aborting first. Called on one
  // of the component's own workers it raises EPXException (it would wait for itself).
  void WaitThreads(bool Abort);

  // Public field: loads and saves run on workers when the working bitmap is not owned.
  bool AsyncMode = false;

  // --- IPXParamsOwnerIO ----------------------------------------------------------------------
  TPXBitmap* ParamsBitmap() override { return FBitmap; }
  void ParamsDpiChanged() override;

 protected:
  friend class TPXIOOperation;
  friend class TPXIOThread;

  // --- common steps (pixoranio.cpp) ----------------------------------------------------------
  // CheckBitmap; false without a working bitmap; re-wraps an attached TBitmap; then
  // EnsurePixelFormat(Allowed) with conversion (the empty set allows any format).
  bool PrepareBitmap(TPXPixelFormatSet Allowed);
  // Fills Rec with the component's progress callback, the component as sender and Aborting.
  void InitProgress(TPXProgressRecord& Rec);
  // DpiX / DpiY below 2 become the settings' defaults.
  void ApplyDefaultDPI();
  // Square pixels after a load (AutoAdjustDPI).
  void AdjustDPI();
  // After a load that reached the codec: tells the view (or the attached TBitmap).
  void UpdateAttached();
  void ClearModified(bool KeepLayers);
  // The end of a load that reached the codec: UpdateAttached, ClearModified, DoFinishWork.
  void FinishLoad(bool KeepLayers);
  // Writes a file through a temporary file beside it: Write gets the stream; the temporary file
  // replaces FileName only when Write returned without exception and Aborting is false;
  // otherwise it is removed and FileName left as it was. The new file gets the replaced file's
  // permissions, else those of the umask. Exceptions propagate after the clean-up.
  void WriteFileSafely(const std::string& FileName, const std::function<void(TStream* Stream)>& Write);

  // --- asynchronous test and hand-over (pixoranio_thread.cpp) --------------------------------
  // The work goes to a worker: the bitmap is not owned, AsyncMode is set, and the caller is
  // neither one of the component's threads nor inside another entry of the component (nested
  // entries run synchronously).
  bool IsAsync();
  // Starts a worker that calls Method with the arguments (the shape follows from the method).
  void StartIOThread(TPXIOFileProc Method, const std::string& FileName);
  void StartIOThread(TPXIOFileTypeProc Method, const std::string& FileName, TPXFileType FileType);
  void StartIOThread(TPXIOStreamProc Method, TStream* Stream);
  void StartIOThread(TPXIOFileIntFunc Method, const std::string& FileName);
  void StartIOThread(TPXIOFileBoolFunc Method, const std::string& FileName);
  void StartIOThread(TPXIOFileTypeBoolFunc Method, const std::string& FileName, TPXFileType FileType);
  void StartIOThread(TPXIOStreamIntFunc Method, TStream* Stream);
  void StartIOThread(TPXIOStreamBoolFunc Method, TStream* Stream);
  void StartIOThread(TPXIOStreamTypeProc Method, TStream* Stream, TPXFileType FileType);
  void StartIOThread(TPXIOStreamTypeBoolFunc Method, TStream* Stream, TPXFileType FileType);
  void StartIOThread(TPXIOFrameBoolFunc Method, int32_t Frame);
  void StartIOThread(TPXIOMetafileBoolFunc Method, const std::string& FileName, int32_t Width, int32_t Height,
                     bool Transparency);
  // LoadFromURL on a worker.
  void StartIOThreadURL(const std::string& URL);

  // --- helpers of the per-format members (pixoranio_formats.cpp, pixoranio_entries.cpp) ------
  // The load core of Type on Stream (FileName empty for stream loads); PageCount receives the
  // reader's page or frame count where the format has one.
  bool LoadCore(TPXFileType Type, TStream* Stream, const std::string& FileName, int32_t* PageCount);
  // The save core of Type on Stream; ToStream: a stream save (stream headers apply).
  void SaveCore(TPXFileType Type, TStream* Stream, bool ToStream);
  // [added for the per-format members] The shapes shared by the members: Self is the member
  // itself, handed to a worker by the asynchronous test.
  int32_t LoadFileMember(TPXFileType Type, const std::string& FileName, TPXIOFileIntFunc SelfInt,
                         TPXIOFileBoolFunc SelfBool);
  int32_t LoadStreamMember(TPXFileType Type, TStream* Stream, TPXIOStreamIntFunc SelfInt,
                           TPXIOStreamBoolFunc SelfBool);
  // The synchronous load of the two above once the source is open: the member's result (the
  // page count or -1 where Integer, else 1 or 0).
  int32_t LoadMemberNow(TPXFileType Type, TStream* Stream, const std::string& FileName, bool Integer);
  void SaveFileMember(TPXFileType Type, const std::string& FileName, TPXIOFileProc Self);
  void SaveStreamMember(TPXFileType Type, TStream* Stream, TPXIOStreamProc Self);
  // The synchronous part of the two above: one operation, exactly one DoFinishWork.
  void SaveFileNow(TPXFileType Type, const std::string& FileName);
  void SaveStreamNow(TPXFileType Type, TStream* Stream);
  // The GIF load core (frame composition) and the PSD load core (layers).
  int32_t LoadGifCore(TStream* Stream, const std::string& FileName);
  bool LoadPsdCore(TStream* Stream, const std::string& FileName);
  // The picture the writer of Type gets: the working bitmap, or Converted holding a converted
  // copy (the caller's picture keeps its format and alpha).
  TPXBitmap* BitmapForWriter(TPXFileType Type, bool ToStream, std::unique_ptr<TPXBitmap>& Converted);
  // LoadFromFile's AVI (Type 15) and media-file branches: one frame (Params.ImageIndex), one
  // DoFinishWork, the frame read's result.
  bool LoadVideoFrame(const std::string& FileName, TPXFileType FileType, TPXFileType Type);

  // The metafile import on an opened metafile; the metafile header read of ReadParams.
  bool ImportMetafileCore(TPXMetafile* Metafile, int32_t Width, int32_t Height, bool Transparent);
  bool ReadMetafileHeader(TStream* Stream);
  // The layers-file header read into Params; true when it was one.
  bool ReadLayersHeaderToParams(TStream* Stream);
  // A plug-in entry's reader into the working bitmap, from Stream or, when Stream is null, from
  // the file FileName (whose name then goes into the parameters). The caller has opened the
  // operation and set the abort flag; the end of the work is reported here. True on success.
  bool ReadWithPlugin(const TPXFileFormatInfo* Entry, TStream* Stream, const std::string& FileName);
  // A plug-in write: Write gets the working bitmap, or a converted copy where the plug-in needs
  // one. The caller has opened the operation and set the abort flag; the end of the work is
  // reported here.
  void WriteWithPlugin(const std::function<void(TPXBitmap* Bitmap)>& Write);
  // [end of addition]

  // --- fields, in the component's order ------------------------------------------------------
  std::unique_ptr<TIOParams> FParams;        // own parameters
  TBitmap* FAttachedTBitmap = nullptr;       // not owned
  TPXBitmap* FBitmap = nullptr;              // the working bitmap
  bool FOwnsBitmap = false;
  std::unique_ptr<TPXBitmap> FOwnedBitmap;   // FBitmap when owned
  IPXIOView* FAttachedPixoran = nullptr;     // not owned
  TComponent* FAttachedViewComponent = nullptr;  // the view's component (free notification)
  int32_t FViewChangeHandle = 0;
  TImage* FAttachedTImage = nullptr;         // not owned
  TColor FBackground = 0;
  TIOPreviewsParams FPreviewsParams;
  bool FSimplifiedParamsDialogs = true;
  TPXDoPreviewsEvent FOnDoPreviews;
  bool FForwardBackground = false;           // nothing sets it
  TPXAcquireObjects FAcquireObjects;
  bool FStreamHeaders = false;
  std::unique_ptr<TFont> FPreviewFont;
  bool FPreviewFontEnabled = false;
  TPXIOPreviewEvent FOnIOPreview;
  TPXDialogsMeasureUnit FDialogsMeasureUnit = pxduInches;
  bool FAutoAdjustDPI = false;
  bool FFilteredAdjustDPI = false;
  TPXAviState FAvi;
  std::unique_ptr<IPXIOMediaReader> FDirectShow;  // the open media file's reader
  double FFrameDuration = 0;
  int64_t FFrameTimeStep = 0;                // the seek distance of one frame
  int32_t FMediaFrameCount = 0;              // frames of the open media file
  std::unique_ptr<TObject> FPSWriter;        // nothing opens them
  std::unique_ptr<TObject> FPDFBuilder;
  std::vector<TPXIOThread*> FThreads;        // registered workers (they free themselves)
  TEvent FThreadsEmpty{false, false};        // auto-reset: set when the list empties
  TCriticalSection FThreadsLock;             // guards FThreads and the event's reset and set
  bool FWicFastLoading = false;
  int32_t FAcquisitionState = 0;
  std::unique_ptr<IPXIOWia> FWia;
  std::unique_ptr<IPXIOMediaReader> FCapture;
  std::unique_ptr<TObject> FMediaFoundation;
  uint8_t FColorReductionMode = 1;
  std::unique_ptr<TIOPrintPreviewParams> FPrintPreviewParams;
  TPXAbortFlag FAborting{false};
  TPXProgressEvent FProgressCallback;        // this component's DoProgress
  TPXProgressEvent FOnProgress;
  TNotifyEvent FOnFinishWork;
  TPXAcquireBitmapEvent FOnAcquireBitmap;
  TNotifyEvent FOnAcquireClose;
  TPXPrintPageEvent FOnPrintPage;
  std::recursive_mutex FOperationLock;       // one operation at a time
  int32_t FOperationDepth = 0;               // nesting of TPXIOOperation guards (under the lock)
  std::atomic<TThreadID> FOperationThread{}; // the thread holding the lock, empty when none

 private:
  void UnregisterFromView();
  // Drops the view reference and its free notification (no call into the view).
  void ForgetView();
  void NewOwnBitmap();
  void FreeOwnedBitmap();
  int32_t ReadAviFrame(int32_t FrameIndex);
  // Registers Thread in the list (resetting the event) and starts it; it frees itself.
  void LaunchIOThread(TThread::Ptr<TPXIOThread> Thread);
};

// Fills the pixel container's file-format hooks (TPXBitmap::LoadFromStream, SaveToStream); part
// of the I/O layer's registration at start-up.
void RegisterPixoranIO();

// The file type to save a name as, by its extension (0 when none fits; ".avi" gives 15 only
// with AllowVideo).
TPXFileType FileTypeForSaving(std::string_view FileName, bool AllowVideo);

// ---------------------------------------------------------------------------------------------
// TPXIOThread: runs one stored entry of its owner once, registered in the owner's thread list.

class TPXIOThread : public TThread {
  PX_CLASS(TPXIOThread)
 public:
  TPXIOCallShape Shape() const { return FShape; }
  // The thread running Execute; empty until it started.
  TThreadID ExecutingThread() const { return FExecutingThread.load(); }

 protected:
  // Created suspended; the owner fills the arguments, registers and starts it.
  TPXIOThread(TPixoranIO* Owner, TPXIOCallShape Shape, std::function<void()> Call);
  void Execute() override;

 private:
  friend class TThread;
  friend class TPixoranIO;

  std::vector<TPXIOThread*>* FList = nullptr;  // the owner's thread list
  TPXIOCallShape FShape;
  std::function<void()> FCall;                 // the stored entry with its arguments
  std::string FFileName;
  TStream* FStream = nullptr;                  // not owned
  TPXFileType FFileType = pxftUnknown;
  int32_t FFrameIndex = 0;
  int32_t FMetaWidth = 0;
  int32_t FMetaHeight = 0;
  bool FMetaTransparency = false;
  std::string FURL;
  std::atomic<TThreadID> FExecutingThread{};
  TPixoranIO* FOwner;
};
