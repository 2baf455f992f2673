// The EXIF group of the parameters read from a TIFF structure: the page-level tags, the EXIF,
// GPS and Interoperability directories, the UserComment and the maker note.
#include <string>

#include "codecs/tiffilt_exif.h"
#include "codecs/tiffilt_impl.h"
#include "core/pxsettings.h"
#include "core/hypxutils.h"
#include "io/pxicc.h"
#include "io/pxmakernote.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/SysUtils.h"

namespace tiffilt_detail {

namespace {

std::string Text(const TPXTIFFIFDReader& R, int32_t Tag) { return BytesToUtf8(R.ReadString(Tag, true)); }
int32_t Int(const TPXTIFFIFDReader& R, int32_t Tag, int32_t Default, uint64_t Item = 0) {
  return int32_t(R.ReadInteger(Tag, Default, Item));
}

}  // namespace

void ReadPageExifTags(const TPXTIFFIFDReader& R, TIOParams* P) {
  P->EXIF_ImageDescription = Text(R, 270);
  P->EXIF_Make = Text(R, 271);
  P->EXIF_Model = Text(R, 272);
  P->EXIF_DateTime = Text(R, 306);
  P->EXIF_Software = Text(R, 305);
  P->EXIF_Artist = Text(R, 315);
  P->EXIF_Copyright = Text(R, 33432);
  P->EXIF_Rating = Int(R, 18246, -1);
  P->EXIF_XPTitle = R.ReadWideString(40091);
  P->EXIF_XPComment = R.ReadWideString(40092);
  P->EXIF_XPAuthor = R.ReadWideString(40093);
  P->EXIF_XPKeywords = R.ReadWideString(40094);
  P->EXIF_XPSubject = R.ReadWideString(40095);
  P->EXIF_ResolutionUnit = Int(R, 296, 2);
  for (int32_t i = 0; i < 2; ++i) P->SetExifWhitePoint(i, R.ReadRational(318, uint64_t(i), -1));
  for (int32_t i = 0; i < 6; ++i) P->SetExifPrimaryChromaticities(i, R.ReadRational(319, uint64_t(i), -1));
  for (int32_t i = 0; i < 3; ++i) P->SetExifYCbCrCoefficients(i, R.ReadRational(529, uint64_t(i), -1));
  for (int32_t i = 0; i < 6; ++i) P->SetExifReferenceBlackWhite(i, R.ReadRational(532, uint64_t(i), -1));
  P->EXIF_YCbCrPositioning = Int(R, 531, -1);
  for (int32_t i = 0; i < 4; ++i) P->SetExifSubjectArea(i, Int(R, 37396, -1, uint64_t(i)));
}

void ReadExifDirectories(const TPXTIFFIFDReader& E, const TPXTIFFIFDReader& G, const TPXTIFFIFDReader& I,
                         TIOParams* P, int64_t StreamSize) {
  if (E.EntryCount > 0 || !E.Entries.empty()) {
    for (const TExifRationalTag& t : ExifRationalTags()) {
      const double v = E.ReadSignedRational(t.Tag, 0, t.Default);
      if (t.Setter)
        (P->*t.Setter)(v);
      else
        P->*t.Field = v;
    }
    for (const TExifIntegerTag& t : ExifIntegerTags()) {
      const int32_t v = Int(E, t.Tag, t.Default, t.Item);
      if (t.Setter)
        (P->*t.Setter)(v);
      else
        P->*t.Field = v;
    }
    P->SetExifIsoSpeedRatings(0, Int(E, 34855, 0, 0));
    P->SetExifIsoSpeedRatings(1, Int(E, 34855, 0, 1));
    // SubjectArea belongs to the EXIF directory; older files keep it in the page's.
    if (E.FindTag(37396) >= 0)
      for (int32_t i = 0; i < 4; ++i) P->SetExifSubjectArea(i, Int(E, 37396, -1, uint64_t(i)));
    P->SetExifSubjectLocationX(Int(E, 41492, -1, 0));
    P->SetExifSubjectLocationY(Int(E, 41492, -1, 1));
    for (const TExifTextTag& t : ExifTextTags()) P->*t.Field = Text(E, t.Tag);
    // UserComment: an 8-byte character code, then the text.
    std::vector<uint8_t> b;
    E.ReadRawData(37510, b);
    if (E.FindTag(37510) >= 0 && b.size() > 8) {
      const std::string code(b.begin(), b.begin() + 8);
      if (code == std::string("UNICODE\0", 8)) {
        std::u16string w;
        // UTF-16 in the directory's byte order.
        const int lo = E.LittleEndian ? 0 : 1, hi = 1 - lo;
        for (size_t k = 8; k + 1 < b.size(); k += 2) w.push_back(char16_t(b[k + lo] | (b[k + hi] << 8)));
        if ((b.size() - 8) % 2) w.push_back(char16_t(b.back()));
        while (!w.empty() && w.back() == 0) w.pop_back();
        P->EXIF_UserCommentCode = code;
        P->EXIF_UserComment = Utf16ToUtf8(w);
      } else if (code == std::string("ASCII\0\0\0", 8) || code == std::string("JIS\0\0\0\0\0", 8) ||
                 code == std::string(8, '\0')) {
        std::string t(b.begin() + 8, b.end());
        while (!t.empty() && t.back() == 0) t.pop_back();
        P->EXIF_UserCommentCode = code;
        P->EXIF_UserComment = BytesToUtf8(t);
      } else {
        std::string t(b.begin(), b.end());
        while (!t.empty() && t.back() == 0) t.pop_back();
        P->EXIF_UserCommentCode = std::string(8, '\0');
        P->EXIF_UserComment = BytesToUtf8(t);
      }
    } else if (E.FindTag(37510) >= 0) {
      P->EXIF_UserCommentCode = std::string("UNICODE\0", 8);
      P->EXIF_UserComment.clear();
    }
    ReadMakerNoteTag(E, P, StreamSize);
  }
  if (!G.Entries.empty()) {
    const int32_t vi = G.FindTag(0);
    if (vi >= 0) {
      std::string v;
      // Four bytes, zeros included: "2.2.0.0", and "0.0.0.0" still marks a GPS directory.
      for (uint64_t k = 0; k < std::min<uint64_t>(G.GetTagCount(vi), 4); ++k) {
        if (k > 0) v += '.';
        v += std::to_string(G.ReadTagItem(vi, k) & 0xFF);
      }
      P->EXIF_GPSVersionID = v;
    } else {
      P->EXIF_GPSVersionID = "2.2.0.0";
    }
    for (const TGpsTextTag& t : GpsTextTags()) P->*t.Field = Text(G, t.Tag);
    for (const TGpsTripleTag& t : GpsTripleTags())
      for (int32_t k = 0; k < 3; ++k) (P->*t.Field)[size_t(k)] = G.ReadRational(t.Tag, uint64_t(k), 0);
    for (const TGpsRationalTag& t : GpsRationalTags()) P->*t.Field = G.ReadRational(t.Tag, 0, 0);
    P->EXIF_GPSAltitudeRef = G.FindTag(5) >= 0 ? std::to_string(G.ReadInteger(5, 0)) : std::string();
    P->NormalizeGps();
  }
  if (!I.Entries.empty()) {
    P->EXIF_InteropIndex = Text(I, 1);
    P->EXIF_InteropVersion = Text(I, 2);
  }
}

}  // namespace tiffilt_detail

