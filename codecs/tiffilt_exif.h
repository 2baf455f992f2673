// The EXIF, GPS and Interoperability tags of the parameters' EXIF group, as tables the TIFF
// reader and writer share: each tag with its field (or setter), type and absent value.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "io/pxtiffifd.h"
#include "io/pxxBitmaps_params.h"

class TMemoryStream;

namespace tiffilt_detail {

struct TExifRationalTag {
  uint16_t Tag;
  double Default;
  void (TIOParams::*Setter)(double);
  double TIOParamsExif::*Field;  // when there is no setter
};
struct TExifIntegerTag {
  uint16_t Tag;
  int32_t Default;
  uint64_t Item;
  void (TIOParams::*Setter)(int32_t);
  int32_t TIOParamsExif::*Field;
  uint16_t Type;  // written as SHORT, or UNDEFINED for one byte
};
struct TExifTextTag {
  uint16_t Tag;
  std::string TIOParamsExif::*Field;
};
using TGpsTextTag = TExifTextTag;
struct TGpsTripleTag {
  uint16_t Tag;
  std::array<double, 3> TIOParamsExif::*Field;
};
struct TGpsRationalTag {
  uint16_t Tag;
  double TIOParamsExif::*Field;
};

std::span<const TExifRationalTag> ExifRationalTags();
std::span<const TExifIntegerTag> ExifIntegerTags();
std::span<const TExifTextTag> ExifTextTags();
std::span<const TGpsTextTag> GpsTextTags();
std::span<const TGpsTripleTag> GpsTripleTags();
std::span<const TGpsRationalTag> GpsRationalTags();

// Adds the page-level EXIF tags to Page and writes the EXIF (with Interoperability) and GPS
// directories into Data, with their pointer entries; positions are Data's own until the page's
// directory relocates them.
void WriteExifDirectory(TPXTIFFIFDWriter& Page, TMemoryStream& Data, TIOParams* Params, bool& ErrorFlag);
// IPTC, XMP, the own annotation, the ICC profile and the raw Photoshop blocks.
void WriteMetadataTags(TPXTIFFIFDWriter& Page, TMemoryStream& Data, TIOParams* Params, bool& ErrorFlag);
// Adds Amount to every out-of-line value and sub-directory pointer of Ifd, relocating the
// sub-directories inside Data first.
void RelocateEntries(TPXTIFFIFDWriter& Ifd, TMemoryStream& Data, uint32_t Amount);

// The maker note (37500) of the EXIF directory into the parameters' holder, as the settings'
// maker-note mode asks.
void ReadMakerNoteTag(const TPXTIFFIFDReader& Exif, TIOParams* Params, int64_t StreamSize);

}  // namespace tiffilt_detail
