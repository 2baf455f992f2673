// The common dialogs and message boxes: their properties, the steps they share, and the scripted
// answers that stand in for the user. The toolkit's windows are in Dialogs_qt.cpp.
#include "platform/forms/Dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>

#include "platform/forms/DialogsInternal.h"
#include "platform/forms/FormsInternal.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------------------------
// Scripted answers

namespace {

struct TScriptState {
  std::mutex lock;
  bool started = false;
  bool drive = false;
  std::deque<TDialogAnswer> answers;
  std::vector<TDialogShown> shown;
};

TScriptState& Script() {
  static TScriptState state;
  return state;
}

// A script starts and stops with no answers left and nothing recorded as shown.
void ResetScript(bool Started, bool Drive) {
  TScriptState& s = Script();
  std::lock_guard<std::mutex> guard(s.lock);
  s.started = Started;
  s.drive = Drive;
  s.answers.clear();
  s.shown.clear();
}

[[noreturn]] void ScriptError(const std::string& message) {
  std::fprintf(stderr, "Dialog script: %s\n", message.c_str());
  throw EDialogScriptError(message);
}

}  // namespace

TDialogAnswer NextScriptAnswer(const std::string& kind, const std::string& title) {
  TScriptState& s = Script();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.answers.empty()) ScriptError("no scripted answer for " + kind + " \"" + title + "\"");
  TDialogAnswer a = std::move(s.answers.front());
  s.answers.pop_front();
  return a;
}

void ScriptAnswerUnfit(const std::string& kind, const std::string& what) {
  ScriptError("the scripted answer does not fit " + kind + ": " + what);
}

bool ScriptAnswersDialogs() {
  if (!ToolkitAvailable()) return true;
  TScriptState& s = Script();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.started ? !s.drive : !ToolkitOnScreen();
}

bool ScriptDrivesToolkit() {
  TScriptState& s = Script();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.started && s.drive;
}

TDialogAnswer TDialogAnswer::Cancelled() { return {}; }

TDialogAnswer TDialogAnswer::Accepted() {
  TDialogAnswer a;
  a.Kind = TKind::Accept;
  return a;
}

TDialogAnswer TDialogAnswer::ChooseFiles(std::vector<std::string> Names, int32_t FilterIndex) {
  TDialogAnswer a;
  a.Kind = TKind::Files;
  a.Files = std::move(Names);
  a.FilterIndex = FilterIndex;
  return a;
}

TDialogAnswer TDialogAnswer::ChooseColor(TColor Value, std::vector<TColor> CustomColors) {
  TDialogAnswer a;
  a.Kind = TKind::Color;
  a.Color = Value;
  a.CustomColors = std::move(CustomColors);
  return a;
}

TDialogAnswer TDialogAnswer::ChooseFont(std::string Name, int32_t Size, TFontStyles Style) {
  TDialogAnswer a;
  a.Kind = TKind::Font;
  a.FontName = std::move(Name);
  a.FontSize = Size;
  a.FontStyle = Style;
  return a;
}

TDialogAnswer TDialogAnswer::PressButton(int32_t Id) {
  TDialogAnswer a;
  a.Kind = TKind::Button;
  a.Button = Id;
  return a;
}

void TDialogScript::Start(bool DriveToolkit) { ResetScript(true, DriveToolkit); }

void TDialogScript::Stop() { ResetScript(false, false); }

bool TDialogScript::Active() {
  {
    TScriptState& s = Script();
    std::lock_guard<std::mutex> guard(s.lock);
    if (s.started) return true;
  }
  return !ToolkitOnScreen();
}

void TDialogScript::Push(TDialogAnswer Answer) {
  TScriptState& s = Script();
  std::lock_guard<std::mutex> guard(s.lock);
  s.answers.push_back(std::move(Answer));
}

size_t TDialogScript::Pending() {
  TScriptState& s = Script();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.answers.size();
}

