#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/forms/FormLoader.h"
#include "platform/rtl/Classes_collections.h"
#include "platform/rtl/Classes_lists.h"
#include "platform/rtl/TypInfo.h"

namespace {

// Small stand-ins for controls: enough published kinds to exercise every value form.

enum class TTestAlign : uint8_t { alNone, alTop, alClient };
enum class TTestFontStyle : uint8_t { fsBold, fsItalic, fsUnderline };
using TTestFontStyles = TSet<TTestFontStyle>;

PTypeInfo TypeInfo_TTestAlign() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TTestAlign", {"alNone", "alTop", "alClient"});
  return &info;
}
PTypeInfo TypeInfo_TTestFontStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TTestFontStyle", {"fsBold", "fsItalic", "fsUnderline"});
  return &info;
}
PTypeInfo TypeInfo_TTestFontStyles() {
  static const TTypeInfo info = TTypeInfo::Set("TTestFontStyles", TypeInfo_TTestFontStyle());
  return &info;
}
PTypeInfo TypeInfo_TTestColor() {
  static const TTypeInfo info = TTypeInfo::Ordinal(tkInteger, "TTestColor", INT32_MIN, INT32_MAX);
  return &info;
}
bool TestColorToInt(std::string_view ident, int64_t& v) {
  if (SameText(ident, "clBlack")) v = 0;
  else if (SameText(ident, "clRed")) v = 0xFF;
  else return false;
  return true;
}
bool TestIntToColor(int64_t v, std::string& ident) {
  if (v == 0xFF) ident = "clRed";
  else if (v == 0) ident = "clBlack";
  else return false;
  return true;
}

std::vector<std::string>& LoadedLog() {
  static std::vector<std::string> log;
  return log;
}

class TTestFont : public TPersistent {
  PX_CLASS(TTestFont)
 public:
  std::string name;
  int32_t size = 8;
  TTestFontStyles style;
  int32_t color = 0;
};

class TTestItem : public TCollectionItem {
  PX_CLASS(TTestItem)
 public:
  using TCollectionItem::TCollectionItem;
  std::string caption;
  int32_t width = 50;
  TComponent* buddy = nullptr;
  TComponent* Buddy() const { return buddy; }
  void SetBuddy(TComponent* c) { buddy = c; }
};

class TTestItems : public TOwnedCollection {
  PX_CLASS(TTestItems)
 public:
  explicit TTestItems(TPersistent* AOwner) : TOwnedCollection(AOwner, TCollectionItemClass::Of<TTestItem>()) {}
};

class TTestControl : public TComponent {
  PX_CLASS(TTestControl)
 public:
  explicit TTestControl(TComponent* AOwner) : TComponent(AOwner), items_(this) {}

  TComponent* GetParentComponent() const override { return parent_; }
  void SetParentComponent(TComponent* Value) override { parent_ = Value; }
  void Loaded() override {
    TComponent::Loaded();
    LoadedLog().push_back(Name());
  }

  int32_t Left() const { return left_; }
  void SetLeft(int32_t v) {
    left_ = v;
    left_set_while_loading = ComponentState().Contains(csLoading);
  }
  TTestFont* Font() { return &font_; }
  TStringList* Lines() { return &lines_; }
  TTestItems* Items() { return &items_; }
  TComponent* Buddy() const { return buddy_; }
  void SetBuddy(TComponent* c) { buddy_ = c; }
  void ReadData(TStream* s) {
    data.assign(static_cast<size_t>(s->Size()), '\0');
    s->ReadBuffer(data.data(), s->Size());
  }
  void WriteData(TStream* s) { s->WriteBuffer(data.data(), static_cast<int64_t>(data.size())); }
  bool HasData() const { return !data.empty(); }
  // An older description's flag that is still read, and dropped.
  void ReadOldFlag(TReader& r) { old_flag = r.ReadBoolean() ? 1 : 0; }

  std::string caption;
  TTestAlign align = TTestAlign::alNone;
  bool visible = true;
  double ratio = 0;
  TNotifyEvent on_click;
  std::string data;
  int old_flag = -1;
  bool left_set_while_loading = false;

 private:
  TComponent* parent_ = nullptr;
  int32_t left_ = 0;
  TTestFont font_;
  TStringList lines_;
  TTestItems items_;
  TComponent* buddy_ = nullptr;
};