namespace tiffilt_detail {

using P = TIOParams;
using X = TIOParamsExif;

std::span<const TExifRationalTag> ExifRationalTags() {
  static const TExifRationalTag t[] = {
      {33434, -1, &P::SetExifExposureTime, nullptr},
      {33437, -1, &P::SetExifFNumber, nullptr},
      {37122, 0, &P::SetExifCompressedBitsPerPixel, nullptr},
      {37377, -1, &P::SetExifShutterSpeedValue, nullptr},
      {37378, -1, &P::SetExifApertureValue, nullptr},
      {37379, -1000, &P::SetExifBrightnessValue, nullptr},
      {37380, -1000, &P::SetExifExposureBiasValue, nullptr},
      {37381, -1000, &P::SetExifMaxApertureValue, nullptr},
      {37382, -1, &P::SetExifSubjectDistance, nullptr},
      {37386, -1, &P::SetExifFocalLength, nullptr},
      {41486, -1, &P::SetExifFocalPlaneXResolution, nullptr},
      {41487, -1, &P::SetExifFocalPlaneYResolution, nullptr},
      {41493, -1, &P::SetExifExposureIndex, nullptr},
      {41988, -1, nullptr, &X::EXIF_DigitalZoomRatio},
      {42240, -1, nullptr, &X::EXIF_Gamma},
  };
  return t;
}

std::span<const TExifIntegerTag> ExifIntegerTags() {
  static const TExifIntegerTag t[] = {
      {34850, -1, 0, &P::SetExifExposureProgram, nullptr, ttShort},
      {37383, -1, 0, &P::SetExifMeteringMode, nullptr, ttShort},
      {37384, -1, 0, &P::SetExifLightSource, nullptr, ttShort},
      {37385, -1, 0, &P::SetExifFlash, nullptr, ttShort},
      {40961, -1, 0, &P::SetExifColorSpace, nullptr, ttShort},
      {40962, 0, 0, &P::SetExifPixelXDimension, nullptr, ttShort},
      {40963, 0, 0, &P::SetExifPixelYDimension, nullptr, ttShort},
      {41488, -1, 0, &P::SetExifFocalPlaneResolutionUnit, nullptr, ttShort},
      {41495, -1, 0, &P::SetExifSensingMethod, nullptr, ttShort},
      {41728, -1, 0, &P::SetExifFileSource, nullptr, ttUndefined},
      {41729, -1, 0, &P::SetExifSceneType, nullptr, ttUndefined},
      {41986, -1, 0, nullptr, &X::EXIF_ExposureMode, ttShort},
      {41987, -1, 0, nullptr, &X::EXIF_WhiteBalance, ttShort},
      {41989, -1, 0, nullptr, &X::EXIF_FocalLengthIn35mmFilm, ttShort},
      {41990, -1, 0, nullptr, &X::EXIF_SceneCaptureType, ttShort},
      {41991, -1, 0, nullptr, &X::EXIF_GainControl, ttShort},
      {41992, -1, 0, nullptr, &X::EXIF_Contrast, ttShort},
      {41993, -1, 0, nullptr, &X::EXIF_Saturation, ttShort},
      {41994, -1, 0, nullptr, &X::EXIF_Sharpness, ttShort},
      {41996, -1, 0, nullptr, &X::EXIF_SubjectDistanceRange, ttShort},
  };
  return t;
}

std::span<const TExifTextTag> ExifTextTags() {
  static const TExifTextTag t[] = {
      {36864, &X::EXIF_ExifVersion},        {36867, &X::EXIF_DateTimeOriginal},
      {36868, &X::EXIF_DateTimeDigitized},  {37520, &X::EXIF_SubsecTime},
      {37521, &X::EXIF_SubsecTimeOriginal}, {37522, &X::EXIF_SubsecTimeDigitized},
      {40960, &X::EXIF_FlashPixVersion},    {40964, &X::EXIF_RelatedSoundFile},
      {42016, &X::EXIF_ImageUniqueID},      {42032, &X::EXIF_CameraOwnerName},
      {42033, &X::EXIF_BodySerialNumber},   {42035, &X::EXIF_LensMake},
      {42036, &X::EXIF_LensModel},          {42037, &X::EXIF_LensSerialNumber},
  };
  return t;
}

std::span<const TGpsTextTag> GpsTextTags() {
  static const TGpsTextTag t[] = {
      {1, &X::EXIF_GPSLatitudeRef},     {3, &X::EXIF_GPSLongitudeRef},  {8, &X::EXIF_GPSSatellites},
      {9, &X::EXIF_GPSStatus},          {10, &X::EXIF_GPSMeasureMode},  {12, &X::EXIF_GPSSpeedRef},
      {14, &X::EXIF_GPSTrackRef},       {16, &X::EXIF_GPSImgDirectionRef}, {18, &X::EXIF_GPSMapDatum},
      {19, &X::EXIF_GPSDestLatitudeRef}, {21, &X::EXIF_GPSDestLongitudeRef}, {23, &X::EXIF_GPSDestBearingRef},
      {25, &X::EXIF_GPSDestDistanceRef}, {29, &X::EXIF_GPSDateStamp},
  };
  return t;
}

std::span<const TGpsTripleTag> GpsTripleTags() {
  static const TGpsTripleTag t[] = {
      {2, &X::EXIF_GPSLatitude},      {4, &X::EXIF_GPSLongitude},      {7, &X::EXIF_GPSTimeStamp},
      {20, &X::EXIF_GPSDestLatitude}, {22, &X::EXIF_GPSDestLongitude},
  };
  return t;
}

std::span<const TGpsRationalTag> GpsRationalTags() {
  static const TGpsRationalTag t[] = {
      {6, &X::EXIF_GPSAltitude}, {11, &X::EXIF_GPSDOP},          {13, &X::EXIF_GPSSpeed},
      {15, &X::EXIF_GPSTrack},   {17, &X::EXIF_GPSImgDirection}, {24, &X::EXIF_GPSDestBearing},
      {26, &X::EXIF_GPSDestDistance},
  };
  return t;
}

void ReadMakerNoteTag(const TPXTIFFIFDReader& E, TIOParams* P, int64_t StreamSize) {
  P->EXIF_MakerNote.Clear();
  const uint8_t mode = GlobalSettingsInstance()->FMakerNoteMode;
  const int32_t i = E.FindTag(37500);
  if (mode == 0 || i < 0 || E.GetTagCount(i) == 0 || E.GetTagCount(i) >= uint64_t(StreamSize) || !E.TagDataFits(i))
    return;
  if (E.GetTagDataSize(i) <= uint64_t(E.InlineSize)) return;  // too small to hold entries
  E.Stream->Seek(int64_t(E.Base + E.GetTagValueOffset(i)), soBeginning);
  P->EXIF_MakerNote.ReadMakerNote(E.Stream, int64_t(E.GetTagCount(i)), E.LittleEndian, int64_t(E.Base), mode == 1);
}

}  // namespace tiffilt_detail

