// The DICOM data dictionary: every element of the DICOM standard's data dictionary with its VR,
// the group lengths, and the elements of vendor private groups, sorted by group and element so
// that halving finds a tag. The tag list's setters and the DICOM reader and writer consult it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <memory>

#include "core/hypxdefs.h"

// One row: group, element, VR code (the tag list's codes; 28 "US or SS", 29 items and
// delimiters) and class (0 standard, 1 retired, 2 group length or private).
struct TPXDicomDictEntry {
  uint16_t Group;
  uint16_t Element;
  uint8_t VR;
  uint8_t Class;
};

// The row index of the tag, or -1.
int32_t FindDicomDictIndex(uint16_t Group, uint16_t Element);
// The row of the tag, or nil.
const TPXDicomDictEntry* FindDicomDictEntry(uint16_t Group, uint16_t Element);
// The number of rows and row Index (nil outside the table).
int32_t DicomDictCount();
const TPXDicomDictEntry* DicomDictRow(int32_t Index);

// Hands the dictionary to the tag list's setters; part of the codecs' registration.
void RegisterDicomDictionary();

// ---------------------------------------------------------------------------------------------
// Reader, writer and pixel stage


class TStream;
class TPXBitmap;
class TIOParams;

// Reads a DICOM file (with or without the 128-byte preamble and "DICM") at the stream's
// position: every data element into Params' DICOM tag list, the image attributes into Params,
// and, unless PreviewOnly (Bitmap may then be nil), frame Params->ImageIndex into Bitmap. Never
// raises: bad data sets the progress record's abort flag. A file without pixel data gives the
// tags and no failure.
void DecodeDicomStream(TStream* Stream, TIOParams* Params, TPXBitmap* Bitmap, bool PreviewOnly,
                       TPXProgressRecord& Progress);
// "DICM" 128 bytes after the position; the position is restored.
bool HasDicomSignature(TStream* Stream);
// The frame count of the file or stream (0 when the read fails); the position is restored.
int32_t GetDicomFrameCount(const std::string& FileName);
int32_t GetDicomStreamFrameCount(TStream* Stream);
// The first value of a multi-valued text ("40\400" gives 40), either decimal separator.
double DicomTextToFloat(std::string_view Text, double Default);
// Decodes one RLE (PackBits) segment of at most Size bytes into Buffer of Count bytes; answers
// the bytes read from the stream. Runs are cut at the buffer's end.
int64_t DecodeDicomRleSegment(TStream* Stream, uint8_t* Buffer, int64_t Count, int64_t Size);

// The transfer syntaxes by DICOM_Compression index 0..10.
const std::array<std::string, 11>& DicomTransferSyntaxTable();

// One write: BeginDicomStream writes the preamble and every element of Params' tag list (a copy,
// with the image attributes set for FrameCount frames of BitsPerSample, SamplesPerPixel, Width
// and Height); WriteDicomFrame writes the next frame in the transfer syntax of (0002,0010)
// (implicit VR, extended and lossless JPEG are written as explicit VR little-endian);
// EndDicomStream completes the pixel data. Raises EPXException for unsupported parameters or
// pixel formats.
struct TPXDicomWriteContext;
std::unique_ptr<TPXDicomWriteContext> BeginDicomStream(TStream* Stream, TIOParams* Params, int32_t FrameCount,
                                                       TPXProgressRecord& Progress);
void WriteDicomFrame(TPXDicomWriteContext* Context, TPXBitmap* Bitmap);
void EndDicomStream(std::unique_ptr<TPXDicomWriteContext> Context);
// Writes Bitmap as a one-frame DICOM file.
void EncodeDicomStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress);

// Fills the DICOM format row (28) and the transfer-syntax table of the parameters.
void RegisterDicomCodec();
