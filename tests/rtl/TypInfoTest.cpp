#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes_components.h"
#include "platform/rtl/Classes_lists.h"
#include "platform/rtl/TypInfo.h"

namespace {

enum class TBoxAlign { baNone, baTop, baBottom, baClient };
enum class TBoxStyle { bsBold, bsItalic, bsUnderline };
using TBoxStyles = TSet<TBoxStyle>;

PTypeInfo TypeInfo_TBoxAlign() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TBoxAlign", {"baNone", "baTop", "baBottom", "baClient"});
  return &info;
}
PTypeInfo TypeInfo_TBoxStyle() {
  static const TTypeInfo info = TTypeInfo::Enumeration("TBoxStyle", {"bsBold", "bsItalic", "bsUnderline"});
  return &info;
}
PTypeInfo TypeInfo_TBoxStyles() {
  static const TTypeInfo info = TTypeInfo::Set("TBoxStyles", TypeInfo_TBoxStyle());
  return &info;
}

PX_EVENT_TYPE(TCountEvent, void(TObject* Sender, int& Count));

// A component with one published property of each kind; setters count their calls.
class TBox : public TComponent {
  PX_CLASS(TBox)
 public:
  explicit TBox(TComponent* AOwner) : TComponent(AOwner), lines_(std::make_unique<TStringList>()) {}

  int32_t Width() const { return width_; }
  void SetWidth(int32_t v) { width_ = v; ++setter_calls; }
  int64_t Big() const { return big_; }
  void SetBig(int64_t v) { big_ = v; }
  TBoxAlign Align() const { return align_; }
  void SetAlign(TBoxAlign v) { align_ = v; ++setter_calls; }
  bool Visible() const { return visible_; }
  void SetVisible(bool v) { visible_ = v; }
  TBoxStyles Style() const { return style_; }
  void SetStyle(TBoxStyles v) { style_ = v; }
  double Ratio() const { return ratio_; }
  void SetRatio(double v) { ratio_ = v; }
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v) { caption_ = v; ++setter_calls; }
  bool IsCaptionStored() const { return !caption_.empty(); }
  char Hotkey() const { return hotkey_; }
  void SetHotkey(char v) { hotkey_ = v; }
  TColor Color() const { return color_; }
  void SetColor(TColor v) { color_ = v; }
  TStrings* Lines() const { return lines_.get(); }
  TComponent* Buddy() const { return buddy_; }
  void SetBuddy(TComponent* v) { buddy_ = v; }
  const TNotifyEvent& OnClick() const { return on_click_; }
  void SetOnClick(TNotifyEvent v) { on_click_ = std::move(v); }
  std::string Version() const { return "1.0"; }

  TCountEvent OnCount;  // a field published directly
  int setter_calls = 0;

 private:
  int32_t width_ = 0;
  int64_t big_ = 0;
  TBoxAlign align_ = TBoxAlign::baNone;
  bool visible_ = true;
  TBoxStyles style_;
  double ratio_ = 1;
  std::string caption_;
  char hotkey_ = 0;
  TColor color_ = clWindow;
  std::unique_ptr<TStringList> lines_;
  TComponent* buddy_ = nullptr;
  TNotifyEvent on_click_;
};

// Redeclares Align with another default, adds a property and published methods.
class TFancyBox : public TBox {
  PX_CLASS(TFancyBox)
 public:
  using TBox::TBox;
  int32_t Glow() const { return glow_; }
  void SetGlow(int32_t v) { glow_ = v; }
  void ButtonClick(TObject* Sender) {
    ++clicks;
    last_sender = Sender;
  }
  void Counted(TObject*, int& count) { count += 10; }
  int clicks = 0;
  TObject* last_sender = nullptr;

 private:
  int32_t glow_ = 0;
};

}  // namespace