std::vector<TDialogShown> TDialogScript::Shown() {
  TScriptState& s = Script();
  std::lock_guard<std::mutex> guard(s.lock);
  return s.shown;
}

void RecordShown(TDialogShown Entry) {
  TScriptState& s = Script();
  std::lock_guard<std::mutex> guard(s.lock);
  if (s.started) s.shown.push_back(std::move(Entry));  // only a script keeps a log
}

void CallGuarded(const std::function<void()>& Call) {
  try {
    Call();
  } catch (const EDialogScriptError&) {
    throw;
  } catch (...) {
    ReportCurrentException();
  }
}

// ---------------------------------------------------------------------------------------------
// Message boxes

namespace {

// The buttons of each MB_ type, left to right.
const std::vector<int32_t>* ButtonsOf(UINT type) {
  static const std::vector<int32_t> table[] = {
      {IDOK}, {IDOK, IDCANCEL}, {IDABORT, IDRETRY, IDIGNORE}, {IDYES, IDNO, IDCANCEL}, {IDYES, IDNO},
      {IDRETRY, IDCANCEL}, {IDCANCEL, IDTRYAGAIN, IDCONTINUE}};
  const UINT kind = type & MB_TYPEMASK;
  return kind < std::size(table) ? &table[kind] : nullptr;
}

}  // namespace

int32_t MessageBox(HWND Wnd, std::string_view Text, std::string_view Caption, UINT Type) {
  const std::vector<int32_t>* buttons = ButtonsOf(Type);
  if (!buttons) return 0;
  const size_t def = (Type & MB_DEFMASK) >> 8;
  const int32_t defaultId = def < buttons->size() ? (*buttons)[def] : buttons->front();
  // Esc closes the box as Cancel, or as OK when that is its only button; otherwise it cannot.
  int32_t escapeId = 0;
  for (int32_t id : *buttons)
    if (id == IDCANCEL) escapeId = IDCANCEL;
  if (*buttons == std::vector<int32_t>{IDOK}) escapeId = IDOK;

  const std::string text(Text), caption(Caption);
  RecordShown({"MessageBox", caption, text, Type});
  if (!ScriptAnswersDialogs())
    return ToolkitMessageBox(Wnd, text, caption, Type & MB_ICONMASK, *buttons, defaultId, escapeId);
  TDialogAnswer a = NextScriptAnswer("MessageBox", caption);
  if (a.WhileOpen) a.WhileOpen(nullptr);
  switch (a.Kind) {
    case TDialogAnswer::TKind::Accept:
      return defaultId;
    case TDialogAnswer::TKind::Cancel:
      if (!escapeId) ScriptAnswerUnfit("MessageBox", "the box cannot be cancelled");
      return escapeId;
    case TDialogAnswer::TKind::Button:
      for (int32_t id : *buttons)
        if (id == a.Button) return id;
      ScriptAnswerUnfit("MessageBox", "the box has no button " + std::to_string(a.Button));
    default:
      ScriptAnswerUnfit("MessageBox", "not a button");
  }
}

BOOL MessageBeep(UINT Type) {
  if (TDialogScript::Active()) RecordShown({"MessageBeep", "", "", Type});
  else ToolkitBeep();
  return 1;
}

// ---------------------------------------------------------------------------------------------
// TCommonDialog

namespace {

// The stand-in window of a scripted dialog.
class TScriptSession : public TCommonDialog::TSession {
 public:
  TRect Bounds() const override { return bounds_; }
  void MoveTo(int32_t X, int32_t Y) override { bounds_ = ::Bounds(X, Y, bounds_.Width(), bounds_.Height()); }

 private:
  TRect bounds_ = Rect(0, 0, 560, 400);
};

// Opens Dialog on Session for the scope.
class TOpenScope {
 public:
  TOpenScope(TCommonDialog* dialog, TCommonDialog::TSession* session) : dialog_(dialog) {
    TDialogAccess::SetOpen(dialog, session);
  }
  ~TOpenScope() { TDialogAccess::SetOpen(dialog_, nullptr); }
  TOpenScope(const TOpenScope&) = delete;
  TOpenScope& operator=(const TOpenScope&) = delete;

