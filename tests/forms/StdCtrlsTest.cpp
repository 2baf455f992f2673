#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Clipbrd.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/Mask.h"
#include "platform/forms/Menus.h"
#include "platform/forms/StdCtrls.h"
#include "platform/gdi/WinGdi_text.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

class StdCtrlsTest : public FormsTest {
 protected:
  void SetUp() override {
    FormsTest::SetUp();
    StdCtrlsRegisterClasses();
    ExtCtrlsRegisterClasses();
    MaskRegisterClasses();
    MenusRegisterClasses();
    form_ = NewForm(400, 300);
  }
  void TearDown() override {
    form_.reset();
    FormsTest::TearDown();
  }
  template <class T>
  T* Make(int32_t X, int32_t Y, int32_t W = 0, int32_t H = 0) {
    auto* c = new T(form_.get());  // owned by the form
    if (W) c->SetBounds(X, Y, W, H);
    else c->SetBounds(X, Y, c->Width(), c->Height());
    c->SetParent(form_.get());
    return c;
  }
  // A key pressed while the modifier keys are held.
  static void Chord(const std::vector<uint16_t>& Mods, uint16_t VK, const std::string& Text = "") {
    TShiftState s;
    for (uint16_t m : Mods) {
      s += m == VK_SHIFT ? ssShift : m == VK_CONTROL ? ssCtrl : ssAlt;
      SimulateKey(true, m, "", s);
    }
    Press(VK, Text, s);
    for (uint16_t m : Mods) SimulateKey(false, m);
  }
  static void Type(const std::string& Text) {
    for (char c : Text) {
      const uint16_t vk = c >= 'a' && c <= 'z' ? static_cast<uint16_t>(c - 32) : static_cast<uint16_t>(c);
      Press(vk, std::string(1, c));
    }
  }
  static TColorRef Rgb(TColor c) { return static_cast<TColorRef>(ColorToRGB(c)); }
  std::unique_ptr<TForm> form_;
};

// ---------------------------------------------------------------------------------------------
// TLabel

TEST_F(StdCtrlsTest, LabelAutoSizeIsDrawTextCalcRect) {
  struct Case {
    const char* Caption;
    bool WordWrap;
    int32_t Width;
    TAlignment Alignment;
    int32_t FontHeight;
  } cases[] = {
      {"Hello", false, 65, taLeftJustify, -11},
      {"", false, 65, taLeftJustify, -11},
      {"&File", false, 65, taLeftJustify, -11},
      {"Two\r\nlines", false, 65, taLeftJustify, -11},
      {"Tab\tstop", false, 65, taLeftJustify, -11},
      {"a long caption that has to wrap", true, 60, taLeftJustify, -11},
      {"Right", false, 120, taRightJustify, -16},
  };
  {
    TLabel fresh(nullptr);  // a new label keeps its size until its caption changes
    EXPECT_EQ(TSize(fresh.Width(), fresh.Height()), TSize(65, 17));
  }
  for (const Case& c : cases) {
    auto* label = Make<TLabel>(50, 20, c.Width, 17);
    label->Font()->SetHeight(c.FontHeight);
    label->SetWordWrap(c.WordWrap);
    label->SetAlignment(c.Alignment);
    label->SetBounds(50, 20, c.Width, 17);
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, label->Font()->Handle());
    TRect r(0, 0, c.Width, 17);
    const std::string text = *c.Caption ? c.Caption : " ";
    DrawText(dc, text, &r, DT_CALCRECT | DT_EXPANDTABS | (c.WordWrap ? UINT{DT_WORDBREAK} : 0u));
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    if (!*c.Caption) label->SetCaption("x");  // an empty caption is measured when it becomes empty
    label->SetCaption(c.Caption);
    EXPECT_EQ(label->Width(), r.Right) << c.Caption;
    EXPECT_EQ(label->Height(), r.Bottom) << c.Caption;
    // A right-justified label keeps its right edge.
    EXPECT_EQ(label->Left() + label->Width(), c.Alignment == taRightJustify ? 50 + c.Width : 50 + r.Right);
    delete label;  // owned by the form: leaves its list
  }
}

