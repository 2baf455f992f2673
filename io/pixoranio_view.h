// What the I/O component (TPixoranIO) asks of the objects above the I/O layer: the view it is
// attached to (bitmap, change registration, background, update and change notifications, the
// UI-thread queue, layers, layers files), vector views, the multi-page navigation of Seek, and
// the acquisition objects, the media-file reader and the WIA object. The view, vector and
// acquisition subsystems implement these interfaces and register their factories at start-up;
// tests use fakes. Nothing here includes a header of those subsystems.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/gdi/WinGdi.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/Types.h"

class TBitmap;
class TPXBitmap;
class TIOParams;
class IPXIOView;

// Messages an I/O worker posts to the attached view's window (wParam: per cent for progress,
// else 0; lParam 0).
inline constexpr uint32_t PXMSG_IO_DONE = 0x0400 + 7000;
inline constexpr uint32_t PXMSG_IO_PROGRESS = 0x0400 + 7003;
inline constexpr uint32_t PXMSG_IO_FINISHWORK = 0x0400 + 7004;
// Messages of the capture object to the attached view's window: a new frame (lParam the object),
// a graph event.
inline constexpr uint32_t PXMSG_DSHOW_FRAME = 0x0400 + 7001;
inline constexpr uint32_t PXMSG_DSHOW_EVENT = 0x0400 + 7002;

// Codes of the bitmap-change callback: the view's bitmap was replaced, the view goes away, the
// image changed, a layer was selected or deselected.
inline constexpr int32_t pxbcBitmapReplaced = 0;
inline constexpr int32_t pxbcViewDestroyed = 1;
inline constexpr int32_t pxbcImageChanged = 2;
inline constexpr int32_t pxbcLayerSelection = 3;

// The callback a component registers with a view (Sender: the view's component).
PX_EVENT_TYPE(TPXBitmapChangeEvent, void(TObject* Sender, int32_t Code));

// What kind of view a component is attached to.
enum class TPXHostKind : uint8_t {
  pxhkPlainView,      // one picture, no layers
  pxhkLayerView,      // a view with layers, selection and layer records
  pxhkVectorView,     // a layer view that also holds vector objects
  pxhkThumbnailView,  // a thumbnail view: a bitmap, no layers or selection
};
using enum TPXHostKind;

// The update reason the I/O component gives before Update: a picture was loaded.
inline constexpr int32_t pxurPictureLoaded = 6;

// What the view's layer-file header holds (the I/O component's header read fills TIOParams
// from it).
struct TPXLayersStreamHeader {
  int32_t LayerCount = 0;
  int32_t HeaderValueA = 0;
  int32_t HeaderValueB = 0;
  int32_t Version = 0;
  std::string Description;
  int32_t Width = 0;
  int32_t Height = 0;
};

// One layer decoded from a PSD file, to be moved into a view.
struct TPXDecodedLayer {
  std::unique_ptr<TPXBitmap> Bitmap;  // with its alpha channel
  int32_t PosX = 0;
  int32_t PosY = 0;
  std::string Name;
  double Opacity = 1.0;
  bool Visible = true;
};

// The page navigation a multi-page view may offer to Seek: Params.ImageIndex has been set, the
// view reloads that page of its file.
class IPXIOMultiPageView {
 public:
  virtual ~IPXIOMultiPageView() = default;
  virtual void ReloadCurrentPage() = 0;
};

// The attached view: what the I/O component and the processing component (through
// IPXProcessingHost, proc/pixoranproc.h) ask of the view they serve.
class IPXIOView {
 public:
  virtual ~IPXIOView() = default;

  // The component behind the view, for free notifications (never nil).
  virtual TComponent* ViewComponent() = 0;
  // The view's window handle (nil while it has no window); it changes when the window is made
  // again.
  virtual HWND WindowHandle() { return nullptr; }

  // --- kind ---------------------------------------------------------------------------------
  virtual TPXHostKind HostKind() { return pxhkPlainView; }
  // A view with layers (a TPixoranView or a vector view); a plain view has one picture.
  bool IsLayerView() { return HostKind() == pxhkLayerView || HostKind() == pxhkVectorView; }
  // The thumbnail view, which takes no background from the I/O component.
  bool IsThumbnailView() { return HostKind() == pxhkThumbnailView; }
  // A view that also holds vector objects (nil otherwise).
  virtual class IPXIOVectorView* AsVectorView() { return nullptr; }
  // Seek's page navigation, when the view offers it (nil otherwise).
  virtual IPXIOMultiPageView* MultiPageNavigation() { return nullptr; }