 private:
  TCommonDialog* dialog_;
};

HWND ActiveWindowHandle() {
  if (TScreen* screen = Screen())
    if (TCustomForm* form = screen->ActiveForm())
      if (form->HandleAllocated()) return form->Handle();
  return nullptr;
}

}  // namespace

PX_CLASS_INFO(TCommonDialog, TComponent, [](TPropertyBuilder<TCommonDialog>& b) {
  b.Bool("Ctl3D", &TCommonDialog::Ctl3D, &TCommonDialog::SetCtl3D).Default(true);
  b.Int("HelpContext", &TCommonDialog::HelpContext, &TCommonDialog::SetHelpContext).Default(0);
  b.Event("OnClose", &TCommonDialog::OnClose, &TCommonDialog::SetOnClose);
  b.Event("OnShow", &TCommonDialog::OnShow, &TCommonDialog::SetOnShow);
})

TCommonDialog::TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
TCommonDialog::~TCommonDialog() = default;

bool TCommonDialog::Execute() { return Execute(ActiveWindowHandle()); }

TRect TCommonDialog::WindowBounds() const { return open_ ? open_->Bounds() : TRect(); }

void TCommonDialog::MoveWindowTo(int32_t X, int32_t Y) {
  if (open_) open_->MoveTo(X, Y);
}

void TCommonDialog::DoShow() {
  if (on_show_) CallGuarded([&] { on_show_(this); });
}

void TCommonDialog::DoClose() {
  if (on_close_) CallGuarded([&] { on_close_(this); });
}

// ---------------------------------------------------------------------------------------------
// TOpenDialog

PTypeInfo TypeInfo_TOpenOption() {
  static const TTypeInfo info = TTypeInfo::Enumeration(
      "TOpenOption",
      {"ofReadOnly", "ofOverwritePrompt", "ofHideReadOnly", "ofNoChangeDir", "ofShowHelp", "ofNoValidate",
       "ofAllowMultiSelect", "ofExtensionDifferent", "ofPathMustExist", "ofFileMustExist", "ofCreatePrompt",
       "ofShareAware", "ofNoReadOnlyReturn", "ofNoTestFileCreate", "ofNoNetworkButton", "ofNoLongNames",
       "ofOldStyleDialog", "ofNoDereferenceLinks", "ofEnableIncludeNotify", "ofEnableSizing", "ofDontAddToRecent",
       "ofForceShowHidden"});
  return &info;
}

PTypeInfo TypeInfo_TOpenOptions() {
  static const TTypeInfo info = TTypeInfo::Set("TOpenOptions", TypeInfo_TOpenOption());
  return &info;
}

PX_CLASS_INFO(TOpenDialog, TCommonDialog, [](TPropertyBuilder<TOpenDialog>& b) {
  b.Str("DefaultExt", &TOpenDialog::DefaultExt, &TOpenDialog::SetDefaultExt);
  b.Str("FileName", &TOpenDialog::FileName, &TOpenDialog::SetFileName);
  b.Str("Filter", &TOpenDialog::Filter, &TOpenDialog::SetFilter);
  b.Int("FilterIndex", &TOpenDialog::FilterIndex, &TOpenDialog::SetFilterIndex).Default(1);
  b.Str("InitialDir", &TOpenDialog::InitialDir, &TOpenDialog::SetInitialDir);
  b.Set("Options", TypeInfo_TOpenOptions(), &TOpenDialog::Options, &TOpenDialog::SetOptions)
      .Default(TOpenOptions{ofHideReadOnly, ofEnableSizing});
  b.Str("Title", &TOpenDialog::Title, &TOpenDialog::SetTitle);
  b.Event("OnCanClose", &TOpenDialog::OnCanClose, &TOpenDialog::SetOnCanClose);
  b.Event("OnFolderChange", &TOpenDialog::OnFolderChange, &TOpenDialog::SetOnFolderChange);
  b.Event("OnSelectionChange", &TOpenDialog::OnSelectionChange, &TOpenDialog::SetOnSelectionChange);
  b.Event("OnTypeChange", &TOpenDialog::OnTypeChange, &TOpenDialog::SetOnTypeChange);
})

