// The toolkit's side of the dialogs: QFileDialog (not the desktop's native one, so that our
// panes fit into it), QColorDialog, QFontDialog and QMessageBox.
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGridLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <exception>
#include <functional>

#include "platform/forms/DialogsInternal.h"
#include "platform/forms/FormsInternal.h"
#include "platform/rtl/SysUtils.h"

namespace {

QString Q(const std::string& s) { return QString::fromStdString(s); }

// The window a dialog belongs to: the top-level window of Wnd, else the active one.
QWidget* ParentWidget(HWND wnd) {
  if (TWindowData* w = wnd ? WindowData(wnd) : nullptr)
    if (w->Native)
      if (auto* widget = static_cast<QWidget*>(w->Native->Widget())) return widget->window();
  return QApplication::activeWindow();
}

// A toolkit dialog's window as the dialog's open state.
class TWidgetSession : public TCommonDialog::TSession {
 public:
  explicit TWidgetSession(QWidget* w) : w_(w) {}
  TRect Bounds() const override {
    const QRect r = w_->frameGeometry();
    return Rect(r.left(), r.top(), r.left() + r.width(), r.top() + r.height());
  }
  void MoveTo(int32_t X, int32_t Y) override { w_->move(X, Y); }

 private:
  QWidget* w_;
};

// Opens the dialog on the session for the scope; OnShow at the start, OnClose at the end.
class TShowingScope {
 public:
  TShowingScope(TCommonDialog* dialog, TCommonDialog::TSession* session) : dialog_(dialog) {
    TDialogAccess::SetOpen(dialog, session);
    try {
      TDialogAccess::Show(dialog);
    } catch (...) {
      TDialogAccess::SetOpen(dialog, nullptr);
      throw;
    }
  }
  ~TShowingScope() {
    RunWrapped([this] { TDialogAccess::Close(dialog_); });
    TDialogAccess::SetOpen(dialog_, nullptr);
  }
  TShowingScope(const TShowingScope&) = delete;
  TShowingScope& operator=(const TShowingScope&) = delete;

 private:
  TCommonDialog* dialog_;
};

QColor ToQColor(TColor c) {
  const auto rgb = static_cast<uint32_t>(ColorToRGB(c));
  return QColor(rgb & 0xFF, (rgb >> 8) & 0xFF, (rgb >> 16) & 0xFF);
}

TColor FromQColor(const QColor& c) {
  return static_cast<TColor>(RGB(static_cast<uint8_t>(c.red()), static_cast<uint8_t>(c.green()),
                                 static_cast<uint8_t>(c.blue())));
}

// ---- File dialog

class TQtFileDialog final : public QFileDialog {
 public:
  TQtFileDialog(TOpenDialog* owner, QWidget* parent) : QFileDialog(parent), owner_(owner) {}
  std::vector<std::string> Result;

  // OK: the names are checked (and confirmed) by the dialog; a refusal keeps it open.
  void accept() override {
    const QStringList selected = selectedFiles();
    if (selected.size() == 1 && QFileInfo(selected.front()).isDir()) {
      QFileDialog::accept();  // enters the folder
      return;
    }
    std::vector<std::string> names;
    for (const QString& s : selected) names.push_back(s.toStdString());
    std::vector<std::string> full;
    RunWrapped([&] { full = TFileDialogSession::Confirm(owner_, names, directory().absolutePath().toStdString()); });
    if (full.empty()) return;  // stays open
    Result = std::move(full);
    QFileDialog::accept();
  }

