// The run-time's exceptions, string and number conversions, formatting, file-name and file
// routines, and time. Text is UTF-8 in std::string.
#pragma once

#include <cstdint>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/Types.h"

// ---------------------------------------------------------------------------------------------
// Exceptions: one tree under Exception.

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  ~Exception() override = default;
  const std::string& Message() const { return message_; }
  void SetMessage(std::string m) { message_ = std::move(m); }
  int HelpContext() const { return help_context_; }
  void SetHelpContext(int c) { help_context_ = c; }
  const char* what() const noexcept override { return message_.c_str(); }
  // The dynamic class name ("EConvertError"), as the run-time reports it.
  std::string ClassName() const;

 private:
  std::string message_;
  int help_context_ = 0;
};

#define PX_DECLARE_EXCEPTION(Name, Base) \
  class Name : public Base {             \
   public:                               \
    using Base::Base;                    \
  }

// Silent exception: aborts an operation without a message to the user.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};
PX_DECLARE_EXCEPTION(EConvertError, Exception);
PX_DECLARE_EXCEPTION(EListError, Exception);
PX_DECLARE_EXCEPTION(EStringListError, Exception);
PX_DECLARE_EXCEPTION(EStreamError, Exception);
PX_DECLARE_EXCEPTION(EReadError, EStreamError);
PX_DECLARE_EXCEPTION(EWriteError, EStreamError);
PX_DECLARE_EXCEPTION(EFileStreamError, EStreamError);
PX_DECLARE_EXCEPTION(EFOpenError, EFileStreamError);
PX_DECLARE_EXCEPTION(EFCreateError, EFileStreamError);
PX_DECLARE_EXCEPTION(EResNotFound, Exception);
PX_DECLARE_EXCEPTION(EOutOfMemory, Exception);
PX_DECLARE_EXCEPTION(EAbstractError, Exception);
PX_DECLARE_EXCEPTION(EInvalidOperation, Exception);
PX_DECLARE_EXCEPTION(EInvalidPointer, Exception);
PX_DECLARE_EXCEPTION(EInvalidCast, Exception);
PX_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
PX_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);
PX_DECLARE_EXCEPTION(EIniFileException, Exception);
PX_DECLARE_EXCEPTION(EPropertyError, Exception);
PX_DECLARE_EXCEPTION(EPropertyConvertError, Exception);
PX_DECLARE_EXCEPTION(EComponentError, Exception);
PX_DECLARE_EXCEPTION(EThread, Exception);
PX_DECLARE_EXCEPTION(EOSError, Exception);
// An input/output error of the run-time's file routines; ErrorCode is the system's error number.
class EInOutError : public Exception {
 public:
  using Exception::Exception;
  EInOutError(std::string message, int errorCode) : Exception(std::move(message)), ErrorCode(errorCode) {}
  int ErrorCode = 0;
};
PX_DECLARE_EXCEPTION(EMathError, Exception);
PX_DECLARE_EXCEPTION(EZeroDivide, EMathError);
PX_DECLARE_EXCEPTION(EOverflow, EMathError);
PX_DECLARE_EXCEPTION(ERangeError, Exception);
PX_DECLARE_EXCEPTION(EIntOverflow, Exception);
PX_DECLARE_EXCEPTION(ENotSupportedException, Exception);
PX_DECLARE_EXCEPTION(EArgumentException, Exception);
PX_DECLARE_EXCEPTION(EArgumentOutOfRangeException, EArgumentException);

class EInvalidPropertyIndex : public EPropertyError {
 public:
  explicit EInvalidPropertyIndex(int index);
  using EPropertyError::EPropertyError;
};

// Raises EAbort.
[[noreturn]] void Abort();

// ---------------------------------------------------------------------------------------------
// Formatting.

struct TFormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  std::string CurrencyString = "$";
  uint8_t CurrencyFormat = 0;     // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  uint8_t NegCurrFormat = 0;      // 0 "($1)" .. 15, as the run-time numbers them
  uint8_t CurrencyDecimals = 2;
  char DateSeparator = '/';
  char TimeSeparator = ':';
  std::string ShortDateFormat = "M/d/yyyy";
  std::string LongTimeFormat = "h:mm:ss AMPM";
};

// The process's settings: the fixed "C"-like defaults above; may be changed by callers.
TFormatSettings& FormatSettings();

// One argument of Format, like an element of the run-time's "array of const".
struct TVarRec {
  enum class Kind : uint8_t { Int, UInt, Float, String, Pointer, Char } kind;
  int64_t i = 0;
  uint64_t u = 0;
  long double f = 0;
  std::string s;
  const void* p = nullptr;

  TVarRec(bool v) : kind(Kind::Int), i(v) {}
  TVarRec(char v) : kind(Kind::Char), s(1, v) {}
  TVarRec(signed char v) : kind(Kind::Int), i(v) {}
  TVarRec(unsigned char v) : kind(Kind::Int), i(v) {}
  TVarRec(short v) : kind(Kind::Int), i(v) {}
  TVarRec(unsigned short v) : kind(Kind::Int), i(v) {}
  TVarRec(int v) : kind(Kind::Int), i(v) {}
  TVarRec(unsigned v) : kind(Kind::Int), i(v) {}
  TVarRec(long v) : kind(Kind::Int), i(v) {}
  TVarRec(long long v) : kind(Kind::Int), i(v) {}
  TVarRec(unsigned long v) : kind(Kind::UInt), u(v) {}
  TVarRec(unsigned long long v) : kind(Kind::UInt), u(v) {}
  TVarRec(float v) : kind(Kind::Float), f(v) {}
  TVarRec(double v) : kind(Kind::Float), f(v) {}
  TVarRec(long double v) : kind(Kind::Float), f(v) {}
  TVarRec(const char* v) : kind(Kind::String), s(v ? v : "") {}
  TVarRec(std::string v) : kind(Kind::String), s(std::move(v)) {}
  TVarRec(std::string_view v) : kind(Kind::String), s(v) {}
  TVarRec(const void* v) : kind(Kind::Pointer), p(v) {}
};

