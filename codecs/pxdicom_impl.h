// Shared pieces of the DICOM reader and its pixel stage: the state of one read and the VR codes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "core/hypxdefs.h"
#include "core/hypxutils_streams.h"

class TPXBitmap;
class TIOParams;

namespace pxdicom_detail {

// VR codes of the tag list.
enum : int32_t {
  vrAE, vrAS, vrAT, vrCS, vrDA, vrDS, vrDT, vrFD, vrFL, vrIS, vrLO, vrLT, vrOB, vrOF, vrOW, vrPN, vrSH,
  vrSL, vrSQ, vrSS, vrST, vrTM, vrUI, vrUL, vrUN, vrUR, vrUS, vrUT, vrUSorSS, vrNone
};

// Text value marking a window centre or width as not set.
inline constexpr double kNotSet = 10000000.0;
inline constexpr int32_t kIntNotSet = 0x7FFFFFFF;

struct TDicomReadContext {
  TIOParams* Params = nullptr;
  TPXProgressRecord Progress;
  std::unique_ptr<TPXBufferedReadStream> Stream;
  int64_t StreamSize = 0;
  bool NoPreamble = false;
  bool LittleEndian = true;
  std::string TransferSyntax;
  int64_t JpegPixelPos = -1;
  int64_t PixelPos = -1;
  int32_t SamplesPerPixel = 1;
  std::string Photometric;
  int32_t PlanarConfiguration = 0;
  int32_t FrameCount = 1;
  int32_t PixelRepresentation = 0;
  int32_t Columns = 0, Rows = 0;
  int32_t BitsAllocated = 0, BitsStored = 0, BytesPerSample = 0;
  std::vector<uint16_t> RedLut, GreenLut, BlueLut;
  double WindowCenter = kNotSet, WindowWidth = kNotSet;
  double RescaleIntercept = 0, RescaleSlope = 1;
  int32_t SmallestPixel = kIntNotSet, LargestPixel = kIntNotSet;
};

// The pixel stage: decodes frame Params->ImageIndex into Bitmap (see DecodeDicomStream).
void DecodeDicomPixels(TDicomReadContext& Context, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                       TPXAbortFlag& Aborting);

}  // namespace pxdicom_detail