namespace tiffilt_detail {

namespace {

// Writes Dir (with its values in Values) at the next even position of Into; answers where.
uint32_t EmbedDirectory(TMemoryStream& Into, TPXTIFFIFDWriter& Dir, TMemoryStream& Values, bool& Err) {
  const uint32_t at = uint32_t(AlignStreamToWord(&Into, Err));
  Dir.SortEntries();
  const uint32_t valuesAt = at + 2 + 12 * uint32_t(Dir.GetEntryCount()) + 4;
  RelocateEntries(Dir, Values, valuesAt);
  Dir.WriteDirectory(&Into, Err, 0);
  if (Values.Size() > 0) StreamWriteChecked(&Into, Err, Values.Memory(), Values.Size());
  return at;
}

bool AnyNotAbsent(const double* V, int32_t N) {
  for (int32_t i = 0; i < N; ++i)
    if (V[i] != -1) return true;
  return false;
}

std::vector<uint8_t> GpsVersionBytes(const std::string& Text) {
  std::vector<uint8_t> b(4, 0);
  size_t k = 0, start = 0;
  while (k < 4 && start <= Text.size()) {
    const size_t dot = Text.find('.', start);
    const std::string part = Text.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
    b[k++] = uint8_t(std::atoi(part.c_str()));
    if (dot == std::string::npos) break;
    start = dot + 1;
  }
  return b;
}

}  // namespace

void WriteExifDirectory(TPXTIFFIFDWriter& Page, TMemoryStream& Data, TIOParams* P, bool& Err) {
  // Page-level tags.
  const std::string desc = !P->EXIF_ImageDescription.empty() ? P->EXIF_ImageDescription : P->TIFF_ImageDescription;
  Page.WriteAscii(&Data, 270, Err, desc);
  if (P->EXIF_XResolution != 0) Page.WriteRational(&Data, 282, nullptr, Err, P->EXIF_XResolution);
  if (P->EXIF_YResolution != 0) Page.WriteRational(&Data, 283, nullptr, Err, P->EXIF_YResolution);
  Page.AddShort(274, uint16_t(std::clamp(P->TIFF_Orientation, 1, 8)));
  Page.WriteAscii(&Data, 305, Err, P->EXIF_Software);
  if (P->EXIF_Rating >= 0) Page.AddShort(18246, uint16_t(P->EXIF_Rating));
  Page.WriteWideText(&Data, 40091, Err, P->EXIF_XPTitle);
  Page.WriteWideText(&Data, 40092, Err, P->EXIF_XPComment);
  Page.WriteWideText(&Data, 40093, Err, P->EXIF_XPAuthor);
  Page.WriteWideText(&Data, 40094, Err, P->EXIF_XPKeywords);
  Page.WriteWideText(&Data, 40095, Err, P->EXIF_XPSubject);
  Page.WriteAscii(&Data, 315, Err, P->EXIF_Artist);
  Page.WriteAscii(&Data, 271, Err, P->EXIF_Make);
  Page.WriteAscii(&Data, 272, Err, P->EXIF_Model);
  Page.WriteAscii(&Data, 306, Err, P->EXIF_DateTime);
  if (AnyNotAbsent(P->EXIF_WhitePoint.data(), 2)) Page.WriteRationalArray(&Data, 318, Err, 1, P->EXIF_WhitePoint.data());
  if (P->EXIF_YCbCrPositioning > 0) Page.AddShort(531, uint16_t(P->EXIF_YCbCrPositioning));
  if (AnyNotAbsent(P->EXIF_PrimaryChromaticities.data(), 6))
    Page.WriteRationalArray(&Data, 319, Err, 5, P->EXIF_PrimaryChromaticities.data());
  if (AnyNotAbsent(P->EXIF_YCbCrCoefficients.data(), 3))
    Page.WriteRationalArray(&Data, 529, Err, 2, P->EXIF_YCbCrCoefficients.data());
  if (AnyNotAbsent(P->EXIF_ReferenceBlackWhite.data(), 6))
    Page.WriteRationalArray(&Data, 532, Err, 5, P->EXIF_ReferenceBlackWhite.data());
  Page.WriteAscii(&Data, 33432, Err, P->EXIF_Copyright);

  // The EXIF directory.
  TPXTIFFIFDWriter e;
  TMemoryStream ev;
  const std::vector<uint16_t>& marked = P->EXIF_Tags();
  for (const TExifRationalTag& t : ExifRationalTags()) {
    const double v = t.Setter ? [&] {
      // the field behind the setter
      switch (t.Tag) {
        case 33434: return P->EXIF_ExposureTime;
        case 33437: return P->EXIF_FNumber;
        case 37122: return P->EXIF_CompressedBitsPerPixel;
        case 37377: return P->EXIF_ShutterSpeedValue;
        case 37378: return P->EXIF_ApertureValue;
        case 37379: return P->EXIF_BrightnessValue;
        case 37380: return P->EXIF_ExposureBiasValue;
        case 37381: return P->EXIF_MaxApertureValue;
        case 37382: return P->EXIF_SubjectDistance;
        case 37386: return P->EXIF_FocalLength;
        case 41486: return P->EXIF_FocalPlaneXResolution;
        case 41487: return P->EXIF_FocalPlaneYResolution;
        default: return P->EXIF_ExposureIndex;
      }
    }() : P->*t.Field;
    // The APEX shutter speed, brightness and exposure bias are signed in EXIF.
    const uint16_t type = t.Tag == 37377 || t.Tag == 37379 || t.Tag == 37380 ? ttSRational : ttRational;
    if (t.Setter)
      e.WriteRational(&ev, t.Tag, &marked, Err, v, type);
    else if (v != -1)
      e.WriteRational(&ev, t.Tag, nullptr, Err, v);
  }
  for (const TExifIntegerTag& t : ExifIntegerTags()) {
    if (t.Setter) {
      int32_t v = 0;
      switch (t.Tag) {
        case 34850: v = P->EXIF_ExposureProgram; break;
        case 37383: v = P->EXIF_MeteringMode; break;
        case 37384: v = P->EXIF_LightSource; break;
        case 37385: v = P->EXIF_Flash; break;
        case 40961: v = P->EXIF_ColorSpace; break;
        case 40962: v = P->EXIF_PixelXDimension; break;
        case 40963: v = P->EXIF_PixelYDimension; break;
        case 41488: v = P->EXIF_FocalPlaneResolutionUnit; break;
        case 41495: v = P->EXIF_SensingMethod; break;
        case 41728: v = P->EXIF_FileSource; break;
        default: v = P->EXIF_SceneType; break;
      }
      if (t.Type == ttUndefined)
        e.AddUndefinedByte(t.Tag, uint8_t(v), &marked);
      else
        e.AddShort(t.Tag, uint16_t(v), &marked);
    } else if (P->*t.Field != -1) {
      e.AddShort(t.Tag, uint16_t(P->*t.Field));
    }
  }
  const auto& iso = P->EXIF_ISOSpeedRatings;
  if (iso[1] != 0) {
    const uint16_t v[2] = {uint16_t(iso[0]), uint16_t(iso[1])};
    e.WriteShortArray(&ev, 34855, Err, 1, v);
  } else if (iso[0] != 0) {
    e.AddShort(34855, uint16_t(iso[0]));
  }
  e.AddInlineAscii(36864, P->EXIF_ExifVersion);
  if (!P->EXIF_FlashPixVersion.empty()) e.AddInlineAscii(40960, P->EXIF_FlashPixVersion);
  for (const TExifTextTag& t : ExifTextTags())
    if (t.Tag != 36864 && t.Tag != 40960) e.WriteAscii(&ev, t.Tag, Err, P->*t.Field);
  const auto& area = P->EXIF_SubjectArea;
  const int32_t areaLast = area[3] != -1 ? 3 : area[2] != -1 ? 2 : area[1] != -1 ? 1 : -1;
  if (areaLast > 0) {
    uint16_t v[4];
    for (int32_t k = 0; k <= areaLast; ++k) v[k] = uint16_t(area[size_t(k)]);
    e.WriteShortArray(&ev, 37396, Err, areaLast, v);
  }
  if (P->EXIF_SubjectLocation[0] != -1 && P->EXIF_SubjectLocation[1] != -1) {
    const uint16_t v[2] = {uint16_t(P->EXIF_SubjectLocation[0]), uint16_t(P->EXIF_SubjectLocation[1])};
    e.WriteShortArray(&ev, 41492, Err, 1, v);
  }
  // UserComment: the 8-byte code, then the text.
  std::string code = P->EXIF_UserCommentCode.empty() ? std::string("UNICODE\0", 8) : P->EXIF_UserCommentCode;
  if (!P->EXIF_UserComment.empty() && code.size() == 8) {
    std::vector<uint8_t> b(code.begin(), code.end());
    if (code == std::string("UNICODE\0", 8)) {
      for (char16_t c : Utf8ToUtf16(P->EXIF_UserComment)) {
        b.push_back(uint8_t(c));
        b.push_back(uint8_t(c >> 8));
      }
      b.push_back(0);
      b.push_back(0);
    } else {
      b.insert(b.end(), P->EXIF_UserComment.begin(), P->EXIF_UserComment.end());
      b.push_back(0);
    }
    e.WriteByteArray(&ev, 37510, Err, b.data(), uint32_t(b.size()), ttUndefined);
  }
  // MakerNote: the raw block when the mode asks for it, else the parsed entries laid out anew
  // (count 0 when they would not fit in 65000 bytes).
  const uint8_t mode = GlobalSettingsInstance()->FMakerNoteMode;
  const TPXTagsHandler& mn = P->EXIF_MakerNote;
  const bool parsed = mn.TagStream() && mn.TagStream()->Size() > 12;
  if ((mode == 3 || (mode == 2 && !parsed)) && mn.RawLength() > 0) {
    e.WriteByteArray(&ev, 37500, Err, mn.RawData().data(), uint32_t(mn.RawLength()), ttUndefined);
  } else if (parsed) {
    const uint32_t at = uint32_t(AlignStreamToWord(&ev, Err));
    const int64_t n = mn.WriteMakerNote(&ev, 0);
    e.AddEntry(37500, ttUndefined, uint32_t(n), n > 4 ? at : 0);
  }
  if (!P->EXIF_InteropIndex.empty()) {
    TPXTIFFIFDWriter in;
    TMemoryStream iv;
    in.WriteAscii(&iv, 1, Err, P->EXIF_InteropIndex);
    in.AddInlineAscii(2, P->EXIF_InteropVersion);
    e.AddLong(40965, EmbedDirectory(ev, in, iv, Err));
  }
  Page.AddLong(34665, EmbedDirectory(Data, e, ev, Err));

  // The GPS directory.
  if (P->EXIF_GPSVersionID.empty()) return;
  TPXTIFFIFDWriter g;
  TMemoryStream gv;
  const std::vector<uint8_t> ver = GpsVersionBytes(P->EXIF_GPSVersionID);
  g.AddEntry(0, ttByte, 4, uint32_t(ver[0]) | (uint32_t(ver[1]) << 8) | (uint32_t(ver[2]) << 16) | (uint32_t(ver[3]) << 24));
  auto pair = [&](uint16_t RefTag, const std::string& Ref, uint16_t Tag, const double* V, int32_t N) {
    if (Ref.empty()) return;
    g.WriteAscii(&gv, RefTag, Err, Ref);
    if (Ref.size() <= 4) {  // a short reference is held inline
    }
    g.WriteRationalArray(&gv, Tag, Err, N - 1, V);
  };
  pair(1, P->EXIF_GPSLatitudeRef, 2, P->EXIF_GPSLatitude.data(), 3);
  pair(3, P->EXIF_GPSLongitudeRef, 4, P->EXIF_GPSLongitude.data(), 3);
  if (!P->EXIF_GPSAltitudeRef.empty()) {
    g.AddByte(5, uint8_t(std::atoi(P->EXIF_GPSAltitudeRef.c_str())));
    g.WriteRational(&gv, 6, nullptr, Err, P->EXIF_GPSAltitude);
  }
  g.WriteRationalArray(&gv, 7, Err, 2, P->EXIF_GPSTimeStamp.data());
  g.WriteAscii(&gv, 8, Err, P->EXIF_GPSSatellites);
  g.AddInlineAscii(9, P->EXIF_GPSStatus);
  g.AddInlineAscii(10, P->EXIF_GPSMeasureMode);
  g.WriteRational(&gv, 11, nullptr, Err, P->EXIF_GPSDOP);
  pair(12, P->EXIF_GPSSpeedRef, 13, &P->EXIF_GPSSpeed, 1);
  pair(14, P->EXIF_GPSTrackRef, 15, &P->EXIF_GPSTrack, 1);
  pair(16, P->EXIF_GPSImgDirectionRef, 17, &P->EXIF_GPSImgDirection, 1);
  g.WriteAscii(&gv, 18, Err, P->EXIF_GPSMapDatum);
  pair(19, P->EXIF_GPSDestLatitudeRef, 20, P->EXIF_GPSDestLatitude.data(), 3);
  pair(21, P->EXIF_GPSDestLongitudeRef, 22, P->EXIF_GPSDestLongitude.data(), 3);
  pair(23, P->EXIF_GPSDestBearingRef, 24, &P->EXIF_GPSDestBearing, 1);
  pair(25, P->EXIF_GPSDestDistanceRef, 26, &P->EXIF_GPSDestDistance, 1);
  g.WriteAscii(&gv, 29, Err, P->EXIF_GPSDateStamp);
  Page.AddLong(34853, EmbedDirectory(Data, g, gv, Err));
}

void WriteMetadataTags(TPXTIFFIFDWriter& Page, TMemoryStream& Data, TIOParams* P, bool& Err) {
  if (P->IPTC_Info.GetCount() > 0) {
    std::vector<uint8_t> b;
    P->IPTC_Info.SaveToBuffer(b, false);
    b.resize((b.size() + 3) / 4 * 4, 0);
    if (!b.empty()) {
      Page.WriteByteArray(&Data, 33723, Err, b.data(), uint32_t(b.size()), ttLong);
      Page.EntryAt(Page.GetEntryCount() - 1).Count = uint32_t(b.size() / 4);
    }
  }
  if (!P->XMP_Info.empty())
    Page.WriteByteArray(&Data, 700, Err, reinterpret_cast<const uint8_t*>(P->XMP_Info.data()),
                        uint32_t(P->XMP_Info.size()), ttByte);
  if (P->ImagingAnnot() && !P->ImagingAnnot()->IsEmpty()) {
    std::vector<uint8_t> b;
    P->ImagingAnnot()->SaveToBuffer(b);
    Page.WriteByteArray(&Data, 32932, Err, b.data(), uint32_t(b.size()), ttByte);
  }
  if (!P->PixoranAnnot.IsEmpty()) {
    std::vector<uint8_t> b;
    P->PixoranAnnot.SaveToBuffer(b);
    Page.WriteByteArray(&Data, uint16_t(GlobalSettingsInstance()->FAnnotationsTiffTag), Err, b.data(),
                        uint32_t(b.size()), ttByte);
  }
  if (TPXICC* icc = P->InputICC(); icc && icc->IsValid() && !icc->Applied() && icc->ProfileSize() > 0)
    Page.WriteByteArray(&Data, 34675, Err, icc->ProfileData(), uint32_t(icc->ProfileSize()), ttUndefined);
  if (!P->TIFF_PhotoshopResources.empty())
    Page.WriteByteArray(&Data, 34377, Err, P->TIFF_PhotoshopResources.data(),
                        uint32_t(P->TIFF_PhotoshopResources.size()), ttByte);
  if (!P->TIFF_PhotoshopLayers.empty())
    Page.WriteByteArray(&Data, 37724, Err, P->TIFF_PhotoshopLayers.data(), uint32_t(P->TIFF_PhotoshopLayers.size()),
                        ttUndefined);
}

}  // namespace tiffilt_detail
