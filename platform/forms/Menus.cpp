// Menus: shortcuts, the item tree, menus, platform menu handles and command ids.
#include "platform/forms/Menus.h"

#include <algorithm>
#include <cctype>

#include "platform/forms/Forms.h"
#include "platform/forms/Menus_internal.h"
#include "platform/rtl/HandleTable.h"

// ---------------------------------------------------------------------------------------------
// Shortcuts

namespace {

std::string KeyName(uint16_t key) {
  switch (key) {
    case VK_BACK: return "BkSp";
    case VK_TAB: return "Tab";
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Esc";
    case VK_SPACE: return "Space";
    case VK_PRIOR: return "PgUp";
    case VK_NEXT: return "PgDn";
    case VK_END: return "End";
    case VK_HOME: return "Home";
    case VK_LEFT: return "Left";
    case VK_UP: return "Up";
    case VK_RIGHT: return "Right";
    case VK_DOWN: return "Down";
    case VK_INSERT: return "Ins";
    case VK_DELETE: return "Del";
    case VK_PAUSE: return "Pause";
    case VK_CAPITAL: return "Caps Lock";
    case VK_SNAPSHOT: return "Print Screen";
    case VK_NUMLOCK: return "Num Lock";
    case VK_SCROLL: return "Scroll Lock";
    case VK_APPS: return "Application";
    case VK_MULTIPLY: return "Num *";
    case VK_ADD: return "Num +";
    case VK_SUBTRACT: return "Num -";
    case VK_DECIMAL: return "Num Del";
    case VK_DIVIDE: return "Num /";
    case VK_OEM_1: return ";";
    case VK_OEM_PLUS: return "=";
    case VK_OEM_COMMA: return ",";
    case VK_OEM_MINUS: return "-";
    case VK_OEM_PERIOD: return ".";
    case VK_OEM_2: return "/";
    case VK_OEM_3: return "`";
    case VK_OEM_4: return "[";
    case VK_OEM_5: return "\\";
    case VK_OEM_6: return "]";
    case VK_OEM_7: return "'";
    default: break;
  }
  if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return std::string(1, static_cast<char>(key));
  if (key >= VK_NUMPAD0 && key <= VK_NUMPAD9) return "Num " + std::string(1, static_cast<char>('0' + key - VK_NUMPAD0));
  if (key >= VK_F1 && key <= VK_F24) return "F" + IntToStr(key - VK_F1 + 1);
  return {};
}

}  // namespace

TShortCut ShortCut(uint16_t Key, TShiftState Shift) {
  if (Key > 0xFF) return 0;
  TShortCut r = Key;
  if (Shift.Contains(ssShift)) r |= scShift;
  if (Shift.Contains(ssCtrl)) r |= scCtrl;
  if (Shift.Contains(ssAlt)) r |= scAlt;
  return r;
}

void ShortCutToKey(TShortCut ShortCut, uint16_t& Key, TShiftState& Shift) {
  Key = ShortCut & ~(scShift | scCtrl | scAlt);
  Shift = {};
  if (ShortCut & scShift) Shift += ssShift;
  if (ShortCut & scCtrl) Shift += ssCtrl;
  if (ShortCut & scAlt) Shift += ssAlt;
}

std::string ShortCutToText(TShortCut ShortCut) {
  const std::string name = KeyName(ShortCut & 0xFF);
  if (name.empty()) return {};
  std::string r;
  if (ShortCut & scShift) r += "Shift+";
  if (ShortCut & scCtrl) r += "Ctrl+";
  if (ShortCut & scAlt) r += "Alt+";
  return r + name;
}

TShortCut TextToShortCut(std::string_view Text) {
  TShortCut mods = 0;
  static const std::pair<const char*, TShortCut> kPrefixes[] = {
      {"Shift+", scShift}, {"Ctrl+", scCtrl}, {"Alt+", scAlt}};
  bool found = true;
  while (found) {
    found = false;
    for (const auto& [prefix, flag] : kPrefixes) {
      const std::string_view p(prefix);
      // "Shift+" alone is the key "+"? No key is named so; a prefix needs something after it.
      if (Text.size() > p.size() && SameText(Text.substr(0, p.size()), p)) {
        mods |= flag;
        Text.remove_prefix(p.size());
        found = true;
      }
    }
  }
  if (Text.empty()) return 0;
  for (uint16_t key = 0x08; key <= 0xFF; ++key) {
    const std::string name = KeyName(key);
    if (!name.empty() && SameText(name, Text)) return static_cast<TShortCut>(key | mods);
  }
  return 0;
}

