// TPicture: one graphic of any registered kind, loaded by file extension or data signature.
#include <algorithm>
#include <mutex>

#include "platform/gdi/Graphics.h"

namespace {

struct FileFormat {
  std::string extension;  // lower case, without the dot
  std::string description;
  TGraphicFactory factory = nullptr;
};

struct FormatList {
  std::mutex lock;
  std::vector<FileFormat> formats;
  FormatList() {
    formats.push_back({"bmp", "Bitmaps", []() -> std::unique_ptr<TGraphic> { return std::make_unique<TBitmap>(); }});
    formats.push_back({"ico", "Icons", []() -> std::unique_ptr<TGraphic> { return std::make_unique<TIcon>(); }});
  }
};

// Never destroyed: a unit's finalisation may unregister its format while statics are torn down.
FormatList& Formats() {
  static FormatList* const list = std::make_unique<FormatList>().release();
  return *list;
}

}  // namespace

PX_CLASS_INFO(TPicture, TPersistent)

TPicture::TPicture() = default;

TPicture::~TPicture() {
  if (graphic_) graphic_->SetOnChange(nullptr);
}

void TPicture::RegisterFileFormat(std::string_view Extension, std::string_view Description, TGraphicFactory Factory) {
  if (Extension.empty() || !Factory) return;
  FormatList& l = Formats();
  std::lock_guard<std::mutex> g(l.lock);
  l.formats.push_back({LowerCase(Extension), std::string(Description), Factory});
}

void TPicture::UnregisterFileFormat(std::string_view Extension) {
  FormatList& l = Formats();
  std::lock_guard<std::mutex> g(l.lock);
  const std::string ext = LowerCase(Extension);
  std::erase_if(l.formats, [&](const FileFormat& f) { return f.extension == ext; });
}

void TPicture::Adopt(std::unique_ptr<TGraphic> NewGraphic) {
  if (graphic_) graphic_->SetOnChange(nullptr);
  graphic_ = std::move(NewGraphic);
  if (graphic_) {
    graphic_->SetOnChange(TNotifyEvent(this, &TPicture::Changed));
    graphic_->SetOnProgress(on_progress_);
  }
  Changed(this);
}

void TPicture::Changed(TObject*) {
  if (on_change_) on_change_(this);
}

template <class G>
G* TPicture::ForceType() {
  if (auto* g = dynamic_cast<G*>(graphic_.get())) return g;
  Adopt(std::make_unique<G>());
  return static_cast<G*>(graphic_.get());
}

TBitmap* TPicture::Bitmap() { return ForceType<TBitmap>(); }

TIcon* TPicture::Icon() { return ForceType<TIcon>(); }

void TPicture::SetGraphic(TGraphic* Value) {
  if (!Value) {
    Adopt(nullptr);
    return;
  }
  if (Value == graphic_.get()) return;
  std::unique_ptr<TGraphic> copy;
  if (dynamic_cast<TBitmap*>(Value)) copy = std::make_unique<TBitmap>();
  else if (dynamic_cast<TIcon*>(Value)) copy = std::make_unique<TIcon>();
  else {
    // Another kind: a new object of its class from the registered factories.
    FormatList& l = Formats();
    std::lock_guard<std::mutex> g(l.lock);
    for (auto it = l.formats.rbegin(); it != l.formats.rend() && !copy; ++it) {
      std::unique_ptr<TGraphic> probe = it->factory();
      if (probe && probe->ClassType() == Value->ClassType()) copy = std::move(probe);
    }
  }
  if (!copy) throw EInvalidGraphic(Format("Cannot assign a %s to a TPicture", Value->ClassName()));
  copy->Assign(Value);
  Adopt(std::move(copy));
}

void TPicture::Assign(TPersistent* Source) {
  if (!Source) {
    SetGraphic(nullptr);
  } else if (auto* p = dynamic_cast<TPicture*>(Source)) {
    if (p != this) SetGraphic(p->Graphic());
  } else if (auto* g = dynamic_cast<TGraphic*>(Source)) {
    SetGraphic(g);
  } else {
    TPersistent::Assign(Source);
  }
}

void TPicture::AssignTo(TPersistent* Dest) {
  if (auto* g = dynamic_cast<TGraphic*>(Dest); g && graphic_) {
    g->Assign(graphic_.get());
    return;
  }
  TPersistent::AssignTo(Dest);
}

void TPicture::LoadFromFile(std::string_view FileName) {
  std::string ext = ExtractFileExt(FileName);
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  TGraphicFactory factory = nullptr;
  {
    FormatList& l = Formats();
    std::lock_guard<std::mutex> g(l.lock);
    const std::string lower = LowerCase(ext);
    for (auto it = l.formats.rbegin(); it != l.formats.rend(); ++it)
      if (it->extension == lower) {
        factory = it->factory;
        break;
      }
  }
  if (!factory) throw EInvalidGraphic(Format("Unknown picture file extension (.%s)", ext));
  std::unique_ptr<TGraphic> g = factory();
  g->SetOnProgress(on_progress_);
  g->LoadFromFile(FileName);
  Adopt(std::move(g));
}

void TPicture::SaveToFile(std::string_view FileName) {
  if (graphic_) graphic_->SaveToFile(FileName);
}

void TPicture::LoadFromStream(TStream* Stream) {
  std::vector<TGraphicFactory> factories;
  {
    FormatList& l = Formats();
    std::lock_guard<std::mutex> g(l.lock);
    for (auto it = l.formats.rbegin(); it != l.formats.rend(); ++it) factories.push_back(it->factory);
  }
  for (TGraphicFactory f : factories) {
    std::unique_ptr<TGraphic> g = f();
    if (!g || !g->CanLoadFromStream(Stream)) continue;
    g->SetOnProgress(on_progress_);
    g->LoadFromStream(Stream);
    Adopt(std::move(g));
    return;
  }
  throw EInvalidGraphic("Unsupported stream format");
}

void TPicture::SaveToStream(TStream* Stream) {
  if (graphic_) graphic_->SaveToStream(Stream);
}
