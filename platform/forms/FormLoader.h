// The form loader: builds a form's components from the class library's text form description,
// and writes one back.
//
//   object FrmMain: TFrmMain
//     Caption = 'Main'#13#10 +
//       'window'
//     Font.Style = [fsBold]
//     OnCreate = FormCreate
//     object Panel1: TPanel
//       Align = alTop
//       object Button1: TButton
//         Lines.Strings = (
//           'a'
//           'b')
//         Columns = <
//           item
//             Width = 40
//           end>
//         Picture.Data = {0A0B}
//         PopupMenu = Menu1
//       end
//     end
//   end
//
// The root block's properties go to the existing root object; each nested `object` block
// creates a component of a registered class (RegisterClass) owned by the root, names it, tells
// it the enclosing object (TComponent::SetParentComponent) and then reads its properties and
// nested blocks. `inherited` blocks read into a component that already exists (made by an
// ancestor's description); `inline` blocks create a component whose nested blocks it owns.
// Component references are resolved once the whole description is read; event bindings name
// published methods of the root. Every component read is csLoading (csReading while its own
// properties are read) and gets Loaded, root first, then in creation order, at the end.
//
// Values: integers (12, -3, $1F), floats (1.5, 1.5E3), strings ('it''s', #13#10, #$263A, UTF-16
// code units with surrogate pairs combined, joined by + across lines), identifiers (enumeration
// values, True/False, names of integer constants, nil, component references: Button1 or
// FrmMain.Button1, method names), sets [a, b], lists ( ... ) for a TStrings' Strings and for
// defined properties, collections < item ... end >, and binary data { hex } for defined binary
// properties (TPropertyBuilder::DefineBinaryProperty).
//
// Errors raise EReadError whose message starts with "Line <n>: ": "Error reading
// <component>.<property>: <reason>" for a property ("Property X does not exist", "Invalid
// property value", "Method X not found", "Component X not found"), "Class X not found" for an
// unregistered class, and EParserError (an EReadError) for text that is not a form
// description. A failed load leaves the components read so far owned by the root, their
// loading flags cleared and without Loaded; the caller normally frees the root.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Classes_components.h"
#include "platform/rtl/Classes_streams.h"
#include "platform/rtl/SysUtils.h"

PX_DECLARE_EXCEPTION(EParserError, EReadError);

// The kinds of value a form description holds.
enum class TValueType : uint8_t {
  vaNull,  // the end of a list (or of the value being read)
  vaList, vaInteger, vaFloat, vaString, vaIdent, vaFalse, vaTrue, vaNil, vaSet, vaCollection, vaBinary
};
using enum TValueType;

struct TFormValue;  // a parsed value (FormLoader.cpp)

// Reads the value of a defined property (TDefinedProp::Read) in stored order. The reader must
// take the whole value (SkipValue drops one); reading a value of another kind, past the end, or
// leaving part of it unread raises EReadError "Invalid property value".
class TReader {
 public:
  // Made by the loader for one value.
  TReader(const TFormValue& Value, TComponent* Root);

  TValueType NextValue() const;
  bool EndOfList() const { return NextValue() == vaNull; }
  bool ReadBoolean();
  int32_t ReadInteger();
  int64_t ReadInt64();
  long double ReadFloat();  // integers too
  std::string ReadString();
  std::string ReadIdent();  // identifiers, True, False and nil
  std::vector<std::string> ReadSet();
  void ReadListBegin();
  void ReadListEnd();
  void SkipValue();
  // The form being read.
  TComponent* Root() const { return root_; }
  // Whether the value was read completely.
  bool AtEnd() const { return frames_.size() == 1 && EndOfList(); }

 private:
  struct TFrame {
    const TFormValue* Items;
    size_t Count;
    size_t Pos;
  };
  const TFormValue& Take();

  std::vector<TFrame> frames_;
  TComponent* root_;
};

// Reads Text into Root (see above).
void LoadFormFromText(TComponent* Root, std::string_view Text);
// Reads the rest of Stream as a text description (UTF-8, or UTF-16 with its byte order mark;
// other bytes are read as Windows-1252).
void LoadFormFromStream(TComponent* Root, TStream* Stream);
// Reads the compiled-in RCDATA resources named after Root's class and its ancestors below
// RootAncestor (all the way to TComponent when nil), the oldest first, as one load: an
// inherited form's description refines its ancestor's. False when none exists.
bool LoadFormFromResource(TComponent* Root, TClass RootAncestor = nullptr);

// Writes Root and the components it owns, nested by GetParentComponent, with their stored
// published properties that differ from their defaults, TStrings' strings, collections,
// component references, event bindings to Root's published methods and defined binary and
// integer properties. Reading the text back into a fresh root rebuilds the same tree.
std::string WriteComponentToText(TComponent* Root);
