// TIcon: ICO data and an icon handle.
#include <algorithm>

#include "platform/gdi/Graphics.h"
#include "platform/gdi/Graphics_internal.h"

namespace {
[[noreturn]] void InvalidIcon() { throw EInvalidGraphic("Icon image is not valid"); }
}  // namespace

PX_CLASS_INFO(TIcon, TGraphic)

TIcon::TIcon() { TGraphic::SetTransparent(true); }

TIcon::~TIcon() {
  if (handle_) DestroyIcon(handle_);
}

void TIcon::Clear() {
  if (handle_) DestroyIcon(handle_);
  handle_ = nullptr;
  data_.clear();
  entry_ = -1;
  width_ = height_ = 0;
}

bool TIcon::Empty() const { return !handle_ && data_.empty(); }
int32_t TIcon::Width() const { return width_; }
int32_t TIcon::Height() const { return height_; }

void TIcon::SetWidth(int32_t Value) { SetSize(Value, requested_height_ ? requested_height_ : Value); }
void TIcon::SetHeight(int32_t Value) { SetSize(requested_width_ ? requested_width_ : Value, Value); }

void TIcon::SetSize(int32_t AWidth, int32_t AHeight) {
  if (AWidth == requested_width_ && AHeight == requested_height_) return;
  requested_width_ = std::max(0, AWidth);
  requested_height_ = std::max(0, AHeight);
  if (data_.empty()) return;
  // Another image of the loaded data may fit the size asked for better.
  std::vector<TIconDirEntry> entries;
  if (!ParseIconDirectory(data_.data(), data_.size(), nullptr, &entries)) return;
  const int32_t pick = PickIconEntry(entries, requested_width_, requested_height_);
  if (pick == entry_) return;
  HICON h = CreateIconFromFileData(data_.data(), data_.size(), 1, requested_width_, requested_height_);
  if (!h) return;
  if (handle_) DestroyIcon(handle_);
  handle_ = h;
  entry_ = pick;
  GetIconSize(h, &width_, &height_);
  Changed(this);
}

void TIcon::HandleNeeded() const {
  if (handle_ || data_.empty()) return;
  handle_ = CreateIconFromFileData(data_.data(), data_.size(), 1, requested_width_, requested_height_);
}

HICON TIcon::Handle() {
  HandleNeeded();
  return handle_;
}

void TIcon::SetHandle(HICON Value) {
  if (Value == handle_) return;
  Clear();
  handle_ = Value;
  if (handle_ && !GetIconSize(handle_, &width_, &height_)) width_ = height_ = 0;
  Changed(this);
}

HICON TIcon::ReleaseHandle() {
  HandleNeeded();
  HICON h = handle_;
  handle_ = nullptr;  // the ICO data (if any) stays: a new handle is made when next needed
  if (data_.empty()) width_ = height_ = 0;
  return h;
}

void TIcon::Assign(TPersistent* Source) {
  if (!Source) {
    Clear();
    Changed(this);
    return;
  }
  auto* src = dynamic_cast<TIcon*>(Source);
  if (!src) {
    TGraphic::Assign(Source);
    return;
  }
  if (src == this) return;
  Clear();
  data_ = src->data_;
  entry_ = src->entry_;
  requested_width_ = src->requested_width_;
  requested_height_ = src->requested_height_;
  width_ = src->width_;
  height_ = src->height_;
  if (data_.empty() && src->handle_) handle_ = CopyIcon(src->handle_);
  Changed(this);
}

bool TIcon::CanLoadFromStream(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  uint8_t sig[4] = {};
  const int32_t n = Stream->Read(sig, 4);
  Stream->SetPosition(pos);
  return n == 4 && sig[0] == 0 && sig[1] == 0 && (sig[2] == 1 || sig[2] == 2) && sig[3] == 0;
}

void TIcon::LoadFromStream(TStream* Stream) {
  if (!Stream) InvalidIcon();
  const int64_t start = Stream->Position();
  const int64_t n = Stream->Size() - start;
  if (n <= 0 || n > (int64_t{1} << 30)) InvalidIcon();
  std::vector<uint8_t> data(static_cast<size_t>(n));
  Stream->ReadBuffer(data.data(), n);
  uint16_t type = 0;
  std::vector<TIconDirEntry> entries;
  if (!ParseIconDirectory(data.data(), data.size(), &type, &entries)) {
    Stream->SetPosition(start);
    InvalidIcon();
  }
  // The data ends with the last image.
  uint64_t end = 6 + uint64_t{16} * entries.size();
  for (const TIconDirEntry& e : entries) end = std::max<uint64_t>(end, uint64_t{e.ImageOffset} + e.BytesInRes);
  data.resize(static_cast<size_t>(end));
  HICON h = CreateIconFromFileData(data.data(), data.size(), type == 1, requested_width_, requested_height_);
  if (!h) {
    Stream->SetPosition(start);
    InvalidIcon();
  }
  Stream->SetPosition(start + static_cast<int64_t>(end));
  Clear();
  data_ = std::move(data);
  entry_ = PickIconEntry(entries, requested_width_, requested_height_);
  handle_ = h;
  GetIconSize(h, &width_, &height_);
  Changed(this);
}

void TIcon::SaveToStream(TStream* Stream) {
  if (!Stream) return;
  if (!data_.empty()) {
    Stream->WriteBuffer(data_.data(), static_cast<int64_t>(data_.size()));
    return;
  }
  if (!handle_) return;
  const std::vector<uint8_t> data = IconToIcoData(handle_);
  if (!data.empty()) Stream->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
}

void TIcon::LoadFromResourceName(uintptr_t Instance, std::string_view ResName) {
  TResourceStream rs(Instance, ResName, RT_ICON);
  LoadFromStream(&rs);
}

void TIcon::Draw(TCanvas* ACanvas, const TRect& Rect) {
  if (!ACanvas || Empty()) return;
  HICON h = Handle();
  if (!h) return;
  DrawIconEx(ACanvas->Handle(), Rect.Left, Rect.Top, h, Rect.Width(), Rect.Height(), 0, nullptr, DI_NORMAL);
}
