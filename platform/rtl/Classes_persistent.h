// TPersistent: objects that can be assigned to one another.
#pragma once

#include <string>

#include "platform/rtl/System.h"

class TPersistent : public TObject {
  PX_CLASS(TPersistent)
 public:
  // Copies Source into this object: Source->AssignTo(this), or an EConvertError
  // "Cannot assign a %s to a %s" when neither side knows the other (nil Source included).
  virtual void Assign(TPersistent* Source);
  virtual std::string GetNamePath();

 protected:
  virtual void AssignTo(TPersistent* Dest);
  [[noreturn]] void AssignError(TPersistent* Source);
  virtual TPersistent* GetOwner() { return nullptr; }
};
