// TPXWia: the WIA device access object an I/O component creates on first request. No WIA
// service exists here, so its device manager stays empty and no device events are registered;
// the object keeps its parameters with their defaults and the component's progress forwarder.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "core/hypxdefs.h"
#include "io/pixoranio_view.h"
#include "platform/rtl/Contnrs.h"

class TPXBitmap;
class TPXWia;

// The device events the object registers for.
inline constexpr TGUID PXWIA_EVENT_ITEM_CREATED{0x4C8F4EF5, 0xE14F, 0x11D2, {0xB3, 0x26, 0x00, 0xC0, 0x4F, 0x68, 0xCE, 0x61}};
inline constexpr TGUID PXWIA_EVENT_ITEM_DELETED{0x1D22A559, 0xE14F, 0x11D2, {0xB3, 0x26, 0x00, 0xC0, 0x4F, 0x68, 0xCE, 0x61}};
inline constexpr TGUID PXWIA_EVENT_TREE_UPDATED{0xC9859B91, 0x4AB2, 0x4CD6, {0xA1, 0xFC, 0x58, 0x2E, 0xEC, 0x55, 0xE5, 0x85}};

// The last device event kinds.
inline constexpr uint8_t pxwiaTreeUpdated = 1;
inline constexpr uint8_t pxwiaItemCreated = 2;
inline constexpr uint8_t pxwiaItemDeleted = 3;

// The receiver of one registered device event: it tells its owner which kind of change came.
class TWiaEventCallBack {
 public:
  explicit TWiaEventCallBack(TPXWia* Owner) : FOwner(Owner) {}
  // Sets the owner's last event kind for the three registered events and fires its
  // items-changed event; other events change nothing. Answers 0 (S_OK).
  int32_t ImageEventCallback(const TGUID& EventGuid, const std::string& EventDescription, const std::string& DeviceID,
                             const std::string& DeviceDescription, uint32_t DeviceType, const std::string& FullItemName,
                             uint32_t& EventType, uint32_t Reserved);

 private:
  TPXWia* FOwner;  // not owned
};

class TPXWia : public TObject, public IPXIOWia {
 public:
  explicit TPXWia(TComponent* Owner);
  ~TPXWia() override;

  // Frees the items of the item list.
  void ClearItems();

  // Fields in their order; the option fields keep their defaults (no transfer reads them here).
  bool OleInitialized = false;
  void* DeviceManager = nullptr;  // none: no WIA service
  TObjectList Items{true};
  std::unique_ptr<TObject> ParentObject;
  TComponent* Owner = nullptr;    // not owned
  TNotifyEvent OnEvent;
  void* Registrations[3] = {nullptr, nullptr, nullptr};
  // The component's progress forwarder: per cent in, whether to go on out.
  TPXWiaProgress ProgressCallback;
  uint8_t Option1 = 1;
  uint8_t Option2 = 0;
  std::string Text;
  uint8_t Option3 = 0;
  int32_t Value = 0;
  TNotifyEvent OnItemsChanged;  // Sender: the object
  uint8_t LastDeviceEvent = 0;
  TPXBitmap* Bitmap = nullptr;    // not owned
};
