// The library's open and save dialogs.
#include "io/pxopensavedlg.h"

#include <algorithm>
#include <memory>

#include "core/pxwords.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/StdCtrls.h"
#include "platform/rtl/SysUtils.h"

PTypeInfo TypeInfo_TPXShowFormats() {
  static const TTypeInfo info =
      TTypeInfo::Enumeration("TPXShowFormats", {"pxsfImagesAndVideos", "pxsfImagesOnly", "pxsfVideosOnly",
                                                "pxsfAllOnly", "pxsfLayerFormatsOnly", "pxsfLayerFormatsPriority"});
  return &info;
}

std::string ExtensionOfPattern(const std::string& Pattern) {
  const size_t dot = Pattern.find('.');
  if (dot == std::string::npos) return {};
  const size_t semi = Pattern.find(';', dot);
  std::string ext = Trim(Pattern.substr(dot, semi == std::string::npos ? std::string::npos : semi - dot));
  // "*.*" and "*.jp?" name no extension a file could be given.
  if (ext.size() < 2 || ext.find_first_of("*?") != std::string::npos) return {};
  return ext;
}

// ---------------------------------------------------------------------------------------------
// TOpenPixoranDialog

PX_CLASS_INFO(TOpenPixoranDialog, TOpenDialog, [](TPropertyBuilder<TOpenPixoranDialog>& b) {
  b.Bool("AutoSetFilter", &TOpenPixoranDialog::AutoSetFilter, &TOpenPixoranDialog::SetAutoSetFilter).Default(true);
  b.Int("AutoSetFilterFileType", &TOpenPixoranDialog::AutoSetFilterFileType,
        &TOpenPixoranDialog::SetAutoSetFilterFileType)
      .Default(-1);
  b.Str("ExtraFilter", &TOpenPixoranDialog::ExtraFilter, &TOpenPixoranDialog::SetExtraFilter);
  // The built filter is the registry's; only a filter of the caller's own is stored.
  b.Str("Filter", &TOpenPixoranDialog::Filter, &TOpenPixoranDialog::SetFilter).Stored([](TOpenPixoranDialog* d) {
    return !d->AutoSetFilter();
  });
  b.Int("FilterDefault", &TOpenPixoranDialog::FilterDefault, &TOpenPixoranDialog::SetFilterDefault).Default(-1);
  b.Str("InitialDir", &TOpenPixoranDialog::InitialDir, &TOpenPixoranDialog::SetInitialDir);
  b.Set("Options", TypeInfo_TOpenOptions(), &TOpenPixoranDialog::Options, &TOpenPixoranDialog::SetOptions)
      .Default(TOpenOptions{ofHideReadOnly});
  b.Enum("ShowFormats", TypeInfo_TPXShowFormats(), &TOpenPixoranDialog::ShowFormats,
         &TOpenPixoranDialog::SetShowFormats)
      .Default(pxsfImagesAndVideos);
})

TOpenPixoranDialog::TOpenPixoranDialog(TComponent* AOwner) : TOpenDialog(AOwner) {
  SetOptions(TOpenOptions{ofHideReadOnly});
  SetFilter(BuildDialogFilter(false, show_formats_, -1, extra_filter_, false));
  // The pane's controls; the pane that shows them comes later, so they stay unparented.
  info_panel_ = new TPanel(this);  // owned by the dialog
  info_panel_->SetName("InfoPanel");
  info_panel_->SetBevelOuter(bvNone);
  info_panel_->SetBorderWidth(6);
  info_panel_->SetCaption("");
  info_panel_->SetBounds(204, 5, 169, 200);
  preview_check_ = new TCheckBox(this);
  preview_check_->SetName("PreviewCheck");
  preview_check_->SetBounds(195, 0, 130, 23);
  preview_check_->SetChecked(true);
  preview_check_->SetVisible(false);
  preview_check_->SetCaption(GetLanguageWord(0));
  preview_check_->SetParent(info_panel_);
  picture_panel_ = new TPanel(this);
  picture_panel_->SetName("PicturePanel");
  picture_panel_->SetBevelOuter(bvNone);
  picture_panel_->SetBorderWidth(6);
  picture_panel_->SetCaption("");
  picture_panel_->SetBounds(204, 5, 233, 200);
  picture_panel_->SetAlign(alLeft);
}

