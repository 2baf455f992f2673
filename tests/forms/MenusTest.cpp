#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Dialogs.h"
#include "platform/forms/Menus.h"
#include "platform/gdi/ImgList.h"
#include "platform/forms/StdCtrls.h"
#include "tests/forms/TestHost.h"

namespace {

// ---------------------------------------------------------------------------------------------
// Shortcuts

TEST(MenuShortCutTest, TextAndBack) {
  struct Case {
    TShortCut ShortCut;
    const char* Text;
  } cases[] = {
      {static_cast<TShortCut>(scCtrl | 'S'), "Ctrl+S"},
      {static_cast<TShortCut>(scShift | VK_F10), "Shift+F10"},
      {VK_DELETE, "Del"},
      {static_cast<TShortCut>(scAlt | VK_F4), "Alt+F4"},
      {static_cast<TShortCut>(scShift | scCtrl | scAlt | 'A'), "Shift+Ctrl+Alt+A"},
      {VK_NUMPAD5, "Num 5"},
      {static_cast<TShortCut>(scCtrl | VK_OEM_PLUS), "Ctrl+="},
      {VK_PRIOR, "PgUp"},
      {VK_RETURN, "Enter"},
      {static_cast<TShortCut>(scCtrl | VK_F12), "Ctrl+F12"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ShortCutToText(c.ShortCut), c.Text);
    EXPECT_EQ(TextToShortCut(c.Text), c.ShortCut) << c.Text;
  }
  EXPECT_EQ(TextToShortCut("ctrl+s"), static_cast<TShortCut>(scCtrl | 'S'));
  EXPECT_EQ(ShortCut('S', {ssCtrl, ssShift}), static_cast<TShortCut>(scCtrl | scShift | 'S'));
  uint16_t key = 0;
  TShiftState shift;
  ShortCutToKey(static_cast<TShortCut>(scAlt | VK_F4), key, shift);
  EXPECT_EQ(key, VK_F4);
  EXPECT_EQ(shift, TShiftState{ssAlt});
  // Text that names nothing, and keys without a name.
  for (const char* bad : {"", "Ctrl+", "Ctrl+Foo", "Shift+Ctrl+", "F25"}) EXPECT_EQ(TextToShortCut(bad), 0) << bad;
  EXPECT_EQ(ShortCutToText(0x07), "");
  EXPECT_EQ(ShortCut(0x1FF, {}), 0);
}

// ---------------------------------------------------------------------------------------------
// The item tree

TMenuItem* Item(TComponent* owner, TMenuItem* parent, const std::string& caption, TShortCut sc = 0) {
  auto* item = new TMenuItem(owner);  // owned by owner
  item->SetCaption(caption);
  item->SetShortCut(sc);
  if (parent) parent->Add(item);
  return item;
}

class MenuTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    MenusRegisterClasses();
    StdCtrlsRegisterClasses();
  }
  // A key with Ctrl held down.
  static void PressCtrl(uint16_t VK) {
    SimulateKey(true, VK_CONTROL, "", {ssCtrl});
    Press(VK, "", {ssCtrl});
    SimulateKey(false, VK_CONTROL);
  }
};

TEST_F(MenuTest, ItemTreeEditing) {
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);  // owned by owner
  TMenuItem* root = menu->Items();
  TMenuItem* a = Item(&owner, root, "&File");
  TMenuItem* b = Item(&owner, root, "Edit");
  TMenuItem* c = Item(&owner, nullptr, "&&Help");
  root->Insert(1, c);
  EXPECT_EQ(root->Count(), 3);
  EXPECT_EQ(root->Items(1), c);
  EXPECT_EQ(c->MenuIndex(), 1);
  EXPECT_EQ(root->Find("file"), a);
  EXPECT_EQ(root->Find("&&help"), c);  // "&&" is a literal "&"
  EXPECT_EQ(root->Find("Help"), nullptr);
  EXPECT_EQ(root->IndexOf(b), 2);
  EXPECT_EQ(a->GetParentMenu(), menu);
  EXPECT_EQ(a->GetParentComponent(), menu);
  EXPECT_THROW(root->Items(3), EMenuError);
  EXPECT_THROW(root->Add(a), EMenuError);    // inserted twice
  EXPECT_THROW(a->Add(a), EMenuError);       // into itself
  EXPECT_THROW(root->Insert(9, Item(&owner, nullptr, "x")), EMenuError);
  b->SetMenuIndex(0);
  EXPECT_EQ(root->Items(0), b);
  root->Remove(c);
  EXPECT_EQ(c->Parent(), nullptr);
  EXPECT_THROW(root->Remove(c), EMenuError);
  // A sub-menu goes with its parent (the owner's list forgets them all).
  TMenuItem* sub = Item(&owner, a, "Sub");
  Item(&owner, sub, "Leaf");
  const int before = owner.ComponentCount();
  delete a;  // owned by owner: taken out of its list by its destructor
  EXPECT_EQ(owner.ComponentCount(), before - 3);
  EXPECT_EQ(root->Count(), 1);
  root->Clear();
  EXPECT_EQ(root->Count(), 0);
}

