// The library's open and save dialogs: the platform's file dialogs with a filter built from the
// format registry, the file type preselected from a file name, and (save dialog) an I/O
// component whose parameters follow the file type chosen and are put back when the user
// cancels.
//
// The dialogs own the controls of their preview pane, named "InfoPanel", "PicturePanel" and
// "PreviewCheck", so that an application can give them its font; they are not shown yet.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "io/pixoranio_registry.h"
#include "platform/forms/Dialogs.h"

class TPanel;
class TCheckBox;
class TTimer;
class TPixoranIO;
class TIOParams;

PTypeInfo TypeInfo_TPXShowFormats();

class TOpenPixoranDialog : public TOpenDialog {
  PX_CLASS(TOpenPixoranDialog)
 public:
  explicit TOpenPixoranDialog(TComponent* AOwner);
  ~TOpenPixoranDialog() override;

  using TOpenDialog::Execute;
  // Runs the dialog: rebuilds the filter first when AutoSetFilter; preselects the filter entry
  // of FileName's extension (and of FilterDefault); the extension of the current filter entry
  // is the default one for a typed name without extension (unless DefaultExt is set).
  // SelectedFrame is 0 afterwards.
  bool Execute(HWND ParentWnd) override;

  // Stored without trailing path delimiters, except that the root "/" stays.
  void SetInitialDir(const std::string& Value);

  // Filter rebuilt from the registry at each Execute (Filter is then not stored with the form).
  bool AutoSetFilter() const { return auto_set_filter_; }
  void SetAutoSetFilter(bool Value) { auto_set_filter_ = Value; }
  // The file type whose entry the automatic filter puts first; -1 none.
  TPXFileType AutoSetFilterFileType() const { return auto_set_filter_file_type_; }
  void SetAutoSetFilterFileType(TPXFileType Value) { auto_set_filter_file_type_ = Value; }
  // A file type whose entry Execute preselects (when FileName is empty or of that type); -1
  // none.
  TPXFileType FilterDefault() const { return filter_default_; }
  void SetFilterDefault(TPXFileType Value) { filter_default_ = Value; }
  TPXShowFormats ShowFormats() const { return show_formats_; }
  void SetShowFormats(TPXShowFormats Value) { show_formats_ = Value; }
  // Further "description|patterns" entries appended to the built filter.
  const std::string& ExtraFilter() const { return extra_filter_; }
  void SetExtraFilter(const std::string& Value) { extra_filter_ = Value; }

  // Plays animations and videos in the preview without waiting for the play button; setting
  // it also sets ShowAllFrames.
  bool AlwaysAnimate() const { return always_animate_; }
  void SetAlwaysAnimate(bool Value) {
    always_animate_ = Value;
    if (Value) show_all_frames_ = true;
  }
  bool ShowAllFrames() const { return show_all_frames_; }
  void SetShowAllFrames(bool Value) { show_all_frames_ = Value; }
  // Handed to the preview's I/O component.
  bool AutoAdjustDPI() const { return auto_adjust_dpi_; }
  void SetAutoAdjustDPI(bool Value) { auto_adjust_dpi_ = Value; }
  bool FilteredAdjustDPI() const { return filtered_adjust_dpi_; }
  void SetFilteredAdjustDPI(bool Value) { filtered_adjust_dpi_ = Value; }

  // The frame of a multi-frame file the user picked in the preview (0: the first).
  int32_t SelectedFrame() const { return selected_frame_; }

  // The pane's controls (owned by the dialog, found by name too).
  TPanel* InfoPanel() const { return info_panel_; }
  TPanel* PicturePanel() const { return picture_panel_; }
  TCheckBox* PreviewCheck() const { return preview_check_; }

  // The 1-based filter entry in which Text (lower-cased) first occurs, 1 when it does not; with
  // SkipAllEntry an open dialog's entry of all pictures (which lists every extension) is
  // passed over.
  int32_t FilterIndexOf(const std::string& Text, bool SkipAllEntry) const;
  // The entry of the first extension of a registry file type; 0 when the type has none.
  int32_t FilterIndexOfType(TPXFileType FileType) const;
  // The patterns of the filter entry Index ("*.jpg;*.jpeg"), empty when there is none.
  std::string FilterPattern(int32_t Index) const;
  // The pattern list of the entry shown now (while open) or chosen last.
  std::string CurrentFilterPattern() const { return FilterPattern(FilterIndex()); }

 protected:
  void DoTypeChange() override;
  // The filter Execute uses when AutoSetFilter.
  virtual std::string AutomaticFilter() const;
  // Runs the platform dialog with the steps both dialogs share.
  bool DoExecute(HWND ParentWnd);
  // While the dialog shows: DefaultExt as the platform dialog uses it, the caller's own or else
  // the current entry's extension.
  void ApplyDefaultExtension();
  // DefaultExt as the caller set it.
  std::string CallerDefaultExt() const { return executing_ ? own_default_ext_ : DefaultExt(); }

  int32_t selected_frame_ = 0;

 private:

  bool auto_set_filter_ = true;
  TPXFileType auto_set_filter_file_type_ = -1;
  TPXFileType filter_default_ = -1;
  TPXShowFormats show_formats_ = pxsfImagesAndVideos;
  std::string extra_filter_;
  std::string own_default_ext_;  // DefaultExt as the caller set it, while the dialog shows
  bool executing_ = false;
  bool always_animate_ = false;
  bool show_all_frames_ = false;
  bool auto_adjust_dpi_ = false;
  bool filtered_adjust_dpi_ = false;
  TPanel* info_panel_ = nullptr;
  TPanel* picture_panel_ = nullptr;
  TCheckBox* preview_check_ = nullptr;
};

class TSavePixoranDialog : public TOpenPixoranDialog {
  PX_CLASS(TSavePixoranDialog)
 public:
  explicit TSavePixoranDialog(TComponent* AOwner);
  ~TSavePixoranDialog() override;

  using TOpenDialog::Execute;
  // Keeps a copy of the attached component's parameters and puts it back when the user
  // cancels; while the dialog shows, the parameters' FileType follows the name and the filter
  // entry (checked every 100 ms and at each change of entry). A confirmed name without
  // extension gets the current entry's.
  bool Execute(HWND ParentWnd) override;

  // The I/O component whose parameters the save will use (a TPixoranIO); other values, nil
  // included, are ignored. Not owned: it is forgotten when it is freed.
  TComponent* AttachedPixoranIO() const { return attached_; }
  void SetAttachedPixoranIO(TComponent* Value);
  void Notification(TComponent* AComponent, TOperation Operation) override;

  // After a change of filter entry: a name in the name box whose extension the registry knows
  // gets the new entry's extension (its folder part kept); other names stay as typed.
  virtual void ChangeNameExtension();
  // The file type the dialog's current name (else DefaultExt, else the current entry's last
  // pattern) stands for, 0 for none; the attached component's parameters take it.
  TPXFileType CurrentSaveType() const;
  void UpdateSaveType();

 protected:
  bool IsSaveDialog() const override { return true; }
  std::string KindName() const override { return "TSaveDialog"; }
  void DoShow() override;
  void DoClose() override;
  void DoTypeChange() override;
  std::string AutomaticFilter() const override;

 private:
  TIOParams* AttachedParams() const;

  TComponent* attached_ = nullptr;
  TTimer* timer_ = nullptr;
};

// The extension of a filter pattern list's first pattern: "*.jpg;*.jpeg" gives ".jpg"; none
// when it holds no "." or a wildcard follows it ("*.*").
std::string ExtensionOfPattern(const std::string& Pattern);
