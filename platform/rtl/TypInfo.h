// Class descriptions: the class reference behind TObject::ClassType, with the parent class and
// the published properties that are addressed by name.
#pragma once

#include "platform/rtl/System.h"

struct TClassInfo {
  const char* Name = "";
  TClass Parent = nullptr;

  bool InheritsFrom(TClass c) const {
    for (TClass p = this; p; p = p->Parent)
      if (p == c) return true;
    return false;
  }
};

// Defines Self::StaticClass() in a .cpp; the description is built on first use.
#define PX_CLASS_INFO(Self, ParentClass)                               \
  TClass Self::StaticClass() {                                         \
    static const TClassInfo info{#Self, ParentClass::StaticClass()};   \
    return &info;                                                      \
  }