 private:
  TOpenDialog* owner_;
};

class TQtFileSession : public TFileDialogSession {
 public:
  TQtFileSession(TQtFileDialog* d, QStringList filters) : d_(d), filters_(std::move(filters)) {}
  TRect Bounds() const override { return TWidgetSession(d_).Bounds(); }
  void MoveTo(int32_t X, int32_t Y) override { d_->move(X, Y); }
  std::string NameText() const override {
    auto* edit = d_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    return edit ? edit->text().toStdString() : std::string();
  }
  void SetNameText(const std::string& Text) override {
    if (auto* edit = d_->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))) edit->setText(Q(Text));
  }
  std::string Folder() const override { return d_->directory().absolutePath().toStdString(); }
  int32_t FilterIndex() const override {
    const qsizetype i = filters_.indexOf(d_->selectedNameFilter());
    return i < 0 ? 1 : static_cast<int32_t>(i) + 1;
  }

 private:
  TQtFileDialog* d_;
  QStringList filters_;
};

// A pane host inside the dialog: its window moves into a cell of the dialog's layout for the
// dialog's life and follows the cell's size.
class TPaneSlot : public QObject {
 public:
  TPaneSlot(QFileDialog& dialog, TCustomForm* host, bool right) : host_(host) {
    auto* grid = qobject_cast<QGridLayout*>(dialog.layout());
    if (!host || !grid) return;
    RunWrapped([&] { host->HandleNeeded(); });
    widget_ = static_cast<QWidget*>(host->NativeWidget());
    if (!widget_) return;
    cell_ = new QWidget(&dialog);  // owned by the dialog
    if (right) {
      cell_->setMinimumWidth(host->Width());
      grid->addWidget(cell_, 0, grid->columnCount(), grid->rowCount(), 1);
    } else {
      cell_->setMinimumHeight(host->Height());
      grid->addWidget(cell_, grid->rowCount(), 0, 1, grid->columnCount());
    }
    widget_->setParent(cell_, Qt::Widget);
    cell_->installEventFilter(this);
    RunWrapped([&] { host->SetVisible(true); });
  }
  ~TPaneSlot() override {
    if (!widget_ || !cell_) return;
    cell_->removeEventFilter(this);
    widget_->hide();
    widget_->setParent(nullptr, Qt::Window | Qt::FramelessWindowHint);
  }
  TPaneSlot(const TPaneSlot&) = delete;
  TPaneSlot& operator=(const TPaneSlot&) = delete;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == cell_ && event->type() == QEvent::Resize) {
      const QSize size = cell_->size();
      RunWrapped([&] { host_->SetBounds(0, 0, size.width(), size.height()); });
    }
    return false;
  }

 private:
  TCustomForm* host_;
  QPointer<QWidget> widget_;
  QPointer<QWidget> cell_;
};

// Plays scripted answers into a toolkit dialog from inside its modal loop, as a user would; an
// error ends the dialog and is raised again once the loop is left.
class TAnswerPlayer {
 public:
  TAnswerPlayer(QDialog& dialog, std::function<void(TDialogAnswer&)> play) : dialog_(dialog), play_(std::move(play)) {}
  void Start() {
    if (ScriptDrivesToolkit()) Schedule();
  }
  void Rethrow() {
    if (error_) std::rethrow_exception(error_);
  }

 private:
  void Schedule() {
    QTimer::singleShot(0, &dialog_, [this] { Step(); });
  }
  void Step() {
    if (!dialog_.isVisible()) {
      Schedule();
      return;
    }
    try {
      TDialogAnswer a = NextScriptAnswer(kind_, title_);
      if (a.WhileOpen) a.WhileOpen(open_);
      play_(a);
    } catch (...) {
      error_ = std::current_exception();
      dialog_.reject();
      return;
    }
    if (dialog_.isVisible()) Schedule();  // still open: the next answer goes on
  }

 public:
  std::string kind_, title_;
  TCommonDialog* open_ = nullptr;

 private:
  QDialog& dialog_;
  std::function<void(TDialogAnswer&)> play_;
  std::exception_ptr error_;
};

