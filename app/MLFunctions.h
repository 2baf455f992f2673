// The application's language files and the system services it stands on.
//
// A language file is INI text (UTF-8) with a section named after the form whose texts it sets,
// one line per setting:
//
//   [FrmQuillane]
//   Caption=Quillane              the form itself ("Caption" or ".Caption")
//   BtnOpen.Caption=&Open         a component the form owns, then a published property of it
//   BtnFit.Hint=Fit
//   SomeCombo.Items=second||first a TStrings property: the lines after and before the first "||"
//
//   [Messages]
//   Ms_Error=Error                the caption of the open-error box
//   Ms_OpenError=Can not open file#13#10(two lines)
//
// Integer properties (colours, Tag, positions...) take the value as an integer (decimal, or
// hexadecimal after "$"); string properties the text; properties of other kinds, read-only
// ones, nested names ("Font.Name") and unknown components or properties are skipped. Names
// compare without regard to case; values are cut to 2047 characters.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/forms/ShellApi.h"

class TComponent;
class TStrings;

// The application's language numbers (0 English .. 5 Dutch) and the number of none.
inline constexpr uint8_t LanguageCount = 6;
inline constexpr uint8_t LanguageNone = 7;

// The file of language Number relative to the program's folder ("Languages/English.isl"); ""
// for a number that names none.
std::string LanguageFileName(int32_t Number);

// The built-in texts of the open-error box, kept where a language file gives none.
inline constexpr const char* DefaultMsgError = "Error";
inline constexpr const char* DefaultMsgOpenError = "Can not open file";

// The folder of the running program (its real path), with a trailing "/"; the current folder
// when the program's path cannot be read.
std::string GetAppDir();

// Locale information of the given kind (LOCALE_SENGLANGUAGE...) for Locale (the system's by
// default); "" when the platform has none or it is longer than 18 bytes.
std::string GetLocaleLanguageName(LCTYPE Kind, LCID Locale = LOCALE_SYSTEM_DEFAULT);
// The language whose English name occurs in Name, without regard to case ("English (Canada)"
// is 0); LanguageNone when none does.
uint8_t LanguageOfEnglishName(std::string_view Name);
// The application's language of the locale's language (the system's by default).
uint8_t DetectSystemLanguage(LCID Locale = LOCALE_SYSTEM_DEFAULT);

// Applies the section named after Form's Name in the file to Form and the components it owns,
// line by line in file order. A missing file or section sets nothing. A value that is no
// integer for an integer property raises EConvertError ("'%s' is not a valid integer value")
// and the lines after it are not applied.
bool ApplyLanguageFile(TComponent* Form, const std::string& FileName);
// Sets the published property PropName of Component from Value by the property's kind (see
// above); nothing for a nil component or a property that is not settable so.
void SetComponentProperty(TComponent* Component, const std::string& PropName, const std::string& Value);
// List := [the text after the first Delimiter, the text before it], or [Text] without one.
void SplitAtFirst(const std::string& Text, const std::string& Delimiter, TStrings* List);
// The texts of the open-error box from the file's "Messages" section (keys "Ms_Error" and
// "Ms_OpenError", "#13#10" a line break); DefaultMsgError and DefaultMsgOpenError where the
// file, the section or a key is missing.
void LoadMessageTexts(const std::string& FileName, std::string& MsgError, std::string& MsgOpenError);
// Every "#13#10" replaced by a carriage return and a line feed.
std::string ExpandLineBreaks(std::string_view Text);

// Opens a web address or a file with the desktop's program for it; nothing for an address that
// is empty or blank. A failure is not reported.
void OpenURL(const std::string& Url);