PX_CLASS_INFO(TBox, TComponent, [](TPropertyBuilder<TBox>& b) {
  b.Int("Width", &TBox::Width, &TBox::SetWidth);
  b.Int64("Big", &TBox::Big, &TBox::SetBig);
  b.Enum("Align", TypeInfo_TBoxAlign(), &TBox::Align, &TBox::SetAlign).Default(TBoxAlign::baNone);
  b.Bool("Visible", &TBox::Visible, &TBox::SetVisible).Default(true);
  b.Set("Style", TypeInfo_TBoxStyles(), &TBox::Style, &TBox::SetStyle).Default(TBoxStyles{});
  b.Float("Ratio", &TBox::Ratio, &TBox::SetRatio);
  b.Str("Caption", &TBox::Caption, &TBox::SetCaption).Stored(&TBox::IsCaptionStored);
  b.Char("Hotkey", &TBox::Hotkey, &TBox::SetHotkey);
  b.Int("Color", &TBox::Color, &TBox::SetColor, TypeInfo_TColor()).Default(clWindow);
  b.Object<TStrings>("Lines", &TBox::Lines);
  b.Object<TComponent>("Buddy", &TBox::Buddy, &TBox::SetBuddy);
  b.Event("OnClick", &TBox::OnClick, &TBox::SetOnClick);
  b.Event("OnCount", &TBox::OnCount);
  b.Str("Version", &TBox::Version);
})

PX_CLASS_INFO(TFancyBox, TBox, [](TPropertyBuilder<TFancyBox>& b) {
  b.Redeclare("align").Default(TBoxAlign::baClient);
  b.Int("Glow", &TFancyBox::Glow, &TFancyBox::SetGlow);
  // A stored specifier given as a callable of the object.
  b.Redeclare("Ratio").Stored([](TFancyBox* f) { return f->Glow() != 0; });
  b.Method("ButtonClick", &TFancyBox::ButtonClick);
  b.Method("Counted", &TFancyBox::Counted);
})

namespace {

std::vector<std::string> Names(const std::vector<PPropInfo>& props) {
  std::vector<std::string> names;
  for (PPropInfo p : props) names.push_back(p->Name);
  return names;
}

template <class E, class F>
void ExpectError(F f, const std::string& message) {
  try {
    f();
    ADD_FAILURE() << "no exception, expected: " << message;
  } catch (const E& e) {
    EXPECT_EQ(e.Message(), message);
  }
}

}  // namespace

TEST(PublishedProperties, KindsAndTypeNames) {
  struct Case {
    const char* prop;
    TTypeKind kind;
    const char* type;
  } cases[] = {
      {"Name", tkString, "string"},        {"Tag", tkInteger, "NativeInt"},    {"Width", tkInteger, "Integer"},
      {"Big", tkInt64, "Int64"},           {"Align", tkEnumeration, "TBoxAlign"},
      {"Visible", tkEnumeration, "Boolean"}, {"Style", tkSet, "TBoxStyles"},  {"Ratio", tkFloat, "Double"},
      {"Caption", tkString, "string"},     {"Hotkey", tkChar, "Char"},         {"Color", tkInteger, "TColor"},
      {"Lines", tkClass, "TStrings"},      {"Buddy", tkClass, "TComponent"},   {"OnClick", tkMethod, "TNotifyEvent"},
      {"OnCount", tkMethod, "TCountEvent"},
  };
  for (const Case& c : cases) {
    PPropInfo p = GetPropInfo(TBox::StaticClass(), c.prop);
    ASSERT_NE(p, nullptr) << c.prop;
    EXPECT_EQ(p->Kind(), c.kind) << c.prop;
    EXPECT_EQ(p->PropType->Name, c.type) << c.prop;
  }
  EXPECT_EQ(GetPropInfo(TBox::StaticClass(), "Lines")->PropType->ClassType, TStrings::StaticClass());
}

