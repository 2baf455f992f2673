// The lossless JPEG decoder (ITU-T T.81 process 14, frame marker SOF3) for DICOM pixel data: one
// compressed frame into a contiguous sample buffer, rows one after the other, components
// interleaved in stream order.
#pragma once

#include <cstdint>

#include "core/hypxdefs.h"

class TStream;

// Reads Size bytes at the stream's position and decodes them into Samples8 (Samples16 nil) or
// Samples16 (Samples8 nil), which hold BufferSamples samples. Components take the Huffman tables
// in the order the tables were defined (the first one serving where fewer were defined); samples
// wrap modulo 2^8 or 2^16. True on success, and for a stream without a lossless frame (nothing
// is written then). False for fewer than 32 bytes, a missing marker, a segment past the data, a
// bad or fifth Huffman table, a second scan, a lossless frame without tables, or a frame larger
// than the buffer. Corrupt entropy data is decoded as it comes, to the frame's sample count.
bool DecodeLosslessJpeg(TStream* Stream, uint16_t* Samples16, uint8_t* Samples8, int64_t BufferSamples,
                        const TPXProgressEvent& ProgressEvent, TObject* ProgressSender, int64_t Size);