PTypeInfo TypeInfo_TShortCut() {
  static const TTypeInfo info = TTypeInfo::Ordinal(tkInteger, "TShortCut", 0, 0xFFFF);
  return &info;
}

PTypeInfo TypeInfo_TMenuBreak() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TMenuBreak", {"mbNone", "mbBreak", "mbBarBreak"});
  return &info;
}
PTypeInfo TypeInfo_TMenuAutoFlag() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TMenuAutoFlag", {"maAutomatic", "maManual", "maParent"});
  return &info;
}
PTypeInfo TypeInfo_TPopupAlignment() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TPopupAlignment", {"paLeft", "paRight", "paCenter"});
  return &info;
}
PTypeInfo TypeInfo_TTrackButton() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TTrackButton", {"tbRightButton", "tbLeftButton"});
  return &info;
}

// ---------------------------------------------------------------------------------------------
// Handles, commands and the live menus

namespace px_menus {
namespace {

// Menu handles name items through a generation-checked table, so a stale handle finds nothing.
THandleTable<TMenuItem*>& Handles() {
  static THandleTable<TMenuItem*> t;
  return t;
}

struct CommandTable {
  std::vector<bool> Used = std::vector<bool>(0x10000, false);
  uint32_t Next = 1;
};
CommandTable& Commands() {
  static CommandTable t;
  return t;
}

std::vector<TMenu*>& Menus() {
  static std::vector<TMenu*> menus;
  return menus;
}

// Commands stay below the system commands (SC_* from $F000).
constexpr uint32_t kLastCommand = 0xEFFF;

}  // namespace

HMENU AllocMenuHandle(TMenuItem* Item) {
  return reinterpret_cast<HMENU>(Handles().Add(std::make_shared<TMenuItem*>(Item)));
}

void FreeMenuHandle(HMENU Menu) { Handles().Remove(reinterpret_cast<uintptr_t>(Menu)); }

TMenuItem* ItemFromHandle(HMENU Menu) {
  const std::shared_ptr<TMenuItem*> item = Handles().Find(reinterpret_cast<uintptr_t>(Menu));
  return item ? *item : nullptr;
}

uint16_t AllocCommand() {
  CommandTable& t = Commands();
  for (uint32_t n = 0; n < kLastCommand; ++n) {
    uint32_t c = t.Next;
    t.Next = t.Next >= kLastCommand ? 1 : t.Next + 1;
    if (!t.Used[c]) {
      t.Used[c] = true;
      return static_cast<uint16_t>(c);
    }
  }
  return 0;  // every id in use: the item cannot be chosen by command
}

void FreeCommand(uint16_t Command) {
  if (Command) Commands().Used[Command] = false;
}

const std::vector<TMenu*>& LiveMenus() { return Menus(); }
void RegisterMenu(TMenu* Menu) { Menus().push_back(Menu); }
void UnregisterMenu(TMenu* Menu) {
  std::vector<TMenu*>& menus = Menus();
  menus.erase(std::remove(menus.begin(), menus.end(), Menu), menus.end());
}

TMenuItem* FindCommandItem(uint16_t Command) {
  if (!Command) return nullptr;
  for (TMenu* m : Menus())
    if (TMenuItem* item = m->FindItem(Command, fkCommand)) return item;
  return nullptr;
}

}  // namespace px_menus

// ---------------------------------------------------------------------------------------------
// TMenuItem