class TTestPanel : public TTestControl {
  PX_CLASS(TTestPanel)
 public:
  using TTestControl::TTestControl;
};

class TTestButton : public TTestControl {
  PX_CLASS(TTestButton)
 public:
  using TTestControl::TTestControl;
};

// A frame made with its own component, as its own description would make it.
class TTestFrame : public TTestControl {
  PX_CLASS(TTestFrame)
 public:
  explicit TTestFrame(TComponent* AOwner) : TTestControl(AOwner) {
    auto* inner = new TTestButton(this);  // owned by the frame
    inner->SetName("Inner");
    inner->SetParentComponent(this);
  }
};

class TTestForm : public TTestControl {
  PX_CLASS(TTestForm)
 public:
  using TTestControl::TTestControl;
  void Button1Click(TObject* Sender) { clicked_by = Sender; }
  TObject* clicked_by = nullptr;
};

class TTestDerivedForm : public TTestForm {
  PX_CLASS(TTestDerivedForm)
 public:
  using TTestForm::TTestForm;
};

}  // namespace

PX_CLASS_INFO(TTestFont, TPersistent, [](TPropertyBuilder<TTestFont>& b) {
  b.Str("Name", &TTestFont::name);
  b.Int("Size", &TTestFont::size).Default(8);
  b.Set("Style", TypeInfo_TTestFontStyles(), &TTestFont::style).Default(TTestFontStyles{});
  b.Int("Color", &TTestFont::color, nullptr, TypeInfo_TTestColor()).Default(0);
})
PX_CLASS_INFO(TTestItem, TCollectionItem, [](TPropertyBuilder<TTestItem>& b) {
  b.Str("Caption", &TTestItem::caption);
  b.Int("Width", &TTestItem::width).Default(50);
  b.Object<TComponent>("Buddy", &TTestItem::Buddy, &TTestItem::SetBuddy);
})
PX_CLASS_INFO(TTestItems, TOwnedCollection)
PX_CLASS_INFO(TTestControl, TComponent, [](TPropertyBuilder<TTestControl>& b) {
  b.Int("Left", &TTestControl::Left, &TTestControl::SetLeft).Default(0);
  b.Str("Caption", &TTestControl::caption);
  b.Enum("Align", TypeInfo_TTestAlign(), &TTestControl::align).Default(TTestAlign::alNone);
  b.Bool("Visible", &TTestControl::visible).Default(true);
  b.Float("Ratio", &TTestControl::ratio);
  b.Object<TTestFont>("Font", &TTestControl::Font);
  b.Object<TStrings>("Lines", &TTestControl::Lines);
  b.Object<TTestItems>("Items", &TTestControl::Items);
  b.Object<TComponent>("Buddy", &TTestControl::Buddy, &TTestControl::SetBuddy);
  b.Event("OnClick", &TTestControl::on_click);
  b.DefineBinaryProperty("Data", &TTestControl::ReadData, &TTestControl::WriteData, &TTestControl::HasData);
  b.DefineProperty("OldFlag", &TTestControl::ReadOldFlag);
})
PX_CLASS_INFO(TTestPanel, TTestControl)
PX_CLASS_INFO(TTestButton, TTestControl)
PX_CLASS_INFO(TTestFrame, TTestControl)
PX_CLASS_INFO(TTestForm, TTestControl, [](TPropertyBuilder<TTestForm>& b) { b.Method("Button1Click", &TTestForm::Button1Click); })
PX_CLASS_INFO(TTestDerivedForm, TTestForm)

namespace {

class FormLoader : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (TClass c : {TTestPanel::StaticClass(), TTestButton::StaticClass(), TTestFrame::StaticClass()}) RegisterClass(c);
    RegisterIntegerConsts(TypeInfo_TTestColor(), &TestColorToInt, &TestIntToColor);
  }
  void SetUp() override { LoadedLog().clear(); }

  template <class T = TTestControl>
  T* Find(TComponent* owner, const char* name) {
    auto* c = dynamic_cast<T*>(owner->FindComponent(name));
    EXPECT_NE(c, nullptr) << name;
    return c;
  }
};