TEST(PublishedProperties, InheritanceRedeclarationAndCaseInsensitiveLookup) {
  TFancyBox box(nullptr);
  std::vector<std::string> expected = {"Name",    "Tag",    "Width", "Big",   "Align",   "Visible",
                                       "Style",   "Ratio",  "Caption", "Hotkey", "Color", "Lines",
                                       "Buddy",   "OnClick", "OnCount", "Version", "Glow"};
  EXPECT_EQ(Names(GetPropList(&box)), expected);
  EXPECT_EQ(GetPropList(TBox::StaticClass()).size(), expected.size() - 1);
  EXPECT_EQ(GetPropInfo(TBox::StaticClass(), "Glow"), nullptr);  // a parent does not see it

  PPropInfo base = GetPropInfo(TBox::StaticClass(), "Align");
  PPropInfo derived = GetPropInfo(&box, "ALIGN");
  ASSERT_NE(base, derived);
  EXPECT_EQ(base->Default, static_cast<int64_t>(TBoxAlign::baNone));
  EXPECT_EQ(derived->Default, static_cast<int64_t>(TBoxAlign::baClient));
  EXPECT_EQ(derived->Declarer, TFancyBox::StaticClass());
  SetEnumProp(&box, derived, "baBottom");  // the redeclared one still reaches the base's setter
  EXPECT_EQ(box.Align(), TBoxAlign::baBottom);

  EXPECT_EQ(GetPropInfo(&box, "wIdTh"), GetPropInfo(TBox::StaticClass(), "Width"));
  EXPECT_EQ(GetPropInfo(&box, "Nope"), nullptr);
  ExpectError<EPropertyError>([&] { GetOrdProp(&box, "Nope"); }, "Unknown property: Nope");
  ExpectError<EPropertyError>([&] { SetStrProp(&box, "Nope", "x"); }, "Unknown property: Nope");
}

TEST(PublishedProperties, OrdinalsGoThroughTheSettersAndAreRangeChecked) {
  TBox box(nullptr);
  SetOrdProp(&box, "Width", 42);
  EXPECT_EQ(box.Width(), 42);
  EXPECT_EQ(box.setter_calls, 1);
  EXPECT_EQ(GetOrdProp(&box, "width"), 42);
  SetInt64Prop(&box, "Big", int64_t{1} << 40);
  EXPECT_EQ(GetInt64Prop(&box, "Big"), int64_t{1} << 40);
  SetOrdProp(&box, "Color", clBtnFace);
  EXPECT_EQ(box.Color(), clBtnFace);
  EXPECT_EQ(GetOrdProp(&box, "Color"), clBtnFace);
  SetOrdProp(&box, "Hotkey", 'Q');
  EXPECT_EQ(box.Hotkey(), 'Q');
  SetOrdProp(&box, "Style", 0b101);
  EXPECT_EQ(box.Style(), (TBoxStyles{TBoxStyle::bsBold, TBoxStyle::bsUnderline}));
  SetOrdProp(&box, "Tag", -7);
  EXPECT_EQ(box.Tag(), -7);

  struct Case {
    const char* prop;
    int64_t value;
  } outOfRange[] = {{"Width", int64_t{1} << 40}, {"Align", 4}, {"Align", -1}, {"Visible", 2},
                    {"Style", 0b1000},          {"Hotkey", 256}};
  for (const Case& c : outOfRange) {
    int64_t before = GetOrdProp(&box, c.prop);
    EXPECT_THROW(SetOrdProp(&box, c.prop, c.value), ERangeError) << c.prop << " " << c.value;
    EXPECT_EQ(GetOrdProp(&box, c.prop), before) << c.prop;
  }
  ExpectError<EPropertyError>([&] { GetOrdProp(&box, "Caption"); }, "Invalid property type: string");
  ExpectError<EPropertyError>([&] { GetStrProp(&box, "Width"); }, "Invalid property type: Integer");
}