TEST_F(StdCtrlsTest, LabelPaintsAndFocusesByAccelerator) {
  auto* label = Make<TLabel>(10, 10);
  label->SetAutoSize(false);
  label->SetBounds(10, 10, 80, 20);
  label->SetParentColor(false);
  label->SetColor(clYellow);
  label->SetCaption("&Name");
  auto* edit = Make<TEdit>(10, 40);
  auto* other = Make<TEdit>(10, 80);
  other->SetFocus();
  label->SetFocusControl(edit);
  Pump();
  EXPECT_EQ(Pixel(form_.get(), 88, 28), Rgb(clYellow));
  bool ink = false;
  for (int32_t x = 10; x < 40; ++x)
    for (int32_t y = 10; y < 30; ++y) ink = ink || Pixel(form_.get(), x, y) != Rgb(clYellow);
  EXPECT_TRUE(ink);
  // Alt+N focuses the edit; a transparent label leaves the form's colour.
  Chord({VK_MENU}, 'N', "n");
  EXPECT_TRUE(edit->Focused());
  label->SetTransparent(true);
  Pump();
  EXPECT_EQ(Pixel(form_.get(), 88, 28), Pixel(form_.get(), 95, 28));
}

// ---------------------------------------------------------------------------------------------
// Buttons

TEST_F(StdCtrlsTest, ButtonClicksByMouseKeysAndDialogKeys) {
  auto* ok = Make<TButton>(10, 10);
  auto* cancel = Make<TButton>(100, 10);
  auto* edit = Make<TEdit>(10, 50);
  ok->SetCaption("&Go");
  ok->SetModalResult(mrOk);
  ok->SetDefault(true);
  cancel->SetCancel(true);
  cancel->SetModalResult(mrCancel);
  std::vector<std::string> log;
  ok->SetOnClick([&](TObject*) { log.push_back("ok"); });
  cancel->SetOnClick([&](TObject*) { log.push_back("cancel"); });
  // Press and release inside clicks; a release outside does not.
  Click(ok, 10, 10);
  MouseDown(ok, 10, 10);
  MouseMove(ok, 200, 10);
  MouseUp(ok, 200, 10);
  EXPECT_EQ(log, (std::vector<std::string>{"ok"}));
  EXPECT_EQ(form_->ModalResult(), mrOk);
  EXPECT_TRUE(ok->Focused());  // the click took the focus
  // Space on the focused button; Enter in the edit clicks the default button; Esc the cancel one.
  SimulateKey(true, VK_SPACE, " ");
  EXPECT_TRUE(ok->Pushed());
  SimulateKey(false, VK_SPACE);
  edit->SetFocus();
  Press(VK_RETURN, "\r");
  Press(VK_ESCAPE, "\x1b");
  EXPECT_EQ(log, (std::vector<std::string>{"ok", "ok", "ok", "cancel"}));
  EXPECT_EQ(form_->ModalResult(), mrCancel);
  // The accelerator clicks from a control that takes no characters.
  cancel->SetFocus();
  Press('G', "g");
  EXPECT_EQ(log.back(), "ok");
  // The default button wears the dark frame while Enter is its; focus on another button moves it.
  Pump();
  EXPECT_TRUE(cancel->Active());
  EXPECT_FALSE(ok->Active());
  EXPECT_EQ(Pixel(cancel, 0, 0), Rgb(clWindowFrame));
  edit->SetFocus();
  Pump();
  EXPECT_TRUE(ok->Active());
  EXPECT_EQ(Pixel(ok, 0, 0), Rgb(clWindowFrame));
  EXPECT_NE(Pixel(cancel, 0, 0), Rgb(clWindowFrame));
}