// Every value form, nesting, a forward reference and a Form.Component path.
const char* const kForm = R"(object Form1: TTestForm
  Left = -12
  Caption = 'It''s'#13#10 +
    'two lines'
  Font.Name = 'Arial'
  Font.Style = [fsBold, fsItalic]
  Font.Color = clRed
  object Panel1: TTestPanel
    Align = alTop
    Ratio = 1.5E3
    Buddy = Button2
    object Button1: TTestButton
      Left = $1F
      Caption = 'Smile '#$263A' '#55357#56832
      Visible = False
      Lines.Strings = (
        'a'
        'b')
      OnClick = Button1Click
      Data = {0AFF 10}
      OldFlag = True
    end
    object Button2: TTestButton
      Items = <
        item
          Caption = 'first'
          Buddy = Form1.Button1
        end
        item
          Width = 80
        end>
    end
  end
  object Label1: TTestButton
    Font.Color = $FF00000F
    Font.Style = []
  end
end
)";

TEST_F(FormLoader, BuildsANestedFormWithEveryKindOfValue) {
  TTestForm form(nullptr);
  LoadFormFromText(&form, kForm);

  EXPECT_EQ(form.Name(), "Form1");
  EXPECT_EQ(form.Left(), -12);
  EXPECT_EQ(form.caption, "It's\r\ntwo lines");
  EXPECT_EQ(form.Font()->name, "Arial");
  EXPECT_EQ(form.Font()->style, (TTestFontStyles{TTestFontStyle::fsBold, TTestFontStyle::fsItalic}));
  EXPECT_EQ(form.Font()->color, 0xFF);

  auto* panel = Find<TTestPanel>(&form, "Panel1");
  auto* button1 = Find<TTestButton>(&form, "Button1");
  auto* button2 = Find<TTestButton>(&form, "Button2");
  auto* label = Find<TTestButton>(&form, "Label1");
  ASSERT_TRUE(panel && button1 && button2 && label);
  EXPECT_EQ(form.ComponentCount(), 4);
  EXPECT_EQ(panel->GetParentComponent(), &form);
  EXPECT_EQ(button1->GetParentComponent(), panel);
  EXPECT_EQ(button2->GetParentComponent(), panel);
  EXPECT_EQ(label->GetParentComponent(), &form);

  EXPECT_EQ(panel->align, TTestAlign::alTop);
  EXPECT_EQ(panel->ratio, 1500.0);
  EXPECT_EQ(panel->Buddy(), button2);  // declared after the reference
  EXPECT_EQ(button1->Left(), 31);
  EXPECT_TRUE(button1->left_set_while_loading);
  EXPECT_EQ(button1->caption, "Smile \u263A \U0001F600");
  EXPECT_FALSE(button1->visible);
  EXPECT_EQ(button1->Lines()->Text(), "a\r\nb\r\n");
  EXPECT_EQ(button1->data, std::string("\x0A\xFF\x10", 3));
  EXPECT_EQ(button1->old_flag, 1);
  ASSERT_TRUE(button1->on_click);
  button1->on_click(button1);
  EXPECT_EQ(form.clicked_by, button1);

  ASSERT_EQ(button2->Items()->Count(), 2);
  auto* first = static_cast<TTestItem*>(button2->Items()->Items(0));
  auto* second = static_cast<TTestItem*>(button2->Items()->Items(1));
  EXPECT_EQ(first->caption, "first");
  EXPECT_EQ(first->width, 50);
  EXPECT_EQ(first->buddy, button1);
  EXPECT_EQ(second->width, 80);
  EXPECT_EQ(label->Font()->color, static_cast<int32_t>(0xFF00000F));

  EXPECT_EQ(LoadedLog(), (std::vector<std::string>{"Form1", "Panel1", "Button1", "Button2", "Label1"}));
  for (TComponent* c : {static_cast<TComponent*>(&form), static_cast<TComponent*>(panel), static_cast<TComponent*>(label)}) {
    EXPECT_FALSE(c->ComponentState().Contains(csLoading));
    EXPECT_FALSE(c->ComponentState().Contains(csReading));
  }
}

