// The CCITT coder of bilevel rows: Modified Huffman and Group 3 one- and two-dimensional rows
// (ITU-T T.4) and Group 4 rows (ITU-T T.6), decoded for TIFF compressions 2, 3 and 4 and encoded
// for the TIFF, PostScript and PDF writers.
//
// Decoded rows have set bits for white; encoder input rows have set bits for black; in both the
// first pixel is the most significant bit of the first byte, and a row is ceil(Width / 8) bytes.
// Fill order 1 reads and writes the bits of each byte from the most significant, fill order 2
// from the least significant. Bits past the data read as 0 and every run is clipped to the row.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "core/hypxdefs.h"

class TStream;

// One row of the T.4 code tables: the code's length in bits, its value and its run length (-3
// for an end-of-line code, -1 for the zero patterns that are no code).
struct TCcittCode {
  int32_t Length;
  int32_t Value;
  int32_t Run;
};

// White and black, 128 rows each: 0..63 terminating codes (runs 0..63), 64..90 make-up codes
// (64..1728), 91..103 the extended make-up codes both colours share (1792..2560), 104 EOL (12
// bits, value 1), 105..107 eight to ten zeros and a one, 108..127 EOL after 1 to 20 fill zeros.
extern const std::array<TCcittCode, 128> CcittWhiteCodes;
extern const std::array<TCcittCode, 128> CcittBlackCodes;

// The codes of two-dimensional rows, matched in this order: 0 twelve zero bits, 1 pass, 2
// horizontal, 3..9 vertical a1 - b1 = -3 .. +3, 10 and 11 the extensions into uncompressed mode
// from two- and one-dimensional coding, 12 EOL.
struct TCcittMode {
  int32_t Length;
  int32_t Value;
};
extern const std::array<TCcittMode, 13> CcittModeTable;

// Build and free the decode lookups (the decoders build them on first use too).
void InitCcittTables();
void FreeCcittTables();

// The code-table row (0..127) of the Colour's (0 white, 1 black) code at BitPos: 128 when the
// 32 bits from there hold no code, 127 when BitPos lies past DataLen bytes.
int32_t CcittLookupCode(const uint8_t* Data, int64_t DataLen, int64_t BitPos, int32_t FillOrder, int32_t Colour);

// Decodes one row coded two-dimensionally (T.4 two-dimensional or T.6) against RefRow, or
// one-dimensionally after an EOL with tag bit 1; answers the new bit position and copies the row
// into RefRow (the decoded row before the first of a strip: all white). FillBits: zero bits may
// stand before the EOLs. An EOL inside a row ends it, and the next row starts at that EOL.
int64_t CcittDecode(uint8_t* Row, const uint8_t* Data, int64_t DataLen, int32_t Width, uint8_t* RefRow, int64_t BitPos,
                    int32_t FillOrder, bool FillBits);
// Decodes one Modified Huffman row from BitPos; answers the new bit position.
int64_t CcittDecodeMHRow(uint8_t* Row, const uint8_t* Data, int64_t DataLen, int32_t Width, int64_t BitPos,
                         int32_t FillOrder);
// The same from bit 0 for a byte-aligned row (TIFF compression 2); answers the bytes used.
int64_t CcittDecodeMHRowBytes(uint8_t* Row, const uint8_t* Data, int64_t DataLen, int32_t Width, int32_t FillOrder);

// The row encoders write whole bytes to Stream (a short write sets AbortFlag). The Group 3 and 4
// encoders carry the last incomplete byte between calls: PartialByte holds its PartialBits
// (0..7) bits from the most significant bit on; they start each strip with PartialBits 0 and
// RefRow empty, pass each row and end the strip with Row nil. None uses uncompressed mode.

// One byte-aligned Modified Huffman row.
void EncodeCcittMHRow(const uint8_t* Row, int32_t Width, TStream* Stream, TPXAbortFlag& AbortFlag, int32_t FillOrder);
// One row of run codes without an EOL; Row nil writes the partial byte, its unused bits clear.
void EncodeCcittG3Row1D(const uint8_t* Row, int32_t Width, TStream* Stream, uint8_t& PartialByte,
                        int32_t& PartialBits, TPXAbortFlag& AbortFlag, int32_t FillOrder);
// One row of a Group 3 two-dimensional strip: EOL, tag bit 1 and run codes for the first row,
// EOL, tag bit 0 and the row coded against RefRow (a copy of the previous row) for the others.
// Row nil writes an EOL and the partial byte and empties RefRow.
void EncodeCcittG3Row(const uint8_t* Row, int32_t Width, TStream* Stream, uint8_t& PartialByte, int32_t& PartialBits,
                      std::vector<uint8_t>& RefRow, TPXAbortFlag& AbortFlag, int32_t FillOrder);
// One row of a Group 4 strip, coded against RefRow (all white before the first row). Row nil
// writes the two EOLs that end the strip, pads to a byte and empties RefRow.
void EncodeCcittG4Row(const uint8_t* Row, int32_t Width, TStream* Stream, uint8_t& PartialByte, int32_t& PartialBits,
                      std::vector<uint8_t>& RefRow, TPXAbortFlag& AbortFlag, int32_t FillOrder);
