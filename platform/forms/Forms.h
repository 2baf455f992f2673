// Forms, the application object, the screen and its monitors, and the window layer's start-up.
//
// A form is a top-level window (a real toolkit window; its caption and frame belong to the
// desktop and are accounted as the classic frame sizes, so Width and Height include them and
// ClientWidth / ClientHeight do not). A form is made with TApplication::CreateForm or
// TCustomForm::Create<T>, which construct it, read its stored description (the RCDATA resource
// named after its class) and then fire OnCreate; a form constructed directly has no stored
// description read.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/forms/FormLoader.h"

class TMonitor;

// Start-up of the window layer on the calling thread (the UI thread): makes the toolkit's
// application object (before anything else makes a lesser one), the Application, Screen and
// Mouse objects, and registers the controls' classes and the colour and cursor names with the
// form loader. FormsShutdown frees the forms and the objects. Both may be called once each.
void FormsStartup();
void FormsShutdown();
bool FormsStarted();

// ---------------------------------------------------------------------------------------------
// Forms

enum class TBorderIcon : uint8_t { biSystemMenu, biMinimize, biMaximize, biHelp };
using enum TBorderIcon;
using TBorderIcons = TSet<TBorderIcon>;
enum class TPosition : uint8_t {
  poDesigned, poDefault, poDefaultPosOnly, poDefaultSizeOnly, poScreenCenter, poDesktopCenter,
  poMainFormCenter, poOwnerFormCenter
};
using enum TPosition;
enum class TWindowState : uint8_t { wsNormal, wsMinimized, wsMaximized };
using enum TWindowState;
enum class TFormStyle : uint8_t { fsNormal, fsMDIChild, fsMDIForm, fsStayOnTop };
using enum TFormStyle;
enum class TCloseAction : uint8_t { caNone, caHide, caFree, caMinimize };
using enum TCloseAction;
enum class TFormStateItem : uint8_t { fsCreating, fsVisible, fsShowing, fsModal, fsCreatedMDIChild, fsActivated };
using TFormState = TSet<TFormStateItem>;

PTypeInfo TypeInfo_TBorderIcon();
PTypeInfo TypeInfo_TBorderIcons();
PTypeInfo TypeInfo_TPosition();
PTypeInfo TypeInfo_TWindowState();
PTypeInfo TypeInfo_TFormStyle();

PX_EVENT_TYPE(TCloseEvent, void(TObject* Sender, TCloseAction& Action));
PX_EVENT_TYPE(TCloseQueryEvent, void(TObject* Sender, bool& CanClose));

class TCustomForm : public TWinControl {
  PX_CLASS(TCustomForm)
 public:
  // A form without a stored description (the class library's CreateNew).
  explicit TCustomForm(TComponent* AOwner);
  ~TCustomForm() override;

  // Constructs a form of class T, reads its stored description and fires OnCreate (an
  // exception of OnCreate goes to Application's HandleException; the form stays).
  template <class T>
  static T* Create(TComponent* AOwner) {
    T* form = new T(AOwner);  // owned by AOwner (or by the caller when AOwner is nullptr)
    form->InitializeNewForm(T::StaticClass());
    return form;
  }
  // Reads the stored description of FormClass and fires OnCreate (done by Create).
  void InitializeNewForm(TClass FormClass);
  // Destroys the form: OnDestroy runs first, while the whole form still exists (C++ destroys a
  // derived form before ~TCustomForm could fire it). Owned forms are freed this way by their
  // owner's shutdown and by Release; a form held elsewhere is freed with Free.
  void Free();
  // Fires OnDestroy once (Free and the application's shutdown call it).
  void BeforeDestruction();