TEST_F(FormLoader, WritesWhatItReadsAndReadsWhatItWrites) {
  TTestForm form(nullptr);
  LoadFormFromText(&form, kForm);
  const std::string written = WriteComponentToText(&form);
  EXPECT_EQ(written, R"(object Form1: TTestForm
  Left = -12
  Caption = 'It''s'#13#10'two lines'
  Font.Name = 'Arial'
  Font.Style = [fsBold, fsItalic]
  Font.Color = clRed
  object Panel1: TTestPanel
    Align = alTop
    Ratio = 1500
    Buddy = Button2
    object Button1: TTestButton
      Left = 31
      Caption = 'Smile ☺ 😀'
      Visible = False
      Lines.Strings = (
        'a'
        'b')
      OnClick = Button1Click
      Data = {
        0AFF10}
    end
    object Button2: TTestButton
      Items = <
        item
          Caption = 'first'
          Buddy = Button1
        end
        item
          Width = 80
        end>
    end
  end
  object Label1: TTestButton
    Font.Color = -16777201
  end
end
)");

  // Back through a stream in UTF-16 with its byte order mark, into a fresh form.
  TTestForm copy(nullptr);
  TStringStream stream(EncodeTextBytes(written, teUtf16LE));
  LoadFormFromStream(&copy, &stream);
  EXPECT_EQ(WriteComponentToText(&copy), written);
  EXPECT_EQ(Find<TTestPanel>(&copy, "Panel1")->Buddy(), copy.FindComponent("Button2"));
}

TEST_F(FormLoader, RejectsBadDescriptionsWithTheLine) {
  struct Case {
    const char* text;
    const char* message;
    bool syntax;
  } cases[] = {
      {"object Form1: TTestForm\n  Left = 1\n  object Button1: TTestButton\n    Captoin = 'x'\n  end\nend",
       "Line 4: Error reading Button1.Captoin: Property Captoin does not exist", false},
      {"object Form1: TTestForm\n\n  object B: TNoSuchButton\n  end\nend", "Line 3: Class TNoSuchButton not found", false},
      {"object Form1: TTestForm\n  Font.Size2 = 3\nend", "Line 2: Error reading Form1.Font.Size2: Property Size2 does not exist", false},
      {"object Form1: TTestForm\n  Align = alSideways\nend", "Line 2: Error reading Form1.Align: Invalid property value", false},
      {"object Form1: TTestForm\n  Left = 'x'\nend", "Line 2: Error reading Form1.Left: Invalid property value", false},
      {"object Form1: TTestForm\n  Left = 99999999999\nend", "Line 2: Error reading Form1.Left: Range check error", false},
      {"object Form1: TTestForm\n  Font.Style = [fsBold, fsWide]\nend", "Line 2: Error reading Form1.Font.Style: Invalid property value", false},
      {"object Form1: TTestForm\n  OnClick = NoSuchClick\nend",
       "Line 2: Error reading Form1.OnClick: Method NoSuchClick not found in TTestForm", false},
      {"object Form1: TTestForm\n  Buddy = Ghost\nend", "Line 2: Error reading Form1.Buddy: Component Ghost not found", false},
      {"object Form1: TTestForm\n  Lines.Strings = (\n    'a'\n    1)\nend",
       "Line 2: Error reading Form1.Lines.Strings: Invalid property value", false},
      {"object Form1: TTestForm\n  Items = <\n    item\n      Width = 'x'\n    end>\nend",
       "Line 4: Error reading Form1.Items[0].Width: Invalid property value", false},
      {"object Form1: TTestForm\n  OldFlag = 1\nend", "Line 2: Error reading Form1.OldFlag: Invalid property value", false},
      {"object Form1: TTestForm\n  object B: TTestButton\n  end\n  object B: TTestButton\n  end\nend",
       "Line 4: A component named B already exists", false},
      {"object Form1: TTestForm\n  inherited Ghost: TTestButton\n  end\nend", "Line 2: Ancestor for 'Ghost' not found", false},
      {"object Form1: TTestPanel\nend", "Line 1: The description is of a TTestPanel, not of a TTestForm", false},
      {"object Form1: TTestForm\n  Caption = 'abc\nend", "Line 2: Unterminated string", true},
      {"object Form1: TTestForm\n  Caption = #70000\nend", "Line 2: Invalid character code", true},
      {"object Form1: TTestForm\n  Caption = 'a' +\n\nend", "Line 4: String expected", true},
      {"object Form1: TTestForm\n  Data = {0A\n  B}\nend", "Line 3: Odd number of hexadecimal digits in binary value", true},
      {"object Form1: TTestForm\n  Left = 12px\nend", "Line 2: Invalid number", true},
      {"object Form1: TTestForm\n  object B: TTestButton\n  end\n  Left = 1\nend", "Line 4: 'end' expected", true},
      {"object Form1: TTestForm\n  Left = 1\n", "Line 3: 'end' expected", true},
      {"object Form1: TTestForm\nend\nend", "Line 3: End of the description expected", true},
      {"Form1: TTestForm\nend", "Line 1: 'object' expected", true},
  };
  for (const Case& c : cases) {
    TTestForm form(nullptr);
    try {
      LoadFormFromText(&form, c.text);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), c.message);
      EXPECT_EQ(dynamic_cast<const EParserError*>(&e) != nullptr, c.syntax) << c.message;
    }
    EXPECT_FALSE(form.ComponentState().Contains(csLoading)) << c.message;
    for (int i = 0; i < form.ComponentCount(); ++i)
      EXPECT_FALSE(form.Components(i)->ComponentState().Contains(csLoading)) << c.message;
  }
}

