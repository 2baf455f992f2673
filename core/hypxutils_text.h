// Text, number, file-name, stream-encoding and font helpers of the image library. Pure
// functions; none keeps state. Byte strings and wide strings are both UTF-8 std::string here,
// except the *W file-name forms, which take UTF-16 as the file-name routines of hypxutils.h do.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/gdi/Graphics.h"
#include "platform/gdi/WinGdi.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------------------------
// Numbers and text

inline std::string IntToText(int64_t Value) { return IntToStr(Value); }
inline int32_t TextToIntDef(std::string_view Text, int32_t Default) { return StrToIntDef(Text, Default); }
inline std::string IntToHexText(int64_t Value, int32_t Digits) { return IntToHex(Value, Digits); }
inline std::string FloatToTextF(long double Value, TFloatFormat Format, int32_t Precision, int32_t Digits) {
  return FloatToStrF(Value, Format, Precision, Digits);
}
// Count characters from the 1-based Index (the run-time's Copy).
std::string CopyText(std::string_view Text, int32_t Index, int32_t Count);
inline int32_t PosText(std::string_view Sub, std::string_view Text) { return Pos(Sub, Text); }
inline std::string TrimText(std::string_view Text) { return Trim(Text); }
inline std::string UpperCaseText(std::string_view Text) { return UpperCase(Text); }
inline std::string LowerCaseText(std::string_view Text) { return LowerCase(Text); }

// The process's format settings with "." as decimal and "," as thousands separator.
TFormatSettings InvariantFormatSettings();
// Format, whatever the locale, with "." and ",".
template <class... A>
std::string FormatInvariant(std::string_view Fmt, const A&... Args) {
  return FormatFS(InvariantFormatSettings(), Fmt, Args...);
}
template <class... A>
std::string FormatInvariantStr(std::string_view Fmt, const A&... Args) {
  return FormatFS(InvariantFormatSettings(), Fmt, Args...);
}
// FloatToStr (15 significant digits) with every "," and the locale decimal separator as ".".
std::string FloatToTextDot(double Value);
inline std::string FloatToTextDotW(double Value) { return FloatToTextDot(Value); }
// Format("%.<Decimals>f"); with TrimZeros and a "." in the text, trailing zeros and then a
// trailing "." removed.
std::string FloatToTextFixed(int32_t Decimals, bool TrimZeros, double Value);
// Value with Decimals decimals (more for values below 1, so their first significant digits
// show), cut rather than rounded, with locale thousands separators.
std::string FloatToTextDecimals(int32_t Decimals, bool TrimZeros, double Value);
// Value with locale thousands separators, first rounded to SignificantDigits digits when that is
// above 0 and the value has more.
std::string FormatThousands(int64_t Value, int32_t SignificantDigits);
// Below Threshold "<n> bytes", else "<n div 1024> KB".
std::string BytesToText(int64_t Value, int64_t Threshold);
// Below 10 MB as BytesToText(Size, 1024), below 1 GB in MB, else in GB (two decimals at most).
std::string FileSizeToText(int64_t Size);
// Value as a fraction by continued fractions, within Tolerance; both parts fit 32 bits.
void FloatToFraction(double Tolerance, double Value, int32_t& Numerator, int32_t& Denominator);
// True for "1", "TRUE" and "T" in any case.
bool StrToBoolean(std::string_view Text);
// "false" or "true".
std::string BoolToText(bool Value);
// A + Separator + B when both are non-empty, else A + B.
std::string JoinWithSeparator(std::string_view A, std::string_view B, std::string_view Separator);
// A zero-terminated heap copy; nil for nil.
std::unique_ptr<char[]> StrNewA(const char* Text);
std::unique_ptr<char16_t[]> StrNewW(const char16_t* Text);

// Open + the GUID in lower-case hexadecimal groups of 8, 4, 4, 4 and 12 digits joined by
// Separator + Close.
std::string GUIDToText(const TGUID& GUID, std::string_view Open, std::string_view Separator, std::string_view Close);

// ---------------------------------------------------------------------------------------------
// Measure units

enum class TPXUnits : uint8_t {
  pxuPixels,
  pxuInches,
  pxuKM,
  pxuMeters,
  pxuCentimeters,
  pxuMillimeters,
  pxuMicrons,
  pxuNanometers,
  pxuFeet,
  pxuYards,
  pxuMiles,
};
using enum TPXUnits;