  // ---- Showing
  void Show();
  void Hide();
  // Shows the form modally: disables the other forms, runs a nested message loop until
  // ModalResult is set (or the form closes), hides the form and answers ModalResult.
  virtual TModalResult ShowModal();
  // OnCloseQuery, then OnClose with caHide (caFree for MDI children) and acts on the action.
  void Close();
  virtual bool CloseQuery();
  // Frees the form after the current message (CM_RELEASE); a form without owner (held by
  // its creator) is hidden instead.
  void Release();
  TModalResult ModalResult() const { return modal_result_; }
  void SetModalResult(TModalResult Value) { modal_result_ = Value; }
  TFormState FormState() const { return form_state_; }
  bool Active() const { return active_; }

  // ---- Appearance
  TFormBorderStyle BorderStyle() const { return border_style_; }
  void SetBorderStyle(TFormBorderStyle Value);
  TBorderIcons BorderIcons() const { return border_icons_; }
  void SetBorderIcons(TBorderIcons Value);
  TPosition Position() const { return position_; }
  void SetPosition(TPosition Value);
  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState Value);
  TFormStyle FormStyle() const { return form_style_; }
  void SetFormStyle(TFormStyle Value);
  bool Scaled() const { return scaled_; }
  void SetScaled(bool Value);
  // The resolution the form was designed at (scaled to the screen's when Scaled).
  int32_t PixelsPerInch() const { return pixels_per_inch_; }
  void SetPixelsPerInch(int32_t Value);
  TIcon* Icon() const { return icon_.get(); }
  void SetIcon(TIcon* Value);
  bool KeyPreview() const { return key_preview_; }
  void SetKeyPreview(bool Value) { key_preview_ = Value; }
  // The visible Width/Height include the classic frame; these give its parts.
  TRect FrameInsets() const;

  // ---- Focus
  TWinControl* ActiveControl() const { return active_control_; }
  void SetActiveControl(TWinControl* Control);
  // Moves the focus to Control (when the form is active) as Tab does, with CM_EXIT / CM_ENTER.
  void FocusControl(TWinControl* Control);
  bool SetFocusedControl(TWinControl* Control);
  void DefocusControl(TWinControl* Control, bool Removing);
  TWinControl* FocusedControlOfForm() const { return focused_control_; }
  void SetFocus() override;
  bool CanFocus() override;

  // ---- Menu
  TMainMenu* Menu() const;
  void SetMenu(TMainMenu* Value);
  // The same as a component (the published property); EInvalidCast for one that is no main menu.
  TComponent* MenuComponent() const { return menu_; }
  void SetMenuComponent(TComponent* Value);
  // The window the menus show as the form's menu bar: kept above the client area (its Top is
  // negative, its width the form's) and outside ClientRect.
  TWinControl* MenuBar() const { return menu_bar_; }
  void SetMenuBar(TWinControl* Value);
  // The key down is a shortcut of the form's menu (OnShortCut first).
  virtual bool IsShortCut(TWMKey& Message);

  // ---- Events
  const TNotifyEvent& OnCreate() const { return on_create_; }
  void SetOnCreate(const TNotifyEvent& Value) { on_create_ = Value; }
  const TNotifyEvent& OnDestroy() const { return on_destroy_; }
  void SetOnDestroy(const TNotifyEvent& Value) { on_destroy_ = Value; }
  const TCloseEvent& OnClose() const { return on_close_; }
  void SetOnClose(const TCloseEvent& Value) { on_close_ = Value; }
  const TCloseQueryEvent& OnCloseQuery() const { return on_close_query_; }
  void SetOnCloseQuery(const TCloseQueryEvent& Value) { on_close_query_ = Value; }
  const TNotifyEvent& OnShow() const { return on_show_; }
  void SetOnShow(const TNotifyEvent& Value) { on_show_ = Value; }
  const TNotifyEvent& OnHide() const { return on_hide_; }
  void SetOnHide(const TNotifyEvent& Value) { on_hide_ = Value; }
  const TNotifyEvent& OnActivate() const { return on_activate_; }
  void SetOnActivate(const TNotifyEvent& Value) { on_activate_ = Value; }
  const TNotifyEvent& OnDeactivate() const { return on_deactivate_; }
  void SetOnDeactivate(const TNotifyEvent& Value) { on_deactivate_ = Value; }
  const TNotifyEvent& OnPaint() const { return on_paint_; }
  void SetOnPaint(const TNotifyEvent& Value) { on_paint_ = Value; }

  TCanvas* Canvas() const { return canvas_.get(); }
  void Loaded() override;
  void Notification(TComponent* AComponent, TOperation Operation) override;
  void SetBounds(int32_t ALeft, int32_t ATop, int32_t AWidth, int32_t AHeight) override;
  void SetClientWidth(int32_t Value) override;
  void SetClientHeight(int32_t Value) override;
  bool Showing() const override;

 protected:
  friend struct TWindowData;
  friend class TApplication;

  virtual void DoCreate();
  virtual void DoDestroy();
  virtual void DoClose(TCloseAction& Action);
  virtual void DoShow();
  virtual void DoHide();
  virtual void Activate();
  virtual void Deactivate();
  virtual void Paint();
  void PaintWindow(HDC DC) override;
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  TRect GetClientRect() override;
  TPoint GetClientOrigin() override;
  void AdjustClientRect(TRect& Rect) override;
  void AlignControls(TControl* AControl, TRect& Rect) override;
  void VisibleChanging() override;
  void ChangeScale(int32_t M, int32_t D) override;
  // Applies Position when the form is first shown.
  void ApplyPosition();
  // The key messages of the focused control pass here first when KeyPreview.
  bool PreviewKey(TWMKey& Message);

  void Dispatch(TMessage& Message) override;
  void WMClose(TWMNoParams& Message);
  void WMActivate(TWMActivate& Message);
  void WMSysCommand(TWMSysCommand& Message);
  void WMGetMinMaxInfo(TWMGetMinMaxInfo& Message);
  void CMDialogKey(TWMKey& Message) override;
  void CMDialogChar(TWMKey& Message) override;
  void CMShowingChanged(TWMNoParams& Message) override;
  // The active control is offered the action first.
  void CMActionExecute(TMessage& Message) override;
  void CMActionUpdate(TMessage& Message) override;
  void CMActivate(TWMNoParams& Message);
  void CMDeactivate(TWMNoParams& Message);
  void CMRelease(TWMNoParams& Message);
  void WMSize(TWMSize& Message) override;

 private:
  void IconChanged(TObject* Sender);

  TFormBorderStyle border_style_ = bsSizeable;
  TBorderIcons border_icons_{biSystemMenu, biMinimize, biMaximize};
  TPosition position_ = poDesigned;
  TWindowState window_state_ = wsNormal;
  TFormStyle form_style_ = fsNormal;
  bool scaled_ = true;
  int32_t pixels_per_inch_ = 96;
  bool key_preview_ = false;
  bool active_ = false;
  bool destroy_fired_ = false;
  int32_t loaded_client_width_ = -1;
  int32_t loaded_client_height_ = -1;
  bool position_applied_ = false;
  TModalResult modal_result_ = mrNone;
  TFormState form_state_;
  TWinControl* active_control_ = nullptr;
  TWinControl* focused_control_ = nullptr;
  TWinControl* last_focused_ = nullptr;
  TComponent* menu_ = nullptr;
  TWinControl* menu_bar_ = nullptr;
  std::unique_ptr<TIcon> icon_;
  std::unique_ptr<TControlCanvas> canvas_;
  TNotifyEvent on_create_, on_destroy_, on_show_, on_hide_, on_activate_, on_deactivate_, on_paint_;
  TCloseEvent on_close_;
  TCloseQueryEvent on_close_query_;
};

