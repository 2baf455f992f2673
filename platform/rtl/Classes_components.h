// TComponent: named, owned objects with notifications, and the registry of classes that the
// form loader creates by name.
//
// Ownership: a component created with an owner (`new TFoo(owner)`) is owned by it and freed in
// the owner's destructor; one without an owner is held by a std::unique_ptr. Owned components
// are freed last-first, each taken out of the owner's list before it is deleted.
//
// C++ runs a derived destructor before ~TComponent, so by the time ~TComponent frees the owned
// components and tells free-notified ones, the owner's own overrides (Notification) no longer
// run and its derived members are gone. A class whose owned components or notifications still
// need its members calls Destroying() and DestroyComponents() first in its own destructor.
// Likewise opInsert for a component being constructed arrives while only its TComponent part
// exists: receivers may keep the pointer but not inspect its derived class yet.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Classes_persistent.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"
#include "platform/rtl/Types.h"

PX_DECLARE_EXCEPTION(EFilerError, EStreamError);
PX_DECLARE_EXCEPTION(EClassNotFound, EFilerError);

enum class TComponentStateItem : uint8_t {
  csLoading, csReading, csWriting, csDestroying, csDesigning, csAncestor, csUpdating, csFixups,
  csFreeNotification, csInline, csDesignInstance
};
using enum TComponentStateItem;
using TComponentState = TSet<TComponentStateItem>;

enum class TComponentStyleItem : uint8_t { csInheritable, csCheckPropAvail, csSubComponent, csTransient };
using enum TComponentStyleItem;
using TComponentStyle = TSet<TComponentStyleItem>;

enum class TOperation : uint8_t { opInsert, opRemove };
using enum TOperation;

class TBasicAction;

class TComponent : public TPersistent {
  PX_CLASS(TComponent)
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }

  // An identifier (letters, digits, "_", not starting with a digit) or empty; EComponentError
  // "'%s' is not a valid component name", or "A component named %s already exists" when the
  // owner has another component of that name (ignoring case).
  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& NewName);
  intptr_t Tag() const { return tag_; }
  void SetTag(intptr_t Value) { tag_ = Value; }

  // Owned components in insertion order; Components raises EListError for a bad index.
  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int Index) const;
  // This component's place in its owner's list (-1 without owner); setting moves it (clamped).
  int ComponentIndex() const;
  void SetComponentIndex(int Value);
  // The owned component of that name, ignoring case; nullptr when none (or AName is empty).
  TComponent* FindComponent(std::string_view AName) const;

  // Makes this component the owner of AComponent (taking it from its previous owner), then
  // tells this component and its components opInsert. A duplicate name raises before
  // anything changes.
  void InsertComponent(TComponent* AComponent);
  // Tells opRemove and drops AComponent from the owned list; the caller then owns it. Nothing
  // happens when this component does not own it.
  void RemoveComponent(TComponent* AComponent);
  // Frees all owned components, last first.
  void DestroyComponents();
  // Marks this component and all it owns as csDestroying.
  void Destroying();

  // Called when AComponent is inserted into or removed from this component's owner, or when a
  // free-notified component is destroyed. The default forwards to the owned components and,
  // for opRemove, forgets a free notification of AComponent.
  virtual void Notification(TComponent* AComponent, TOperation Operation);
  // Asks to be told (opRemove) when AComponent is destroyed, and vice versa.
  void FreeNotification(TComponent* AComponent);
  // Withdraws that in both directions.
  void RemoveFreeNotification(TComponent* AComponent);

  TComponentState ComponentState() const { return state_; }
  TComponentStyle ComponentStyle() const { return style_; }
  // The filer's and designer's flags (csLoading, csReading, csWriting, csFixups, csAncestor,
  // csInline, csDesignInstance, csUpdating, csDesigning of this component alone). csDestroying
  // and csFreeNotification are kept by the component itself: EInvalidOperation.
  void SetComponentState(TComponentStateItem Item, bool On);
  // Sets csDesigning here and, with SetChildren, on all owned components.
  void SetDesigning(bool Value, bool SetChildren = true);
  // Called when loading completed; clears csLoading.
  virtual void Loaded();
  virtual void Updating();
  virtual void Updated();
  // A sub-component is a component owned and published by another one (csSubComponent).
  void SetSubComponent(bool IsSubComponent);

  std::string GetNamePath() override { return name_; }

  // The component a form description nests this one in (a control's parent control). The
  // form loader calls SetParentComponent with the enclosing object before reading the
  // component's properties, and the form writer nests by GetParentComponent. The window layer
  // overrides both; here there is no parent.
  virtual TComponent* GetParentComponent() const { return nullptr; }
  virtual void SetParentComponent(TComponent* /*Value*/) {}

  // An action offered to the component: runs it on this component when the action handles it
  // as a target (true), else false. Controls override them for the actions they know.
  virtual bool ExecuteAction(TBasicAction* Action);
  virtual bool UpdateAction(TBasicAction* Action);

 protected:
  TPersistent* GetOwner() override { return owner_; }
  void SetComponentStyle(TComponentStyle Value) { style_ = Value; }
  // Raises EComponentError when AComponent (owned by this) may not be named NewName.
  virtual void ValidateRename(TComponent* AComponent, const std::string& CurName, const std::string& NewName);

 private:
  void Insert(TComponent* AComponent);
  void Remove(TComponent* AComponent);
  void RemoveNotification(TComponent* AComponent);
  void RemoveFreeNotifications();

  TComponent* owner_ = nullptr;
  std::string name_;
  intptr_t tag_ = 0;
  std::vector<TComponent*> components_;     // owned
  std::vector<TComponent*> free_notifies_;  // not owned
  TComponentState state_;
  TComponentStyle style_{csInheritable};
};

using TComponentClass = TClass;

// The classes the form loader may create by name. Registering the same class again does
// nothing; another class of the same name raises EFilerError "A class named %s already exists".
void RegisterClass(TClass AClass);
void UnRegisterClass(TClass AClass);
// Case-insensitive; FindClass raises EClassNotFound "Class %s not found", GetClass answers nullptr.
TClass FindClass(std::string_view ClassName);
TClass GetClass(std::string_view ClassName);
