// The common dialogs (open, save, colour, font), message boxes and the system beep, and the
// scripted answers that replace all of them in tests.
//
// The file dialogs are the toolkit's own (not the desktop's native) file dialog, so that controls
// of ours can be shown inside it (PaneRight / PaneBottom). Every dialog runs modally and answers
// true when confirmed; a cancelled or failed dialog answers false and leaves its properties as
// they were (the colour dialog's custom colours excepted: they are the dialog's own and always
// come back).
//
// Scripted answers: while TDialogScript is active, no dialog or message box is shown; each takes
// the next answer from the queue instead, and one that finds no answer (or one that does not fit)
// raises EDialogScriptError. Scripting is always active when the toolkit draws offscreen (tests)
// or there is no toolkit application, so that nothing ever waits for a user who is not there.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/forms/Forms.h"
#include "platform/rtl/Classes.h"

// ---------------------------------------------------------------------------------------------
// Scripted answers

class TCommonDialog;

struct TDialogAnswer {
  enum class TKind : uint8_t { Cancel, Accept, Files, Color, Font, Button };
  TKind Kind = TKind::Cancel;
  std::vector<std::string> Files;    // Files: the names chosen (relative ones are in the dialog's
                                     // folder); none: OK with the text of the name box
  int32_t FilterIndex = 0;           // Files: the filter entry picked first (0: keep)
  TColor Color = clBlack;            // Color
  std::vector<TColor> CustomColors;  // Color: the custom colours left in the dialog (empty: keep)
  std::string FontName;              // Font
  int32_t FontSize = 0;              // Font: points
  TFontStyles FontStyle;             // Font
  int32_t Button = 0;                // Button: IDOK, IDCANCEL, IDYES ...
  // Runs while the dialog is open (after OnShow), before the answer is given; the dialog is
  // passed (nullptr for message boxes).
  std::function<void(TCommonDialog* Dialog)> WhileOpen;

  // Closes the dialog as Cancel or Esc would (a message box without Cancel button: OK when it
  // has only that one, else EDialogScriptError).
  static TDialogAnswer Cancelled();
  // Confirms what the dialog holds: OK with the text of the file-name box, the colour or font
  // unchanged; for a message box its default button.
  static TDialogAnswer Accepted();
  static TDialogAnswer ChooseFiles(std::vector<std::string> Names, int32_t FilterIndex = 0);
  static TDialogAnswer ChooseColor(TColor Value, std::vector<TColor> CustomColors = {});
  static TDialogAnswer ChooseFont(std::string Name, int32_t Size, TFontStyles Style = {});
  static TDialogAnswer PressButton(int32_t Id);
};

// What was shown (scripted or not) since Start: dialogs, message boxes, beeps and shell requests.
struct TDialogShown {
  std::string Kind;   // "TOpenDialog", "TSaveDialog", "TColorDialog", "TFontDialog", "MessageBox",
                      // "MessageBeep", "ShellExecute"
  std::string Title;  // the dialog's title, the box's caption, the shell verb
  std::string Text;   // the box's text, the shell's file or address
  uint32_t Flags = 0; // the box's MB_* type, the beep's type
};

class TDialogScript {
 public:
  // Scripting on, with an empty queue and log. With DriveToolkit the toolkit's real dialogs are
  // shown (offscreen too) and each answer is played into them as a user would give it, so that
  // the toolkit's side is what runs.
  static void Start(bool DriveToolkit = false);
  // Scripting off (unless offscreen); the queue and the log are cleared.
  static void Stop();
  static bool Active();
  static void Push(TDialogAnswer Answer);
  // Answers not used yet.
  static size_t Pending();
  static std::vector<TDialogShown> Shown();
};

PX_DECLARE_EXCEPTION(EDialogScriptError, Exception);

// Appends to the log of TDialogScript while it is started (for the shell and other platform
// parts).
void RecordShown(TDialogShown Entry);

// ---------------------------------------------------------------------------------------------
// Message boxes