class TForm : public TCustomForm {
  PX_CLASS(TForm)
 public:
  explicit TForm(TComponent* AOwner) : TCustomForm(AOwner) {}
};

// The form the control is on (nullptr when none).
TCustomForm* GetParentForm(TControl* Control);
// The same, raising EInvalidOperation "Control '%s' has no parent window" when none.
TCustomForm* ValidParentForm(TControl* Control);

// ---------------------------------------------------------------------------------------------
// The screen

class TMonitor : public TObject {
  PX_CLASS(TMonitor)
 public:
  TMonitor(HMONITOR Handle, int32_t MonitorNum) : handle_(Handle), monitor_num_(MonitorNum) {}
  HMONITOR Handle() const { return handle_; }
  int32_t MonitorNum() const { return monitor_num_; }
  TRect BoundsRect() const;
  TRect WorkareaRect() const;
  int32_t Left() const { return BoundsRect().Left; }
  int32_t Top() const { return BoundsRect().Top; }
  int32_t Width() const { return BoundsRect().Width(); }
  int32_t Height() const { return BoundsRect().Height(); }
  bool Primary() const;

 private:
  HMONITOR handle_;
  int32_t monitor_num_;
};

class TScreen : public TComponent {
  PX_CLASS(TScreen)
 public:
  explicit TScreen(TComponent* AOwner);
  ~TScreen() override;

