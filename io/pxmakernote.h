// Parsing and writing EXIF maker notes for TPXTagsHandler: the maker's layout recognised from a
// table of known headers, the entries re-based into the handler's tag stream (a small TIFF
// structure of its own: an 8-byte header, the directory at offset 8, then the values, all in the
// maker note's byte order, offsets counting from the tag stream's start), written back in the
// layout and byte order they were read in, and the relocation of a written maker note whose data
// area moves.
#pragma once

#include <cstdint>
#include <functional>

#include "io/pxtiffifd.h"
#include "io/pxxBitmaps_meta.h"

class TStream;
class TMemoryStream;

// The known layouts; row 0 is the default (no header).
int32_t MakerNoteLayoutCount();
const TPXEXIFMakerNoteDeviceInfo& MakerNoteLayout(int32_t Row);

// The table row whose header the block starts with (row 0 when none); Info receives it.
int32_t IdentifyMakerNote(const uint8_t* Block, int64_t Length, TPXEXIFMakerNoteDeviceInfo& Info);

// Called for each entry before it is converted: its stream position, the maker note's byte
// order and the 12 raw bytes.
using TPXMakerNoteEntryCallback = std::function<void(int64_t Position, bool LittleEndian, const uint8_t* Entry)>;

// Parses Length bytes at the stream's position into Handler (which is cleared first and keeps
// the raw block). Offsets of layouts that count from the enclosing structure count from
// CallerBase (the stream position of the enclosing TIFF header). A note whose entry count is
// above 256 or whose entries pass its end is not parsed: with ClearOnFailure the handler is then
// emptied, else it keeps the raw block. An entry whose data lie outside the block keeps its tag
// and type with count 0. Answers whether entries were parsed.
bool ReadMakerNote(TPXTagsHandler& Handler, TStream* Stream, int64_t Length, bool LittleEndian, int64_t CallerBase,
                   bool ClearOnFailure, const TPXMakerNoteEntryCallback& Callback = {});

// Writes the parsed maker note at the stream's position in its own layout and byte order;
// answers the bytes written, or 0 (nothing written) when there is nothing parsed or the result
// would be 65001 bytes or more. Offsets that count from the enclosing structure count from
// CallerBase.
int64_t WriteMakerNote(const TPXTagsHandler& Handler, TStream* Stream, int64_t CallerBase);

// A reader over the handler's parsed entries (none when nothing was parsed).
bool LoadMakerNoteEntries(const TPXTagsHandler& Handler, TPXTIFFIFDReader& Reader);

// Moves the out-of-line offsets of the maker note written at Position (Length bytes) in Stream
// by Shift, in place, for layouts whose offsets depend on the note's place.
class TPXTagsHandlerRelocator {
 public:
  TPXTagsHandlerRelocator(TStream* Stream, bool LittleEndian, int64_t Shift, int64_t Position, int64_t Length);
  void Relocate();

 private:
  TStream* FStream;
  bool FLittleEndian;
  int64_t FShift, FPosition, FLength;
};
