// The block form of the imaging annotations (TIFF tag 32932): a little-endian block of records
// (a zero, the layout flag, then type / size / data records: 2 a named block of all marks, 5 the
// 164-byte attributes of the next mark, 6 a named block of the current mark).
#pragma once

#include <cstdint>
#include <vector>

class TPXImagingAnnot;

// Appends the marks of the block. Every record is checked against the bytes left: reading stops
// at the first record that does not fit, keeping the marks before it.
void LoadImagingAnnotFromBuffer(TPXImagingAnnot& Annot, const void* Data, int64_t Size);
// The block of every mark (empty without marks).
void SaveImagingAnnotToBuffer(const TPXImagingAnnot& Annot, std::vector<uint8_t>& Data);