  // The cursor of an id: the standard ones (crArrow...) and those registered by SetCursors;
  // crDefault's for unknown ids.
  HCURSOR Cursors(int32_t Index);
  // Registers (or replaces) a custom cursor; the screen owns and destroys it. Setting a
  // standard id replaces that cursor.
  void SetCursors(int32_t Index, HCURSOR Handle);
  // The cursor shown over every window of the application (crDefault: each control's own).
  TCursor Cursor() const { return cursor_; }
  void SetCursor(TCursor Value);

  int32_t FormCount() const { return static_cast<int32_t>(forms_.size()); }
  TCustomForm* Forms(int32_t Index) const;
  int32_t CustomFormCount() const { return FormCount(); }
  TCustomForm* CustomForms(int32_t Index) const { return Forms(Index); }
  TCustomForm* ActiveForm() const { return active_form_; }
  TCustomForm* ActiveCustomForm() const { return active_form_; }
  TWinControl* ActiveControl() const { return active_control_; }

  int32_t MonitorCount();
  TMonitor* Monitors(int32_t Index);
  TMonitor* PrimaryMonitor();
  TMonitor* MonitorFromPoint(TPoint Point, DWORD Default = MONITOR_DEFAULTTONEAREST);
  TMonitor* MonitorFromWindow(HWND Handle, DWORD Default = MONITOR_DEFAULTTONEAREST);
  TMonitor* MonitorFromRect(const TRect& Rect, DWORD Default = MONITOR_DEFAULTTONEAREST);
  TRect DesktopRect();
  TRect WorkAreaRect();  // the primary monitor's
  int32_t Width();       // the primary monitor's
  int32_t Height();
  int32_t PixelsPerInch() const { return 96; }
  TFont* HintFont() const { return hint_font_.get(); }
  TFont* MenuFont() const { return menu_font_.get(); }
  TFont* IconFont() const { return icon_font_.get(); }
  const TNotifyEvent& OnActiveFormChange() const { return on_active_form_change_; }
  void SetOnActiveFormChange(const TNotifyEvent& Value) { on_active_form_change_ = Value; }
  const TNotifyEvent& OnActiveControlChange() const { return on_active_control_change_; }
  void SetOnActiveControlChange(const TNotifyEvent& Value) { on_active_control_change_ = Value; }

 private:
  friend class TCustomForm;
  friend struct TWindowData;
  void AddForm(TCustomForm* Form);
  void RemoveForm(TCustomForm* Form);
  void SetActiveForm(TCustomForm* Form);
  void SetActiveControl(TWinControl* Control);
  void MonitorsChanged();

