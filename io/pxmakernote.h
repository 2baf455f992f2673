// The maker-note layouts TPXTagsHandler recognises (its parsing and writing are built in
// pxmakernote.cpp), and the relocation of a written maker note whose data area moves.
#pragma once

#include <cstdint>

#include "io/pxtiffifd.h"
#include "io/pxxBitmaps_meta.h"

class TStream;
class TMemoryStream;

// The known layouts; row 0 is the default (no header).
int32_t MakerNoteLayoutCount();
const TPXEXIFMakerNoteDeviceInfo& MakerNoteLayout(int32_t Row);

// Moves the out-of-line offsets of the maker note written at Position (Length bytes) in Stream
// by Shift, in place, for layouts whose offsets depend on the note's place (those counting from
// the note's own header are left alone). The walk is TPXTagsHandler's parse with an entry
// callback.
class TPXTagsHandlerRelocator {
 public:
  TPXTagsHandlerRelocator(TStream* Stream, bool LittleEndian, int64_t Shift, int64_t Position, int64_t Length);
  void Relocate();

 private:
  TStream* FStream;
  bool FLittleEndian;
  int64_t FShift, FPosition, FLength;
};