enum : UINT {
  MB_OK = 0x0, MB_OKCANCEL = 0x1, MB_ABORTRETRYIGNORE = 0x2, MB_YESNOCANCEL = 0x3, MB_YESNO = 0x4,
  MB_RETRYCANCEL = 0x5, MB_CANCELTRYCONTINUE = 0x6, MB_TYPEMASK = 0xF,
  MB_ICONHAND = 0x10, MB_ICONSTOP = 0x10, MB_ICONERROR = 0x10, MB_ICONQUESTION = 0x20,
  MB_ICONEXCLAMATION = 0x30, MB_ICONWARNING = 0x30, MB_ICONASTERISK = 0x40, MB_ICONINFORMATION = 0x40,
  MB_ICONMASK = 0xF0,
  MB_DEFBUTTON1 = 0x000, MB_DEFBUTTON2 = 0x100, MB_DEFBUTTON3 = 0x200, MB_DEFBUTTON4 = 0x300, MB_DEFMASK = 0xF00,
  MB_APPLMODAL = 0x0000, MB_SYSTEMMODAL = 0x1000, MB_TASKMODAL = 0x2000, MB_HELP = 0x4000,
  MB_SETFOREGROUND = 0x10000, MB_TOPMOST = 0x40000, MB_RIGHT = 0x80000
};
enum : int32_t {
  IDOK = 1, IDCANCEL = 2, IDABORT = 3, IDRETRY = 4, IDIGNORE = 5, IDYES = 6, IDNO = 7, IDCLOSE = 8,
  IDHELP = 9, IDTRYAGAIN = 10, IDCONTINUE = 11
};

// Shows a modal message box over Wnd's window (nullptr: the active window) and answers the id
// of the button pressed; 0 for an unknown button combination.
int32_t MessageBox(HWND Wnd, std::string_view Text, std::string_view Caption, UINT Type);
// The system beep (MB_OK, MB_ICONHAND ... or 0xFFFFFFFF); TRUE.
BOOL MessageBeep(UINT Type);

// ---------------------------------------------------------------------------------------------
// The dialogs

class TCommonDialog : public TComponent {
  PX_CLASS(TCommonDialog)
 public:
  explicit TCommonDialog(TComponent* AOwner);
  ~TCommonDialog() override;

  // Runs the dialog over the active form's window.
  virtual bool Execute();
  // Runs the dialog over ParentWnd's window (nullptr: the active window).
  virtual bool Execute(HWND ParentWnd) = 0;

  bool Ctl3D() const { return ctl3d_; }
  void SetCtl3D(bool Value) { ctl3d_ = Value; }
  int32_t HelpContext() const { return help_context_; }
  void SetHelpContext(int32_t Value) { help_context_ = Value; }

  // While the dialog is open: whether it is, its window's bounds on the screen, and moving its
  // window (OnShow may place it).
  bool IsOpen() const { return open_ != nullptr; }
  TRect WindowBounds() const;
  void MoveWindowTo(int32_t X, int32_t Y);

  const TNotifyEvent& OnShow() const { return on_show_; }
  void SetOnShow(const TNotifyEvent& Value) { on_show_ = Value; }
  const TNotifyEvent& OnClose() const { return on_close_; }
  void SetOnClose(const TNotifyEvent& Value) { on_close_ = Value; }

  // The state of one showing (the toolkit dialog or its scripted stand-in).
  class TSession;

 protected:
  friend struct TDialogAccess;
  virtual void DoShow();
  virtual void DoClose();
  // The kind named in the log and in script errors ("TOpenDialog").
  virtual std::string KindName() const = 0;

  TSession* open_ = nullptr;

 private:
  bool ctl3d_ = true;
  int32_t help_context_ = 0;
  TNotifyEvent on_show_, on_close_;
};

enum class TOpenOption : uint8_t {
  ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp, ofNoValidate, ofAllowMultiSelect,
  ofExtensionDifferent, ofPathMustExist, ofFileMustExist, ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn,
  ofNoTestFileCreate, ofNoNetworkButton, ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks,
  ofEnableIncludeNotify, ofEnableSizing, ofDontAddToRecent, ofForceShowHidden
};
using enum TOpenOption;
using TOpenOptions = TSet<TOpenOption>;
PTypeInfo TypeInfo_TOpenOption();
PTypeInfo TypeInfo_TOpenOptions();

class TOpenDialog : public TCommonDialog {
  PX_CLASS(TOpenDialog)
 public:
  explicit TOpenDialog(TComponent* AOwner);
  ~TOpenDialog() override;

  using TCommonDialog::Execute;
  bool Execute(HWND ParentWnd) override;

