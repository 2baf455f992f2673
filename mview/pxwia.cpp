#include "mview/pxwia.h"

int32_t TWiaEventCallBack::ImageEventCallback(const TGUID& EventGuid, const std::string& /*EventDescription*/,
                                              const std::string& /*DeviceID*/,
                                              const std::string& /*DeviceDescription*/, uint32_t /*DeviceType*/,
                                              const std::string& /*FullItemName*/, uint32_t& /*EventType*/,
                                              uint32_t /*Reserved*/) {
  if (!FOwner) return 0;
  if (EventGuid == PXWIA_EVENT_TREE_UPDATED) FOwner->LastDeviceEvent = pxwiaTreeUpdated;
  else if (EventGuid == PXWIA_EVENT_ITEM_CREATED) FOwner->LastDeviceEvent = pxwiaItemCreated;
  else if (EventGuid == PXWIA_EVENT_ITEM_DELETED) FOwner->LastDeviceEvent = pxwiaItemDeleted;
  else return 0;
  if (FOwner->OnItemsChanged) FOwner->OnItemsChanged(FOwner);
  return 0;
}

TPXWia::TPXWia(TComponent* AOwner) : Owner(AOwner) {
  // No WIA service: the device manager cannot be created, so nothing registers for events.
}

TPXWia::~TPXWia() {
  ClearItems();
  ParentObject.reset();
}

void TPXWia::ClearItems() { Items.Clear(); }