TEST_F(FormLoader, TruncatedTextFailsCleanly) {
  const std::string text = kForm;
  for (size_t n = 0; n < text.size(); ++n) {
    TTestForm form(nullptr);
    try {
      LoadFormFromText(&form, text.substr(0, n));
      // Only the cut of the final line break leaves a complete description.
      EXPECT_EQ(n, text.size() - 1);
    } catch (const EReadError&) {
    }
  }
}

TEST_F(FormLoader, ReplacedCollectionDropsReferencesOfItsOldItems) {
  TTestForm form(nullptr);
  LoadFormFromText(&form, R"(object Form1: TTestForm
  Items = <
    item
      Buddy = Form1
    end
    item
    end>
  Items = <
    item
      Buddy = B
    end>
  object B: TTestButton
  end
end)");
  ASSERT_EQ(form.Items()->Count(), 1);
  EXPECT_EQ(static_cast<TTestItem*>(form.Items()->Items(0))->buddy, form.FindComponent("B"));
}

// An ancestor's description and the inherited form's, read as one load, with an inline frame.
const char kBaseForm[] = R"(object Form1: TTestForm
  Caption = 'Base'
  object Button1: TTestButton
    Caption = 'OK'
  end
end
)";
const char kDerivedForm[] = R"(inherited Form2: TTestDerivedForm
  Caption = 'Derived'
  inherited Button1: TTestButton
    Left = 5
  end
  inline Frame1: TTestFrame
    Left = 7
    inherited Inner: TTestButton
      Buddy = Button1
    end
    object Extra: TTestButton
    end
  end
end
)";

TEST_F(FormLoader, ReadsInheritedDescriptionsFromResources) {
  static const TResourceEntry entries[] = {
      {"TTESTFORM", "RCDATA", reinterpret_cast<const unsigned char*>(kBaseForm), sizeof kBaseForm - 1},
      {"TTESTDERIVEDFORM", "RCDATA", reinterpret_cast<const unsigned char*>(kDerivedForm), sizeof kDerivedForm - 1},
  };
  static const TResourceTable table{entries, 2};
  RegisterResourceTable(&table);

  TComponent app(nullptr);
  auto* taken = new TTestButton(&app);  // owned by app: the form's name must be made unique
  taken->SetName("Form2");
  auto* form = new TTestDerivedForm(&app);
  bool found = LoadFormFromResource(form);
  TTestPanel panel(nullptr);
  bool foundForPanel = LoadFormFromResource(&panel);
  UnregisterResourceTable(&table);

  EXPECT_TRUE(found);
  EXPECT_FALSE(foundForPanel);
  EXPECT_EQ(form->Name(), "Form2_1");
  EXPECT_EQ(form->caption, "Derived");
  auto* button = Find<TTestButton>(form, "Button1");
  auto* frame = Find<TTestFrame>(form, "Frame1");
  ASSERT_TRUE(button && frame);
  EXPECT_EQ(button->caption, "OK");
  EXPECT_EQ(button->Left(), 5);
  EXPECT_EQ(frame->Left(), 7);
  EXPECT_TRUE(frame->ComponentState().Contains(csInline));
  auto* inner = Find<TTestButton>(frame, "Inner");
  auto* extra = Find<TTestButton>(frame, "Extra");
  ASSERT_TRUE(inner && extra);
  EXPECT_EQ(inner->Buddy(), button);
  EXPECT_EQ(extra->GetParentComponent(), frame);
  EXPECT_EQ(LoadedLog(), (std::vector<std::string>{"Form2_1", "Button1", "Frame1", "Inner", "Extra"}));
}

}  // namespace