TOpenPixoranDialog::~TOpenPixoranDialog() = default;

void TOpenPixoranDialog::SetInitialDir(const std::string& Value) {
  std::string dir = Value;
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  TOpenDialog::SetInitialDir(dir);
}

std::string TOpenPixoranDialog::AutomaticFilter() const {
  return BuildDialogFilter(false, show_formats_, auto_set_filter_file_type_, extra_filter_, false);
}

bool TOpenPixoranDialog::Execute(HWND ParentWnd) {
  // The word table may have changed language since the last showing.
  preview_check_->SetCaption(GetLanguageWord(0));
  if (auto_set_filter_) SetFilter(AutomaticFilter());
  return DoExecute(ParentWnd);
}

bool TOpenPixoranDialog::DoExecute(HWND ParentWnd) {
  if (executing_) return false;  // already showing
  selected_frame_ = 0;
  Files()->Clear();
  const std::string name = FileName();
  if (!name.empty()) SetFilterIndex(FilterIndexOf(LowerCase(ExtractFileExt(name)), false));
  if (filter_default_ > 0 && (name.empty() || FileTypeFromFileName(name) == filter_default_))
    SetFilterIndex(FilterIndexOfType(filter_default_));
  if (FilterIndex() == 0) SetFilterIndex(1);

  own_default_ext_ = DefaultExt();
  executing_ = true;
  struct TRestore {
    TOpenPixoranDialog* d;
    ~TRestore() {
      d->executing_ = false;
      d->SetDefaultExt(d->own_default_ext_);
    }
  } restore{this};
  ApplyDefaultExtension();
  return TOpenDialog::Execute(ParentWnd);
}

void TOpenPixoranDialog::ApplyDefaultExtension() {
  if (!executing_) return;
  if (!own_default_ext_.empty()) return SetDefaultExt(own_default_ext_);
  const int32_t entries = static_cast<int32_t>(FilterEntries().size());
  const int32_t index = FilterIndex() >= 1 && FilterIndex() <= entries ? FilterIndex() : 1;
  SetDefaultExt(ExtensionOfPattern(FilterPattern(index)));
}

void TOpenPixoranDialog::DoTypeChange() {
  ApplyDefaultExtension();
  TOpenDialog::DoTypeChange();
}

int32_t TOpenPixoranDialog::FilterIndexOf(const std::string& Text, bool SkipAllEntry) const {
  const std::string text = LowerCase(Text);
  const std::string& filter = Filter();
  if (text.empty()) return 1;
  size_t p = filter.find(text);
  if (p == std::string::npos) return 1;
  if (SkipAllEntry && !IsSaveDialog()) {
    // The entry of all pictures holds every extension: the third occurrence is past it.
    const size_t second = filter.find(text, p + 1);
    if (second != std::string::npos) {
      const size_t third = filter.find(text, second + 1);
      if (third != std::string::npos) p = third;
    }
  }
  const auto bars = std::count(filter.begin(), filter.begin() + static_cast<std::ptrdiff_t>(p), '|');
  return static_cast<int32_t>(bars / 2 + 1);
}

int32_t TOpenPixoranDialog::FilterIndexOfType(TPXFileType FileType) const {
  const std::string ext = GetExtensionOfType(FileType, 0);
  if (ext.empty()) return 0;
  return FilterIndexOf("." + ext, true);
}

std::string TOpenPixoranDialog::FilterPattern(int32_t Index) const {
  const auto entries = FilterEntries();
  if (Index < 1 || Index > static_cast<int32_t>(entries.size())) return {};
  std::string patterns;
  for (const std::string& p : entries[Index - 1].second) patterns += (patterns.empty() ? "" : ";") + p;
  return patterns;
}

// ---------------------------------------------------------------------------------------------
// TSavePixoranDialog

PX_CLASS_INFO(TSavePixoranDialog, TOpenPixoranDialog, [](TPropertyBuilder<TSavePixoranDialog>& b) {
  b.Object<TComponent>("AttachedPixoranIO", &TSavePixoranDialog::AttachedPixoranIO,
                       &TSavePixoranDialog::SetAttachedPixoranIO);
})

