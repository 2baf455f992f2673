// Action lists and actions: TCustomAction carries what its clients show (caption, checked and
// enabled state, hint, image, visibility) and passes every change on through its links, whose
// clients take the change while they still show the action's old value (the link's IsXxxLinked).
//
// Running an action (Execute) asks its list's OnExecute, then its own OnExecute; when neither
// handles it, the application offers it to the active form's controls (ExecuteAction) until one
// takes it. Update goes the same way with OnUpdate and UpdateAction.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/gdi/ImgList.h"
#include "platform/rtl/Classes_actions.h"

class TCustomActionList;

// Handled set to true stops the action's own handling.
PX_EVENT_TYPE(TActionEvent, void(TBasicAction* Action, bool& Handled));

// An action that may belong to an action list.
class TContainedAction : public TBasicAction {
  PX_CLASS(TContainedAction)
 public:
  explicit TContainedAction(TComponent* AOwner);
  ~TContainedAction() override;

  TCustomActionList* ActionList() const { return action_list_; }
  void SetActionList(TCustomActionList* Value);
  const std::string& Category() const { return category_; }
  void SetCategory(const std::string& Value);
  // The place in the list (-1 without one); setting moves it (clamped).
  int32_t Index() const;
  void SetIndex(int32_t Value);

  bool Execute() override;
  bool Update() override;

  // Nested under its list in form descriptions.
  TComponent* GetParentComponent() const override;
  void SetParentComponent(TComponent* Value) override;

 private:
  TCustomActionList* action_list_ = nullptr;
  std::string category_;
};

class TCustomAction : public TContainedAction {
  PX_CLASS(TCustomAction)
 public:
  explicit TCustomAction(TComponent* AOwner);

  // Updates the action first; a disabled action runs nothing (false). With AutoCheck the
  // checked state turns over before the handlers run.
  bool Execute() override;
  // When nothing handled the update, DisableIfNoHandler is set and there is no OnExecute, the
  // action is disabled.
  bool Update() override;

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& Value);
  bool Checked() const { return checked_; }
  void SetChecked(bool Value);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool Value);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& Value);
  int32_t ImageIndex() const { return image_index_; }
  void SetImageIndex(int32_t Value);
  bool Visible() const { return visible_; }
  void SetVisible(bool Value);
  bool AutoCheck() const { return auto_check_; }
  void SetAutoCheck(bool Value);
  bool DisableIfNoHandler() const { return disable_if_no_handler_; }
  void SetDisableIfNoHandler(bool Value) { disable_if_no_handler_ = Value; }

 private:
  // Stores a changed value after passing it to every link (Set), then tells the links.
  template <class T, class P>
  void SetLinked(T& Field, const T& Value, P Set);

  std::string caption_;
  bool checked_ = false;
  bool enabled_ = true;
  std::string hint_;
  int32_t image_index_ = -1;
  bool visible_ = true;
  bool auto_check_ = false;
  bool disable_if_no_handler_ = true;
};

// The action with its properties published.
class TAction : public TCustomAction {
  PX_CLASS(TAction)
 public:
  explicit TAction(TComponent* AOwner) : TCustomAction(AOwner) {}
};

// The link of a client to a TCustomAction. A property is linked when the action is a
// TCustomAction (client links add: and the client still shows the action's value); setting it
// through the link changes the client only while it is linked.
class TActionLink : public TBasicActionLink {
 public:
  virtual bool IsCaptionLinked();
  virtual bool IsCheckedLinked();
  virtual bool IsEnabledLinked();
  virtual bool IsHintLinked();
  virtual bool IsImageIndexLinked();
  virtual bool IsVisibleLinked();
  virtual void SetCaption(const std::string& Value);
  virtual void SetChecked(bool Value);
  virtual void SetEnabled(bool Value);
  virtual void SetHint(const std::string& Value);
  virtual void SetImageIndex(int32_t Value);
  virtual void SetVisible(bool Value);

 protected:
  // The action as a TCustomAction (nullptr for other actions).
  TCustomAction* CustomAction() const;
};

class TCustomActionList : public TComponent {
  PX_CLASS(TCustomActionList)
 public:
  explicit TCustomActionList(TComponent* AOwner);
  ~TCustomActionList() override;

  int32_t ActionCount() const { return static_cast<int32_t>(actions_.size()); }
  TContainedAction* Actions(int32_t Index) const;
  int32_t IndexOf(const TContainedAction* Action) const;
  TCustomImageList* Images() const { return images_; }
  void SetImages(TCustomImageList* Value);

  // OnExecute / OnUpdate for an action of the list; true when handled.
  bool ExecuteAction(TBasicAction* Action) override;
  bool UpdateAction(TBasicAction* Action) override;

  const TActionEvent& OnExecute() const { return on_execute_; }
  void SetOnExecute(const TActionEvent& Value) { on_execute_ = Value; }
  const TActionEvent& OnUpdate() const { return on_update_; }
  void SetOnUpdate(const TActionEvent& Value) { on_update_ = Value; }

  void Notification(TComponent* AComponent, TOperation Operation) override;

 private:
  friend class TContainedAction;
  std::vector<TContainedAction*> actions_;  // not owned
  TCustomImageList* images_ = nullptr;
  TActionEvent on_execute_, on_update_;
};

class TActionList : public TCustomActionList {
  PX_CLASS(TActionList)
 public:
  explicit TActionList(TComponent* AOwner) : TCustomActionList(AOwner) {}
};

// Registers TAction, TActionList and the standard actions with the form loader.
void ActnListRegisterClasses();