// Units per inch (pixels: DPI); the top bit of the unit is ignored. EPXException
// "Invalid TPXUnit" for any other value.
double UnitsPerInch(TPXUnits Unit, double DPI);
// Value converted between units; Exception "Cannot convert pixels. DPI not set" when either
// unit is pixels and DPI is 0.
double ConvertUnits(TPXUnits FromUnit, TPXUnits ToUnit, double Value, double DPI);
// The size of one pixel in Unit per axis; 1 and 1 for pixels or when either DPI is 0.
void PixelSizeInUnits(TPXUnits Unit, double DPIX, double DPIY, double& SizeX, double& SizeY);

// ---------------------------------------------------------------------------------------------
// GPS degrees

// Degrees + Minutes / 60 + Seconds / 3600, negative for Ref "W" or "S".
double GPSToDegrees(std::string_view Ref, double Degrees, double Minutes, double Seconds);
// Value as degrees, minutes and seconds; Ref the second character of RefPair for Value >= 0,
// else the first ("SN", "WE").
void DegreesToGPS(std::string_view RefPair, double Value, double& Degrees, double& Minutes, double& Seconds,
                  std::string& Ref);

// ---------------------------------------------------------------------------------------------
// Files and names

// The lower-cased extension, with or without its dot.
std::string ExtractFileExtLower(std::string_view Name, bool WithDot);
inline std::string GetFileExtLower(std::string_view Name, bool WithDot) { return ExtractFileExtLower(Name, WithDot); }
std::u16string ExtractFileExtLowerW(std::u16string_view Name, bool WithDot);
// Whether the extension (dot optional, any case) is listed in a filter such as "*.gif;*.jpg";
// "*.*" takes everything.
bool ExtensionInFilter(std::string_view Ext, std::string_view Filter);
bool FileMatchesFilter(std::string_view FileName, std::string_view Filter);
// The part up to and including, or after, the last "\", "/" or ":".
std::u16string ExtractFilePathW(std::u16string_view Name);
std::u16string ExtractFileNameW(std::u16string_view Name);
// The file-name part without its extension.
std::string ExtractFileNameNoExt(std::string_view Name);
// Size and local creation and modification times of a file; False (all 0) when there is none.
// Without a recorded creation time, Created is Modified.
bool FileInfo(std::string_view Name, int64_t& Size, TDateTime& Created, TDateTime& Modified);
// 1 "http://", 2 "https://", 3 "ftp://", else 0 (any case).
int32_t URLKind(std::string_view Text);
inline int32_t URLKindW(std::string_view Text) { return URLKind(Text); }

// ---------------------------------------------------------------------------------------------
// Streams and encodings

// Searches from the stream's position for Pattern (a full substring search); answers the
// position where it starts, leaving the stream just after it, or -1 when the position reaches
// Limit or the end first (or Pattern is empty).
int64_t SearchStream(TStream* Stream, std::string_view Pattern, int64_t Limit);
// Text, then CR LF.
void WriteStreamLine(TStream* Stream, std::string_view Text);
// The PostScript ASCII85 text of Count bytes appended to Dest: groups of 4 bytes, "z" for four
// zero bytes, n + 1 characters for a final group of n; CR LF after a group that brings the line
// to 75 characters or more; "~>" and CR LF at the end. Source advances; GroupBytes adds the group
// characters; answers the bytes appended.
int32_t Ascii85Encode(const uint8_t*& Source, int32_t Count, std::string& Dest, int32_t& GroupBytes);
// The PostScript run-length encoding of Count bytes appended to Dest, ending with 128; answers
// the bytes appended.
int32_t RunLengthEncode(const uint8_t* Source, int32_t Count, std::vector<uint8_t>& Dest);
// Base64 of Source from its position to its end, CR LF after every ceil(LineLength / 4) groups
// and after the last; nothing for an empty rest.
void Base64EncodeStream(TStream* Source, TStream* Dest, int32_t LineLength);

// ---------------------------------------------------------------------------------------------
// Fonts

// Bold from weight 700, italic, underline and strike-out; none for nil.
TFontStyles FontStylesFromLogFont(const LOGFONT* Font);

// ---------------------------------------------------------------------------------------------
// Debug log

// Appends a dated line to the file the settings' FDebugLogFile names; nothing when it is empty.
// Safe from any thread; a failing write is ignored.
void AppendDebugLog(std::string_view Text);
