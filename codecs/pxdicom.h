// The DICOM data dictionary: every element of the DICOM standard's data dictionary with its VR,
// the group lengths, and the elements of vendor private groups, sorted by group and element so
// that halving finds a tag. The tag list's setters and the DICOM reader and writer consult it.
#pragma once

#include <cstdint>

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
