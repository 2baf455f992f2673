// Actions: a TBasicAction is a component that does one piece of work (OnExecute) and tells
// whether it is available (OnUpdate); a TBasicActionLink ties an action to one client (a control,
// a menu item) so that the client follows the action's changes and runs it when clicked.
//
// An action knows its links; a link knows its action. Freeing the action detaches its links
// (their Action becomes nullptr); freeing a link takes it off its action's list.
#pragma once

#include <vector>

#include "platform/rtl/Classes_components.h"
#include "platform/rtl/Events.h"

class TBasicActionLink;

class TBasicAction : public TComponent {
  PX_CLASS(TBasicAction)
 public:
  explicit TBasicAction(TComponent* AOwner);
  ~TBasicAction() override;

  // Runs the action: OnExecute when assigned (true), else false.
  virtual bool Execute();
  // Asks the action to update its state: OnUpdate when assigned (true), else false.
  virtual bool Update();
  // Standard actions act on a target they recognise; the plain action recognises none.
  virtual bool HandlesTarget(TObject* Target);
  virtual void ExecuteTarget(TObject* Target);
  virtual void UpdateTarget(TObject* Target);

  // The component whose link ran the action most recently (nullptr once it is freed).
  TComponent* ActionComponent() const { return action_component_; }
  void SetActionComponent(TComponent* Value);

  const TNotifyEvent& OnExecute() const { return on_execute_; }
  // Links whose client's click handler is the old OnExecute take the new one.
  virtual void SetOnExecute(const TNotifyEvent& Value);
  const TNotifyEvent& OnUpdate() const { return on_update_; }
  void SetOnUpdate(const TNotifyEvent& Value);

  // The links that follow this action (in registration order).
  int32_t ClientCount() const { return static_cast<int32_t>(clients_.size()); }
  TBasicActionLink* Clients(int32_t Index) const;
  void RegisterChanges(TBasicActionLink* Value);
  void UnRegisterChanges(TBasicActionLink* Value);

  void Notification(TComponent* AComponent, TOperation Operation) override;

 protected:
  // Tells every link that the action changed.
  virtual void Change();

 private:
  std::vector<TBasicActionLink*> clients_;  // not owned
  TComponent* action_component_ = nullptr;
  TNotifyEvent on_execute_, on_update_;
};

class TBasicActionLink : public TObject {
 public:
  TBasicActionLink() = default;
  ~TBasicActionLink() override;

  // Binds the link to its client; a link class that serves one kind of client raises
  // EInvalidCast "Invalid class typecast" for any other.
  virtual void AssignClient(TObject* AClient);

  TBasicAction* Action() const { return action_; }
  // Leaves the old action's list and joins the new one's.
  virtual void SetAction(TBasicAction* Value);

  // Runs the action with AComponent as its ActionComponent; false without an action.
  virtual bool Execute(TComponent* AComponent = nullptr);
  // Runs the action's Update; false without an action.
  virtual bool Update();
  // Whether the client's click handler is the action's OnExecute (so that it follows it).
  virtual bool IsOnExecuteLinked();
  virtual void SetOnExecute(const TNotifyEvent& Value);

  // Fired (Sender: the action) when the action changed.
  const TNotifyEvent& OnChange() const { return on_change_; }
  void SetOnChange(const TNotifyEvent& Value) { on_change_ = Value; }

 protected:
  friend class TBasicAction;
  virtual void Change();

 private:
  TBasicAction* action_ = nullptr;
  TNotifyEvent on_change_;
};