  std::vector<TCustomForm*> forms_;
  TCustomForm* active_form_ = nullptr;
  TCustomForm* focused_form_ = nullptr;  // the form that got CM_ACTIVATE last
  TWinControl* active_control_ = nullptr;
  TCursor cursor_ = crDefault;
  std::vector<std::pair<int32_t, HCURSOR>> cursors_;  // owned custom cursors
  std::vector<std::unique_ptr<TMonitor>> monitors_;
  std::unique_ptr<TFont> hint_font_, menu_font_, icon_font_;
  TNotifyEvent on_active_form_change_, on_active_control_change_;
};

// ---------------------------------------------------------------------------------------------
// Hint windows

// The window that shows a hint: a top-level pop-up that never takes the focus, with a one-pixel
// frame in the window-frame colour, filled with its Color (the application's HintColor) and the
// text in Screen.HintFont, two pixels in from the frame. The mouse passes through it.
class THintWindow : public TCustomControl {
  PX_CLASS(THintWindow)
 public:
  explicit THintWindow(TComponent* AOwner);

  // Shows AHint in Rect (screen coordinates, the whole window) without activating it.
  virtual void ActivateHint(TRect Rect, const std::string& AHint);
  virtual void ActivateHintData(TRect Rect, const std::string& AHint, void* AData);
  // The window rectangle AHint needs at (0, 0), its text wrapped at MaxWidth.
  virtual TRect CalcHintRect(int32_t MaxWidth, const std::string& AHint, void* AData);
  // Hides the window.
  void ReleaseHandle();

 protected:
  void CreateParams(TCreateParams& Params) override;
  void Paint() override;
  void WMNCHitTest(TWMNCHitTest& Message) override;
  void WMEraseBkgnd(TWMEraseBkgnd& Message) override;
};

// ---------------------------------------------------------------------------------------------
// The application

PX_EVENT_TYPE(TExceptionEvent, void(TObject* Sender, const Exception& E));
PX_EVENT_TYPE(TIdleEvent, void(TObject* Sender, bool& Done));
PX_EVENT_TYPE(TShowHintEvent, void(std::string& HintStr, bool& CanShow, THintInfo& HintInfo));

class TApplication : public TComponent {
  PX_CLASS(TApplication)
 public:
  explicit TApplication(TComponent* AOwner);
  ~TApplication() override;