  // --- bitmap and change registration -------------------------------------------------------
  // The view's picture (its current layer's), or nil.
  virtual TPXBitmap* GetPXBitmap() = 0;
  // The platform bitmap of a view that has no TPXBitmap, or nil.
  virtual TBitmap* GetBitmap() { return nullptr; }
  // Registers a callback (codes pxbc*) and answers a handle (never 0).
  virtual int32_t AddBitmapChangeEvent(const TPXBitmapChangeEvent& Event) = 0;
  // Removes the callback of Handle; nothing for 0 or an unknown handle.
  virtual void RemoveBitmapChangeEvent(int32_t Handle) = 0;

  // --- background, update, notifications ----------------------------------------------------
  virtual TColor Background() = 0;
  virtual void SetBackground(TColor Value) = 0;
  virtual void SetUpdateReason(int32_t Reason) = 0;
  virtual void Update() = 0;
  // The image-changed notification (Source 0 after a load).
  virtual void ImageChange(int32_t Source) = 0;
  // Whether the view sits in a window (only then do workers post to it).
  virtual bool HasParentWindow() = 0;
  // From any thread: posts Msg to the view's window, creating the window on the UI thread first
  // when needed. Never blocks on the UI thread.
  virtual void PostIOMessage(uint32_t Msg, uintptr_t WParam, intptr_t LParam) = 0;
  // From any thread: runs Call on the UI thread later, in order with the posted messages;
  // dropped when the view goes away first. Never blocks on the UI thread.
  virtual void QueueToUIThread(std::function<void()> Call) = 0;

  // --- modified state, layers ---------------------------------------------------------------
  virtual void SetModified(bool Value) = 0;
  virtual int32_t GetLayersCount() { return 1; }
  // Whether the current layer is an image layer (holds a bitmap).
  virtual bool CurrentLayerIsImage() { return GetPXBitmap() != nullptr; }
  virtual void SetLayersCurrent(int32_t Index) { (void)Index; }
  // Position of the current layer in picture pixels.
  virtual void SetCurrentLayerPos(int32_t X, int32_t Y) { (void)X, (void)Y; }

  // Removes every layer but the first and makes it current; Reset also resets the first layer
  // and clears the picture.
  virtual void LayersClear(bool Reset) { (void)Reset; }
  virtual void LayersMergeAll() {}
  // Renders all layers at 100 % into Bitmap.
  virtual void LayersDrawTo(TPXBitmap* Bitmap) { (void)Bitmap; }
  // The pixel format of layer 0's bitmap.
  virtual TPXPixelFormat FirstLayerPixelFormat() { return px24RGB; }
  // The layer bitmaps, bottom first (for writers of layered formats).
  virtual std::vector<TPXBitmap*> LayerBitmaps() { return {}; }
  // Moves the decoded layers in: the first goes into the current layer (or a new one when
  // AddFirst), the others into new layers.
  virtual void LayersFromDecoded(std::vector<TPXDecodedLayer>& Layers, bool AddFirst) { (void)Layers, (void)AddFirst; }
  // Reads a layers stream, replacing the layers or appending to them; false when the stream is no
  // layers stream. Progress (may be nil) gets the percentage.
  virtual bool LayersLoadFromStream(TStream* Stream, bool Append, const TPXProgressEvent& Progress) {
    (void)Stream, (void)Append, (void)Progress;
    return false;
  }
  // Writes the layers stream with Compression passed to every layer record (-1 deflated, -2 raw,
  // else a file type); the flags leave layers out. Raises on write errors.
  virtual void LayersSaveToStream(TStream* Stream, int32_t Compression, bool SelectedOnly, bool SkipBackground,
                                  bool SkipImageLayers, bool IncludeThumbnail, const TPXProgressEvent& Progress) {
    (void)Stream, (void)Compression, (void)SelectedOnly, (void)SkipBackground, (void)SkipImageLayers,
        (void)IncludeThumbnail, (void)Progress;
  }
};

// A view holding vector objects.
class IPXIOVectorView {
 public:
  virtual ~IPXIOVectorView() = default;
  virtual IPXIOView* AsView() = 0;
  // Reads an object stream; false when magic or version do not match.
  virtual bool LoadObjectsFromStream(TStream* Stream, bool Append) = 0;
  virtual bool LoadAllFromStream(TStream* Stream) = 0;
  virtual void SaveObjectsToFile(const std::string& FileName, int32_t Which) = 0;
  virtual void SaveAllToFile(const std::string& FileName, int32_t Which) = 0;
  virtual TRect GetObjectsExtent() = 0;
  virtual void DrawObjectsOntoImage() = 0;
  // The resolution of the I/O parameters changed: measurement units follow.
  virtual void DpiChanged() {}
};

