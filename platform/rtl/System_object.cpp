#include <cxxabi.h>

#include <cstdlib>
#include <memory>
#include <typeinfo>

#include "platform/rtl/Classes_persistent.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

std::string DemangleClassName(const char* mangled) {
  int status = 0;
  std::unique_ptr<char, void (*)(void*)> d(abi::__cxa_demangle(mangled, nullptr, nullptr, &status), std::free);
  std::string name = (status == 0 && d) ? d.get() : mangled;
  // Drop namespaces and template arguments' qualification of the outermost name.
  size_t cut = name.rfind("::", name.find('<'));
  if (cut != std::string::npos) name = name.substr(cut + 2);
  return name;
}

std::string TObject::ClassName() const { return DemangleClassName(typeid(*this).name()); }

TClass TObject::StaticClass() {
  static const TClassInfo info("TObject", nullptr);
  return &info;
}

bool TObject::InheritsFrom(TClass c) const { return ClassType()->InheritsFrom(c); }

std::string Exception::ClassName() const { return DemangleClassName(typeid(*this).name()); }

PX_CLASS_INFO(TPersistent, TObject)

void TPersistent::Assign(TPersistent* Source) {
  if (Source) Source->AssignTo(this);
  else AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest) { Dest->AssignError(this); }

void TPersistent::AssignError(TPersistent* Source) {
  std::string sourceName = Source ? Source->ClassName() : "nil";
  throw EConvertError(Format("Cannot assign a %s to a %s", sourceName, ClassName()));
}

std::string TPersistent::GetNamePath() { return ClassName(); }
