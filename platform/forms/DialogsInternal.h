// Shared by the dialogs' .cpp files (not a public header): the state of an open dialog and the
// toolkit's side of each dialog (Dialogs_qt.cpp).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/Dialogs.h"

class TCommonDialog::TSession {
 public:
  virtual ~TSession() = default;
  virtual TRect Bounds() const = 0;
  virtual void MoveTo(int32_t X, int32_t Y) = 0;
};

// The steps every dialog shares, for the toolkit's side and the scripted one.
struct TDialogAccess {
  static void Show(TCommonDialog* D) { D->DoShow(); }
  static void Close(TCommonDialog* D) { D->DoClose(); }
  // Makes Session the dialog's open state (nullptr: closed).
  static void SetOpen(TCommonDialog* D, TCommonDialog::TSession* Session) { D->open_ = Session; }
  static std::string Kind(const TCommonDialog* D) { return D->KindName(); }
};

// An open file dialog: the live state the dialog's properties read while it shows.
class TFileDialogSession : public TCommonDialog::TSession {
 public:
  virtual std::string NameText() const = 0;
  virtual void SetNameText(const std::string& Text) = 0;
  virtual std::string Folder() const = 0;
  virtual int32_t FilterIndex() const = 0;

  // The names the name-box text gives: one name, or several in double quotes.
  static std::vector<std::string> SplitNames(const std::string& Text);

  // The dialog's own steps, for the toolkit's side.
  static void SelectionChanged(TOpenDialog* D) { D->DoSelectionChange(); }
  static void FolderChanged(TOpenDialog* D) { D->DoFolderChange(); }
  static void TypeChanged(TOpenDialog* D) { D->DoTypeChange(); }
  static bool IsSave(const TOpenDialog* D) { return D->IsSaveDialog(); }
  static std::vector<std::string> Confirm(TOpenDialog* D, const std::vector<std::string>& Names,
                                          const std::string& Folder) {
    return D->Confirm(Names, Folder);
  }
};

// Runs an event handler: an exception goes to the application's exception handling and the
// dialog stays open (a script error still ends the script).
void CallGuarded(const std::function<void()>& Call);

// The scripted answers: whether they stand in for the dialogs (nothing is shown), whether they
// are played into the toolkit's dialogs, and taking the next one (logged as Kind; a missing one
// raises EDialogScriptError).
bool ScriptAnswersDialogs();
bool ScriptDrivesToolkit();
TDialogAnswer NextScriptAnswer(const std::string& Kind, const std::string& Title);
[[noreturn]] void ScriptAnswerUnfit(const std::string& Kind, const std::string& What);

// ---- The toolkit's side

// A widget application runs on this thread.
bool ToolkitAvailable();
// A GUI application exists (on any thread) and its windows reach a screen (not offscreen).
bool ToolkitOnScreen();
// The message box with its buttons (ids), the default and the escape one (0: none); answers the
// id pressed.
int32_t ToolkitMessageBox(HWND Wnd, const std::string& Text, const std::string& Caption, UINT Icon,
                          const std::vector<int32_t>& Buttons, int32_t DefaultId, int32_t EscapeId);
void ToolkitBeep();
// Runs the file dialog; true with the confirmed full names and the filter index.
// PaneRight / PaneBottom are the hosts of the panes (nullptr: none).
bool ToolkitFileDialog(TOpenDialog* Dialog, HWND Parent, const std::string& Folder, const std::string& Name,
                       int32_t FilterIndex, TCustomForm* PaneRight, TCustomForm* PaneBottom,
                       std::vector<std::string>& Names, int32_t& ChosenFilter);
// Runs the colour dialog; Custom (16 colours) comes back also when cancelled.
bool ToolkitColorDialog(TCommonDialog* Dialog, HWND Parent, TColor& Color, std::vector<TColor>& Custom);
bool ToolkitFontDialog(TCommonDialog* Dialog, HWND Parent, std::string& Name, int32_t& Size, TFontStyles& Style,
                       TFontDialogOptions Options);