TEST(PublishedProperties, EnumerationsByName) {
  PTypeInfo align = TypeInfo_TBoxAlign();
  struct Case {
    const char* name;
    int64_t value;
  } cases[] = {{"baNone", 0}, {"baClient", 3}, {"BATOP", 1}, {"babottom", 2}, {"baLeft", -1}, {"", -1}, {" baTop", -1}};
  for (const Case& c : cases) EXPECT_EQ(GetEnumValue(align, c.name), c.value) << c.name;
  EXPECT_EQ(GetEnumName(align, 3), "baClient");
  EXPECT_EQ(GetEnumName(align, 4), "");
  EXPECT_EQ(GetEnumName(TypeInfo_Boolean(), 1), "True");
  EXPECT_EQ(GetEnumValue(TypeInfo_Boolean(), "false"), 0);

  TBox box(nullptr);
  SetEnumProp(&box, "Align", "BaToP");
  EXPECT_EQ(box.Align(), TBoxAlign::baTop);
  EXPECT_EQ(GetEnumProp(&box, "Align"), "baTop");
  SetEnumProp(&box, "Visible", "FALSE");
  EXPECT_FALSE(box.Visible());
  EXPECT_EQ(GetEnumProp(&box, "Visible"), "False");
  ExpectError<EPropertyConvertError>([&] { SetEnumProp(&box, "Align", "baLeft"); }, "Invalid property element: baLeft");
  EXPECT_EQ(box.Align(), TBoxAlign::baTop);
  EXPECT_THROW(SetEnumProp(&box, "Width", "baTop"), EPropertyError);
}

TEST(PublishedProperties, SetsAsText) {
  struct Case {
    const char* text;
    uint64_t bits;
    const char* bad;  // the element named in the error, or nullptr
  } cases[] = {
      {"[bsBold,bsUnderline]", 0b101, nullptr},
      {"bsItalic", 0b010, nullptr},
      {" [ bsbold , BSITALIC ] ", 0b011, nullptr},
      {"[bsBold,bsBold]", 0b001, nullptr},
      {"[]", 0, nullptr},
      {"", 0, nullptr},
      {"[bsBold,]", 0, ""},
      {"[bsBold,,bsItalic]", 0, ""},
      {"bsNope", 0, "bsNope"},
      {"bsBold bsItalic", 0, "bsBold bsItalic"},
      {"[bsBold", 0, "[bsBold"},
      {"bsBold]", 0, "bsBold]"},
  };
  TBox box(nullptr);
  for (const Case& c : cases) {
    box.SetStyle(TBoxStyles{TBoxStyle::bsItalic});
    if (c.bad) {
      ExpectError<EPropertyConvertError>([&] { SetSetProp(&box, "Style", c.text); },
                                         std::string("Invalid property element: ") + c.bad);
      EXPECT_EQ(box.Style(), TBoxStyles{TBoxStyle::bsItalic}) << c.text;
    } else {
      SetSetProp(&box, "Style", c.text);
      EXPECT_EQ(box.Style().Bits(), c.bits) << c.text;
    }
  }
  box.SetStyle(TBoxStyles{TBoxStyle::bsUnderline, TBoxStyle::bsBold});
  EXPECT_EQ(GetSetProp(&box, "Style"), "[bsBold,bsUnderline]");
  EXPECT_EQ(GetSetProp(&box, "Style", false), "bsBold,bsUnderline");
  box.SetStyle({});
  EXPECT_EQ(GetSetProp(&box, "Style"), "[]");
}

TEST(PublishedProperties, FloatsStringsAndReadOnly) {
  TBox box(nullptr);
  SetFloatProp(&box, "Ratio", 0.25L);
  EXPECT_EQ(box.Ratio(), 0.25);
  EXPECT_EQ(GetFloatProp(&box, "Ratio"), 0.25L);
  SetStrProp(&box, "Caption", "Hello");
  EXPECT_EQ(box.Caption(), "Hello");
  EXPECT_EQ(box.setter_calls, 1);
  EXPECT_EQ(GetStrProp(&box, "CAPTION"), "Hello");
  EXPECT_EQ(GetStrProp(&box, "Version"), "1.0");
  ExpectError<EPropertyError>([&] { SetStrProp(&box, "Version", "2.0"); }, "Property Version is read-only");

  SetStrProp(&box, "Name", "Box1");  // TComponent's own properties
  EXPECT_EQ(box.Name(), "Box1");
  EXPECT_THROW(SetStrProp(&box, "Name", "not valid"), EComponentError);
  EXPECT_THROW(GetStrProp(nullptr, "Name"), EPropertyError);
}