TEST_F(StdCtrlsTest, CheckBoxStates) {
  auto* box = Make<TCheckBox>(10, 10);
  int clicks = 0;
  box->SetOnClick([&](TObject*) { ++clicks; });
  struct Step {
    bool AllowGrayed;
    TCheckBoxState From, To;
  } steps[] = {
      {false, cbUnchecked, cbChecked}, {false, cbChecked, cbUnchecked}, {false, cbGrayed, cbChecked},
      {true, cbUnchecked, cbGrayed},   {true, cbGrayed, cbChecked},     {true, cbChecked, cbUnchecked},
  };
  for (const Step& s : steps) {
    box->SetAllowGrayed(s.AllowGrayed);
    box->SetState(s.From);
    clicks = 0;
    Click(box, 5, 8);
    EXPECT_EQ(box->State(), s.To);
    EXPECT_EQ(clicks, 1);
  }
  // Changes in code click too, unless disabled; the same state clicks nothing.
  clicks = 0;
  box->SetChecked(true);
  box->SetChecked(true);
  box->SetClicksDisabled(true);
  box->SetChecked(false);
  box->SetClicksDisabled(false);
  EXPECT_EQ(clicks, 1);
  // Space toggles; the check mark shows in the box.
  box->SetAllowGrayed(false);
  box->SetFocus();
  Press(VK_SPACE, " ");
  EXPECT_TRUE(box->Checked());
  Pump();
  EXPECT_EQ(Pixel(box, 3, 2 + 5), Rgb(clWindowText));
  Press(VK_SPACE, " ");
  Pump();
  EXPECT_EQ(Pixel(box, 3, 2 + 5), Rgb(clWindow));
  // A mnemonic focuses and toggles.
  auto* other = Make<TCheckBox>(10, 40);
  other->SetCaption("&Wave");
  Chord({VK_MENU}, 'W', "w");
  EXPECT_TRUE(other->Focused());
  EXPECT_TRUE(other->Checked());
}

// ---------------------------------------------------------------------------------------------
// TEdit

TEST_F(StdCtrlsTest, EditTypingSelectionAndChange) {
  auto* edit = Make<TEdit>(10, 10, 150, 21);
  int changes = 0;
  edit->SetOnChange([&](TObject*) { ++changes; });
  edit->SetFocus();
  Type("hello world");
  EXPECT_EQ(edit->Text(), "hello world");
  EXPECT_EQ(changes, 11);
  EXPECT_TRUE(edit->Modified());
  EXPECT_EQ(edit->SelStart(), 11);
  struct Step {
    std::vector<uint16_t> Mods;
    uint16_t Key;
    int32_t SelStart, SelLength;
  } steps[] = {
      {{}, VK_HOME, 0, 0},
      {{VK_SHIFT, VK_CONTROL}, VK_RIGHT, 0, 6},
      {{VK_SHIFT}, VK_RIGHT, 0, 7},
      {{}, VK_LEFT, 0, 0},  // collapses to the start
      {{VK_CONTROL}, VK_RIGHT, 6, 0},
      {{VK_SHIFT}, VK_END, 6, 5},
      {{VK_SHIFT}, VK_HOME, 0, 6},
      {{}, VK_END, 11, 0},
      {{VK_CONTROL}, VK_LEFT, 6, 0},
  };
  for (const Step& s : steps) {
    Chord(s.Mods, s.Key);
    EXPECT_EQ(edit->SelStart(), s.SelStart) << s.Key;
    EXPECT_EQ(edit->SelLength(), s.SelLength) << s.Key;
  }
  Chord({VK_SHIFT}, VK_END);
  EXPECT_EQ(edit->SelText(), "world");
  Type("x");
  EXPECT_EQ(edit->Text(), "hello x");
  Press(VK_BACK, "\b");
  Press(VK_BACK, "\b");
  Press(VK_HOME);
  Press(VK_DELETE);
  EXPECT_EQ(edit->Text(), "ello");
  // Text set in code: OnChange once, caret at the start, not modified, no undo.
  changes = 0;
  edit->SetText("abc");
  edit->SetText("abc");
  EXPECT_EQ(changes, 1);
  EXPECT_FALSE(edit->Modified());
  EXPECT_FALSE(edit->CanUndo());
  EXPECT_EQ(edit->SelStart(), 0);
  // Selection properties and EM_GETSEL count characters.
  edit->SetText("a\xF0\x9F\x98\x80" "bc");  // a, an emoji, b, c
  edit->SetSelStart(1);
  edit->SetSelLength(2);
  EXPECT_EQ(edit->SelText(), "\xF0\x9F\x98\x80" "b");
  DWORD s = 0, e = 0;
  edit->Perform(EM_GETSEL, reinterpret_cast<WPARAM>(&s), reinterpret_cast<LPARAM>(&e));
  EXPECT_EQ(s, 1u);
  EXPECT_EQ(e, 3u);
  edit->SetSelText("Z");
  EXPECT_EQ(edit->Text(), "aZc");
  EXPECT_TRUE(edit->Modified());
}

