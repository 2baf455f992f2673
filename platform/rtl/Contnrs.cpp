// TObjectList.
#include "platform/rtl/Contnrs.h"

#include "platform/rtl/TypInfo.h"

PX_CLASS_INFO(TObjectList, TList)

// TList's destructor would not reach Notify here, so the owned objects are freed now.
TObjectList::~TObjectList() { Clear(); }

void TObjectList::Notify(void* Ptr, TListNotification Action) {
  if (owns_objects_ && Action == lnDeleted) delete static_cast<TObject*>(Ptr);
  TList::Notify(Ptr, Action);
}

int32_t TObjectList::FindInstanceOf(TClass AClass, bool AExact, int32_t AStartAt) const {
  for (int32_t i = AStartAt < 0 ? 0 : AStartAt; i < Count(); ++i) {
    const TObject* o = Items(i);
    if (!o) continue;
    if (AExact ? o->ClassType() == AClass : o->InheritsFrom(AClass)) return i;
  }
  return -1;
}