  // "Description|pattern;pattern|Description|pattern..."; FilterIndex is 1-based (while the
  // dialog is open, the entry the user picked).
  const std::string& Filter() const { return filter_; }
  void SetFilter(const std::string& Value) { filter_ = Value; }
  int32_t FilterIndex() const;
  void SetFilterIndex(int32_t Value);
  // Appended (with a dot) to a chosen name without extension; given with or without its dot.
  const std::string& DefaultExt() const { return default_ext_; }
  void SetDefaultExt(const std::string& Value) { default_ext_ = Value; }
  // The chosen file (the first of several); while the dialog is open, the file its name box
  // names now (in the current folder).
  std::string FileName() const;
  void SetFileName(const std::string& Value) { file_name_ = Value; }
  // Every chosen file, with its full path.
  TStrings* Files() const { return files_.get(); }
  const std::string& InitialDir() const { return initial_dir_; }
  void SetInitialDir(const std::string& Value) { initial_dir_ = Value; }
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& Value) { title_ = Value; }
  // ofOverwritePrompt, ofCreatePrompt, ofFileMustExist, ofPathMustExist, ofAllowMultiSelect,
  // ofForceShowHidden, ofNoDereferenceLinks act; ofExtensionDifferent is set on return; the
  // others are kept for callers and change nothing here.
  TOpenOptions Options() const { return options_; }
  void SetOptions(TOpenOptions Value) { options_ = Value; }

  // While the dialog is open: the text of its file-name box (changing it as the user would), and
  // the folder it shows. Empty when closed.
  std::string FileNameText() const;
  void SetFileNameText(const std::string& Value);
  std::string CurrentFolder() const;

  // Room for controls of ours inside the dialog: PaneRightWidth pixels right of the standard
  // controls (as high as they are), PaneBottomHeight pixels below them (as wide as the dialog);
  // 0 gives none. While the dialog is open, PaneRight() and PaneBottom() are the windows there,
  // sized with the dialog: OnShow may put controls into them (SetParent), and the dialog takes
  // them out again (parent nil) when it closes. nullptr while closed or without room.
  int32_t PaneRightWidth() const { return pane_right_width_; }
  void SetPaneRightWidth(int32_t Value) { pane_right_width_ = std::max(Value, 0); }
  int32_t PaneBottomHeight() const { return pane_bottom_height_; }
  void SetPaneBottomHeight(int32_t Value) { pane_bottom_height_ = std::max(Value, 0); }
  TWinControl* PaneRight() const { return pane_right_.get(); }
  TWinControl* PaneBottom() const { return pane_bottom_.get(); }

  // The user clicked another file or typed in the name box; entered another folder; picked
  // another filter entry; confirmed a name (CanClose false keeps the dialog open).
  const TNotifyEvent& OnSelectionChange() const { return on_selection_change_; }
  void SetOnSelectionChange(const TNotifyEvent& Value) { on_selection_change_ = Value; }
  const TNotifyEvent& OnFolderChange() const { return on_folder_change_; }
  void SetOnFolderChange(const TNotifyEvent& Value) { on_folder_change_ = Value; }
  const TNotifyEvent& OnTypeChange() const { return on_type_change_; }
  void SetOnTypeChange(const TNotifyEvent& Value) { on_type_change_ = Value; }
  const TCloseQueryEvent& OnCanClose() const { return on_can_close_; }
  void SetOnCanClose(const TCloseQueryEvent& Value) { on_can_close_ = Value; }

  // The filter's entries as (description, patterns) pairs; a description without patterns is
  // dropped.
  std::vector<std::pair<std::string, std::vector<std::string>>> FilterEntries() const;

 protected:
  virtual bool IsSaveDialog() const { return false; }
  std::string KindName() const override { return "TOpenDialog"; }
  virtual void DoSelectionChange();
  virtual void DoFolderChange();
  virtual void DoTypeChange();
  virtual bool DoCanClose();

 private:
  friend class TFileDialogSession;
  bool ExecuteScripted(const std::string& Folder, const std::string& Name, int32_t Index,
                       std::vector<std::string>& Names, int32_t& Chosen);
  // Checks the names the user confirmed (extension, existence, prompts, OnCanClose): the full
  // names to return, or empty to keep the dialog open.
  std::vector<std::string> Confirm(std::vector<std::string> Names, const std::string& Folder);
  void Finish(const std::vector<std::string>& Names, int32_t FilterIndex);

  std::string filter_;
  int32_t filter_index_ = 1;
  std::string default_ext_;
  std::string file_name_;
  std::unique_ptr<TStringList> files_;
  std::string initial_dir_;
  std::string title_;
  TOpenOptions options_{ofHideReadOnly, ofEnableSizing};
  int32_t pane_right_width_ = 0;
  int32_t pane_bottom_height_ = 0;
  std::unique_ptr<TCustomForm> pane_right_;   // while open
  std::unique_ptr<TCustomForm> pane_bottom_;
  TNotifyEvent on_selection_change_, on_folder_change_, on_type_change_;
  TCloseQueryEvent on_can_close_;
  std::vector<std::string> confirming_;  // the names OnCanClose is asked about
};

