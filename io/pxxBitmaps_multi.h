// The multi-image container: an ordered list of pictures with a TPXImageInfo each (file name,
// page, colours, texts, dates, a dictionary) and optionally a TIOParams each. The pixels live in
// an image cache (TPXVirtualImageList, prefix "ILIST"); a picture known only by its file name is
// loaded on first access. The container holds no lock: it is used from one thread, while loader
// threads may reach its cache, which has its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "core/hypxutils_dictionary.h"
#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_cache.h"
#include "platform/gdi/Graphics.h"
#include "platform/rtl/Classes.h"

class TPXBitmap;
class TIOParams;
class TPXCustomMultiBitmap;

// The thumbnail view that owns a container, as the container sees it.
class IPXMultiBitmapView {
 public:
  virtual ~IPXMultiBitmapView() = default;
  // Loads the picture of entry Index into the container (lazy loading goes through the view).
  virtual void LoadMultiBitmapImage(int32_t Index) = 0;
  // The container changed: redraw.
  virtual void RefreshMultiBitmap() = 0;
  // The view's container.
  virtual TPXCustomMultiBitmap* GetMultiBitmap() = 0;
};

// One picture of the container.
class TPXImageInfo : public TObject {
 public:
  explicit TPXImageInfo(TObject* AOwner) : Owner(AOwner) {}
  ~TPXImageInfo() override;

  // Created on first request (103 buckets).
  TPXDictionary* GetDictionary();
  bool HasDictionary() const { return Dictionary != nullptr; }

  TObject* Owner = nullptr;  // the container or the view, not owned
  TPXVirtualImage Image = nullptr;       // in the container's cache
  TPXVirtualImage CacheImage = nullptr;  // in the view's own cache
  TColor Background = static_cast<TColor>(0xFFFFFF);
  std::string FileName;
  int32_t ImageIndex = -1;  // page in the file; -1: the whole file / none
  double DelayTime = 0;     // milliseconds of display in animations
  std::string TopText;
  std::string BottomText;
  std::string InfoText;
  int32_t ViewValue = 0;
  int32_t ViewValue2 = 0;
  std::unique_ptr<TPXDictionary> Dictionary;
  uint8_t KeepFlag = 0;
  uint8_t ViewFlag = 0;
  double FileDate = 0;
  double FileWriteDate = 0;
  int64_t FileSize = -1;
  std::string CachedInfo;
  // The view's layout of the entry; not streamed.
  int32_t CellLeft = 0;
  int32_t CellTop = 0;
  int32_t Row = 0;
  int32_t Column = 0;
  TRect ImageRect{0, 0, 0, 0};
};

// The per-picture parameters, kept parallel to the pictures; slots may be empty.
class TIOMultiParams : public TObject {
 public:
  TIOMultiParams();
  ~TIOMultiParams() override;

  // Nil outside the list; an empty slot is filled with new parameters that take the writer
  // options of the slot before when that one is filled.
  TIOParams* GetParams(int32_t Index);
  // The slot as it is (nil when empty or outside).
  TIOParams* PeekParams(int32_t Index) const;
  int32_t Count() const { return static_cast<int32_t>(FList.size()); }
  void Clear();
  void Insert(int32_t Index);
  void Delete(int32_t Index);
  void Move(int32_t Index, int32_t NewIndex);
  void Exchange(int32_t A, int32_t B);
  void MoveIndexes(const std::vector<int32_t>& Indexes, int32_t Destination);
  // Never shortens.
  void SetCount(int32_t N);
  void CopyFirstSaveOptions();
  // Kinds: 1 insert, 2 delete, 3 move to Value, 4 exchange with Value, 5 move Indexes to Value,
  // 6 clear, 7 set count to Value.
  void ApplyChange(int32_t Kind, int32_t Index, const std::vector<int32_t>& Indexes, int32_t Value);

 private:
  std::vector<std::unique_ptr<TIOParams>> FList;
};

PX_EVENT_TYPE(TPXMultiBitmapChangedEvent, void(TObject* Sender, int32_t Index));

