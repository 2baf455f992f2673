// The owner-drawn main menu.
#include "controls/CvMenus.h"

#include "controls/CvMenuStylers.h"
#include "controls/CvMenuUtil.h"
#include "platform/forms/Forms.h"

namespace {

// The drop-down's shape cuts this much off the right of every item.
constexpr int32_t kShadowWidth = 17;

bool IsBarItem(const TMenuItem* Item) {
  const TMenuItem* parent = Item->Parent();
  return parent && !parent->Parent() && dynamic_cast<TMainMenu*>(Item->GetParentMenu());
}

}  // namespace

ICvMenu* MenuInterfaceOf(const TMenuItem* Item) {
  if (!Item) return nullptr;
  TComponent* menu = Item->GetParentMenu();
  if (!menu) menu = Item->Owner();
  return dynamic_cast<TCvMainMenu*>(menu);
}

bool ReadMenuMetrics(int32_t& MenuWidth, int32_t& MenuHeight) {
  NONCLIENTMETRICS m;
  if (!SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof(NONCLIENTMETRICS), &m, 0)) return false;
  MenuWidth = m.iMenuWidth;
  MenuHeight = m.iMenuHeight;
  return true;
}

void HookMenuForm(ICvMenu* Menu, bool UpdateNow, bool Force) {
  if (!Menu || !Menu->GetMenu()) return;
  if (UpdateNow || Force) Menu->UpdateItems();
}

void AssignMenuItemHandlers(TCvMainMenu* Menu, TMenuItem* Item, bool Recursive, bool KeepOwn) {
  if (!Menu || Menu->ComponentState().Contains(csLoading)) return;
  const TAdvancedMenuDrawItemEvent draw(Menu, &TCvMainMenu::MenuItemDrawHandler);
  const TMenuMeasureItemEvent measure(Menu, &TCvMainMenu::MenuItemMeasureHandler);
  auto assign = [&](TMenuItem* it, auto& self) -> void {
    if (!(it->OnAdvancedDrawItem() == draw)) {
      if (!KeepOwn || !it->OnMeasureItem()) it->SetOnMeasureItem(measure);
      if (!KeepOwn || (!it->OnAdvancedDrawItem() && !it->OnDrawItem())) it->SetOnAdvancedDrawItem(draw);
    }
    if (Recursive)
      for (int32_t i = 0; i < it->Count(); ++i) self(it->Items(i), self);
  };
  if (Item) {
    assign(Item, assign);
    return;
  }
  TMenuItem* root = Menu->Items();
  for (int32_t i = 0; i < root->Count(); ++i) {
    TMenuItem* it = root->Items(i);
    if (Recursive) {
      assign(it, assign);
    } else {
      if (!(it->OnAdvancedDrawItem() == draw)) {
        if (!KeepOwn || !it->OnMeasureItem()) it->SetOnMeasureItem(measure);
        if (!KeepOwn || (!it->OnAdvancedDrawItem() && !it->OnDrawItem())) it->SetOnAdvancedDrawItem(draw);
      }
    }
  }
}

// =============================================================================================
// TCvMainMenu

PX_CLASS_INFO(TCvMainMenu, TMainMenu, [](TPropertyBuilder<TCvMainMenu>& b) {
  using C = TCvMainMenu;
  b.Object<TCustomCvMenuStyler>("MenuStyler", &C::MenuStyler, &C::SetMenuStyler);
  b.Str("Version", &C::Version, &C::SetVersion);
  b.Redeclare("OwnerDraw").Default(true);
})

TCvMainMenu::TCvMainMenu(TComponent* AOwner) : TMainMenu(AOwner) {
  SetOwnerDraw(true);
  MakeInternalStyler();
}

TCvMainMenu::~TCvMainMenu() {
  if (assigned_) {
    DetachStyler(assigned_);
    assigned_->RemoveFreeNotification(this);
  }
  assigned_ = nullptr;
  current_ = nullptr;
  delete internal_;  // owned by the menu
  internal_ = nullptr;
}