TEST(PublishedProperties, ObjectPropertiesAssignSubObjectsAndStoreReferences) {
  auto form = std::make_unique<TComponent>(nullptr);
  auto* box = new TBox(form.get());
  TStrings* lines = box->Lines();
  TStringList source;
  source.Add("one");
  source.Add("two");
  SetObjectProp(box, "Lines", &source);
  EXPECT_EQ(box->Lines(), lines);  // the sub-object stays; its content is copied
  ASSERT_EQ(lines->Count(), 2);
  EXPECT_EQ(lines->Strings(1), "two");
  EXPECT_EQ(GetObjectProp(box, "Lines"), lines);
  ExpectError<EConvertError>([&] { SetObjectProp(box, "Lines", box); }, "Cannot assign a TBox to a TStringList");
  ExpectError<EConvertError>([&] { SetObjectProp(box, "Lines", nullptr); }, "Cannot assign a nil to a TStringList");

  auto* buddy = new TComponent(form.get());
  SetObjectProp(box, "Buddy", buddy);
  EXPECT_EQ(box->Buddy(), buddy);
  EXPECT_EQ(GetObjectProp(box, "buddy"), buddy);
  EXPECT_THROW(SetObjectProp(box, "Buddy", &source), EInvalidCast);
  EXPECT_EQ(box->Buddy(), buddy);
  SetObjectProp(box, "Buddy", nullptr);
  EXPECT_EQ(box->Buddy(), nullptr);
}

TEST(PublishedProperties, EventsBindToPublishedMethodsByName) {
  auto form = std::make_unique<TFancyBox>(nullptr);
  auto* button = new TBox(form.get());

  TMethod click = MethodAddress(form.get(), "buttonclick");
  ASSERT_TRUE(click);
  EXPECT_EQ(click.Data(), form.get());
  EXPECT_FALSE(MethodAddress(form.get(), "NoSuchMethod"));
  EXPECT_FALSE(MethodAddress(button, "ButtonClick"));  // TBox publishes no methods

  SetMethodProp(button, "OnClick", click);
  ASSERT_TRUE(button->OnClick());
  EXPECT_TRUE(button->OnClick() == TNotifyEvent(form.get(), &TFancyBox::ButtonClick));
  button->OnClick()(button);
  EXPECT_EQ(form->clicks, 1);
  EXPECT_EQ(form->last_sender, button);
  EXPECT_EQ(GetMethodProp(button, "OnClick").Data(), form.get());

  EXPECT_THROW(SetMethodProp(button, "OnCount", click), EPropertyConvertError);
  SetMethodProp(button, "OnCount", MethodAddress(form.get(), "Counted"));
  int count = 1;
  button->OnCount(button, count);
  EXPECT_EQ(count, 11);

  SetMethodProp(button, "OnClick", TMethod());
  EXPECT_TRUE(button->OnClick() == nullptr);
  EXPECT_FALSE(GetMethodProp(button, "OnClick"));
}

TEST(PublishedProperties, StoredSpecifiersAndDefaults) {
  TBox box(nullptr);
  EXPECT_FALSE(IsStoredProp(&box, "Caption"));
  box.SetCaption("x");
  EXPECT_TRUE(IsStoredProp(&box, "Caption"));
  EXPECT_FALSE(IsStoredProp(&box, "Name"));
  EXPECT_TRUE(IsStoredProp(&box, "Width"));

  struct Case {
    const char* prop;
    std::optional<int64_t> def;
  } cases[] = {{"Visible", 1}, {"Tag", 0}, {"Color", clWindow}, {"Style", 0}, {"Width", std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(GetPropInfo(&box, c.prop)->Default, c.def) << c.prop;

  TFancyBox fancy(nullptr);
  EXPECT_FALSE(IsStoredProp(&fancy, "Ratio"));
  fancy.SetGlow(3);
  EXPECT_TRUE(IsStoredProp(&fancy, "Ratio"));
}