PX_CLASS_INFO(TSaveDialog, TOpenDialog)

namespace {

// The scripted file dialog's live state.
class TScriptFileSession : public TFileDialogSession {
 public:
  TScriptFileSession(std::string folder, std::string name, int32_t filter)
      : folder_(std::move(folder)), name_(std::move(name)), filter_(filter) {}
  TRect Bounds() const override { return bounds_; }
  void MoveTo(int32_t X, int32_t Y) override { bounds_ = ::Bounds(X, Y, bounds_.Width(), bounds_.Height()); }
  std::string NameText() const override { return name_; }
  void SetNameText(const std::string& Text) override { name_ = Text; }
  std::string Folder() const override { return folder_; }
  int32_t FilterIndex() const override { return filter_; }

  void SetFolder(std::string f) { folder_ = std::move(f); }
  void SetFilterIndex(int32_t i) { filter_ = i; }

 private:
  TRect bounds_ = Rect(0, 0, 560, 400);
  std::string folder_;
  std::string name_;
  int32_t filter_;
};

bool IsAbsolutePath(const std::string& name) { return !name.empty() && name[0] == '/'; }

std::string WithExtension(const std::string& name, std::string ext) {
  if (ext.empty() || !ExtractFileExt(ExtractFileName(name)).empty()) return name;
  if (ext[0] == '.') ext.erase(0, 1);
  return ext.empty() ? name : name + "." + ext;
}

}  // namespace

std::vector<std::string> TFileDialogSession::SplitNames(const std::string& Text) {
  std::vector<std::string> names;
  const std::string t = Trim(Text);
  if (t.empty()) return names;
  if (t[0] != '"') return {t};
  size_t pos = 0;
  while ((pos = t.find('"', pos)) != std::string::npos) {
    const size_t end = t.find('"', pos + 1);
    if (end == std::string::npos) break;
    if (end > pos + 1) names.push_back(t.substr(pos + 1, end - pos - 1));
    pos = end + 1;
  }
  return names;
}

TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner), files_(std::make_unique<TStringList>()) {}

TOpenDialog::~TOpenDialog() = default;

int32_t TOpenDialog::FilterIndex() const {
  if (auto* s = dynamic_cast<TFileDialogSession*>(open_)) return s->FilterIndex();
  return filter_index_;
}

void TOpenDialog::SetFilterIndex(int32_t Value) { filter_index_ = Value; }

std::string TOpenDialog::FileName() const {
  auto* s = dynamic_cast<TFileDialogSession*>(open_);
  if (!s) return file_name_;
  if (!confirming_.empty()) return confirming_.front();
  const std::vector<std::string> names = TFileDialogSession::SplitNames(s->NameText());
  if (names.empty()) return {};
  return IsAbsolutePath(names.front()) ? names.front() : IncludeTrailingPathDelimiter(s->Folder()) + names.front();
}

std::string TOpenDialog::FileNameText() const {
  auto* s = dynamic_cast<TFileDialogSession*>(open_);
  return s ? s->NameText() : std::string();
}

void TOpenDialog::SetFileNameText(const std::string& Value) {
  if (auto* s = dynamic_cast<TFileDialogSession*>(open_)) s->SetNameText(Value);
}

std::string TOpenDialog::CurrentFolder() const {
  auto* s = dynamic_cast<TFileDialogSession*>(open_);
  return s ? s->Folder() : std::string();
}