TEST_F(StdCtrlsTest, EditUndoLimitsAndFilters) {
  auto* edit = Make<TEdit>(10, 10, 150, 21);
  edit->SetFocus();
  Type("abc");
  ASSERT_TRUE(edit->CanUndo());
  Chord({VK_CONTROL}, 'Z', "\x1a");  // typing is one undo step
  EXPECT_EQ(edit->Text(), "");
  edit->Undo();  // undoing the undo brings it back
  EXPECT_EQ(edit->Text(), "abc");
  // MaxLength stops typing (not text set in code).
  edit->SetMaxLength(4);
  Type("de");
  EXPECT_EQ(edit->Text(), "abcd");
  edit->SetText("123456");
  EXPECT_EQ(edit->Text(), "123456");
  // Key handlers see the keys first: clearing the key stops it.
  edit->SetMaxLength(0);
  edit->SetText("");
  edit->SetOnKeyPress([](TObject*, char16_t& Key) {
    if (Key == 'x') Key = 0;
  });
  edit->SetOnKeyDown([](TObject*, uint16_t& Key, TShiftState) {
    if (Key == VK_DELETE) Key = 0;
  });
  Type("axb");
  EXPECT_EQ(edit->Text(), "ab");
  Press(VK_HOME);
  Press(VK_DELETE);
  EXPECT_EQ(edit->Text(), "ab");
  // Upper case, read-only.
  edit->SetOnKeyPress(nullptr);
  edit->SetCharCase(ecUpperCase);
  EXPECT_EQ(edit->Text(), "AB");
  Press(VK_END);
  Type("cx");
  EXPECT_EQ(edit->Text(), "ABCX");
  edit->SetReadOnly(true);
  Type("q");
  Press(VK_BACK, "\b");
  EXPECT_EQ(edit->Text(), "ABCX");
}

TEST_F(StdCtrlsTest, EditClipboard) {
  auto* edit = Make<TEdit>(10, 10, 150, 21);
  edit->SetFocus();
  edit->SetText("one two");
  edit->SetSelStart(4);
  edit->SetSelLength(3);
  edit->CopyToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "two");
  edit->CutToClipboard();
  EXPECT_EQ(edit->Text(), "one ");
  Clipboard()->SetAsText("line1\r\nline2");
  edit->PasteFromClipboard();
  EXPECT_EQ(edit->Text(), "one line1");  // a single-line edit takes the first line
  edit->SelectAll();
  Clipboard()->SetAsText("123456789");
  edit->SetMaxLength(5);
  Chord({VK_CONTROL}, 'V', "\x16");
  EXPECT_EQ(edit->Text(), "12345");
  edit->Undo();
  EXPECT_EQ(edit->Text(), "one line1");
  // Password text never leaves the edit; read-only text can be copied but not cut or replaced.
  edit->SetMaxLength(0);
  edit->SetPasswordChar('*');
  edit->SelectAll();
  Clipboard()->SetAsText("kept");
  edit->CopyToClipboard();
  edit->CutToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "kept");
  EXPECT_EQ(edit->Text(), "one line1");
  edit->SetPasswordChar(0);
  edit->SetReadOnly(true);
  edit->SelectAll();
  edit->CutToClipboard();
  edit->PasteFromClipboard();
  edit->ClearSelection();
  EXPECT_EQ(edit->Text(), "one line1");
  EXPECT_EQ(Clipboard()->AsText(), "kept");
  edit->CopyToClipboard();
  EXPECT_EQ(Clipboard()->AsText(), "one line1");
}

