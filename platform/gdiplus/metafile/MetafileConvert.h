// Windows metafiles into SVG: the checks that make a metafile fit to be handed to the converters
// (libwmf for WMF, libemf2svg for EMF), and the converters themselves. The converters are not
// written for hostile input: the program runs them in its helper process (MetafileHelper.cpp),
// never in its own. No Qt and no other part of the platform layer, so that the helper stays
// small.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Largest metafile read (bytes); larger data is refused as unreadable.
inline constexpr size_t PxMaxMetafileBytes = size_t(256) << 20;

// What a converter made of a metafile.
struct TPxMetafileSvg {
  std::string Svg;
  float Width = 0;  // WMF: the picture's size in pixels at 96 dots per inch
  float Height = 0;
  bool EmfPlus = false;  // EMF: the file holds EMF+ records
};

// A WMF whose standard header starts at HeaderAt (22 after a placeable header, else 0): every
// record lies inside the data and the last is the end record. Out receives the bytes for the
// converter (the header's largest record replaced by the largest one found, since the converter
// sizes a buffer by it). False when the file is refused.
bool PxPrepareWmf(const uint8_t* Data, size_t Size, size_t HeaderAt, std::vector<uint8_t>& Out);

// An EMF: every record lies inside the data, the first is the header and the last the end of
// file; the header's description and pixel format and the end record's palette lie inside their
// records. Out receives the bytes for the converter: the header rebuilt from its checked fields
// (without the pixel format and the OpenGL flag, which drawing does not need), the end record
// without palette entries, and every other record that fails the checks of its type (counts
// and offsets against its size, object indices within the object table) or is of a type without
// such checks (the OpenGL records among them) dropped. False when the file is refused.
bool PxPrepareEmf(const uint8_t* Data, size_t Size, std::vector<uint8_t>& Out);

// The converter named by Args, as the helper program takes them: "wmf" HeaderAt FrameW FrameH
// (where the standard header starts: 22 after a placeable header, else 0; the placeable frame
// in points, 0 0 for none) or "emf". Checks and prepares Data itself.
bool PxConvertMetafile(const std::vector<std::string>& Args, const uint8_t* Data, size_t Size, TPxMetafileSvg& Out);

// The converters, on bytes that the functions above prepared. FrameW x FrameH (points, when above
// 0): the picture is the placeable file's whole frame, not only the bounds of what it draws.
bool PxWmfToSvg(const std::vector<uint8_t>& Prepared, float FrameW, float FrameH, TPxMetafileSvg& Out);
bool PxEmfToSvg(const std::vector<uint8_t>& Prepared, TPxMetafileSvg& Out);