std::vector<std::pair<std::string, std::vector<std::string>>> TOpenDialog::FilterEntries() const {
  std::vector<std::pair<std::string, std::vector<std::string>>> entries;
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    const size_t bar = filter_.find('|', start);
    parts.push_back(filter_.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  for (size_t i = 0; i + 1 < parts.size(); i += 2) {
    std::vector<std::string> patterns;
    size_t p = 0;
    const std::string& list = parts[i + 1];
    for (;;) {
      const size_t semi = list.find(';', p);
      std::string pat = Trim(list.substr(p, semi == std::string::npos ? std::string::npos : semi - p));
      if (!pat.empty()) patterns.push_back(pat);
      if (semi == std::string::npos) break;
      p = semi + 1;
    }
    if (!patterns.empty()) entries.emplace_back(parts[i], std::move(patterns));
  }
  return entries;
}

void TOpenDialog::DoSelectionChange() {
  if (on_selection_change_) CallGuarded([&] { on_selection_change_(this); });
}

void TOpenDialog::DoFolderChange() {
  if (on_folder_change_) CallGuarded([&] { on_folder_change_(this); });
}

void TOpenDialog::DoTypeChange() {
  if (on_type_change_) CallGuarded([&] { on_type_change_(this); });
}

bool TOpenDialog::DoCanClose() {
  bool can = true;
  if (on_can_close_) CallGuarded([&] { on_can_close_(this, can); });
  return can;
}

std::vector<std::string> TOpenDialog::Confirm(std::vector<std::string> Names, const std::string& Folder) {
  if (Names.empty()) return {};
  std::string caption = title_.empty() ? (IsSaveDialog() ? "Save As" : "Open") : title_;
  const bool fileMustExist = options_.Contains(ofFileMustExist);
  const bool pathMustExist = fileMustExist || options_.Contains(ofPathMustExist) || options_.Contains(ofCreatePrompt);
  for (std::string& name : Names) {
    if (!IsAbsolutePath(name)) name = IncludeTrailingPathDelimiter(Folder) + name;
    name = WithExtension(name, default_ext_);
    if (DirectoryExists(name)) return {};
    const bool exists = FileExists(name);
    if (pathMustExist && !DirectoryExists(ExtractFileDir(name))) {
      MessageBox(nullptr, ExtractFileDir(name) + "\nPath does not exist.\nCheck the path and try again.", caption,
                 MB_OK | MB_ICONWARNING);
      return {};
    }
    if (fileMustExist && !exists) {
      MessageBox(nullptr, ExtractFileName(name) + "\nFile not found.\nCheck the file name and try again.", caption,
                 MB_OK | MB_ICONWARNING);
      return {};
    }
    if (!exists && options_.Contains(ofCreatePrompt) &&
        MessageBox(nullptr, ExtractFileName(name) + " does not exist.\nDo you want to create it?", caption,
                   MB_YESNO | MB_ICONQUESTION) != IDYES)
      return {};
    if (exists && IsSaveDialog() && options_.Contains(ofOverwritePrompt) &&
        MessageBox(nullptr, ExtractFileName(name) + " already exists.\nDo you want to replace it?", caption,
                   MB_YESNO | MB_ICONWARNING) != IDYES)
      return {};
  }
  // OnCanClose sees the names as the result (FileName, Files); a refusal puts Files back.
  TStringList previous;
  previous.Assign(files_.get());
  files_->Clear();
  for (const std::string& n : Names) files_->Add(n);
  confirming_ = Names;
  const bool can = DoCanClose();
  confirming_.clear();
  if (!can) {
    files_->Assign(&previous);
    return {};
  }
  return Names;
}

void TOpenDialog::Finish(const std::vector<std::string>& Names, int32_t Index) {
  files_->Clear();
  for (const std::string& n : Names) files_->Add(n);
  file_name_ = Names.front();
  filter_index_ = Index;
  std::string ext = default_ext_;
  if (!ext.empty() && ext[0] == '.') ext.erase(0, 1);
  std::string chosen = ExtractFileExt(file_name_);
  if (!chosen.empty()) chosen.erase(0, 1);
  if (!ext.empty() && !SameText(ext, chosen)) options_ += ofExtensionDifferent;
  else options_ -= ofExtensionDifferent;
}

namespace {

// A window in the dialog that holds controls of ours.
std::unique_ptr<TCustomForm> MakePaneHost(int32_t width, int32_t height) {
  auto host = std::make_unique<TForm>(nullptr);
  host->SetBorderStyle(bsNone);
  host->SetBounds(0, 0, width, height);
  return host;
}

// Takes the controls out of a pane host (they are not the host's to free) and frees it.
void ReleasePaneHost(std::unique_ptr<TCustomForm>& host) {
  if (!host) return;
  while (host->ControlCount() > 0) host->Controls(host->ControlCount() - 1)->SetParent(nullptr);
  host.reset();
}

}  // namespace

bool TOpenDialog::Execute(HWND ParentWnd) {
  if (open_) return false;  // already showing
  // The folder shown first: the file name's own, else InitialDir, else the current one.
  std::string folder = ExtractFileDir(file_name_);
  if (folder.empty()) folder = initial_dir_;
  if (folder.empty()) folder = GetCurrentDir();
  const int32_t entries = static_cast<int32_t>(FilterEntries().size());
  const int32_t index = filter_index_ >= 1 && filter_index_ <= entries ? filter_index_ : 1;
  const std::string name = ExtractFileName(file_name_);

  RecordShown({KindName(), title_, "", 0});
  struct TPanes {
    TOpenDialog* d;
    ~TPanes() {
      ReleasePaneHost(d->pane_right_);
      ReleasePaneHost(d->pane_bottom_);
    }
  } panes{this};
  if (pane_right_width_) pane_right_ = MakePaneHost(pane_right_width_, 360);
  if (pane_bottom_height_) pane_bottom_ = MakePaneHost(560, pane_bottom_height_);

  std::vector<std::string> names;
  int32_t chosen = index;
  bool ok;
  if (ScriptAnswersDialogs()) {
    ok = ExecuteScripted(folder, name, index, names, chosen);
  } else {
    ok = ToolkitFileDialog(this, ParentWnd, folder, name, index, pane_right_.get(), pane_bottom_.get(), names,
                           chosen);
  }
  if (ok) Finish(names, chosen);
  return ok;
}

bool TOpenDialog::ExecuteScripted(const std::string& Folder, const std::string& Name, int32_t Index,
                                  std::vector<std::string>& Names, int32_t& Chosen) {
  const std::string kind = KindName();
  TScriptFileSession session(Folder, Name, Index);
  TOpenScope scope(this, &session);
  DoShow();
  for (;;) {
    TDialogAnswer a = NextScriptAnswer(kind, title_);
    if (a.WhileOpen) a.WhileOpen(this);
    std::vector<std::string> names;
    switch (a.Kind) {
      case TDialogAnswer::TKind::Cancel:
        DoClose();
        return false;
      case TDialogAnswer::TKind::Accept:
        names = TFileDialogSession::SplitNames(session.NameText());
        break;
      case TDialogAnswer::TKind::Files: {
        if (a.Files.size() > 1 && !options_.Contains(ofAllowMultiSelect))
          ScriptAnswerUnfit(kind, "several files without ofAllowMultiSelect");
        if (a.FilterIndex < 0 || a.FilterIndex > static_cast<int32_t>(FilterEntries().size()))
          ScriptAnswerUnfit(kind, "no filter entry " + std::to_string(a.FilterIndex));
        if (a.FilterIndex && a.FilterIndex != session.FilterIndex()) {
          session.SetFilterIndex(a.FilterIndex);
          DoTypeChange();
        }
        if (a.Files.empty()) {
          names = TFileDialogSession::SplitNames(session.NameText());
          break;
        }
        const std::string& first = a.Files.front();
        if (IsAbsolutePath(first) && ExcludeTrailingPathDelimiter(ExtractFileDir(first)) !=
                                         ExcludeTrailingPathDelimiter(session.Folder())) {
          session.SetFolder(ExtractFileDir(first));
          DoFolderChange();
        }
        std::string text;
        for (const std::string& f : a.Files) {
          const std::string shown = ExtractFileDir(f) == session.Folder() ? ExtractFileName(f) : f;
          text += a.Files.size() > 1 ? (text.empty() ? "" : " ") + ("\"" + shown + "\"") : shown;
        }
        session.SetNameText(text);
        DoSelectionChange();
        names = a.Files;
        break;
      }
      default:
        ScriptAnswerUnfit(kind, "not a file choice");
    }
    std::vector<std::string> full = Confirm(names, session.Folder());
    if (!full.empty()) {
      DoClose();
      Names = std::move(full);
      Chosen = session.FilterIndex();
      return true;
    }
  }
}

// ---------------------------------------------------------------------------------------------
// TColorDialog

PTypeInfo TypeInfo_TColorDialogOptions() {
  static const TTypeInfo element = TTypeInfo::Enumeration(
      "TColorDialogOption", {"cdFullOpen", "cdPreventFullOpen", "cdShowHelp", "cdSolidColor", "cdAnyColor"});
  static const TTypeInfo info = TTypeInfo::Set("TColorDialogOptions", &element);
  return &info;
}

PX_CLASS_INFO(TColorDialog, TCommonDialog, [](TPropertyBuilder<TColorDialog>& b) {
  b.Int("Color", &TColorDialog::Color, &TColorDialog::SetColor, TypeInfo_TColor()).Default(clBlack);
  b.Object<TStrings>("CustomColors", &TColorDialog::CustomColors);
  b.Set("Options", TypeInfo_TColorDialogOptions(), &TColorDialog::Options, &TColorDialog::SetOptions);
})

TColorDialog::TColorDialog(TComponent* AOwner)
    : TCommonDialog(AOwner), custom_colors_(std::make_unique<TStringList>()) {}

TColorDialog::~TColorDialog() = default;

std::vector<TColor> TColorDialog::ReadCustomColors() const {
  std::vector<TColor> colors(16, clWhite);
  for (int32_t i = 0; i < 16; ++i) {
    const std::string v = Trim(custom_colors_->Values(std::string("Color") + char('A' + i)));
    if (v.empty() || v.size() > 8) continue;
    char* end = nullptr;
    const unsigned long c = std::strtoul(v.c_str(), &end, 16);
    if (end && *end == '\0') colors[i] = static_cast<TColor>(c & 0xFFFFFF);
  }
  return colors;
}

void TColorDialog::WriteCustomColors(const std::vector<TColor>& Colors) {
  for (int32_t i = 0; i < 16 && i < static_cast<int32_t>(Colors.size()); ++i) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "%06X", static_cast<unsigned>(Colors[i]) & 0xFFFFFFu);
    custom_colors_->SetValues(std::string("Color") + char('A' + i), hex);
  }
}