// Shows a colour or font dialog modally as Dialog (scripted answers played into it); true when
// accepted. An error of the answers is raised once the loop is left.
bool RunCommonDialog(QDialog& dlg, TAnswerPlayer& player, const char* kind, TCommonDialog* Dialog,
                     TWidgetSession& session) {
  player.kind_ = kind;
  player.open_ = Dialog;
  bool accepted;
  {
    TShowingScope showing(Dialog, &session);
    player.Start();
    accepted = dlg.exec() == QDialog::Accepted;
  }
  player.Rethrow();
  return accepted;
}

// A font from the font dialog's fields; sizes up to 0 give the default 8 points.
QFont MakeQFont(const std::string& Name, int32_t Size, TFontStyles Style) {
  QFont font(Q(Name));
  font.setPointSize(Size > 0 ? Size : 8);
  font.setBold(Style.Contains(fsBold));
  font.setItalic(Style.Contains(fsItalic));
  font.setUnderline(Style.Contains(fsUnderline));
  font.setStrikeOut(Style.Contains(fsStrikeOut));
  return font;
}

}  // namespace

bool ToolkitAvailable() {
  auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
  return app && app->thread() == QThread::currentThread();
}

bool ToolkitOnScreen() {
  if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return false;
  const QString platform = QGuiApplication::platformName();
  return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
}

int32_t ToolkitMessageBox(HWND Wnd, const std::string& Text, const std::string& Caption, UINT Icon,
                          const std::vector<int32_t>& Buttons, int32_t DefaultId, int32_t EscapeId) {
  struct TButtonText {
    int32_t id;
    const char* text;
    QMessageBox::ButtonRole role;
  };
  static const TButtonText kButtons[] = {
      {IDOK, "OK", QMessageBox::AcceptRole},           {IDCANCEL, "Cancel", QMessageBox::RejectRole},
      {IDABORT, "&Abort", QMessageBox::RejectRole},    {IDRETRY, "&Retry", QMessageBox::AcceptRole},
      {IDIGNORE, "&Ignore", QMessageBox::AcceptRole},  {IDYES, "&Yes", QMessageBox::YesRole},
      {IDNO, "&No", QMessageBox::NoRole},              {IDTRYAGAIN, "&Try Again", QMessageBox::AcceptRole},
      {IDCONTINUE, "&Continue", QMessageBox::AcceptRole}};
  QMessageBox box(ParentWidget(Wnd));
  box.setWindowTitle(Q(Caption));
  box.setTextFormat(Qt::PlainText);
  box.setText(Q(Text));
  switch (Icon) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
  }
  std::vector<std::pair<QAbstractButton*, int32_t>> made;
  for (int32_t id : Buttons)
    for (const TButtonText& b : kButtons)
      if (b.id == id) {
        QPushButton* button = box.addButton(QString::fromLatin1(b.text), b.role);
        made.emplace_back(button, id);
        if (id == DefaultId) box.setDefaultButton(button);
        if (id == EscapeId) box.setEscapeButton(button);
      }
  TAnswerPlayer player(box, [&](TDialogAnswer& a) {
    int32_t id = 0;
    switch (a.Kind) {
      case TDialogAnswer::TKind::Accept: id = DefaultId; break;
      case TDialogAnswer::TKind::Cancel: id = EscapeId; break;
      case TDialogAnswer::TKind::Button: id = a.Button; break;
      default: break;
    }
    for (const auto& [button, bid] : made)
      if (bid == id && id) {
        button->click();
        return;
      }
    ScriptAnswerUnfit("MessageBox", "no such button");
  });
  player.kind_ = "MessageBox";
  player.title_ = Caption;
  player.Start();
  box.exec();
  player.Rethrow();
  for (const auto& [button, id] : made)
    if (button == box.clickedButton()) return id;
  return EscapeId ? EscapeId : DefaultId;
}

void ToolkitBeep() {
  if (ToolkitAvailable()) QApplication::beep();
}