TEST_F(MenuTest, RadioItemsUncheckTheirGroupOnly) {
  TComponent owner(nullptr);
  auto* menu = new TMainMenu(&owner);  // owned by owner
  TMenuItem* lang = Item(&owner, menu->Items(), "Languages");
  std::vector<TMenuItem*> items;
  for (int i = 0; i < 4; ++i) {
    TMenuItem* it = Item(&owner, lang, "L" + std::to_string(i));
    it->SetRadioItem(true);
    it->SetGroupIndex(i < 3 ? 1 : 2);
    items.push_back(it);
  }
  items[0]->SetChecked(true);
  items[3]->SetChecked(true);
  items[1]->SetChecked(true);
  EXPECT_FALSE(items[0]->Checked());
  EXPECT_TRUE(items[1]->Checked());
  EXPECT_TRUE(items[3]->Checked());  // another group
  // AutoCheck on a radio item checks it (never unchecks); on a plain item it toggles.
  items[2]->SetAutoCheck(true);
  items[2]->Click();
  items[2]->Click();
  EXPECT_TRUE(items[2]->Checked());
  EXPECT_FALSE(items[1]->Checked());
  TMenuItem* plain = Item(&owner, lang, "Plain");
  plain->SetAutoCheck(true);
  plain->Click();
  EXPECT_TRUE(plain->Checked());
  plain->Click();
  EXPECT_FALSE(plain->Checked());
  // One default item per sub-menu.
  items[0]->SetDefault(true);
  items[1]->SetDefault(true);
  EXPECT_FALSE(items[0]->Default());
  // A disabled item does not click.
  int clicks = 0;
  plain->SetOnClick([&](TObject*) { ++clicks; });
  plain->SetEnabled(false);
  plain->Click();
  EXPECT_EQ(clicks, 0);
}

TEST_F(MenuTest, AutomaticHotkeysAndLineReduction) {
  TComponent owner(nullptr);
  auto* menu = new TPopupMenu(&owner);  // owned by owner
  TMenuItem* root = menu->Items();
  Item(&owner, root, "-");
  TMenuItem* open = Item(&owner, root, "Open");
  TMenuItem* other = Item(&owner, root, "&Options");
  Item(&owner, root, "-");
  Item(&owner, root, "-");
  TMenuItem* save = Item(&owner, root, "Save");
  Item(&owner, root, "-");
  RethinkHotkeys(root);
  // "o" is taken by Options: Open gets "p"; Save its "S".
  EXPECT_EQ(open->Caption(), "O&pen");
  EXPECT_EQ(other->Caption(), "&Options");
  EXPECT_EQ(save->Caption(), "&Save");
  const std::vector<TMenuItem*> shown = VisibleMenuItems(root);
  ASSERT_EQ(shown.size(), 4u);  // leading, doubled and trailing separators dropped
  EXPECT_EQ(shown[0], open);
  EXPECT_TRUE(shown[2]->IsLine());
  menu->SetAutoLineReduction(maManual);
  EXPECT_EQ(VisibleMenuItems(root).size(), 7u);
  TMenuItem* manual = Item(&owner, root, "Manual");
  menu->SetAutoHotkeys(maManual);
  RethinkHotkeys(root);
  EXPECT_EQ(manual->Caption(), "Manual");
}

// ---------------------------------------------------------------------------------------------
// A form with a main menu: File (Open, -, Disabled, Recent >(A, B), Exit) and Edit (Copy).

struct MenuForm {
  std::unique_ptr<TForm> Form;
  TEdit* Edit = nullptr;
  TMainMenu* Menu = nullptr;
  TMenuItem *File, *Open, *Sep, *Disabled, *Recent, *A, *B, *Exit, *EditMenu, *Copy;
  std::vector<std::string> Clicks;
  std::map<TMenuItem*, TOwnerDrawState> States;
  std::map<TMenuItem*, TRect> Rects;
  std::map<TMenuItem*, TColor> Fill;
  std::map<TMenuItem*, HWND> Windows;

