// Controls and actions: the control action links, TControl::Action and the offering of actions
// to a window's controls.
#include "platform/forms/Forms.h"
#include "platform/forms/FormsInternal.h"

// ---------------------------------------------------------------------------------------------
// TControlActionLink

void TControlActionLink::AssignClient(TObject* AClient) {
  auto* control = dynamic_cast<TControl*>(AClient);
  if (!control) throw EInvalidCast("Invalid class typecast");
  client_ = control;
}

void TWinControlActionLink::AssignClient(TObject* AClient) {
  if (!dynamic_cast<TWinControl*>(AClient)) throw EInvalidCast("Invalid class typecast");
  TControlActionLink::AssignClient(AClient);
}

bool TControlActionLink::IsCaptionLinked() {
  return TActionLink::IsCaptionLinked() && client_ && client_->Caption() == CustomAction()->Caption();
}

bool TControlActionLink::IsEnabledLinked() {
  return TActionLink::IsEnabledLinked() && client_ && client_->Enabled() == CustomAction()->Enabled();
}

bool TControlActionLink::IsHintLinked() {
  return TActionLink::IsHintLinked() && client_ && client_->Hint() == CustomAction()->Hint();
}

bool TControlActionLink::IsVisibleLinked() {
  return TActionLink::IsVisibleLinked() && client_ && client_->Visible() == CustomAction()->Visible();
}

bool TControlActionLink::IsOnExecuteLinked() {
  return TActionLink::IsOnExecuteLinked() && client_ && Action() && client_->OnClick() == Action()->OnExecute();
}

void TControlActionLink::SetCaption(const std::string& Value) {
  if (IsCaptionLinked()) client_->SetCaption(Value);
}

void TControlActionLink::SetEnabled(bool Value) {
  if (IsEnabledLinked()) client_->SetEnabled(Value);
}

void TControlActionLink::SetHint(const std::string& Value) {
  if (IsHintLinked()) client_->SetHint(Value);
}

void TControlActionLink::SetVisible(bool Value) {
  if (IsVisibleLinked()) client_->SetVisible(Value);
}

void TControlActionLink::SetOnExecute(const TNotifyEvent& Value) {
  if (IsOnExecuteLinked()) client_->SetOnClick(Value);
}

// ---------------------------------------------------------------------------------------------
// TControl

TBasicAction* TControl::Action() const { return action_link_ ? action_link_->Action() : nullptr; }

void TControl::SetAction(TBasicAction* Value) {
  TBasicAction* old = Action();
  if (old == Value && (Value || !action_link_)) return;
  if (old) RemoveFreeNotification(old);
  if (!Value) {
    action_link_.reset();
    control_style_ -= csActionClient;
    return;
  }
  if (!action_link_) {
    TControlActionLinkClass cls = GetActionLinkClass();
    action_link_ = cls.Create ? cls.Create(this) : ActionLinkClassOf<TControlActionLink>().Create(this);
  }
  action_link_->SetAction(Value);
  action_link_->SetOnChange(TNotifyEvent(this, &TControl::DoActionChange));
  control_style_ += csActionClient;
  ActionChange(Value, ComponentState().Contains(csLoading));
  FreeNotification(Value);
}

TControlActionLinkClass TControl::GetActionLinkClass() { return ActionLinkClassOf<TControlActionLink>(); }

void TControl::DoActionChange(TObject* Sender) {
  if (Sender && Sender == Action()) ActionChange(Sender, false);
}

void TControl::ActionChange(TObject* Sender, bool CheckDefaults) {
  auto* action = dynamic_cast<TCustomAction*>(Sender);
  if (!action) return;
  if (!CheckDefaults || Caption().empty() || Caption() == Name()) SetCaption(action->Caption());
  if (!CheckDefaults || Enabled()) SetEnabled(action->Enabled());
  if (!CheckDefaults || Hint().empty()) SetHint(action->Hint());
  if (!CheckDefaults || Visible()) SetVisible(action->Visible());
  if (!CheckDefaults || !OnClick()) SetOnClick(action->OnExecute());
}

void TControl::InitiateAction() {
  if (action_link_) action_link_->Update();
}

void TControl::Click() {
  TBasicAction* action = Action();
  // The control's own handler, unless it is the action's (the action then runs itself).
  if (on_click_ && (!action || !(on_click_ == action->OnExecute()))) {
    on_click_(this);
  } else if (action && !ComponentState().Contains(csDesigning)) {
    action_link_->Execute(this);
  } else if (on_click_) {
    on_click_(this);
  }
}

void TControl::CMActionExecute(TMessage& Message) {
  Message.Result = ExecuteAction(reinterpret_cast<TBasicAction*>(Message.LParam)) ? 1 : 0;
}

void TControl::CMActionUpdate(TMessage& Message) {
  Message.Result = UpdateAction(reinterpret_cast<TBasicAction*>(Message.LParam)) ? 1 : 0;
}

void TWinControl::CMActionExecute(TMessage& Message) {
  TControl::CMActionExecute(Message);
  if (Message.Result == 0) Broadcast(Message);
}

void TWinControl::CMActionUpdate(TMessage& Message) {
  TControl::CMActionUpdate(Message);
  if (Message.Result == 0) Broadcast(Message);
}

void TCustomForm::CMActionExecute(TMessage& Message) {
  if (active_control_ && active_control_ != this && active_control_->Perform(Message) != 0) return;
  TWinControl::CMActionExecute(Message);
}

void TCustomForm::CMActionUpdate(TMessage& Message) {
  if (active_control_ && active_control_ != this && active_control_->Perform(Message) != 0) return;
  TWinControl::CMActionUpdate(Message);
}

// ---------------------------------------------------------------------------------------------
// The application's part

bool TApplication::ExecuteAction(TBasicAction* Action) {
  if (TComponent::ExecuteAction(Action)) return true;
  TCustomForm* form = Screen() ? Screen()->ActiveForm() : nullptr;
  return form && form->Perform(CM_ACTIONEXECUTE, 0, reinterpret_cast<LPARAM>(Action)) != 0;
}

bool TApplication::UpdateAction(TBasicAction* Action) {
  if (TComponent::UpdateAction(Action)) return true;
  TCustomForm* form = Screen() ? Screen()->ActiveForm() : nullptr;
  return form && form->Perform(CM_ACTIONUPDATE, 0, reinterpret_cast<LPARAM>(Action)) != 0;
}

namespace {
void InitiateActions(TControl* Control) {
  Control->InitiateAction();
  if (auto* win = dynamic_cast<TWinControl*>(Control))
    for (int32_t i = 0; i < win->ControlCount(); ++i) InitiateActions(win->Controls(i));
}
}  // namespace

void TApplication::DoActionIdle() {
  TScreen* screen = Screen();
  if (!screen) return;
  for (int32_t i = 0; i < screen->FormCount(); ++i) {
    TCustomForm* form = screen->Forms(i);
    if (form->HandleAllocated() && IsWindowVisible(form->Handle())) InitiateActions(form);
  }
}