// The run-time's Format: %[index:][-][width][.precision]type with types d u x e f g n m p s,
// "*" for width or precision from the arguments, "%%" for a percent sign. A bad format or a
// mismatched argument raises EConvertError.
std::string FormatV(std::string_view fmt, const std::vector<TVarRec>& args,
                    const TFormatSettings& fs = FormatSettings());
template <class... A>
std::string Format(std::string_view fmt, const A&... args) {
  return FormatV(fmt, std::vector<TVarRec>{TVarRec(args)...});
}
template <class... A>
std::string FormatFS(const TFormatSettings& fs, std::string_view fmt, const A&... args) {
  return FormatV(fmt, std::vector<TVarRec>{TVarRec(args)...}, fs);
}

enum class TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };
using enum TFloatFormat;

std::string FloatToStr(long double v, const TFormatSettings& fs = FormatSettings());
std::string FloatToStrF(long double v, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs = FormatSettings());
long double StrToFloat(std::string_view s, const TFormatSettings& fs = FormatSettings());
long double StrToFloatDef(std::string_view s, long double def, const TFormatSettings& fs = FormatSettings());
bool TryStrToFloat(std::string_view s, long double& v, const TFormatSettings& fs = FormatSettings());
bool TryStrToFloat(std::string_view s, double& v, const TFormatSettings& fs = FormatSettings());

// ---------------------------------------------------------------------------------------------
// Integers and strings.

std::string IntToStr(int64_t v);
std::string IntToHex(int64_t v, int digits);
// Decimal, or hexadecimal after "$", "0x" or "0X"; optional sign; blanks around are refused.
int32_t StrToInt(std::string_view s);                 // EConvertError "'%s' is not a valid integer value"
int32_t StrToIntDef(std::string_view s, int32_t def);
bool TryStrToInt(std::string_view s, int32_t& v);
int64_t StrToInt64(std::string_view s);
int64_t StrToInt64Def(std::string_view s, int64_t def);
bool TryStrToInt64(std::string_view s, int64_t& v);
bool StrToBool(std::string_view s);
bool StrToBoolDef(std::string_view s, bool def);
bool TryStrToBool(std::string_view s, bool& v);
std::string BoolToStr(bool b, bool useBoolStrs = false);

// Blank is any character <= ' ' (control characters included), as the run-time trims.
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);
// ASCII case rules: only 'a'..'z' and 'A'..'Z' change.
std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
int CompareText(std::string_view a, std::string_view b);  // <0, 0, >0, ignoring ASCII case
int CompareStr(std::string_view a, std::string_view b);
bool SameText(std::string_view a, std::string_view b);
bool SameStr(std::string_view a, std::string_view b);
std::string StringReplace(std::string_view s, std::string_view from, std::string_view to,
                          bool replaceAll = true, bool ignoreCase = false);
std::string QuotedStr(std::string_view s);
std::string AnsiDequotedStr(std::string_view s, char quote);
// 1-based position of sub in s, 0 when missing.
int Pos(std::string_view sub, std::string_view s, int offset = 1);
bool StartsText(std::string_view sub, std::string_view s);
bool EndsText(std::string_view sub, std::string_view s);

// ---------------------------------------------------------------------------------------------
// Text encodings.

std::u16string Utf8ToUtf16(std::string_view s);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view s);
bool IsValidUtf8(std::string_view s);
std::string Windows1252ToUtf8(std::string_view s);
// Valid UTF-8 is kept; anything else is decoded as Windows-1252.
std::string BytesToUtf8(std::string_view s);

// ---------------------------------------------------------------------------------------------
// File names and files. Both "\" and "/" are accepted as separators on input; "/" is produced.

constexpr char PathDelim = '/';
std::string ExtractFilePath(std::string_view name);   // with trailing delimiter
std::string ExtractFileDir(std::string_view name);    // without
std::string ExtractFileName(std::string_view name);
std::string ExtractFileExt(std::string_view name);    // with the dot, "" when none
std::string ChangeFileExt(std::string_view name, std::string_view ext);
std::string IncludeTrailingPathDelimiter(std::string_view s);
std::string ExcludeTrailingPathDelimiter(std::string_view s);
std::string ExpandFileName(std::string_view name);
bool FileExists(std::string_view name);
bool DirectoryExists(std::string_view name);
bool ForceDirectories(std::string_view dir);
bool DeleteFile(std::string_view name);
bool RenameFile(std::string_view oldName, std::string_view newName);
int64_t FileSizeOf(std::string_view name);  // -1 when missing
std::string GetCurrentDir();
std::string GetTempDir();                   // with trailing delimiter
// The folder of the running program (from /proc/self/exe), with trailing delimiter.
std::string ExtractProgramDir();
std::string ParamStr(int index);            // 0 = the program's full path
std::string SysErrorMessage(int error);

// ---------------------------------------------------------------------------------------------
// Time.

// Milliseconds from a monotonic clock, wrapping at 2^32. Tests may install their own clock.
uint32_t GetTickCount();
uint64_t GetTickCount64();
using TTickSource = uint64_t (*)();
// nullptr restores the real clock.
void SetTickSource(TTickSource source);
void Sleep(uint32_t ms);
TDateTime Now();
TDateTime Date();
TDateTime Time();
std::string DateTimeToStr(TDateTime d, const TFormatSettings& fs = FormatSettings());
std::string FormatDateTime(std::string_view fmt, TDateTime d, const TFormatSettings& fs = FormatSettings());
