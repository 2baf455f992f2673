// Standard actions of the class library.
#pragma once

#include "platform/forms/ActnList.h"

// The application makes one whenever its Hint changes and no OnHint handler is set: its Hint is
// the new long hint, and it is offered to the active form's controls until one takes it (a
// status pane that shows hints does).
class THintAction : public TCustomAction {
  PX_CLASS(THintAction)
 public:
  explicit THintAction(TComponent* AOwner);
};