  explicit MenuForm(std::unique_ptr<TForm> form) : Form(std::move(form)) {
    TForm* f = Form.get();
    Edit = new TEdit(f);  // owned by the form
    Edit->SetParent(f);
    Menu = new TMainMenu(f);  // owned by the form
    File = Add(Menu->Items(), "&File");
    Open = Add(File, "&Open", static_cast<TShortCut>(scCtrl | 'O'));
    Sep = Add(File, "-");
    Disabled = Add(File, "&Disabled");
    Disabled->SetEnabled(false);
    Recent = Add(File, "&Recent");
    A = Add(Recent, "&A");
    B = Add(Recent, "&B");
    Exit = Add(File, "E&xit", static_cast<TShortCut>(scAlt | VK_F4));
    EditMenu = Add(Menu->Items(), "&Edit");
    Copy = Add(EditMenu, "&Copy", static_cast<TShortCut>(scCtrl | 'C'));
    f->SetMenu(Menu);
    Edit->SetFocus();
  }
  TMenuItem* Add(TMenuItem* parent, const std::string& caption, TShortCut sc = 0) {
    TMenuItem* it = Item(Form.get(), parent, caption, sc);
    it->SetOnClick([this, it](TObject*) { Clicks.push_back(it->Caption()); });
    return it;
  }
  // Owner draw: every item records its state and rectangle and fills its rectangle.
  void OwnerDraw(int32_t ItemHeight = 0) {
    Menu->SetOwnerDraw(true);
    std::vector<TMenuItem*> all{File, Open, Sep, Disabled, Recent, A, B, Exit, EditMenu, Copy};
    TColor color = 0x101010;
    for (TMenuItem* it : all) {
      Fill[it] = color;
      color += 0x080808;
      if (ItemHeight)
        it->SetOnMeasureItem([ItemHeight](TObject*, TCanvas*, int32_t& W, int32_t& H) {
          W = 60;
          H = ItemHeight;
        });
      it->SetOnAdvancedDrawItem([this, it](TObject*, TCanvas* C, const TRect& R, TOwnerDrawState S) {
        States[it] = S;
        Rects[it] = R;
        Windows[it] = WindowFromDC(C->Handle());
        C->Brush()->SetColor(S.Contains(odSelected) ? clRed : Fill[it]);
        C->FillRect(R);
      });
    }
  }
  bool Selected(TMenuItem* it) { return States[it].Contains(odSelected); }
  bool IsOpen(TMenuItem* it) { return MenuWindowFromMenu(it->Handle()) != nullptr; }
};

class MenuBarTest : public MenuTest {
 protected:
  std::unique_ptr<MenuForm> Make(int32_t ItemHeight = 0) {
    auto m = std::make_unique<MenuForm>(NewForm(400, 300));
    if (ItemHeight) m->OwnerDraw(ItemHeight);
    Pump();
    return m;
  }
  static void EnterMenu(TForm* f) { f->Perform(WM_SYSCOMMAND, SC_KEYMENU, 0); }
};

// A drop-down subclassed by handle, as a styled menu does: the messages that tell it is going.
std::vector<std::pair<UINT, WPARAM>> g_drop_seen;
LRESULT DropDownProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_SHOWWINDOW || msg == WM_CLOSE || msg == WM_DESTROY) g_drop_seen.emplace_back(msg, wParam);
  auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtr(wnd, GWL_USERDATA));
  return CallWindowProc(previous, wnd, msg, wParam, lParam);
}

