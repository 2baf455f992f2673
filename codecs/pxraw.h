// Camera raw files: the engine choice, the parameters read before any engine runs (EXIF, or the
// heap-structured raw format's own records), and the hand-over to the engine. Engine 2, the
// imaging component's raw provider, is the one that decodes here; the companion library's
// engines 1 (its decoder object) and 3 (its conversion tool) need a library this platform does
// not have, so after their preparation they raise EPXRAWException with the library message.
#pragma once

#include <string>
#include <vector>

#include "core/hypxdefs.h"

class TStream;
class TPXBitmap;
class TIOParams;

PX_DECLARE_EXCEPTION(EPXRAWException, EPXException);

// Reads the raw file at the stream's position with the settings' engine (0 resolves to 1 when
// the companion library can be had, else 2). Engines 1 and 3 raise EPXRAWException once their
// preparation is done; engine 2 fails through the progress record's abort flag.
void DecodeCameraRawStream(TStream* Stream, TPXBitmap* Bitmap, TIOParams* Params, bool PreviewOnly,
                           TPXProgressRecord& Progress);

// Whether the raw engine recognises the data: always false with engine 2, whose formats the
// imaging component's sniffing answers for; engines 1 and 3 raise EPXRAWException. The position
// is restored on every path.
bool HasCameraRawSignature(TStream* Stream);

// The heap-structured raw format ("II"/"MM", header length, "HEAPCCDR"): its description, make,
// model, firmware, ISO, focal length, shutter, aperture, pixel size and date go to the EXIF
// group of Params, its smallest embedded JPEG to the EXIF thumbnail, and its records 102Ah and
// 102Dh to the maker note as entries 4 and 1. False (Params untouched) when the data are not of
// that format. Heaps nest at most 8 deep; every offset and size is checked against its heap.
// The position is restored.
bool ReadCiffParams(TStream* Stream, TIOParams* Params);

// The conversion tool's argument list for Params: "par.000", the options, "par.111".
std::vector<std::string> CameraRawToolArguments(const TIOParams* Params, bool PreviewOnly);

// Fills the camera raw format row (20): the reader and the engine's content test.
void RegisterCameraRawCodec();