PX_CLASS_INFO(TMenuItem, TComponent, [](TPropertyBuilder<TMenuItem>& b) {
  b.Bool("AutoCheck", &TMenuItem::AutoCheck, &TMenuItem::SetAutoCheck).Default(false);
  b.Enum("AutoHotkeys", TypeInfo_TMenuAutoFlag(), &TMenuItem::AutoHotkeys, &TMenuItem::SetAutoHotkeys)
      .Default(maParent);
  b.Enum("AutoLineReduction", TypeInfo_TMenuAutoFlag(), &TMenuItem::AutoLineReduction,
         &TMenuItem::SetAutoLineReduction)
      .Default(maParent);
  b.Object<TBitmap>("Bitmap", &TMenuItem::Bitmap, &TMenuItem::SetBitmap).Stored(&TMenuItem::HasBitmap);
  b.Enum("Break", TypeInfo_TMenuBreak(), &TMenuItem::Break, &TMenuItem::SetBreak).Default(mbNone);
  b.Str("Caption", &TMenuItem::Caption, &TMenuItem::SetCaption);
  b.Bool("Checked", &TMenuItem::Checked, &TMenuItem::SetChecked).Default(false);
  b.Bool("Default", &TMenuItem::Default, &TMenuItem::SetDefault).Default(false);
  b.Bool("Enabled", &TMenuItem::Enabled, &TMenuItem::SetEnabled).Default(true);
  b.Int("GroupIndex", &TMenuItem::GroupIndex, &TMenuItem::SetGroupIndex, TypeInfo_Byte()).Default(0);
  b.Str("Hint", &TMenuItem::Hint, &TMenuItem::SetHint);
  b.Int("ImageIndex", &TMenuItem::ImageIndex, &TMenuItem::SetImageIndex).Default(-1);
  b.Bool("RadioItem", &TMenuItem::RadioItem, &TMenuItem::SetRadioItem).Default(false);
  b.Int("ShortCut", &TMenuItem::ShortCut, &TMenuItem::SetShortCut, TypeInfo_TShortCut()).Default(0);
  b.Object<TCustomImageList>("SubMenuImages", &TMenuItem::SubMenuImages, &TMenuItem::SetSubMenuImages);
  b.Bool("Visible", &TMenuItem::Visible, &TMenuItem::SetVisible).Default(true);
  b.Event("OnClick", &TMenuItem::OnClick, &TMenuItem::SetOnClick);
  b.Event("OnDrawItem", &TMenuItem::OnDrawItem, &TMenuItem::SetOnDrawItem);
  b.Event("OnAdvancedDrawItem", &TMenuItem::OnAdvancedDrawItem, &TMenuItem::SetOnAdvancedDrawItem);
  b.Event("OnMeasureItem", &TMenuItem::OnMeasureItem, &TMenuItem::SetOnMeasureItem);
})

TMenuItem::TMenuItem(TComponent* AOwner) : TComponent(AOwner), command_(px_menus::AllocCommand()) {}

TMenuItem::~TMenuItem() {
  px_menus::ItemDestroying(this);
  // Sub-items go with their parent, whoever owns them (their destructor leaves their owner).
  while (!items_.empty()) {
    TMenuItem* child = items_.back();
    items_.pop_back();
    child->parent_ = nullptr;
    delete child;  // the menu tree's rule: a parent frees its sub-items
  }
  if (parent_) {
    auto& siblings = parent_->items_;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), this), siblings.end());
    TMenuItem* parent = parent_;
    parent_ = nullptr;
    if (!parent->ComponentState().Contains(csDestroying)) parent->MenuChanged(true);
  }
  if (sub_menu_images_) sub_menu_images_->RemoveFreeNotification(this);
  if (handle_) px_menus::FreeMenuHandle(handle_);
  px_menus::FreeCommand(command_);
}

TMenuItem* TMenuItem::Items(int32_t Index) const {
  if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
  return items_[static_cast<size_t>(Index)];
}

void TMenuItem::Add(TMenuItem* Item) { Insert(Count(), Item); }