TEST_F(MenuBarTest, DropDownsAreSubclassedShapedAndMovedByHandle) {
  auto m = Make(20);
  TWinControl* bar = m->Form->MenuBar();
  Click(bar, 5, 5);
  Pump();
  HWND drop = MenuWindowFromMenu(m->File->Handle());
  ASSERT_NE(drop, nullptr);
  EXPECT_EQ(m->Windows[m->Open], drop) << "items paint on their drop-down's DC";
  g_drop_seen.clear();
  SetWindowLongPtr(drop, GWL_USERDATA, GetWindowLongPtr(drop, GWL_WNDPROC));
  SetWindowLongPtr(drop, GWL_WNDPROC, reinterpret_cast<LONG_PTR>(&DropDownProc));
  TRect before;
  GetWindowRect(drop, &before);
  SetWindowRgn(drop, CreateRectRgn(1, 1, before.Width() - 18, before.Height() - 1), TRUE);
  // Moved 1 left and 2 up while shown: the items follow the window.
  SetWindowPos(drop, nullptr, before.Left - 1, before.Top - 2, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  TRect after;
  GetWindowRect(drop, &after);
  EXPECT_EQ(after.TopLeft(), TPoint(before.Left - 1, before.Top - 2));
  TRect open = m->Rects[m->Open];
  TPoint p(open.Left + 5, open.Top + 5);
  ClientToScreen(drop, &p);
  SimulateMouse(TSimMouseAction::Move, mbLeft, p);
  Pump();
  EXPECT_TRUE(m->Selected(m->Open));
  // Closing hides, closes and destroys it, each through the subclass.
  Press(VK_ESCAPE);
  Press(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(m->IsOpen(m->File));
  EXPECT_EQ(g_drop_seen, (std::vector<std::pair<UINT, WPARAM>>{{WM_SHOWWINDOW, 0}, {WM_CLOSE, 0}, {WM_DESTROY, 0}}));
  EXPECT_FALSE(IsWindow(drop));
}

TEST_F(MenuBarTest, BarTakesItsHeightFromTheItems) {
  auto m = Make();
  TForm* f = m->Form.get();
  ASSERT_NE(f->MenuBar(), nullptr);
  EXPECT_EQ(f->MenuBar()->Height(), GetSystemMetrics(SM_CYMENU));
  // The client area shrinks by the bar; taller measured items make a taller bar.
  const int32_t before = f->ClientHeight();
  EXPECT_EQ(before, 300 - GetSystemMetrics(SM_CYMENU));
  m->OwnerDraw(30);
  Pump();
  EXPECT_EQ(f->MenuBar()->Height(), 31);
  EXPECT_EQ(f->ClientHeight(), before - (31 - GetSystemMetrics(SM_CYMENU)));
  EXPECT_EQ(GetMenu(f->Handle()), m->Menu->Handle());
  TRect r;
  ASSERT_TRUE(GetMenuItemRect(f->Handle(), m->Menu->Handle(), 1, &r));
  EXPECT_EQ(r, TRect(f->MenuBar()->ClientToScreen(TPoint(60, 0)), f->MenuBar()->ClientToScreen(TPoint(120, 30))));
  // Without the menu the bar goes and the client area grows back.
  f->SetMenu(nullptr);
  Pump();
  EXPECT_EQ(f->MenuBar(), nullptr);
  EXPECT_EQ(f->ClientHeight(), before + GetSystemMetrics(SM_CYMENU));
}

TEST_F(MenuBarTest, KeyboardNavigation) {
  auto m = Make(20);
  TForm* f = m->Form.get();
  EnterMenu(f);
  Pump();
  EXPECT_TRUE(m->Selected(m->File));
  EXPECT_FALSE(m->States[m->File].Contains(odNoAccel));  // the keyboard shows accelerators
  Press(VK_RIGHT);
  Pump();
  EXPECT_TRUE(m->Selected(m->EditMenu));
  EXPECT_FALSE(m->Selected(m->File));
  Press(VK_RIGHT);  // wraps round
  Press(VK_DOWN);   // opens with the first item hot
  Pump();
  ASSERT_TRUE(m->IsOpen(m->File));
  EXPECT_TRUE(m->Selected(m->Open));
  Press(VK_DOWN);  // the separator is skipped, the disabled item is not
  Pump();
  EXPECT_TRUE(m->Selected(m->Disabled));
  Press(VK_RETURN);  // a disabled item runs nothing, the menu stays
  Pump();
  EXPECT_TRUE(m->IsOpen(m->File));
  Press(VK_DOWN);
  Press(VK_RIGHT);  // opens the sub-menu
  Pump();
  ASSERT_TRUE(m->IsOpen(m->Recent));
  EXPECT_TRUE(m->Selected(m->A));
  Press(VK_UP);  // wraps to the last
  Pump();
  EXPECT_TRUE(m->Selected(m->B));
  Press(VK_ESCAPE);  // closes one level
  Pump();
  EXPECT_FALSE(m->IsOpen(m->Recent));
  EXPECT_TRUE(m->IsOpen(m->File));
  Press(VK_UP);
  Press(VK_RIGHT);  // on a plain item: the next bar menu opens
  Pump();
  EXPECT_FALSE(m->IsOpen(m->File));
  EXPECT_TRUE(m->IsOpen(m->EditMenu));
  EXPECT_TRUE(m->Selected(m->Copy));
  Press(VK_LEFT);
  Press(VK_UP);  // wraps to Exit
  Press(VK_RETURN);
  EXPECT_FALSE(m->IsOpen(m->File));
  EXPECT_TRUE(m->Clicks.size() == 4u);  // the command is posted: it runs from the message loop
  Pump();
  EXPECT_EQ(m->Clicks, (std::vector<std::string>{"&File", "&Recent", "&Edit", "&File", "E&xit"}));
  // Keys reach the edit again.
  Press('Q', "q");
  EXPECT_EQ(m->Edit->Text(), "q");
}

TEST_F(MenuBarTest, MnemonicsAndEscape) {
  auto m = Make(20);
  TForm* f = m->Form.get();
  // Alt+F: the bar item of that mnemonic opens.
  f->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
  Pump();
  EXPECT_TRUE(m->IsOpen(m->File));
  EXPECT_TRUE(m->Selected(m->Open));
  Press('R');  // opens Recent
  Press('B');  // runs B
  Pump();
  EXPECT_FALSE(m->IsOpen(m->File));
  EXPECT_EQ(m->Clicks, (std::vector<std::string>{"&File", "&Recent", "&B"}));
  m->Clicks.clear();
  // Esc closes the drop-down, a second Esc leaves the menu; the edit gets no Esc.
  int escapes = 0;
  m->Edit->SetOnKeyDown([&](TObject*, uint16_t& Key, TShiftState) { escapes += Key == VK_ESCAPE; });
  f->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'e');
  Press(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(m->IsOpen(m->EditMenu));
  EXPECT_TRUE(m->Selected(m->EditMenu));
  Press(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(m->Selected(m->EditMenu));
  EXPECT_EQ(escapes, 0);
  Press(VK_ESCAPE);
  EXPECT_EQ(escapes, 1);
  // F10 enters the bar and leaves it.
  Press(VK_F10);
  Pump();
  EXPECT_TRUE(m->Selected(m->File));
  Press(VK_F10);
  Pump();
  EXPECT_FALSE(m->Selected(m->File));
  // A letter no item has leaves the menu open.
  f->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
  Press('Z');
  EXPECT_TRUE(m->IsOpen(m->File));
  EndMenu();
  EXPECT_FALSE(m->IsOpen(m->File));
}

TEST_F(MenuBarTest, AltKeysOpenTheBar) {
  auto m = Make(20);
  // Alt pressed and released alone: the bar in keyboard mode with the first item hot.
  Press(VK_MENU);
  Pump();
  EXPECT_TRUE(m->Selected(m->File));
  EXPECT_FALSE(m->IsOpen(m->File));
  EXPECT_FALSE(m->States[m->File].Contains(odNoAccel));
  Press(VK_DOWN);  // keys go to the menu, not to the edit
  Pump();
  EXPECT_TRUE(m->IsOpen(m->File));
  Press(VK_ESCAPE);
  // A second Alt leaves the menu; keys reach the edit again.
  Press(VK_MENU);
  Pump();
  EXPECT_FALSE(m->Selected(m->File));
  Press('Q', "q");
  EXPECT_EQ(m->Edit->Text(), "q");
  // Alt with another key or a click between is no menu key.
  for (int with_click = 0; with_click < 2; ++with_click) {
    SimulateKey(true, VK_MENU, "", {ssAlt});
    if (with_click) {
      MouseDown(m->Edit, 2, 2, mbLeft, {ssAlt});
      MouseUp(m->Edit, 2, 2, mbLeft, {ssAlt});
    } else {
      Press(VK_LEFT, "", {ssAlt});
    }
    SimulateKey(false, VK_MENU);
    Pump();
    EXPECT_FALSE(m->Selected(m->File)) << with_click;
    EXPECT_FALSE(m->Selected(m->EditMenu)) << with_click;
  }
  // Alt+F opens the drop-down of "&File"; releasing Alt keeps it open.
  Press('F', "f", {ssAlt});
  Pump();
  EXPECT_TRUE(m->IsOpen(m->File));
  EXPECT_TRUE(m->Selected(m->Open));
  EXPECT_GE(GetKeyState(VK_MENU), 0) << "Press let Alt go";
  Press(VK_ESCAPE);
  Press(VK_ESCAPE);
  Pump();
  EXPECT_FALSE(m->Selected(m->File));
  // Alt+letter no item has: a beep, no menu, nothing typed.
  TDialogScript::Start();
  Press('Z', "z", {ssAlt});
  Pump();
  const auto shown = TDialogScript::Shown();
  TDialogScript::Stop();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Kind, "MessageBeep");
  EXPECT_FALSE(m->Selected(m->File));
  EXPECT_FALSE(m->Selected(m->EditMenu));
  EXPECT_EQ(m->Edit->Text(), "q");
}

TEST_F(MenuBarTest, MouseOpensTracksAndChooses) {
  auto m = Make(20);
  TWinControl* bar = m->Form->MenuBar();
  // Hovering shows the hot item; pressing opens its drop-down without a hot item.
  MouseMove(bar, 5, 5);
  Pump();
  EXPECT_TRUE(m->States[m->File].Contains(odHotLight));
  MouseDown(bar, 5, 5);
  MouseUp(bar, 5, 5);
  Pump();
  ASSERT_TRUE(m->IsOpen(m->File));
  EXPECT_TRUE(m->Selected(m->File));
  EXPECT_TRUE(m->States[m->File].Contains(odNoAccel));
  EXPECT_FALSE(m->Selected(m->Open));
  // Moving over the next bar item switches the drop-down.
  MouseMove(bar, 65, 5);
  Pump();
  EXPECT_TRUE(m->IsOpen(m->EditMenu));
  EXPECT_FALSE(m->IsOpen(m->File));
  MouseMove(bar, 5, 5);
  Pump();
  // Hovering over a sub-menu item opens it after the menu delay.
  HWND drop = MenuWindowFromMenu(m->File->Handle());
  ASSERT_NE(drop, nullptr);
  TWinControl* dropControl = FindControl(drop);
  ASSERT_NE(dropControl, nullptr);
  const TRect recent = m->Rects[m->Recent];
  MouseMove(dropControl, recent.Left + 5, recent.Top + 5);
  Pump();
  EXPECT_TRUE(m->Selected(m->Recent));
  EXPECT_FALSE(m->IsOpen(m->Recent));
  AdvanceTime(400);
  EXPECT_TRUE(m->IsOpen(m->Recent));
  // A click on a plain item runs it.
  const TRect open = m->Rects[m->Open];
  MouseMove(dropControl, open.Left + 5, open.Top + 5);
  Click(dropControl, open.Left + 5, open.Top + 5);
  Pump();
  EXPECT_FALSE(m->IsOpen(m->File));
  EXPECT_EQ(m->Clicks.back(), "&Open");
  // A press outside closes the menu and reaches nothing.
  MouseDown(bar, 5, 5);
  MouseUp(bar, 5, 5);
  const size_t clicks = m->Clicks.size();
  MouseDown(m->Form.get(), 350, 250);
  MouseUp(m->Form.get(), 350, 250);
  Pump();
  EXPECT_FALSE(m->IsOpen(m->File));
  EXPECT_EQ(m->Clicks.size(), clicks);
}

TEST_F(MenuBarTest, ItemsMeasureAndPaintThemselves) {
  auto m = Make(20);
  m->Form->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
  Pump();
  HWND drop = MenuWindowFromMenu(m->File->Handle());
  ASSERT_NE(drop, nullptr);
  // Items fill the client area from the top, as wide as the widest, as high as measured.
  TRect client;
  GetClientRect(drop, &client);
  EXPECT_EQ(client, TRect(0, 0, 60, 5 * 20));
  EXPECT_EQ(m->Rects[m->Open], TRect(0, 0, 60, 20));
  EXPECT_EQ(m->Rects[m->Exit], TRect(0, 80, 60, 100));
  EXPECT_TRUE(m->States[m->Disabled].Contains(odDisabled));
  EXPECT_TRUE(m->States[m->Disabled].Contains(odGrayed));
  EXPECT_EQ(m->Windows[m->Open], drop);  // the canvas is the drop-down window's
  // Menu-bar items get the form window's coordinates, as on the platform.
  TRect fr;
  GetWindowRect(m->Form->Handle(), &fr);
  const TPoint bar = m->Form->MenuBar()->ClientToScreen(TPoint(0, 0));
  EXPECT_EQ(m->Rects[m->EditMenu], Bounds(bar.X - fr.Left + 60, bar.Y - fr.Top, 60, 20));
  // What the items drew is on the window: the hot one red, the others their colour.
  EXPECT_EQ(ClientPixel(drop, 5, 5), static_cast<TColorRef>(ColorToRGB(clRed)));
  EXPECT_EQ(ClientPixel(drop, 59, 85), static_cast<TColorRef>(m->Fill[m->Exit]));
  // The platform's rectangles of the items.
  TRect r;
  ASSERT_TRUE(GetMenuItemRect(nullptr, m->File->Handle(), 4, &r));
  TPoint origin(0, 0);
  ClientToScreen(drop, &origin);
  EXPECT_EQ(r, TRect(origin.X, origin.Y + 80, origin.X + 60, origin.Y + 100));
  EXPECT_FALSE(GetMenuItemRect(nullptr, m->File->Handle(), 5, &r));
  // The classic frame of the drop-down window.
  TRect wr;
  GetWindowRect(drop, &wr);
  EXPECT_EQ(wr.Width(), 60 + 2 * GetSystemMetrics(SM_CXDLGFRAME));
  EndMenu();
}

TEST_F(MenuBarTest, OwnerDrawnItemsMeasureFromThePlatformDefaults) {
  auto m = Make();
  m->Menu->SetOwnerDraw(true);
  std::map<TMenuItem*, TSize> given;
  for (TMenuItem* it : {m->File, m->Open}) {
    it->SetOnMeasureItem([&given, it](TObject*, TCanvas*, int32_t& W, int32_t& H) {
      given[it] = TSize(W, H);
      W = 50;
      H = 20;
    });
  }
  m->Form->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
  Pump();
  EXPECT_EQ(given[m->File], TSize(0, GetSystemMetrics(SM_CYMENU) - 1));
  EXPECT_EQ(given[m->Open], TSize(0, GetSystemMetrics(SM_CYMENU) - 2));
  EndMenu();
}

TEST_F(MenuBarTest, ClassicLookWithoutOwnerDraw) {
  auto m = Make();
  m->Open->SetChecked(true);
  TForm* f = m->Form.get();
  f->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
  Pump();
  HWND drop = MenuWindowFromMenu(m->File->Handle());
  ASSERT_NE(drop, nullptr);
  TRect open, sep, recent;
  ASSERT_TRUE(GetMenuItemRect(nullptr, m->File->Handle(), 0, &open));
  ASSERT_TRUE(GetMenuItemRect(nullptr, m->File->Handle(), 1, &sep));
  ASSERT_TRUE(GetMenuItemRect(nullptr, m->File->Handle(), 3, &recent));
  EXPECT_EQ(open.Height(), GetSystemMetrics(SM_CYMENU) - 2);
  EXPECT_EQ(sep.Height(), 9);
  TPoint o(0, 0);
  ClientToScreen(drop, &o);
  const int32_t sepTop = sep.Top - o.Y, recentTop = recent.Top - o.Y, right = recent.Right - o.X;
  // The hot item in the highlight colours with its check mark; the sub-menu arrow; the etched line.
  EXPECT_EQ(ClientPixel(drop, 1, 1), static_cast<TColorRef>(ColorToRGB(clHighlight)));
  EXPECT_EQ(ClientPixel(drop, 6, 7), static_cast<TColorRef>(ColorToRGB(clHighlightText)));
  EXPECT_EQ(ClientPixel(drop, right - 11, recentTop + 8), static_cast<TColorRef>(ColorToRGB(clMenuText)));
  EXPECT_EQ(ClientPixel(drop, 10, sepTop + 3), static_cast<TColorRef>(ColorToRGB(clBtnShadow)));
  EXPECT_EQ(ClientPixel(drop, 10, sepTop + 4), static_cast<TColorRef>(ColorToRGB(clBtnHighlight)));
  EXPECT_EQ(ClientPixel(drop, 1, sepTop + 1), static_cast<TColorRef>(ColorToRGB(clMenu)));
  // The open bar item is sunken.
  EXPECT_EQ(Pixel(f->MenuBar(), 0, 0), static_cast<TColorRef>(ColorToRGB(clBtnShadow)));
  EndMenu();
  // With an image list the items grow to the images and show theirs.
  TImageList images(16, 16);
  TBitmap glyph;
  glyph.SetSize(16, 16);
  glyph.Canvas()->Brush()->SetColor(clLime);
  glyph.Canvas()->FillRect(TRect(0, 0, 16, 16));
  images.AddMasked(&glyph, clFuchsia);
  m->Menu->SetImages(&images);
  m->Exit->SetImageIndex(0);
  f->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
  Pump();
  TRect exit;
  ASSERT_TRUE(GetMenuItemRect(nullptr, m->File->Handle(), 4, &exit));
  EXPECT_EQ(exit.Height(), 20);
  drop = MenuWindowFromMenu(m->File->Handle());
  EXPECT_EQ(ClientPixel(drop, 11, exit.Top - o.Y + 10), static_cast<TColorRef>(ColorToRGB(clLime)));
  EndMenu();
  m->Menu->SetImages(nullptr);
}

TEST_F(MenuBarTest, ShortCutsFromTheForm) {
  auto m = Make();
  // Ctrl+O in the edit runs Open after clicking File (its parent).
  PressCtrl('O');
  EXPECT_EQ(m->Clicks, (std::vector<std::string>{"&File", "&Open"}));
  EXPECT_EQ(m->Edit->Text(), "");
  // An invisible item's shortcut still works; a disabled one lets the key through.
  m->Clicks.clear();
  m->Copy->SetVisible(false);
  PressCtrl('C');
  EXPECT_EQ(m->Clicks, (std::vector<std::string>{"&Edit", "&Copy"}));
  m->Clicks.clear();
  m->EditMenu->SetEnabled(false);
  int keys = 0;
  m->Edit->SetOnKeyDown([&](TObject*, uint16_t& Key, TShiftState) { keys += Key == 'C'; });
  PressCtrl('C');
  EXPECT_TRUE(m->Clicks.empty());
  EXPECT_EQ(keys, 1);
  // A parent's OnClick that moves the shortcut to another item: that one runs.
  m->File->SetOnClick([&](TObject*) {
    m->Open->SetShortCut(0);
    m->Exit->SetShortCut(static_cast<TShortCut>(scCtrl | 'O'));
  });
  PressCtrl('O');
  EXPECT_EQ(m->Clicks, (std::vector<std::string>{"E&xit"}));
}

TEST_F(MenuBarTest, OpeningClicksTheParentFirst) {
  auto m = Make(20);
  // File's OnClick disables Open before the drop-down is measured and painted.
  m->File->SetOnClick([&](TObject*) { m->Open->SetEnabled(false); });
  m->Form->Perform(WM_SYSCOMMAND, SC_KEYMENU, 'f');
  Pump();
  EXPECT_TRUE(m->States[m->Open].Contains(odDisabled));
  // An item removed while its menu is shown closes the menu.
  delete m->Recent;  // owned by the form: leaves its owner's list
  EXPECT_FALSE(m->IsOpen(m->File));
  m->Recent = nullptr;
}

// ---------------------------------------------------------------------------------------------
// Pop-up menus

TEST_F(MenuTest, PopupRunsModallyAndPostsTheCommand) {
  std::unique_ptr<TForm> form = NewForm(300, 200);
  auto* edit = new TEdit(form.get());  // owned by the form
  edit->SetParent(form.get());
  edit->SetFocus();
  auto* popup = new TPopupMenu(form.get());  // owned by the form
  std::vector<std::string> log;
  auto add = [&](const std::string& caption) {
    TMenuItem* it = Item(form.get(), popup->Items(), caption);
    it->SetOnClick([&log, it](TObject*) { log.push_back(it->Caption()); });
    return it;
  };
  add("&One");
  add("-");
  add("&Two");
  // The menu loop runs inside Popup: the script queued by OnPopup plays the keys there.
  HWND shown = nullptr;
  TRect shownRect;
  popup->SetOnPopup([&](TObject*) {
    log.push_back("popup");
    Application()->QueueCall([&] {
      shown = MenuWindowFromMenu(popup->Items()->Handle());
      GetWindowRect(shown, &shownRect);
      Press(VK_DOWN);
      Press(VK_DOWN);
      Press(VK_RETURN);
    });
    Application()->QueueCall([] { EndMenu(); });  // in case the keys did not close it
  });
  popup->Popup(150, 150);
  EXPECT_NE(shown, nullptr);
  EXPECT_EQ(shownRect.TopLeft(), TPoint(150, 150));  // left-aligned at the point
  EXPECT_EQ(log, (std::vector<std::string>{"popup"}));
  Pump();
  EXPECT_EQ(log, (std::vector<std::string>{"popup", "&Two"}));
  // TrackPopupMenu answers the command itself with TPM_RETURNCMD and posts nothing.
  log.clear();
  Application()->QueueCall([&] { Press('O'); });
  Application()->QueueCall([] { EndMenu(); });
  const BOOL cmd = TrackPopupMenu(popup->Items()->Handle(), TPM_RETURNCMD, 150, 150, 0, nullptr, nullptr);
  EXPECT_EQ(static_cast<uint16_t>(cmd), popup->Items()->Items(0)->Command());
  Pump();
  EXPECT_TRUE(log.empty());
  // Right-aligned: the window ends at the point.
  popup->SetAlignment(paRight);
  popup->SetOnPopup([&](TObject*) {
    Application()->QueueCall([&] {
      GetWindowRect(MenuWindowFromMenu(popup->Items()->Handle()), &shownRect);
      EndMenu();
    });
  });
  popup->Popup(150, 150);
  EXPECT_EQ(shownRect.Right, 150);
  // A click on an item of the pop-up window chooses it.
  Application()->QueueCall([&] {
    TWinControl* window = FindControl(MenuWindowFromMenu(popup->Items()->Handle()));
    TRect r;
    if (!window || !GetMenuItemRect(nullptr, popup->Items()->Handle(), 2, &r)) return;
    const TPoint at = window->ScreenToClient(TPoint(r.Left + 3, r.Top + 3));
    MouseMove(window, at.X, at.Y);
    Click(window, at.X, at.Y);
  });
  Application()->QueueCall([] { EndMenu(); });
  const BOOL clicked = TrackPopupMenu(popup->Items()->Handle(), TPM_RETURNCMD, 150, 150, 0, nullptr, nullptr);
  EXPECT_EQ(static_cast<uint16_t>(clicked), popup->Items()->Items(2)->Command());
  // Esc cancels.
  Application()->QueueCall([&] { Press(VK_ESCAPE); });
  Application()->QueueCall([] { EndMenu(); });
  EXPECT_EQ(TrackPopupMenu(popup->Items()->Handle(), TPM_RETURNCMD, 150, 150, 0, nullptr, nullptr), 0);
}

TEST_F(MenuTest, RightClickShowsTheControlsPopupMenu) {
  std::unique_ptr<TForm> form = NewForm(300, 200);
  auto* edit = new TEdit(form.get());  // owned by the form
  edit->SetParent(form.get());
  auto* popup = new TPopupMenu(form.get());  // owned by the form
  Item(form.get(), popup->Items(), "Item");
  edit->SetPopupMenu(popup);
  EXPECT_EQ(edit->PopupMenu(), popup);
  bool shown = false;
  TComponent* component = nullptr;
  popup->SetOnPopup([&](TObject*) {
    shown = true;
    component = popup->PopupComponent();
    Application()->QueueCall([] { EndMenu(); });
  });
  MouseDown(edit, 5, 5, mbRight);
  MouseUp(edit, 5, 5, mbRight);
  EXPECT_TRUE(shown);
  EXPECT_EQ(component, edit);
  EXPECT_EQ(popup->PopupPoint(), edit->ClientToScreen(TPoint(5, 5)));
  // Without AutoPopup nothing shows.
  shown = false;
  popup->SetAutoPopup(false);
  MouseDown(edit, 5, 5, mbRight);
  MouseUp(edit, 5, 5, mbRight);
  EXPECT_FALSE(shown);
  // The pop-up menu's shortcuts work in its control.
  int clicks = 0;
  popup->Items()->Items(0)->SetShortCut(static_cast<TShortCut>(scCtrl | 'K'));
  popup->Items()->Items(0)->SetOnClick([&](TObject*) { ++clicks; });
  edit->SetFocus();
  PressCtrl('K');
  EXPECT_EQ(clicks, 1);
}

TEST_F(MenuTest, SystemParameters) {
  NONCLIENTMETRICS m;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, sizeof m, &m, 0));
  EXPECT_EQ(m.iMenuHeight, 18);
  EXPECT_EQ(m.iMenuWidth, 18);
  EXPECT_STREQ(m.lfMenuFont.lfFaceName, "Tahoma");
  m.cbSize = 340;
  EXPECT_FALSE(SystemParametersInfo(SPI_GETNONCLIENTMETRICS, 340, &m, 0));
  BOOL animation = 2;
  ASSERT_TRUE(SystemParametersInfo(SPI_GETMENUANIMATION, 0, &animation, 0));
  const BOOL saved = animation;
  SystemParametersInfo(SPI_SETMENUANIMATION, 0, nullptr, SPIF_SENDCHANGE);
  SystemParametersInfo(SPI_GETMENUANIMATION, 0, &animation, 0);
  EXPECT_EQ(animation, 0);
  SystemParametersInfo(SPI_SETMENUANIMATION, 0, reinterpret_cast<void*>(static_cast<intptr_t>(saved)), 0);
  EXPECT_FALSE(SystemParametersInfo(0xFFFF, 0, nullptr, 0));
}

}  // namespace