  void Initialize() {}
  // Creates a form of class T owned by the application (the first one becomes MainForm),
  // stores it in Reference before its description is read, and fires OnCreate.
  template <class T>
  void CreateForm(T*& Reference) {
    T* form = new T(this);  // owned by the application
    Reference = form;
    if (!main_form_) main_form_ = form;
    form->InitializeNewForm(T::StaticClass());
  }
  // Shows MainForm and runs the message loop until Terminate (or MainForm closes).
  void Run();
  // Handles the messages and events waiting now (without waiting), then idles.
  void ProcessMessages();
  // Waits for and handles one batch of messages and events, then idles.
  void HandleMessage();
  // Ends Run at the next turn of the loop.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Reports the exception being handled (call inside a catch): OnException, else ShowException;
  // EAbort is silent.
  void HandleException(TObject* Sender);
  void HandleException(TObject* Sender, std::exception_ptr E);
  // A message box with the exception's message.
  void ShowException(const Exception& E);

  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& Value);
  TCustomForm* MainForm() const { return main_form_; }
  // The long hint of the control under the mouse. A change fires OnHint; without an OnHint
  // handler a THintAction with the new hint is offered to the active form's controls.
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value);
  // Hides the hint window and forgets the hint control (the next move over a control that
  // shows hints starts the pause again). A press, a key and leaving the control cancel too.
  void CancelHint();
  // Shows the hint of the control under the screen point now (CM_HINTSHOW and OnShowHint may
  // change or refuse it): the window's top-left lies under the cursor, inside the work area.
  void ActivateHint(TPoint CursorPos);
  // Hides the hint window (the hint control stays: no new hint until the mouse leaves it).
  void HideHint();
  bool ShowHint() const { return show_hint_; }
  void SetShowHint(bool Value);
  // Milliseconds of rest over a control before its hint shows; after a hint was just shown the
  // short pause applies; the hint hides after HintHidePause.
  int32_t HintPause() const { return hint_pause_; }
  void SetHintPause(int32_t Value) { hint_pause_ = Value; }
  int32_t HintShortPause() const { return hint_short_pause_; }
  void SetHintShortPause(int32_t Value) { hint_short_pause_ = Value; }
  int32_t HintHidePause() const { return hint_hide_pause_; }
  void SetHintHidePause(int32_t Value) { hint_hide_pause_ = Value; }
  TColor HintColor() const { return hint_color_; }
  void SetHintColor(TColor Value);
  // The hint window while one was made (nullptr before the first hint).
  THintWindow* HintWindow() const { return hint_window_.get(); }

  // Offers the action to the active form's controls (CM_ACTIONEXECUTE / CM_ACTIONUPDATE)
  // until one takes it.
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;
  // Lets the actions of the controls of the visible forms update themselves (idle time).
  void DoActionIdle();
  bool Active() const { return active_; }
  std::string ExeName() const;
  // Posts a call to run on the UI thread after the current messages (any thread).
  void QueueCall(std::function<void()> Call);
  // The modal level (ShowModal nesting).
  int32_t ModalLevel() const { return modal_level_; }

  const TExceptionEvent& OnException() const { return on_exception_; }
  void SetOnException(const TExceptionEvent& Value) { on_exception_ = Value; }
  const TIdleEvent& OnIdle() const { return on_idle_; }
  void SetOnIdle(const TIdleEvent& Value) { on_idle_ = Value; }
  const TNotifyEvent& OnHint() const { return on_hint_; }
  void SetOnHint(const TNotifyEvent& Value) { on_hint_ = Value; }
  const TShowHintEvent& OnShowHint() const { return on_show_hint_; }
  void SetOnShowHint(const TShowHintEvent& Value) { on_show_hint_ = Value; }
  const TNotifyEvent& OnActivate() const { return on_activate_; }
  void SetOnActivate(const TNotifyEvent& Value) { on_activate_ = Value; }
  const TNotifyEvent& OnDeactivate() const { return on_deactivate_; }
  void SetOnDeactivate(const TNotifyEvent& Value) { on_deactivate_ = Value; }

  // The mouse moved over Control (nullptr: none of ours): updates Hint and the hint window.
  void DoMouseIdle(TControl* Control);
  // OnIdle, then the actions' updates.
  void Idle();

 private:
  friend class TCustomForm;
  friend class TControl;
  friend struct TWindowData;
  friend void CancelHintForInput();

  std::string title_;
  TCustomForm* main_form_ = nullptr;
  bool terminated_ = false;
  bool active_ = true;
  bool show_hint_ = true;
  int32_t hint_pause_ = 500;
  int32_t hint_short_pause_ = 50;
  int32_t hint_hide_pause_ = 2500;
  TColor hint_color_ = clInfoBk;
  std::string hint_;
  TControl* hint_control_ = nullptr;  // the control the hint timer or window is for
  TRect hint_cursor_rect_;             // where the shown hint stays (screen)
  bool hint_shown_ = false;
  HWND hint_timer_window_ = nullptr;
  std::unique_ptr<THintWindow> hint_window_;
  void HintTimerMessage(TMessage& Message);
  void StartHintTimer(UINT_PTR Id, int32_t Ms);
  void StopHintTimer(UINT_PTR Id);
  int32_t modal_level_ = 0;
  TExceptionEvent on_exception_;
  TIdleEvent on_idle_;
  TNotifyEvent on_hint_, on_activate_, on_deactivate_;
  TShowHintEvent on_show_hint_;
};

// The global objects (nullptr before FormsStartup and after FormsShutdown).
TApplication* Application();
TScreen* Screen();

// How ShowException presents a message: a message box by default. Tests install a recorder.
using TExceptionReporter = std::function<void(const std::string& Title, const std::string& Message)>;
void SetExceptionReporter(TExceptionReporter Reporter);