TEST_F(StdCtrlsTest, EditDrawsWithMarginsAlignmentAndSelection) {
  auto* edit = Make<TEdit>(10, 10, 150, 21);
  edit->SetText("WWW");
  Pump();
  // The text starts after the left margin (ink in the first columns after it, none before).
  auto inkColumns = [&](int32_t from, int32_t to) {
    int32_t n = 0;
    for (int32_t x = from; x < to; ++x)
      for (int32_t y = 0; y < edit->ClientHeight(); ++y)
        if (Pixel(edit, x, y) != Rgb(clWindow)) {
          ++n;
          break;
        }
    return n;
  };
  EXPECT_GT(inkColumns(0, 20), 0);
  edit->Perform(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(30, 7));
  EXPECT_EQ(edit->Perform(EM_GETMARGINS), static_cast<LRESULT>(MAKELONG(30, 7)));
  Pump();
  EXPECT_EQ(inkColumns(0, 30), 0);
  EXPECT_GT(inkColumns(30, 40), 0);
  // Right alignment puts the text against the right margin.
  edit->SetAlignment(taRightJustify);
  edit->Perform(EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
  Pump();
  const int32_t w = edit->ClientWidth();
  EXPECT_EQ(inkColumns(0, w - 40), 0);
  EXPECT_GT(inkColumns(w - 10, w), 0);
  // The selection shows in the highlight colour while focused.
  edit->SetFocus();
  edit->SelectAll();
  Pump();
  bool highlight = false;
  for (int32_t x = w - 30; x < w; ++x) highlight = highlight || Pixel(edit, x, 5) == Rgb(clHighlight);
  EXPECT_TRUE(highlight);
}

TEST_F(StdCtrlsTest, EditMouseSelection) {
  auto* edit = Make<TEdit>(10, 10, 200, 21);
  edit->SetText("alpha beta gamma");
  const int32_t x6 = LOWORD(static_cast<uintptr_t>(edit->Perform(EM_POSFROMCHAR, 6)));
  const int32_t x10 = LOWORD(static_cast<uintptr_t>(edit->Perform(EM_POSFROMCHAR, 10)));
  Click(edit, x6, 5);
  EXPECT_TRUE(edit->Focused());
  EXPECT_EQ(edit->SelStart(), 6);
  MouseDown(edit, x6, 5);
  MouseMove(edit, x10, 5);
  MouseUp(edit, x10, 5);
  EXPECT_EQ(edit->SelText(), "beta");
  DoubleClick(edit, x6 + 2, 5);
  EXPECT_EQ(edit->SelText(), "beta");
  EXPECT_EQ(edit->Perform(EM_CHARFROMPOS, 0, PointToLParam(x10, 5)) & 0xFFFF, 10);
}

// ---------------------------------------------------------------------------------------------
// A form read from its description

class TDescribedForm : public TForm {
  PX_CLASS(TDescribedForm)
 public:
  explicit TDescribedForm(TComponent* AOwner) : TForm(AOwner) {}
  std::vector<std::string> Log;
  void ItemClick(TObject* Sender) { Log.push_back("item " + static_cast<TComponent*>(Sender)->Name()); }
  void EditChange(TObject*) { Log.push_back("change"); }
  void BoxClick(TObject*) { Log.push_back("box"); }
};

}  // namespace

PX_CLASS_INFO(TDescribedForm, TForm, [](TPropertyBuilder<TDescribedForm>& b) {
  b.Method("ItemClick", &TDescribedForm::ItemClick);
  b.Method("EditChange", &TDescribedForm::EditChange);
  b.Method("BoxClick", &TDescribedForm::BoxClick);
})

namespace {

const char* const kDescription = R"(object DescribedForm: TDescribedForm
  Left = 100
  Top = 80
  Width = 400
  Height = 300
  Caption = 'Described'
  Menu = MainMenu1
  object Label1: TLabel
    Left = 8
    Top = 8
    Caption = '&Name'
    FocusControl = Edit1
  end
  object Edit1: TEdit
    Left = 8
    Top = 30
    Width = 121
    MaxLength = 10
    Text = 'abc'
    OnChange = EditChange
  end
  object CheckBox1: TCheckBox
    Left = 8
    Top = 60
    Caption = 'Check'
    AllowGrayed = True
    State = cbGrayed
    OnClick = BoxClick
  end
  object Button1: TButton
    Left = 8
    Top = 90
    Caption = 'OK'
    Default = True
    ModalResult = 1
  end
  object Bevel1: TBevel
    Left = 8
    Top = 130
    Width = 100
    Height = 2
    Shape = bsTopLine
    Style = bsRaised
  end
  object Image1: TImage
    Left = 150
    Top = 8
    Stretch = True
  end
  object MaskEdit1: TMaskEdit
    Left = 150
    Top = 130
    EditMask = '000;1;_'
    Text = '12'
  end
  object MainMenu1: TMainMenu
    AutoHotkeys = maManual
    object M_Files: TMenuItem
      Caption = '&File'
      object M_Open: TMenuItem
        Caption = '&Open...'
        ShortCut = 16463
        OnClick = ItemClick
      end
    end
    object M_Language: TMenuItem
      Caption = '&Languages'
      object M_English: TMenuItem
        Caption = 'English'
        Checked = True
        GroupIndex = 1
        RadioItem = True
      end
      object M_German: TMenuItem
        Caption = 'German'
        GroupIndex = 1
        RadioItem = True
        OnClick = ItemClick
      end
    end
  end
end
)";