class TPXCustomMultiBitmap : public TObject {
 public:
  TPXCustomMultiBitmap();
  // The constructor, then SetUseFile(UseFile).
  static std::unique_ptr<TPXCustomMultiBitmap> CreateWithStorage(bool UseFile);
  ~TPXCustomMultiBitmap() override;

  // --- overridable operations ----------------------------------------------------------------
  // Runs before an entry is handed out.
  virtual void PrepareImage(int32_t Index);
  int32_t AppendImage();
  int32_t AppendImage(TStream* Stream, TPXFileType FileType);
  int32_t AppendImage(TPXBitmap* Bitmap);
  int32_t AppendImage(TPXCustomMultiBitmap* Source);
  int32_t AppendImage(TBitmap* Bitmap);
  int32_t AppendImage(int32_t Width, int32_t Height, TPXPixelFormat PixelFormat);
  int32_t AppendImage(const std::string& FileName);
  // A new entry at Index, or at the end when Index >= count. Answers where it went.
  virtual int32_t InsertImage(int32_t Index);
  int32_t InsertImage(int32_t Index, TStream* Stream, TPXFileType FileType);
  int32_t InsertImage(int32_t Index, TPXBitmap* Bitmap);
  // Every picture of Source (its count taken once, so Source may be this container).
  void InsertImage(int32_t Index, TPXCustomMultiBitmap* Source);
  int32_t InsertImage(int32_t Index, TBitmap* Bitmap);
  int32_t InsertImage(int32_t Index, int32_t Width, int32_t Height, TPXPixelFormat PixelFormat);
  int32_t InsertImage(int32_t Index, const std::string& FileName);
  virtual void ReleaseBitmap(int32_t Index, bool Save);
  virtual void DeleteImage(int32_t Index);
  void SetImage(int32_t Index, TBitmap* Bitmap);
  virtual void SetImage(int32_t Index, TPXBitmap* Bitmap);
  void SetImage(int32_t Index, int32_t Width, int32_t Height, TPXPixelFormat PixelFormat);
  bool LoadImage(int32_t Index, const std::string& FileName, TPXFileType FileType, int32_t ImageIndex);
  bool LoadImage(int32_t Index, TStream* Stream, TPXFileType FileType, int32_t ImageIndex);
  // EPXException "Cannot access image" when the picture cannot be had.
  void FlipImage(int32_t Index, TPXFlipDirection Direction);
  void RotateImage(int32_t Index, double Angle, int32_t Mode, TColor Background);
  void ScaleImage(int32_t Index, double Factor, TResampleFilter Filter);
  void ResampleImage(int32_t Index, int32_t NewWidth, int32_t NewHeight, TResampleFilter Filter, bool Fit,
                     bool OnlyShrink);
  void Update() { DoUpdate(true); }
  virtual void DoUpdate(bool Flag);
  virtual bool LoadImage(int32_t Index, TStream* Stream, TPXFileType FileType, int32_t ImageIndex,
                         const std::string& FileName);
  virtual bool HasImageSource() { return false; }
  // A subclass delivers the picture of Index from an outside source (nil when none).
  virtual void GetImageFromSource(int32_t Index, TIOParams* Params, std::unique_ptr<TPXBitmap>& Bitmap,
                                  int32_t SourceIndex);

  // --- entries -------------------------------------------------------------------------------
  TPXImageInfo* GetImageInfo(int32_t Index);
  bool IsValidIndex(int32_t Index) const { return Index >= 0 && Index < GetCount(); }
  int32_t GetCount() const { return static_cast<int32_t>(FEntries.size()); }
  TIOParams* GetParams(int32_t Index) { return FParams->GetParams(Index); }
  TIOMultiParams* Params() { return FParams.get(); }
  bool GetKeepParams() const { return FKeepParams; }
  void SetKeepParams(bool Value) { FKeepParams = Value; }
  // 0 for a bad index or a picture that cannot be loaded.
  int32_t GetImageWidth(int32_t Index);
  int32_t GetImageHeight(int32_t Index);
  int32_t GetImageOriginalWidth(int32_t Index);
  int32_t GetImageOriginalHeight(int32_t Index);
  void SetImageOriginalWidth(int32_t Index, int32_t Value);
  void SetImageOriginalHeight(int32_t Index, int32_t Value);
  std::string GetImageFileName(int32_t Index);
  // Sets the name and ImageIndex -1.
  void SetImageFileName(int32_t Index, const std::string& Name);
  TPXDictionary* GetImageDictionary(int32_t Index);
  void SetImageDelayTime(int32_t Index, double Milliseconds);
  // Loads the picture and hands out its bitmap (nil when there is none); match every call with
  // ReleaseBitmap.
  TPXBitmap* GetBitmap(int32_t Index);
  // Loads a picture known by file name only; every failure leaves it without pixels.
  void EnsureLoaded(int32_t Index);

