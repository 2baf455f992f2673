#include "core/hypxdefs_edit.h"

#include "platform/forms/Messages.h"
#include "platform/rtl/TypInfo.h"

PX_CLASS_INFO(TPXEdit, TEdit)

void TPXEdit::WndProc(TMessage& Message) {
  TEdit::WndProc(Message);
  if (Message.Msg != CM_WANTSPECIALKEY) return;
  TWMKey key(Message);
  // Tab and page up, page down, end, home and the four arrows.
  if (key.CharCode == 9 || (key.CharCode >= 33 && key.CharCode <= 40)) {
    Message.Result = 1;
    uint16_t code = key.CharCode;
    KeyUp(code, KeyDataToShiftState(key.KeyData));
  }
}

void TPXEdit::KeyPress(char16_t& Key) {
  if (Key == u'\t') {
    Key = 0;
    return;
  }
  TEdit::KeyPress(Key);
}

HWND GetOwnerWindowHandle(TComponent* Component) {
  for (TComponent* c = Component; c; c = c->Owner()) {
    if (auto* w = dynamic_cast<TWinControl*>(c)) return w->HandleAllocated() ? w->Handle() : nullptr;
  }
  return nullptr;
}