TEST_F(StdCtrlsTest, FormLoadsMenuAndControlsFromText) {
  auto form = std::make_unique<TDescribedForm>(nullptr);
  LoadFormFromText(form.get(), kDescription);
  auto* edit = dynamic_cast<TEdit*>(form->FindComponent("Edit1"));
  auto* label = dynamic_cast<TLabel*>(form->FindComponent("Label1"));
  auto* box = dynamic_cast<TCheckBox*>(form->FindComponent("CheckBox1"));
  auto* button = dynamic_cast<TButton*>(form->FindComponent("Button1"));
  auto* bevel = dynamic_cast<TBevel*>(form->FindComponent("Bevel1"));
  auto* mask = dynamic_cast<TMaskEdit*>(form->FindComponent("MaskEdit1"));
  auto* menu = dynamic_cast<TMainMenu*>(form->FindComponent("MainMenu1"));
  ASSERT_TRUE(edit && label && box && button && bevel && mask && menu);
  EXPECT_EQ(label->FocusControl(), edit);
  EXPECT_EQ(edit->Text(), "abc");
  EXPECT_EQ(edit->MaxLength(), 10);
  EXPECT_EQ(box->State(), cbGrayed);
  EXPECT_TRUE(button->Default());
  EXPECT_EQ(button->ModalResult(), mrOk);
  EXPECT_EQ(bevel->Shape(), bsTopLine);
  EXPECT_EQ(bevel->Style(), bsRaised);
  EXPECT_EQ(mask->EditText(), "12_");
  EXPECT_EQ(form->Menu(), menu);
  ASSERT_EQ(menu->Items()->Count(), 2);
  TMenuItem* lang = menu->Items()->Find("Languages");
  ASSERT_NE(lang, nullptr);
  EXPECT_TRUE(lang->Items(0)->Checked());
  EXPECT_EQ(menu->Items()->Items(0)->Items(0)->ShortCut(), static_cast<TShortCut>(scCtrl | 'O'));
  EXPECT_TRUE(form->Log.empty());  // nothing fired while the events were being read
  // The bindings work, and the menu bar stands above the client area.
  form->Show();
  Pump();
  ASSERT_NE(form->MenuBar(), nullptr);
  EXPECT_EQ(form->MenuBar()->Height(), GetSystemMetrics(SM_CYMENU));
  lang->Items(1)->Click();
  EXPECT_FALSE(lang->Items(0)->Checked() && lang->Items(1)->Checked());
  edit->SetText("x");
  box->SetChecked(true);
  EXPECT_EQ(form->Log, (std::vector<std::string>{"item M_German", "change", "box"}));
  // Written back and read again, the same tree comes back.
  const std::string text = WriteComponentToText(form.get());
  auto again = std::make_unique<TDescribedForm>(nullptr);
  LoadFormFromText(again.get(), text);
  auto* mask2 = dynamic_cast<TMaskEdit*>(again->FindComponent("MaskEdit1"));
  ASSERT_NE(mask2, nullptr);
  EXPECT_EQ(mask2->EditMask(), "000;1;_");
  EXPECT_EQ(dynamic_cast<TMainMenu*>(again->FindComponent("MainMenu1"))->Items()->Find("Languages")->Count(), 2);
  // An unknown property names its line.
  auto bad = std::make_unique<TDescribedForm>(nullptr);
  const std::string badText =
      "object DescribedForm: TDescribedForm\n  object L: TLabel\n    Shape = bsBox\n  end\nend\n";
  EXPECT_EQ(MessageOf<EReadError>([&] { LoadFormFromText(bad.get(), badText); }).substr(0, 7), "Line 3:");
}

}  // namespace