void TMenuItem::Insert(int32_t Index, TMenuItem* Item) {
  if (!Item) return;
  if (Item->parent_ || Item->menu_) throw EMenuError("Menu inserted twice");
  if (Index < 0 || Index > Count()) throw EMenuError("Menu index out of range");
  for (const TMenuItem* p = this; p; p = p->parent_)
    if (p == Item) throw EMenuError("Menu inserted twice");
  items_.insert(items_.begin() + Index, Item);
  Item->parent_ = this;
  if (Item->checked_ && Item->radio_item_) Item->TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::Delete(int32_t Index) {
  if (Index < 0 || Index >= Count()) throw EMenuError("Menu index out of range");
  TMenuItem* item = items_[static_cast<size_t>(Index)];
  px_menus::ItemDestroying(item);  // a removed item is no longer shown
  items_.erase(items_.begin() + Index);
  item->parent_ = nullptr;
  MenuChanged(true);
}

void TMenuItem::Remove(TMenuItem* Item) {
  const int32_t i = IndexOf(Item);
  if (i < 0) throw EMenuError("Sub-menu is not in menu");
  Delete(i);
}

void TMenuItem::Clear() {
  while (!items_.empty()) delete items_.back();  // each destructor takes itself out
}

int32_t TMenuItem::IndexOf(const TMenuItem* Item) const {
  auto it = std::find(items_.begin(), items_.end(), Item);
  return it == items_.end() ? -1 : static_cast<int32_t>(it - items_.begin());
}

TMenuItem* TMenuItem::Find(std::string_view ACaption) const {
  const std::string wanted = StripHotkey(std::string(ACaption));
  for (TMenuItem* item : items_)
    if (SameText(StripHotkey(item->caption_), wanted)) return item;
  return nullptr;
}

int32_t TMenuItem::MenuIndex() const { return parent_ ? parent_->IndexOf(this) : -1; }

void TMenuItem::SetMenuIndex(int32_t Value) {
  if (!parent_) return;
  auto& list = parent_->items_;
  const int32_t current = MenuIndex();
  Value = std::clamp(Value, 0, static_cast<int32_t>(list.size()) - 1);
  if (Value == current) return;
  list.erase(list.begin() + current);
  list.insert(list.begin() + Value, this);
  parent_->MenuChanged(true);
}

TMenu* TMenuItem::GetParentMenu() const {
  const TMenuItem* root = this;
  while (root->parent_) root = root->parent_;
  return root->menu_;
}

TCustomImageList* TMenuItem::GetImageList() const {
  for (const TMenuItem* p = parent_; p; p = p->parent_)
    if (p->sub_menu_images_) return p->sub_menu_images_;
  TMenu* m = GetParentMenu();
  return m ? m->Images() : nullptr;
}

HMENU TMenuItem::Handle() {
  if (!handle_) handle_ = px_menus::AllocMenuHandle(this);
  return handle_;
}

void TMenuItem::Click() {
  if (!enabled_) return;
  if (auto_check_) SetChecked(radio_item_ ? true : !checked_);
  // A copy: the handler may free the item (and with it its handler).
  const TNotifyEvent handler = on_click_;
  if (handler) handler(this);
}

void TMenuItem::SetCaption(const std::string& Value) {
  if (caption_ == Value) return;
  caption_ = Value;
  MenuChanged(true);
}

void TMenuItem::TurnSiblingsOff() {
  if (!parent_) return;
  for (TMenuItem* item : parent_->items_)
    if (item != this && item->radio_item_ && item->group_index_ == group_index_ && item->checked_) {
      item->checked_ = false;
      item->MenuChanged(false);
    }
}

void TMenuItem::SetChecked(bool Value) {
  if (checked_ == Value) return;
  checked_ = Value;
  if (Value && radio_item_) TurnSiblingsOff();
  MenuChanged(false);
}

void TMenuItem::SetEnabled(bool Value) {
  if (enabled_ == Value) return;
  enabled_ = Value;
  MenuChanged(false);
}

void TMenuItem::SetVisible(bool Value) {
  if (visible_ == Value) return;
  visible_ = Value;
  MenuChanged(true);
}

void TMenuItem::SetDefault(bool Value) {
  if (default_ == Value) return;
  if (Value && parent_)
    for (TMenuItem* item : parent_->items_)
      if (item != this && item->default_) {
        item->default_ = false;
        item->MenuChanged(true);
      }
  default_ = Value;
  MenuChanged(true);
}

void TMenuItem::SetRadioItem(bool Value) {
  if (radio_item_ == Value) return;
  radio_item_ = Value;
  if (checked_ && radio_item_) TurnSiblingsOff();
  MenuChanged(true);
}

void TMenuItem::SetGroupIndex(uint8_t Value) {
  if (group_index_ == Value) return;
  group_index_ = Value;
  if (checked_ && radio_item_) TurnSiblingsOff();
  MenuChanged(false);
}

void TMenuItem::SetBreak(TMenuBreak Value) {
  if (break_ == Value) return;
  break_ = Value;
  MenuChanged(true);
}

void TMenuItem::SetShortCut(TShortCut Value) {
  if (short_cut_ == Value) return;
  short_cut_ = Value;
  MenuChanged(true);
}

void TMenuItem::SetImageIndex(int32_t Value) {
  if (image_index_ == Value) return;
  image_index_ = Value;
  MenuChanged(true);
}

TBitmap* TMenuItem::Bitmap() {
  if (!bitmap_) {
    bitmap_ = std::make_unique<TBitmap>();
    bitmap_->SetOnChange(TNotifyEvent(this, &TMenuItem::BitmapChanged));
  }
  return bitmap_.get();
}

void TMenuItem::SetBitmap(TBitmap* Value) { Bitmap()->Assign(Value); }

void TMenuItem::BitmapChanged(TObject*) { MenuChanged(true); }

void TMenuItem::SetAutoHotkeys(TMenuItemAutoFlag Value) {
  if (auto_hotkeys_ == Value) return;
  auto_hotkeys_ = Value;
  MenuChanged(true);
}

void TMenuItem::SetAutoLineReduction(TMenuItemAutoFlag Value) {
  if (auto_line_reduction_ == Value) return;
  auto_line_reduction_ = Value;
  MenuChanged(true);
}

void TMenuItem::SetSubMenuImages(TCustomImageList* Value) {
  if (sub_menu_images_ == Value) return;
  if (sub_menu_images_) sub_menu_images_->RemoveFreeNotification(this);
  sub_menu_images_ = Value;
  if (Value) Value->FreeNotification(this);
  MenuChanged(true);
}

void TMenuItem::SetOnDrawItem(const TMenuDrawItemEvent& Value) {
  on_draw_item_ = Value;
  MenuChanged(false);
}

void TMenuItem::SetOnAdvancedDrawItem(const TAdvancedMenuDrawItemEvent& Value) {
  on_advanced_draw_item_ = Value;
  MenuChanged(false);
}

void TMenuItem::SetOnMeasureItem(const TMenuMeasureItemEvent& Value) {
  on_measure_item_ = Value;
  MenuChanged(true);
}

bool TMenuItem::IsOwnerDrawn() const {
  const TMenu* m = GetParentMenu();
  if (!m) return false;
  return m->OwnerDraw() || GetImageList() != nullptr || HasBitmap();
}

bool TMenuItem::AutoHotkeysActive() const {
  for (const TMenuItem* p = this; p; p = p->parent_) {
    if (p->auto_hotkeys_ != maParent) return p->auto_hotkeys_ == maAutomatic;
    if (!p->parent_) return p->menu_ && p->menu_->AutoHotkeys() == maAutomatic;
  }
  return false;
}

bool TMenuItem::AutoLineReductionActive() const {
  for (const TMenuItem* p = this; p; p = p->parent_) {
    if (p->auto_line_reduction_ != maParent) return p->auto_line_reduction_ == maAutomatic;
    if (!p->parent_) return p->menu_ && p->menu_->AutoLineReduction() == maAutomatic;
  }
  return false;
}

TComponent* TMenuItem::GetParentComponent() const {
  if (parent_ && parent_->menu_) return parent_->menu_;
  return parent_;
}

void TMenuItem::SetParentComponent(TComponent* Value) {
  if (parent_) parent_->Remove(this);
  if (auto* menu = dynamic_cast<TMenu*>(Value)) menu->Items()->Add(this);
  else if (auto* item = dynamic_cast<TMenuItem*>(Value)) item->Add(this);
}

void TMenuItem::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == sub_menu_images_) sub_menu_images_ = nullptr;
}

