// The hidden in-place editor of the vector view, and the owner-window lookup the library's dialogs
// use.
#pragma once

#include "platform/forms/StdCtrls.h"

// An edit that lets its owner see Tab and the navigation keys: it asks for them (so the form does
// not move the focus) and reports each through its key-up event; Tab itself inserts nothing.
class TPXEdit : public TEdit {
  PX_CLASS(TPXEdit)
 public:
  explicit TPXEdit(TComponent* AOwner) : TEdit(AOwner) {}

 protected:
  void WndProc(TMessage& Message) override;
  void KeyPress(char16_t& Key) override;
};

// The window of the first windowed control among Component and its chain of owners; nullptr when
// there is none or its window does not exist yet.
HWND GetOwnerWindowHandle(TComponent* Component);