bool TColorDialog::Execute(HWND ParentWnd) {
  if (open_) return false;
  std::vector<TColor> custom = ReadCustomColors();
  TColor color = color_;
  bool ok;
  RecordShown({KindName(), "", "", 0});
  if (ScriptAnswersDialogs()) {
    TScriptSession session;
    TOpenScope scope(this, &session);
    DoShow();
    TDialogAnswer a = NextScriptAnswer(KindName(), "");
    if (a.WhileOpen) a.WhileOpen(this);
    switch (a.Kind) {
      case TDialogAnswer::TKind::Cancel:
        ok = false;
        break;
      case TDialogAnswer::TKind::Accept:
        ok = true;
        break;
      case TDialogAnswer::TKind::Color:
        ok = true;
        color = a.Color;
        for (size_t i = 0; i < a.CustomColors.size() && i < custom.size(); ++i) custom[i] = a.CustomColors[i];
        break;
      default:
        ScriptAnswerUnfit(KindName(), "not a colour");
    }
    DoClose();
  } else {
    ok = ToolkitColorDialog(this, ParentWnd, color, custom);
  }
  WriteCustomColors(custom);
  if (ok) color_ = color;
  return ok;
}

// ---------------------------------------------------------------------------------------------
// TFontDialog

PTypeInfo TypeInfo_TFontDialogOptions() {
  static const TTypeInfo element = TTypeInfo::Enumeration(
      "TFontDialogOption",
      {"fdAnsiOnly", "fdTrueTypeOnly", "fdEffects", "fdFixedPitchOnly", "fdForceFontExist", "fdNoFaceSel",
       "fdNoOEMFonts", "fdNoSimulations", "fdNoSizeSel", "fdNoStyleSel", "fdNoVectorFonts", "fdShowHelp",
       "fdWysiwyg", "fdLimitSize", "fdScalableOnly", "fdApplyButton"});
  static const TTypeInfo info = TTypeInfo::Set("TFontDialogOptions", &element);
  return &info;
}