void TMenuItem::MeasureItem(TCanvas* ACanvas, int32_t& Width, int32_t& Height) {
  // An owner-drawn item that measures itself starts from the platform's defaults.
  if (IsOwnerDrawn() && on_measure_item_) {
    on_measure_item_(this, ACanvas, Width, Height);
    return;
  }
  DefaultMeasureItem(ACanvas, Width, Height);
}

void TMenuItem::AdvancedDrawItem(TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State, bool TopLevel) {
  if (IsOwnerDrawn()) {
    if (on_advanced_draw_item_) {
      on_advanced_draw_item_(this, ACanvas, ARect, State);
      return;
    }
    if (on_draw_item_) {
      on_draw_item_(this, ACanvas, ARect, State.Contains(odSelected));
      return;
    }
  }
  DefaultDrawItem(ACanvas, ARect, State, TopLevel);
}

void TMenuItem::DrawItem(TCanvas* ACanvas, const TRect& ARect, bool Selected) {
  if (IsOwnerDrawn() && on_draw_item_) {
    on_draw_item_(this, ACanvas, ARect, Selected);
    return;
  }
  TOwnerDrawState state;
  if (Selected) state += odSelected;
  const bool topLevel = parent_ && !parent_->parent_ && dynamic_cast<TMainMenu*>(GetParentMenu());
  DefaultDrawItem(ACanvas, ARect, state, topLevel);
}