bool ToolkitFileDialog(TOpenDialog* Dialog, HWND Parent, const std::string& Folder, const std::string& Name,
                       int32_t FilterIndex, TCustomForm* PaneRight, TCustomForm* PaneBottom,
                       std::vector<std::string>& Names, int32_t& ChosenFilter) {
  const TOpenOptions options = Dialog->Options();
  TQtFileDialog dlg(Dialog, ParentWidget(Parent));
  dlg.setOption(QFileDialog::DontUseNativeDialog);
  dlg.setOption(QFileDialog::DontConfirmOverwrite);  // asked by the dialog's own checks
  if (options.Contains(ofNoDereferenceLinks)) dlg.setOption(QFileDialog::DontResolveSymlinks);
  if (options.Contains(ofForceShowHidden)) dlg.setFilter(dlg.filter() | QDir::Hidden);
  dlg.setAcceptMode(TFileDialogSession::IsSave(Dialog) ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dlg.setFileMode(options.Contains(ofAllowMultiSelect) && !TFileDialogSession::IsSave(Dialog)
                      ? QFileDialog::ExistingFiles
                      : QFileDialog::AnyFile);
  if (!Dialog->Title().empty()) dlg.setWindowTitle(Q(Dialog->Title()));
  QStringList filters;
  for (const auto& [description, patterns] : Dialog->FilterEntries()) {
    QStringList list;
    for (const std::string& p : patterns) list.append(Q(p));
    filters.append(Q(description) + QStringLiteral(" (") + list.join(QLatin1Char(' ')) + QLatin1Char(')'));
  }
  if (!filters.empty()) {
    dlg.setNameFilters(filters);
    dlg.selectNameFilter(filters[FilterIndex - 1]);
  }
  dlg.setDirectory(Q(Folder));
  if (!Name.empty()) dlg.selectFile(Q(Name));

  TQtFileSession session(&dlg, filters);
  TPaneSlot right(dlg, PaneRight, true);
  TPaneSlot bottom(dlg, PaneBottom, false);
  int32_t lastFilter = session.FilterIndex();
  auto typeChanged = [&] {
    const int32_t now = session.FilterIndex();
    if (now == lastFilter) return;
    lastFilter = now;
    RunWrapped([&] { TFileDialogSession::TypeChanged(Dialog); });
  };
  const std::string kind = TDialogAccess::Kind(Dialog);
  TAnswerPlayer player(dlg, [&](TDialogAnswer& a) {
    switch (a.Kind) {
      case TDialogAnswer::TKind::Cancel:
        dlg.reject();
        return;
      case TDialogAnswer::TKind::Accept:
        dlg.accept();
        return;
      case TDialogAnswer::TKind::Files:
        break;
      default:
        ScriptAnswerUnfit(kind, "not a file choice");
    }
    if (a.FilterIndex < 0 || a.FilterIndex > filters.size()) ScriptAnswerUnfit(kind, "no such filter entry");
    if (a.Files.size() > 1 && !options.Contains(ofAllowMultiSelect))
      ScriptAnswerUnfit(kind, "several files without ofAllowMultiSelect");
    if (a.FilterIndex) {
      dlg.selectNameFilter(filters[a.FilterIndex - 1]);
      typeChanged();
    }
    if (!a.Files.empty()) {
      const std::string& first = a.Files.front();
      if (!first.empty() && first[0] == '/') dlg.setDirectory(Q(ExtractFileDir(first)));
      std::string text;
      for (const std::string& f : a.Files) {
        const std::string shown = f[0] == '/' ? ExtractFileName(f) : f;
        text += a.Files.size() > 1 ? (text.empty() ? "" : " ") + ("\"" + shown + "\"") : shown;
      }
      session.SetNameText(text);
    }
    dlg.accept();
  });
  player.kind_ = kind;
  player.title_ = Dialog->Title();
  player.open_ = Dialog;
  bool accepted;
  {
    TShowingScope showing(Dialog, &session);
    QObject::connect(&dlg, &QFileDialog::currentChanged,
                     [&] { RunWrapped([&] { TFileDialogSession::SelectionChanged(Dialog); }); });
    QObject::connect(&dlg, &QFileDialog::directoryEntered,
                     [&] { RunWrapped([&] { TFileDialogSession::FolderChanged(Dialog); }); });
    QObject::connect(&dlg, &QFileDialog::filterSelected, typeChanged);
    player.Start();
    accepted = dlg.exec() == QDialog::Accepted && !dlg.Result.empty();
    ChosenFilter = session.FilterIndex();
  }
  player.Rethrow();
  if (!accepted) return false;
  Names = dlg.Result;
  return true;
}

bool ToolkitColorDialog(TCommonDialog* Dialog, HWND Parent, TColor& Color, std::vector<TColor>& Custom) {
  for (int i = 0; i < 16 && i < static_cast<int>(Custom.size()); ++i) QColorDialog::setCustomColor(i, ToQColor(Custom[i]));
  QColorDialog dlg(ToQColor(Color), ParentWidget(Parent));
  dlg.setOption(QColorDialog::DontUseNativeDialog);
  TWidgetSession session(&dlg);
  TAnswerPlayer player(dlg, [&](TDialogAnswer& a) {
    switch (a.Kind) {
      case TDialogAnswer::TKind::Cancel: dlg.reject(); return;
      case TDialogAnswer::TKind::Accept: dlg.accept(); return;
      case TDialogAnswer::TKind::Color:
        for (size_t i = 0; i < a.CustomColors.size() && i < 16; ++i)
          QColorDialog::setCustomColor(static_cast<int>(i), ToQColor(a.CustomColors[i]));
        dlg.setCurrentColor(ToQColor(a.Color));
        dlg.accept();
        return;
      default: ScriptAnswerUnfit("TColorDialog", "not a colour");
    }
  });
  const bool accepted = RunCommonDialog(dlg, player, "TColorDialog", Dialog, session);
  for (int i = 0; i < 16 && i < static_cast<int>(Custom.size()); ++i) Custom[i] = FromQColor(QColorDialog::customColor(i));
  if (accepted) Color = FromQColor(dlg.selectedColor());
  return accepted;
}

bool ToolkitFontDialog(TCommonDialog* Dialog, HWND Parent, std::string& Name, int32_t& Size, TFontStyles& Style,
                       TFontDialogOptions Options) {
  QFontDialog dlg(MakeQFont(Name, Size, Style), ParentWidget(Parent));
  QFontDialog::FontDialogOptions opts = QFontDialog::DontUseNativeDialog;
  if (Options.Contains(fdFixedPitchOnly)) opts |= QFontDialog::MonospacedFonts;
  if (Options.Contains(fdScalableOnly)) opts |= QFontDialog::ScalableFonts;
  dlg.setOptions(opts);
  TWidgetSession session(&dlg);
  TAnswerPlayer player(dlg, [&](TDialogAnswer& a) {
    switch (a.Kind) {
      case TDialogAnswer::TKind::Cancel: dlg.reject(); return;
      case TDialogAnswer::TKind::Accept: dlg.accept(); return;
      case TDialogAnswer::TKind::Font:
        dlg.setCurrentFont(MakeQFont(a.FontName, a.FontSize, a.FontStyle));
        dlg.accept();
        return;
      default: ScriptAnswerUnfit("TFontDialog", "not a font");
    }
  });
  const bool accepted = RunCommonDialog(dlg, player, "TFontDialog", Dialog, session);
  if (!accepted) return false;
  const QFont chosen = dlg.selectedFont();
  Name = chosen.family().toStdString();
  Size = chosen.pointSize() > 0 ? chosen.pointSize() : static_cast<int32_t>(Round(chosen.pixelSize() * 72.0 / 96.0));
  Style = {};
  if (chosen.weight() >= QFont::DemiBold) Style += fsBold;
  if (chosen.italic()) Style += fsItalic;
  if (chosen.underline()) Style += fsUnderline;
  if (chosen.strikeOut()) Style += fsStrikeOut;
  return true;
}
