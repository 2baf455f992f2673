// The application's language files and the system services it stands on.
#include "app/MLFunctions.h"

#include <memory>

#include "platform/forms/WinUser.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/IniFiles.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

namespace {

// The English names of the languages, in the order of their numbers.
constexpr const char* kLanguageNames[LanguageCount] = {"English", "German", "Spanish", "French", "Italian", "Dutch"};

}  // namespace

std::string LanguageFileName(int32_t Number) {
  if (Number < 0 || Number >= LanguageCount) return {};
  return std::string("Languages/") + kLanguageNames[Number] + ".isl";
}

std::string GetAppDir() {
  std::string dir = ExtractProgramDir();
  if (dir.empty()) dir = GetCurrentDir();
  return IncludeTrailingPathDelimiter(dir);
}

std::string GetLocaleLanguageName(LCTYPE Kind, LCID Locale) {
  // The platform's answer through a buffer of 19 characters, as the settings always read it.
  char buffer[19] = {};
  if (GetLocaleInfo(Locale, Kind, buffer, static_cast<int32_t>(sizeof buffer)) <= 0) return {};
  return buffer;
}

uint8_t LanguageOfEnglishName(std::string_view Name) {
  const std::string name = LowerCase(Name);
  for (uint8_t i = 0; i < LanguageCount; ++i)
    if (name.find(LowerCase(kLanguageNames[i])) != std::string::npos) return i;
  return LanguageNone;
}

uint8_t DetectSystemLanguage(LCID Locale) {
  return LanguageOfEnglishName(GetLocaleLanguageName(LOCALE_SENGLANGUAGE, Locale));
}

void SplitAtFirst(const std::string& Text, const std::string& Delimiter, TStrings* List) {
  List->Clear();
  const size_t p = Delimiter.empty() ? std::string::npos : Text.find(Delimiter);
  if (p == std::string::npos) {
    List->Add(Text);
    return;
  }
  List->Add(Text.substr(p + Delimiter.size()));
  List->Add(Text.substr(0, p));
}

void SetComponentProperty(TComponent* Component, const std::string& PropName, const std::string& Value) {
  if (!Component) return;
  PPropInfo prop = GetPropInfo(Component, PropName);
  if (!prop) return;
  switch (prop->Kind()) {
    case tkInteger:
      if (prop->SetOrd) SetOrdProp(Component, prop, StrToInt(Value));
      return;
    case tkString:
      if (prop->SetStr) SetStrProp(Component, prop, Value);
      return;
    case tkClass: {
      if (prop->PropType->Name != "TStrings" || (!prop->SetObj && !prop->GetObj)) return;
      // The component copies the lines.
      TStringList lines;
      SplitAtFirst(Value, "||", &lines);
      SetObjectProp(Component, prop, &lines);
      return;
    }
    default:
      return;  // enumerations, sets, floats, events: not set from text
  }
}

bool ApplyLanguageFile(TComponent* Form, const std::string& FileName) {
  if (!Form) return true;
  TIniFile file(FileName);
  TStringList entries;
  file.ReadSectionValues(Form->Name(), &entries);
  TStringList parts;
  for (int32_t i = 0; i < entries.Count(); ++i) {
    SplitAtFirst(entries.Strings(i), "=", &parts);
    if (parts.Count() < 2) continue;  // every entry holds its "="
    const std::string key = Trim(parts.Strings(1));
    const size_t dot = key.find('.');
    const std::string componentName = dot == std::string::npos ? std::string() : Trim(key.substr(0, dot));
    TComponent* component = componentName.empty() ? Form : Form->FindComponent(componentName);
    const std::string propName = dot == std::string::npos ? key : Trim(key.substr(dot + 1));
    SetComponentProperty(component, propName, Trim(parts.Strings(0)));
  }
  return true;
}

std::string ExpandLineBreaks(std::string_view Text) {
  static constexpr std::string_view kBreak = "#13#10";
  std::string out;
  out.reserve(Text.size());
  size_t start = 0;
  for (size_t p; (p = Text.find(kBreak, start)) != std::string_view::npos; start = p + kBreak.size()) {
    out.append(Text.substr(start, p - start));
    out += "\r\n";
  }
  out.append(Text.substr(start));
  return out;
}

void LoadMessageTexts(const std::string& FileName, std::string& MsgError, std::string& MsgOpenError) {
  TIniFile file(FileName);
  MsgError = ExpandLineBreaks(file.ReadString("Messages", "Ms_Error", DefaultMsgError));
  MsgOpenError = ExpandLineBreaks(file.ReadString("Messages", "Ms_OpenError", DefaultMsgOpenError));
}

void OpenURL(const std::string& Url) {
  if (Trim(Url).empty()) return;
  SHELLEXECUTEINFO info;
  info.cbSize = sizeof info;
  info.fMask = SEE_MASK_FLAG_NO_UI | SEE_MASK_FLAG_DDEWAIT;
  info.hwnd = nullptr;
  info.lpVerb = "Open";
  info.lpFile = Url.c_str();
  info.nShow = SW_SHOWNORMAL;
  ShellExecuteEx(&info);
}