void TMenuItem::MenuChanged(bool Rebuild) {
  TMenu* menu = GetParentMenu();
  if (!menu) return;
  menu->MenuChanged(this, parent_ ? this : nullptr, Rebuild);
}

// ---------------------------------------------------------------------------------------------
// Hot keys and line reduction

namespace {

// The hot-key character of a caption (lower-cased), 0 when none.
char HotkeyOf(const std::string& caption) {
  for (size_t i = 0; i + 1 < caption.size(); ++i) {
    if (caption[i] != '&') continue;
    if (caption[i + 1] == '&') {
      ++i;
      continue;
    }
    return static_cast<char>(std::tolower(static_cast<unsigned char>(caption[i + 1])));
  }
  return 0;
}

}  // namespace

void RethinkHotkeys(TMenuItem* Item) {
  if (!Item || !Item->AutoHotkeysActive()) return;
  std::vector<bool> used(256, false);
  for (int32_t i = 0; i < Item->Count(); ++i)
    if (char c = HotkeyOf(Item->Items(i)->Caption())) used[static_cast<unsigned char>(c)] = true;
  for (int32_t i = 0; i < Item->Count(); ++i) {
    TMenuItem* sub = Item->Items(i);
    const std::string& caption = sub->Caption();
    if (sub->IsLine() || caption.empty() || HotkeyOf(caption)) continue;
    for (size_t p = 0; p < caption.size(); ++p) {
      if (caption[p] == '&') {  // an escaped "&&"
        ++p;
        continue;
      }
      const unsigned char ch = static_cast<unsigned char>(caption[p]);
      if (!std::isalnum(ch)) continue;
      const char lower = static_cast<char>(std::tolower(ch));
      if (used[static_cast<unsigned char>(lower)]) continue;
      used[static_cast<unsigned char>(lower)] = true;
      // Set without a change notification: this runs while the menu is being built.
      sub->caption_.insert(p, 1, '&');
      break;
    }
  }
}

std::vector<TMenuItem*> VisibleMenuItems(TMenuItem* Parent) {
  std::vector<TMenuItem*> out;
  if (!Parent) return out;
  for (int32_t i = 0; i < Parent->Count(); ++i)
    if (Parent->Items(i)->Visible()) out.push_back(Parent->Items(i));
  if (!Parent->AutoLineReductionActive()) return out;
  std::vector<TMenuItem*> reduced;
  for (TMenuItem* item : out) {
    if (item->IsLine() && (reduced.empty() || reduced.back()->IsLine())) continue;
    reduced.push_back(item);
  }
  while (!reduced.empty() && reduced.back()->IsLine()) reduced.pop_back();
  return reduced;
}

// ---------------------------------------------------------------------------------------------
// TMenu

PX_CLASS_INFO(TMenu, TComponent, [](TPropertyBuilder<TMenu>& b) {
  b.Enum("AutoHotkeys", TypeInfo_TMenuAutoFlag(), &TMenu::AutoHotkeys, &TMenu::SetAutoHotkeys).Default(maAutomatic);
  b.Enum("AutoLineReduction", TypeInfo_TMenuAutoFlag(), &TMenu::AutoLineReduction, &TMenu::SetAutoLineReduction)
      .Default(maAutomatic);
  b.Object<TCustomImageList>("Images", &TMenu::Images, &TMenu::SetImages);
  b.Bool("OwnerDraw", &TMenu::OwnerDraw, &TMenu::SetOwnerDraw).Default(false);
  b.Event("OnChange", &TMenu::OnChange, &TMenu::SetOnChange);
})

TMenu::TMenu(TComponent* AOwner) : TComponent(AOwner), items_(std::make_unique<TMenuItem>(nullptr)) {
  px_menus::InstallHooks();
  items_->menu_ = this;
  image_change_link_ = std::make_unique<TChangeLink>();
  image_change_link_->SetOnChange(TNotifyEvent(this, &TMenu::ImageListChange));
  px_menus::RegisterMenu(this);
}

TMenu::~TMenu() {
  px_menus::UnregisterMenu(this);
  px_menus::MenuDestroying(this);
  if (images_) images_->UnRegisterChanges(image_change_link_.get());
  items_.reset();
}