TSavePixoranDialog::TSavePixoranDialog(TComponent* AOwner) : TOpenPixoranDialog(AOwner) {
  SetFilter(BuildDialogFilter(true, ShowFormats(), -1, ExtraFilter(), false));
  timer_ = new TTimer(this);  // owned by the dialog
  timer_->SetEnabled(false);
  timer_->SetInterval(100);
  timer_->SetOnTimer(TNotifyEvent([this](TObject*) { UpdateSaveType(); }));
}

TSavePixoranDialog::~TSavePixoranDialog() {
  if (attached_) attached_->RemoveFreeNotification(this);
}

std::string TSavePixoranDialog::AutomaticFilter() const {
  return BuildDialogFilter(true, ShowFormats(), AutoSetFilterFileType(), ExtraFilter(), false);
}

void TSavePixoranDialog::SetAttachedPixoranIO(TComponent* Value) {
  if (!dynamic_cast<TPixoranIO*>(Value) || Value == attached_) return;
  if (attached_) attached_->RemoveFreeNotification(this);
  attached_ = Value;
  attached_->FreeNotification(this);
}

void TSavePixoranDialog::Notification(TComponent* AComponent, TOperation Operation) {
  TOpenPixoranDialog::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == attached_) attached_ = nullptr;
}

TIOParams* TSavePixoranDialog::AttachedParams() const {
  auto* io = dynamic_cast<TPixoranIO*>(attached_);
  return io ? io->GetParams() : nullptr;
}

bool TSavePixoranDialog::Execute(HWND ParentWnd) {
  PreviewCheck()->SetCaption(GetLanguageWord(0));
  if (AutoSetFilter()) SetFilter(AutomaticFilter());
  // What the attached parameters were, put back unless a name is confirmed.
  auto keep = std::make_unique<TIOParams>();
  if (TIOParams* params = AttachedParams()) keep->Assign(params);
  bool confirmed = false;
  struct TPutBack {
    TSavePixoranDialog* d;
    TIOParams* keep;
    bool& confirmed;
    ~TPutBack() {
      d->timer_->SetEnabled(false);
      if (TIOParams* params = d->AttachedParams(); params && !confirmed) params->Assign(keep);
    }
  } putBack{this, keep.get(), confirmed};
  UpdateSaveType();
  confirmed = DoExecute(ParentWnd);
  return confirmed;
}

void TSavePixoranDialog::DoShow() {
  timer_->SetEnabled(true);
  TOpenPixoranDialog::DoShow();
}

void TSavePixoranDialog::DoClose() {
  // Once closed nothing follows the name any more.
  timer_->SetEnabled(false);
  TOpenPixoranDialog::DoClose();
}

void TSavePixoranDialog::DoTypeChange() {
  ApplyDefaultExtension();
  ChangeNameExtension();
  UpdateSaveType();
  TOpenDialog::DoTypeChange();
}

void TSavePixoranDialog::ChangeNameExtension() {
  const std::string text = FileNameText();
  const size_t slash = text.rfind('/');
  const std::string name = slash == std::string::npos ? text : text.substr(slash + 1);
  const std::string ext = ExtractFileExt(name);
  if (ext.empty() || FileTypeFromExtension(LowerCase(ext)) == pxftUnknown) return;
  const std::string wanted = ExtensionOfPattern(CurrentFilterPattern());
  if (wanted.empty()) return;
  SetFileNameText(text.substr(0, text.size() - ext.size()) + wanted);
}

TPXFileType TSavePixoranDialog::CurrentSaveType() const {
  auto typeOf = [](const std::string& ext) -> TPXFileType {
    TPXFileFormatInfo* info = FileFormatByExtension(ext);
    return info ? info->FileType : pxftUnknown;
  };
  const std::string ext = LowerCase(ExtractFileExt(ExtractFileName(FileName())));
  TPXFileType type = !ext.empty() ? typeOf(ext) : typeOf(LowerCase(CallerDefaultExt()));
  const std::string pattern = CurrentFilterPattern();
  if (type == pxftUnknown && !pattern.empty()) {
    const size_t dot = pattern.rfind('.');
    if (dot != std::string::npos) type = typeOf(LowerCase(pattern.substr(dot)));
  }
  return type;
}

void TSavePixoranDialog::UpdateSaveType() {
  if (TIOParams* params = AttachedParams()) params->FileType = CurrentSaveType();
}