  void Changed(int32_t Index);
  void BeginUpdate();
  void EndUpdate();
  int32_t MaxImagesInMemory() const { return FMaxImagesInMemory; }
  void SetMaxImagesInMemory(int32_t Value);
  bool UseFile() const { return FUseFile; }
  void SetUseFile(bool Value);
  void Clear();
  // Replaces the content with Source: a TPXBitmap, platform bitmap, container, thumbnail view or
  // platform image list; nil does nothing; anything else raises "Unrecognized source".
  void AssignFrom(TObject* Source, bool CopyParams);

  TPXVirtualImageList* Cache() { return FCache.get(); }
  IPXMultiBitmapView* OwnerView() const { return FOwnerView; }
  void SetOwnerView(IPXMultiBitmapView* Value) { FOwnerView = Value; }
  bool Modified() const { return FModified; }
  void SetModified(bool Value) { FModified = Value; }
  TColor DefaultBackground() const { return FDefaultBackground; }
  void SetDefaultBackground(TColor Value) { FDefaultBackground = Value; }
  const TPXMultiBitmapChangedEvent& OnChanged() const { return FOnChanged; }
  void SetOnChanged(const TPXMultiBitmapChangedEvent& Value) { FOnChanged = Value; }
  const TPXProgressEvent& OnProgress() const { return FOnProgress; }
  void SetOnProgress(const TPXProgressEvent& Value) { FOnProgress = Value; }

 protected:
  int32_t FMaxImagesInMemory = 10;
  bool FUseFile = true;
  std::unique_ptr<TIOMultiParams> FParams;
  int32_t FUpdateCount = 0;
  TPXMultiBitmapChangedEvent FOnChanged;
  TPXProgressEvent FOnProgress;
  bool FModified = false;
  bool FKeepParams = true;
  bool FUpdatePending = true;
  TColor FDefaultBackground = static_cast<TColor>(0xFF000005);
  std::unique_ptr<TPXVirtualImageList> FCache;
  std::vector<std::unique_ptr<TPXImageInfo>> FEntries;
  IPXMultiBitmapView* FOwnerView = nullptr;

 private:
  template <typename Op>
  void WithBitmap(int32_t Index, bool GiveProgress, Op&& Operation);
  void StoreLoaded(int32_t Index, TPXBitmap* Bitmap, TIOParams* IOParams);
  // The cache handle of a valid entry after EnsureLoaded (nil when none).
  TPXVirtualImage LoadedImage(int32_t Index);
};

// The concrete container.
class TPXMultiBitmap : public TPXCustomMultiBitmap {
 public:
  TPXMultiBitmap() = default;
  ~TPXMultiBitmap() override = default;
  int32_t FTag = 0;
};

// --- the entry stream form -------------------------------------------------------------------

// The version WriteImageInfo writes.
inline constexpr int32_t PXImageInfoVersion = 9;
void WriteImageInfo(TPXImageInfo* Entry, TStream* Stream, bool WithCacheImage, TPXVirtualImageList* ViewCache,
                    TPXVirtualImageList* Cache);
// Reads one entry of version Version (owner Owner); indexes outside the caches give none.
// EReadError when the data is cut short or a length runs past it.
std::unique_ptr<TPXImageInfo> ReadImageInfo(TObject* Owner, TStream* Stream, TPXVirtualImageList* ViewCache,
                                            TPXVirtualImageList* Cache, bool WithCacheImage, int32_t Version);