void TMenu::SetImages(TCustomImageList* Value) {
  if (SetLinkedImageList(images_, Value, image_change_link_.get(), this)) UpdateItems();
}

void TMenu::ImageListChange(TObject*) { UpdateItems(); }

void TMenu::SetOwnerDraw(bool Value) {
  if (owner_draw_ == Value) return;
  owner_draw_ = Value;
  UpdateItems();
}

void TMenu::SetAutoHotkeys(TMenuAutoFlag Value) {
  if (auto_hotkeys_ == Value) return;
  auto_hotkeys_ = Value;
  UpdateItems();
}

void TMenu::SetAutoLineReduction(TMenuAutoFlag Value) {
  if (auto_line_reduction_ == Value) return;
  auto_line_reduction_ = Value;
  UpdateItems();
}

bool TMenu::IsShortCut(TWMKey& Message) {
  TShortCut sc = static_cast<TShortCut>(Message.CharCode & 0xFF);
  if (!sc) return false;
  if (GetKeyState(VK_SHIFT) < 0) sc |= scShift;
  if (GetKeyState(VK_CONTROL) < 0) sc |= scCtrl;
  if (KeyDataAltDown(Message.KeyData)) sc |= scAlt;
  TMenuItem* item = FindItem(sc, fkShortCut);
  if (!item) return false;
  const uint16_t command = item->Command();
  // The parents are clicked first, top-down, as opening them would: their OnClick may update
  // (or move, or remove) the item.
  std::vector<uint16_t> chain;
  for (TMenuItem* p = item->Parent(); p && p->Parent(); p = p->Parent()) chain.insert(chain.begin(), p->Command());
  for (uint16_t c : chain) {
    TMenuItem* p = FindItem(c, fkCommand);
    if (!p) return true;
    if (!p->Enabled()) return false;
    p->Click();
  }
  item = FindItem(command, fkCommand);
  if (!item || item->ShortCut() != sc) item = FindItem(sc, fkShortCut);
  if (!item) return true;
  if (!item->Enabled()) return false;
  item->Click();
  return true;
}

TMenuItem* TMenu::FindItem(uintptr_t Value, TFindItemKind Kind) {
  std::vector<TMenuItem*> stack{items_.get()};
  while (!stack.empty()) {
    TMenuItem* item = stack.back();
    stack.pop_back();
    if (item != items_.get()) {
      switch (Kind) {
        case fkCommand:
          if (item->Command() == Value) return item;
          break;
        case fkHandle:
          if (reinterpret_cast<uintptr_t>(item->handle_) == Value && Value) return item;
          break;
        case fkShortCut:
          if (item->ShortCut() == Value && Value) return item;
          break;
      }
    } else if (Kind == fkHandle && reinterpret_cast<uintptr_t>(item->handle_) == Value && Value) {
      return item;
    }
    for (int32_t i = item->Count() - 1; i >= 0; --i) stack.push_back(item->Items(i));
  }
  return nullptr;
}

bool TMenu::DispatchCommand(uint16_t ACommand) {
  TMenuItem* item = FindItem(ACommand, fkCommand);
  if (!item) return false;
  item->Click();
  return true;
}

bool TMenu::DispatchPopup(HMENU AMenu) {
  TMenuItem* item = FindItem(reinterpret_cast<uintptr_t>(AMenu), fkHandle);
  if (!item) return false;
  item->Click();
  return true;
}

void TMenu::UpdateItems() { MenuChanged(this, nullptr, true); }

void TMenu::Loaded() {
  TComponent::Loaded();
  MenuChanged(this, nullptr, true);
}

void TMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TComponent::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == images_) {
    images_ = nullptr;
    UpdateItems();
  }
}

void TMenu::MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) {
  if (ComponentState().Contains(csLoading) || ComponentState().Contains(csDestroying)) return;
  if (on_change_) on_change_(Sender, Source, Rebuild);
  px_menus::MenuChanged(this, Source, Rebuild);
}

// ---------------------------------------------------------------------------------------------
// TMainMenu

PX_CLASS_INFO(TMainMenu, TMenu)

TMainMenu::TMainMenu(TComponent* AOwner) : TMenu(AOwner) {}
TMainMenu::~TMainMenu() = default;

TCustomForm* TMainMenu::Form() const { return px_menus::FormOfMenu(this); }

HWND TMainMenu::WindowHandle() const {
  TCustomForm* form = Form();
  return form && form->HandleAllocated() ? form->Handle() : nullptr;
}

