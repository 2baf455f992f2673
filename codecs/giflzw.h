// The variable-length-code LZW coder of GIF image data (GIF89a, appendix F). The library's
// start-up puts both routines into the settings' GIF coder hooks; the GIF codec calls them
// through the hooks only.
#pragma once

#include <cstdint>

class TStream;

// Reads the code-size byte and the data sub-blocks at the stream's position and writes up to
// Width x Height indices into IndexBuffer, row by row (interlaced frames in GIF pass order:
// rows 0, 8, 16 ...; 4, 12 ...; 2, 6 ...; 1, 3 ...). Indices past the end of the frame are
// dropped; positions the data does not reach keep what the buffer held. A code-size byte outside
// 2..9, a code that cannot be decoded, or an end code right after a clear with data behind it
// puts the stream back at its entry position (the reader's sign of failure).
void GifLzwDecode(TStream* Stream, int32_t Height, int32_t Width, uint8_t* IndexBuffer, bool Interlaced);

// Writes Width x Height indices (each below 2^BitsPerPixel) as the code-size byte (BitsPerPixel,
// at least 2), data sub-blocks of at most 254 bytes and the block terminator, with the hashed
// LZW of the classic compress program.
void GifLzwEncode(TStream* Stream, int32_t Height, int32_t Width, int32_t BitsPerPixel, const uint8_t* IndexBuffer,
                  bool Interlaced);
