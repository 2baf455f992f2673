// Colour profiles (TPXICC) and the library-wide CMYK <-> RGB conversion.
//
// A TPXICC keeps one ICC profile as raw bytes, the profile opened by the colour-management
// engine (lcms2) and a cached transform towards another profile. The CMYK routines go through
// the built-in press profile and sRGB when the settings' FCMYKProfileConversion is on and both
// profiles open, otherwise through plain arithmetic.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/hypxdefs.h"

// Pixel layouts a transform converts from and to.
using TPXICCFormat = int32_t;
inline constexpr TPXICCFormat iccfRGB = 0;        // 3 bytes R, G, B (input only)
inline constexpr TPXICCFormat iccfBGR = 1;        // TRGB
inline constexpr TPXICCFormat iccfCMYK = 2;       // TCMYK, stored complemented
inline constexpr TPXICCFormat iccfCMYK6 = 3;      // C, M, Y, K ink bytes + 2 unused (input only)
inline constexpr TPXICCFormat iccfLab = 4;        // TCIELab, a and b signed
inline constexpr TPXICCFormat iccfGray = 5;       // 1 byte grey
inline constexpr TPXICCFormat iccfGray16 = 6;     // 1 word grey
inline constexpr TPXICCFormat iccfRGB48 = 7;      // 3 words R, G, B
inline constexpr TPXICCFormat iccfRGB48BE = 8;    // 3 big-endian words R, G, B (input only)
inline constexpr TPXICCFormat iccf3Channel = 9;   // 3 bytes of the profile's space (input only)

class TPXBitmap;
class TStream;

class TPXICC : public TObject {
 public:
  TPXICC();
  ~TPXICC() override;

  // Clears, then copies and opens Size bytes. The bytes are kept even when the engine refuses
  // them (IsValid is then false); the header texts are parsed in every case.
  void LoadFromBuffer(const void* Data, int32_t Size);
  // Clears, then reads the profile and opens it: with WholeStream every byte from the position to
  // the stream's end, else a 32-bit little-endian size and that many bytes. A size that is
  // negative or beyond the bytes left raises EReadError (the profile stays empty).
  void LoadFromStream(TStream* Stream, bool WholeStream);
  // The 32-bit size (unless RawOnly) and the bytes.
  void SaveToStream(TStream* Stream, bool RawOnly) const;
  // Clears; when Source holds bytes, copies and opens them.
  void Assign(const TPXICC* Source);
  // Releases the transform, closes the profile, frees the bytes, clears Applied.
  void Clear();

  // The built-in profiles.
  void LoadSRGB();
  void LoadDefaultCMYK();
  // The RGB space the EXIF interoperability index "R03" names (display class, XYZ connection).
  void LoadWideGamutRGB();

  // Whether the profile's colour space takes pixels of Format: an empty profile takes every
  // layout up to code 9; "CMYK" the CMYK layouts, "Lab " Lab, "GRAY" the grey layouts, "YCbr"
  // the three-channel one, "RGB " the RGB layouts.
  bool IsCompatibleFormat(TPXICCFormat Format) const;

  // Converts Bitmap from this profile to Dest, into NewPixelFormat (px8g, px16g, px24RGB, pxCMYK,
  // pxRGB48 or pxCIELab, as must be the bitmap's own format); the profile then counts as
  // applied. False, the bitmap unchanged, for other formats or when no transform can be made.
  bool ConvertBitmap(TPXBitmap* Bitmap, TPXPixelFormat NewPixelFormat, TPXICC* Dest);

  // A profile is open.
  bool IsValid() const { return FProfileHandle != nullptr; }
  // A transform is cached.
  bool HasTransform() const { return FTransformHandle != nullptr; }
  // Deletes the cached transform; when there was one the profile counts as applied.
  void FreeTransform();
  // Makes (or keeps) the transform from this profile to Dest for the two layouts; X and Y are
  // two further parameters the transform is remade for (callers pass 0). False when either
  // profile is not open, a layout is unknown or cannot be produced, or the engine refuses.
  bool PrepareTransform(const TPXICC* Dest, TPXICCFormat InFormat, int32_t X, int32_t Y,
                        TPXICCFormat OutFormat);
  // Converts Count pixels of Input into Output through the transform towards Dest. False (and
  // Output untouched) when no transform can be had.
  bool Transform(const TPXICC* Dest, TPXICCFormat InFormat, int32_t Count, void* Output,
                 const void* Input, int32_t X, int32_t Y, TPXICCFormat OutFormat);

  const uint8_t* ProfileData() const { return FProfileData.empty() ? nullptr : FProfileData.data(); }
  int32_t ProfileSize() const { return static_cast<int32_t>(FProfileData.size()); }
  // The engine's handle of the open profile (nullptr when none).
  void* ProfileHandle() const { return FProfileHandle; }
  bool Applied() const { return FApplied; }
  const std::string& CprtText() const { return FCprtText; }
  const std::string& DescriptionText() const { return FDescriptionText; }
  // 4-character signatures at header offsets 16 and 20 ("RGB ", "CMYK", "Lab ", "GRAY"...).
  const std::string& ColorSpace() const { return FColorSpace; }
  const std::string& ConnectionSpace() const { return FConnectionSpace; }

 private:
  void Open();
  void ParseHeader();

  std::vector<uint8_t> FProfileData;
  void* FProfileHandle = nullptr;  // cmsHPROFILE
  uint64_t FProfileId = 0;         // unique per opened profile, so a transform knows its Dest
  bool FApplied = false;
  TPXICCFormat FInFormat = 0;
  TPXICCFormat FOutFormat = 0;
  int32_t FParamX = 0;
  int32_t FParamY = 0;
  uint64_t FDestId = 0;
  void* FTransformHandle = nullptr;  // cmsHTRANSFORM
  std::string FCprtText;
  std::string FDescriptionText;
  std::string FColorSpace;
  std::string FConnectionSpace;
};

// The built-in sRGB profile, opened once for the process on first use and never changed after:
// a read-only transform destination any thread may share.
const TPXICC* SharedSRGBProfile();

// Whether the colour engine is there: lcms2 is linked in, so always true.
bool LoadColorManagement();

// True when the built-in CMYK and sRGB profiles are open and their shared transforms made.
// A failure is final for the process (until FreeCmykProfiles).
bool EnsureCmykProfiles();
// Frees the two shared profiles (the I/O support's tear-down).
void FreeCmykProfiles();

TRGB CmykToRgbPixel(const TCMYK& Cmyk);
TCMYK RgbToCmykPixel(const TRGB& Rgb);
// Count pixels. With Weights (one per pixel, 18 fraction bits) each output channel becomes
// out + ((new - out) * weight) >> 18 instead of new.
void CmykToRgbRow(const TCMYK* Input, TRGB* Output, int32_t Count, const int32_t* Weights = nullptr);
void RgbToCmykRow(const TRGB* Input, TCMYK* Output, int32_t Count);