void TMainMenu::Loaded() {
  TMenu::Loaded();
  // The form was read before its menu's items: the bar is made now.
  auto* form = dynamic_cast<TCustomForm*>(Owner());
  if (form && form->Menu() == this && !Form() && MenuHooks().FormMenuChanged) MenuHooks().FormMenuChanged(form);
}

void TMainMenu::MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) {
  TMenu::MenuChanged(Sender, Source, Rebuild);
}

// ---------------------------------------------------------------------------------------------
// TPopupMenu

PX_CLASS_INFO(TPopupMenu, TMenu, [](TPropertyBuilder<TPopupMenu>& b) {
  b.Enum("Alignment", TypeInfo_TPopupAlignment(), &TPopupMenu::Alignment, &TPopupMenu::SetAlignment).Default(paLeft);
  b.Bool("AutoPopup", &TPopupMenu::AutoPopup, &TPopupMenu::SetAutoPopup).Default(true);
  b.Enum("TrackButton", TypeInfo_TTrackButton(), &TPopupMenu::TrackButton, &TPopupMenu::SetTrackButton)
      .Default(tbRightButton);
  b.Event("OnPopup", &TPopupMenu::OnPopup, &TPopupMenu::SetOnPopup);
})

TPopupMenu::TPopupMenu(TComponent* AOwner) : TMenu(AOwner) {}

TPopupMenu::~TPopupMenu() {
  if (popup_component_) popup_component_->RemoveFreeNotification(this);
}

void TPopupMenu::SetPopupComponent(TComponent* Value) {
  if (popup_component_ == Value) return;
  if (popup_component_) popup_component_->RemoveFreeNotification(this);
  popup_component_ = Value;
  if (Value) Value->FreeNotification(this);
}

void TPopupMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TMenu::Notification(AComponent, Operation);
  if (Operation == opRemove && AComponent == popup_component_) popup_component_ = nullptr;
}

void TPopupMenu::DoPopup(TObject* Sender) {
  if (on_popup_) on_popup_(Sender);
}

void TPopupMenu::Popup(int32_t X, int32_t Y) {
  popup_point_ = TPoint(X, Y);
  DoPopup(this);
  UINT flags = track_button_ == tbLeftButton ? TPM_LEFTBUTTON : TPM_RIGHTBUTTON;
  if (alignment_ == paRight) flags |= TPM_RIGHTALIGN;
  else if (alignment_ == paCenter) flags |= TPM_CENTERALIGN;
  px_menus::TrackMenu(Items(), flags, popup_point_, nullptr);
}

// ---------------------------------------------------------------------------------------------
// Registration

void MenusRegisterClasses() {
  px_menus::InstallHooks();
  RegisterClass(TMenuItem::StaticClass());
  RegisterClass(TMainMenu::StaticClass());
  RegisterClass(TPopupMenu::StaticClass());
}

// ---------------------------------------------------------------------------------------------
// Handle queries

int32_t GetMenuItemCount(HMENU Menu) {
  TMenuItem* item = px_menus::ItemFromHandle(Menu);
  return item ? static_cast<int32_t>(VisibleMenuItems(item).size()) : -1;
}

HMENU GetSubMenu(HMENU Menu, int32_t Pos) {
  TMenuItem* item = px_menus::ItemFromHandle(Menu);
  if (!item || Pos < 0) return nullptr;
  std::vector<TMenuItem*> items = VisibleMenuItems(item);
  if (Pos >= static_cast<int32_t>(items.size())) return nullptr;
  TMenuItem* sub = items[static_cast<size_t>(Pos)];
  return sub->Count() > 0 ? sub->Handle() : nullptr;
}

UINT GetMenuItemID(HMENU Menu, int32_t Pos) {
  TMenuItem* item = px_menus::ItemFromHandle(Menu);
  if (!item || Pos < 0) return 0xFFFFFFFFu;
  std::vector<TMenuItem*> items = VisibleMenuItems(item);
  if (Pos >= static_cast<int32_t>(items.size())) return 0xFFFFFFFFu;
  TMenuItem* sub = items[static_cast<size_t>(Pos)];
  return sub->Count() > 0 ? 0xFFFFFFFFu : sub->Command();
}

BOOL IsMenu(HMENU Menu) { return px_menus::ItemFromHandle(Menu) != nullptr; }
