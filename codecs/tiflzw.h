// The LZW coder of TIFF compression 5 (TIFF 6.0, section 13): codes most significant bit first,
// clear 256, end 257, the width growing one code early ("early change"). Both sides work
// incrementally on one strip or tile with a state the caller keeps between calls (a pointer
// variable that starts nil). The library's start-up puts them into the settings' TIFF coder
// hooks.
#pragma once

#include <cstdint>

class TStream;

// With State nil, starts decoding the strip Data of DataSize bytes (FillOrder 2: the bits of each
// byte are stored least significant first); later calls continue in the same strip. Each call
// answers the state's buffer holding the next RowBytes decoded bytes; bytes decoded beyond them
// wait for the next call. Once the strip has ended (an end code, a code past the next free one,
// or the end of its bytes) the rest of a row reads 0. A corrupt table (a first code past the
// table after a clear, more than 4096 strings) answers nil. Data nil frees the state and answers
// nil. A strip that does not begin with a clear code decodes as if one came first.
uint8_t* TiffLzwDecode(const uint8_t* Data, int64_t DataSize, int32_t RowBytes, void*& State, int32_t FillOrder);

// With State nil, creates the state and writes a clear code; with Data, encodes Count more bytes;
// with Data nil, writes the pending string and the end code, flushes and frees the state (a strip
// of no bytes thus holds a clear and an end code). The compressed bytes go to Stream in pieces of
// 254 bytes; a short write raises the stream's error.
void TiffLzwEncode(const uint8_t* Data, int32_t Count, TStream* Stream, void*& State);