// Temporary views, made by the view and vector subsystems when they register (none before):
// a layer view that owns its picture, and an empty vector view.
using TPXTemporaryViewFactory = std::function<std::unique_ptr<IPXIOView>()>;
using TPXTemporaryVectorViewFactory = std::function<std::unique_ptr<IPXIOVectorView>()>;
void SetTemporaryViewFactory(TPXTemporaryViewFactory Factory);
void SetTemporaryVectorViewFactory(TPXTemporaryVectorViewFactory Factory);
// A new temporary view, or nil while no view subsystem has registered.
std::unique_ptr<IPXIOView> CreateTemporaryView();
std::unique_ptr<IPXIOVectorView> CreateTemporaryVectorView();

// Reads the header of a layers stream at the stream's position (and the stored thumbnail into
// Thumbnail when not nil); false when it is not one. Provided by the view subsystem.
using TPXReadLayersHeaderProc = std::function<bool(TStream* Stream, TPXBitmap* Thumbnail, TPXLayersStreamHeader& Header)>;
void SetReadLayersStreamHeader(TPXReadLayersHeaderProc Proc);
// False while no view subsystem has registered.
bool ReadLayersStreamHeader(TStream* Stream, TPXBitmap* Thumbnail, TPXLayersStreamHeader& Header);

// ---------------------------------------------------------------------------------------------
// Acquisition objects (scanner, camera card): the component owns three, made by the factory the
// acquisition subsystem registers; none until it does.

class IPXIOAcquireObject {
 public:
  virtual ~IPXIOAcquireObject() = default;
  // Objects without an abort flag ignore it.
  virtual void SetAborting(bool Value) = 0;
};

struct TPXAcquireObjects {
  std::unique_ptr<IPXIOAcquireObject> AcquireParams;
  std::unique_ptr<IPXIOAcquireObject> TwainParams;
  std::unique_ptr<IPXIOAcquireObject> DcimAcquire;
};

// Owner: the component that will own the objects.
using TPXAcquireObjectsFactory = std::function<TPXAcquireObjects(TComponent* Owner)>;
void SetAcquireObjectsFactory(TPXAcquireObjectsFactory Factory);
// The objects for Owner; all nil without a factory.
TPXAcquireObjects CreateAcquireObjects(TComponent* Owner);

// ---------------------------------------------------------------------------------------------
// The media-file reader (the playback object of the acquisition subsystem) as the component
// uses it for single frames of video files and as its capture object. Time formats: 1 frames,
// 5 media time (100-ns units).

class IPXIOMediaReader {
 public:
  virtual ~IPXIOMediaReader() = default;
  // Configuration before Connect: the media file to play and whether frames are grabbed.
  virtual void SetSourceFileName(const std::string& FileName) = 0;
  virtual void SetGrabFrames(bool Value) = 0;
  virtual void Connect() = 0;
  virtual void Disconnect() = 0;
  virtual bool GetConnected() = 0;
  virtual void Pause() = 0;
  virtual void SetTimeFormat(int32_t Code) = 0;
  virtual int32_t GetTimeFormat() = 0;
  // In the current time format; 0 without a file.
  virtual int64_t GetDuration() = 0;
  // 100-ns units.
  virtual int64_t GetAverageTimePerFrame() = 0;
  // In the current time format.
  virtual void SetPosition(int64_t Position) = 0;
  virtual void GetCurrentVideoFormat(int32_t& Width, int32_t& Height, std::string& FormatName) = 0;
  // The current frame into Bitmap (px24RGB); false when there is none (Bitmap unchanged).
  virtual bool GetSample(TPXBitmap* Bitmap, bool ResizeBack) = 0;
  virtual void SetNotifyWindow(HWND Window, uint32_t FrameMessage, uint32_t EventMessage) = 0;
  virtual HWND NotifyWindow() = 0;
};

using TPXMediaReaderFactory = std::function<std::unique_ptr<IPXIOMediaReader>()>;
void SetMediaReaderFactory(TPXMediaReaderFactory Factory);
// A new reader; nil while no acquisition subsystem has registered.
std::unique_ptr<IPXIOMediaReader> CreateMediaReader();

// The WIA object. Progress: the component's forwarder (per cent in, "go on" out).
class IPXIOWia {
 public:
  virtual ~IPXIOWia() = default;
};

using TPXWiaProgress = std::function<bool(int32_t Percent)>;
using TPXWiaFactory = std::function<std::unique_ptr<IPXIOWia>(TComponent* Owner, TPXWiaProgress Progress)>;
void SetWiaFactory(TPXWiaFactory Factory);
// A new WIA object for Owner; nil while no acquisition subsystem has registered.
std::unique_ptr<IPXIOWia> CreateWia(TComponent* Owner, TPXWiaProgress Progress);