PX_CLASS_INFO(TFontDialog, TCommonDialog, [](TPropertyBuilder<TFontDialog>& b) {
  b.Object<TFont>("Font", &TFontDialog::Font);
  b.Set("Options", TypeInfo_TFontDialogOptions(), &TFontDialog::Options, &TFontDialog::SetOptions)
      .Default(TFontDialogOptions{fdEffects});
  b.Int("MinFontSize", &TFontDialog::MinFontSize, &TFontDialog::SetMinFontSize).Default(0);
  b.Int("MaxFontSize", &TFontDialog::MaxFontSize, &TFontDialog::SetMaxFontSize).Default(0);
})

TFontDialog::TFontDialog(TComponent* AOwner) : TCommonDialog(AOwner), font_(std::make_unique<TFont>()) {}

TFontDialog::~TFontDialog() = default;

void TFontDialog::Choose(const std::string& Name, int32_t Size, TFontStyles Style) {
  if (!Name.empty()) font_->SetName(Name);
  if (Size > 0) font_->SetSize(Size);
  font_->SetStyle(Style);
}

bool TFontDialog::Execute(HWND ParentWnd) {
  if (open_) return false;
  const bool limit = options_.Contains(fdLimitSize) && max_font_size_ > 0;
  auto sizeOk = [&](int32_t size) { return !limit || (size >= min_font_size_ && size <= max_font_size_); };
  RecordShown({KindName(), "", "", 0});
  if (!ScriptAnswersDialogs()) {
    std::string name = font_->Name();
    int32_t size = font_->Size();
    TFontStyles style = font_->Style();
    const bool ok = ToolkitFontDialog(this, ParentWnd, name, size, style, options_);
    if (ok) Choose(name, limit ? std::clamp(size, min_font_size_, max_font_size_) : size, style);
    return ok;
  }
  TScriptSession session;
  TOpenScope scope(this, &session);
  DoShow();
  for (;;) {
    TDialogAnswer a = NextScriptAnswer(KindName(), "");
    if (a.WhileOpen) a.WhileOpen(this);
    switch (a.Kind) {
      case TDialogAnswer::TKind::Cancel:
        DoClose();
        return false;
      case TDialogAnswer::TKind::Accept:
        DoClose();
        return true;
      case TDialogAnswer::TKind::Font:
        if (!sizeOk(a.FontSize)) {
          MessageBox(nullptr,
                     ::Format("Size must be between %d and %d points.", min_font_size_, max_font_size_), "Font",
                     MB_OK | MB_ICONWARNING);
          continue;
        }
        DoClose();
        Choose(a.FontName, a.FontSize, a.FontStyle);
        return true;
      default:
        ScriptAnswerUnfit(KindName(), "not a font");
    }
  }
}

void RegisterDialogClasses() {
  for (TClass c : {TOpenDialog::StaticClass(), TSaveDialog::StaticClass(), TColorDialog::StaticClass(),
                   TFontDialog::StaticClass()})
    RegisterClass(c);
}