class TSaveDialog : public TOpenDialog {
  PX_CLASS(TSaveDialog)
 public:
  explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}

 protected:
  bool IsSaveDialog() const override { return true; }
  std::string KindName() const override { return "TSaveDialog"; }
};

enum class TColorDialogOption : uint8_t { cdFullOpen, cdPreventFullOpen, cdShowHelp, cdSolidColor, cdAnyColor };
using enum TColorDialogOption;
using TColorDialogOptions = TSet<TColorDialogOption>;
PTypeInfo TypeInfo_TColorDialogOptions();

class TColorDialog : public TCommonDialog {
  PX_CLASS(TColorDialog)
 public:
  explicit TColorDialog(TComponent* AOwner);
  ~TColorDialog() override;

  using TCommonDialog::Execute;
  bool Execute(HWND ParentWnd) override;

  TColor Color() const { return color_; }
  void SetColor(TColor Value) { color_ = Value; }
  // The 16 custom colours as "ColorA=BBGGRR" .. "ColorP=BBGGRR" (the colour value in hex); a
  // missing or unreadable line is white. After Execute (also a cancelled one) all 16 lines hold
  // the dialog's custom colours; other lines are kept.
  TStrings* CustomColors() const { return custom_colors_.get(); }
  void SetCustomColors(TStrings* Value) { custom_colors_->Assign(Value); }
  TColorDialogOptions Options() const { return options_; }
  void SetOptions(TColorDialogOptions Value) { options_ = Value; }

 protected:
  std::string KindName() const override { return "TColorDialog"; }

 private:
  std::vector<TColor> ReadCustomColors() const;
  void WriteCustomColors(const std::vector<TColor>& Colors);

  TColor color_ = clBlack;
  std::unique_ptr<TStringList> custom_colors_;
  TColorDialogOptions options_;
};

enum class TFontDialogOption : uint8_t {
  fdAnsiOnly, fdTrueTypeOnly, fdEffects, fdFixedPitchOnly, fdForceFontExist, fdNoFaceSel, fdNoOEMFonts,
  fdNoSimulations, fdNoSizeSel, fdNoStyleSel, fdNoVectorFonts, fdShowHelp, fdWysiwyg, fdLimitSize,
  fdScalableOnly, fdApplyButton
};
using enum TFontDialogOption;
using TFontDialogOptions = TSet<TFontDialogOption>;
PTypeInfo TypeInfo_TFontDialogOptions();

class TFontDialog : public TCommonDialog {
  PX_CLASS(TFontDialog)
 public:
  explicit TFontDialog(TComponent* AOwner);
  ~TFontDialog() override;

  using TCommonDialog::Execute;
  bool Execute(HWND ParentWnd) override;

  // On confirmation the face, size and style chosen (colour and the rest are kept).
  TFont* Font() const { return font_.get(); }
  void SetFont(TFont* Value) { font_->Assign(Value); }
  // fdFixedPitchOnly and fdScalableOnly narrow the faces offered; fdLimitSize keeps the size
  // between MinFontSize and MaxFontSize.
  TFontDialogOptions Options() const { return options_; }
  void SetOptions(TFontDialogOptions Value) { options_ = Value; }
  int32_t MinFontSize() const { return min_font_size_; }
  void SetMinFontSize(int32_t Value) { min_font_size_ = Value; }
  int32_t MaxFontSize() const { return max_font_size_; }
  void SetMaxFontSize(int32_t Value) { max_font_size_ = Value; }

 protected:
  std::string KindName() const override { return "TFontDialog"; }

 private:
  void Choose(const std::string& Name, int32_t Size, TFontStyles Style);

  std::unique_ptr<TFont> font_;
  TFontDialogOptions options_{fdEffects};
  int32_t min_font_size_ = 0;
  int32_t max_font_size_ = 0;
};

// Registers the dialog classes with the form loader.
void RegisterDialogClasses();