void TCvMainMenu::MakeInternalStyler() {
  internal_ = new TCvMenuStyler(this);  // owned by the menu
  internal_->SetName("InternalMenuStyler");
  internal_->SetSubComponent(true);
  current_ = internal_;
  assigned_ = nullptr;
  AttachCurrent();
}

void TCvMainMenu::AttachCurrent() {
  current_->AttachToMenu(this);
  current_->Font()->SetOnChange(TNotifyEvent(this, &TCvMainMenu::StylerFontChanged));
}

void TCvMainMenu::StylerFontChanged(TObject*) { HookMenuForm(this, false, false); }

void TCvMainMenu::DetachStyler(TCustomCvMenuStyler* Styler) {
  Styler->AttachToMenu(nullptr);
  Styler->Font()->SetOnChange(nullptr);
}

void TCvMainMenu::SetMenuStyler(TCustomCvMenuStyler* Value) {
  if (Value == assigned_) return;
  if (assigned_ && assigned_ != internal_) {
    DetachStyler(assigned_);
    assigned_->RemoveFreeNotification(this);
  }
  if (Value) {
    if (internal_ && !ComponentState().Contains(csLoading)) {
      delete internal_;  // owned by the menu
      internal_ = nullptr;
    }
    assigned_ = Value;
    current_ = Value;
    Value->FreeNotification(this);
    AttachCurrent();
    return;
  }
  if (internal_) delete internal_;  // owned by the menu
  internal_ = nullptr;
  MakeInternalStyler();
}

void TCvMainMenu::Notification(TComponent* AComponent, TOperation Operation) {
  TMainMenu::Notification(AComponent, Operation);
  if (Operation != opRemove) return;
  if (AComponent == internal_) {
    internal_ = nullptr;
    if (current_ == AComponent) current_ = assigned_;
  }
  if (AComponent == assigned_) {
    const bool ownStyler = assigned_->Owner() == this;
    assigned_ = nullptr;
    current_ = internal_;
    if (!ComponentState().Contains(csDestroying) && !ownStyler) MakeInternalStyler();
  }
}

void TCvMainMenu::Loaded() {
  TMainMenu::Loaded();
  SetOwnerDraw(true);
  AssignMenuItemHandlers(this, nullptr, true, true);
  if (assigned_ && internal_) {
    delete internal_;  // owned by the menu
    internal_ = nullptr;
  }
  // Measures the bar again.
  if (Items()->Count() > 0) {
    Items()->Items(0)->SetVisible(false);
    Items()->Items(0)->SetVisible(true);
  }
  HookMenuForm(this, false, false);
}

void TCvMainMenu::MenuChanged(TObject* Sender, TMenuItem* Source, bool Rebuild) {
  if (updating_) AssignMenuItemHandlers(this, Source, true, true);
  else HookMenuForm(this, false, false);
  (void)Rebuild;
  TMainMenu::MenuChanged(Sender, Source, true);
}

void TCvMainMenu::BeginMenuUpdate() {
  updating_ = true;
  ++update_count_;
}

void TCvMainMenu::EndMenuUpdate() {
  if (update_count_ > 0) --update_count_;
  if (update_count_ > 0) return;
  AssignMenuItemHandlers(this, nullptr, true, true);
  if (HWND wnd = WindowHandle()) DrawMenuBar(wnd);
  updating_ = false;
}

void TCvMainMenu::MenuItemMeasureHandler(TObject* Sender, TCanvas* ACanvas, int32_t& Width, int32_t& Height) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  MeasureMenuItem(item, ACanvas, MenuSideBarShown(item), Width, Height);
}

void TCvMainMenu::MenuItemDrawHandler(TObject* Sender, TCanvas* ACanvas, const TRect& ARect, TOwnerDrawState State) {
  auto* item = dynamic_cast<TMenuItem*>(Sender);
  if (!item) return;
  TRect r = ARect;
  if (!IsBarItem(item)) r.Right -= kShadowWidth;
  DrawMenuItem(item, ACanvas, r, MenuSideBarShown(item), State);
}

void CvMenusRegisterClasses() {
  RegisterClass(TCvMainMenu::StaticClass());
  CvMenuStylersRegisterClasses();
}
