// Metadata holders of the I/O parameters besides the marker and IPTC lists: the EXIF maker note
// (TPXTagsHandler), the imaging annotations of TIFF tag 32932 (TPXImagingAnnot), the library's
// own annotation block (TPXPixoranAnnot), the DICOM data elements (TPXDicomTags), and the XMP
// packet in a JPEG APP1 marker.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/Types.h"

class TIOParams;
class TPXBitmap;
class TPXTIFFIFDReader;

// ---------------------------------------------------------------------------------------------
// Maker note

// How a maker-note layout counts offsets and where its entries start.
struct TPXEXIFMakerNoteDeviceInfo {
  std::string Header;        // the bytes the maker note starts with (empty: the default layout)
  int32_t HeaderSkip = 0;    // bytes after the header before the content
  uint8_t OffsetMode = 0;    // 0 enclosing structure, 1 independent of the block's place, 2 caller's base
  uint8_t HeaderKind = 0;    // 0 count follows, 1 embedded TIFF header, 2 offset to the count
  std::array<uint8_t, 8> TiffHeader{};
  uint8_t ByteOrderMode = 0;  // 0 enclosing, 1 embedded header, 2 little-endian, 3 big-endian
};

// Called for each maker-note entry before it is converted: its stream position, the maker
// note's byte order and the 12 raw bytes.
using TPXMakerNoteEntryCallback = std::function<void(int64_t Position, bool LittleEndian, const uint8_t* Entry)>;

// The EXIF maker note of a picture: the raw block as read, the layout recognised and the parsed
// entries as a tag stream of its own (an 8-byte TIFF header, the directory at offset 8, then the
// values, all in the maker note's byte order, offsets counting from the stream's start), with a
// reader over them. Parsing and writing live in io/pxmakernote.cpp.
class TPXTagsHandler : public TObject {
 public:
  TPXTagsHandler();
  ~TPXTagsHandler() override;

  // Frees the raw block, empties the tag stream, the reader and the layout; byte order back to
  // little-endian.
  void Clear();
  // Clear, then copies of Source's tag stream, byte order, raw block and layout; the reader is
  // reloaded.
  void Assign(const TPXTagsHandler* Source);
  // Neither a raw block nor parsed entries.
  bool IsEmpty() const;
  // Replaces the raw block (nil or a length of 0 or less: none).
  void SetRawData(const void* Data, int32_t Length);

  // The known layout whose header the block starts with (row 0, no header, when none); Info
  // receives it.
  static int32_t IdentifyMakerNote(const uint8_t* Block, int64_t Length, TPXEXIFMakerNoteDeviceInfo& Info);
  // Clears, then parses Length bytes at the stream's position, keeping the raw block. Offsets of
  // layouts that count from the enclosing structure count from CallerBase (the stream position
  // of the enclosing TIFF header). A note whose entry count is above 256 or whose entries pass
  // its end is not parsed: with ClearOnFailure the handler is then emptied, else it keeps the
  // raw block and layout. An entry whose data lie outside the block keeps its tag and type with
  // count 0. Callback, when given, sees every entry before it is converted. On success the
  // reader holds the entries. Answers whether entries were parsed.
  bool ReadMakerNote(TStream* Stream, int64_t Length, bool EnclosingLittleEndian, int64_t CallerBase, bool ClearOnFailure,
                     const TPXMakerNoteEntryCallback& Callback = {});
  // Writes the parsed maker note at the stream's position in its own layout and byte order;
  // answers the bytes written, or 0 (nothing written) when nothing was parsed or the result
  // would be 65001 bytes or more. Offsets that count from the enclosing structure count from
  // CallerBase.
  int64_t WriteMakerNote(TStream* Stream, int64_t CallerBase) const;
  // Loads the entries of the tag stream into the reader; false when there are none.
  bool LoadEntries();

  const std::vector<uint8_t>& RawData() const { return FRawData; }
  int32_t RawLength() const { return static_cast<int32_t>(FRawData.size()); }
  TPXEXIFMakerNoteDeviceInfo DeviceInfo;
  TMemoryStream* TagStream() const { return FTagStream.get(); }
  // The reader over the tag stream (no entries until a parse or LoadEntries).
  TPXTIFFIFDReader* Reader() const { return FReader.get(); }
  // Byte order of the maker note's entries.
  bool LittleEndian = true;

 private:
  std::vector<uint8_t> FRawData;
  std::unique_ptr<TMemoryStream> FTagStream;
  std::unique_ptr<TPXTIFFIFDReader> FReader;
};

// ---------------------------------------------------------------------------------------------
// Imaging annotations (TIFF tag 32932)

inline constexpr int32_t PXImagingAttributesSize = 164;

// One mark: its attribute record as read, and the points, text or picture its type carries.
class TPXImagingObject : public TObject {
 public:
  TPXImagingObject();
  ~TPXImagingObject() override;
  void Assign(const TPXImagingObject* Source);
  // The mark type: the first 32-bit field of the attributes.
  int32_t MarkType() const;

  std::array<uint8_t, PXImagingAttributesSize> Attributes{};
  std::vector<TPoint> Points;
  bool HasText = false;
  std::string Text;
  std::unique_ptr<TPXBitmap> Image;  // nil when the mark has no picture
};

class TPXImagingAnnot : public TObject {
 public:
  TPXImagingAnnot();
  ~TPXImagingAnnot() override;
  void Clear() { FObjects.clear(); }
  // Clear, then a deep copy of every mark.
  void Assign(const TPXImagingAnnot* Source);
  int32_t GetCount() const { return static_cast<int32_t>(FObjects.size()); }
  bool IsEmpty() const { return FObjects.empty(); }
  TPXImagingObject* GetObject(int32_t Index) const;
  // Appends a mark (taken over); returns its index.
  int32_t AddObject(std::unique_ptr<TPXImagingObject> Object);
  // Appends the marks of an annotation block (little-endian: a zero, the layout flag, then
  // type / size / data records). Every record is checked against the bytes left: reading stops
  // at the first record that does not fit, keeping the marks before it. Built in
  // io/pximagingannot.cpp.
  void LoadFromBuffer(const void* Data, int64_t Size);
  // The block of every mark (empty without marks).
  void SaveToBuffer(std::vector<uint8_t>& Data) const;

  TIOParams* Parent = nullptr;  // the owning parameters, not owned

 private:
  std::vector<std::unique_ptr<TPXImagingObject>> FObjects;
};

// ---------------------------------------------------------------------------------------------
// The library's own annotation block: a 12-byte magic and a vector-object stream
// ("PIXORANANNOT") or a layers stream ("ZEDODODIREDE").

inline constexpr int32_t PXAnnotMagicSize = 12;

class TPXPixoranAnnot : public TObject {
 public:
  explicit TPXPixoranAnnot(TIOParams* Params);
  ~TPXPixoranAnnot() override;

  bool IsEmpty() const;
  // Empties the object stream; the form stays.
  void Clear();
  // Copies the object stream and the form.
  void Assign(const TPXPixoranAnnot* Source);
  // True when Size is at least 12 and Data starts with one of the two magics; IsVector tells
  // which.
  static bool CheckMagic(const void* Data, int32_t Size, bool& IsVector);
  // Clear; with a known magic the bytes after it become the object stream and the form follows
  // the magic.
  void LoadFromBuffer(const void* Data, int32_t Size);
  // The magic of the form and the object stream; empty when the annotation is empty.
  void SaveToBuffer(std::vector<uint8_t>& Data) const;
  // A 32-bit size and the object stream's bytes.
  void SaveToStream(TStream* Stream) const;
  // Clear, then a 32-bit size and that many bytes (EReadError "Stream read error" when the stream
  // holds fewer); the layer form when they read as a layers stream with at least one layer,
  // else the vector form.
  void LoadFromStream(TStream* Stream);

  TIOParams* Params() const { return FParams; }
  TMemoryStream* ObjectStream() const { return FObjectStream.get(); }
  bool IsVectorForm = true;

 private:
  TIOParams* FParams;  // not owned
  std::unique_ptr<TMemoryStream> FObjectStream;
};

// ---------------------------------------------------------------------------------------------
// DICOM data elements

// Value-representation codes (the index of the two-letter text in the DICOM table).
inline constexpr int32_t PXDicomVrCount = 28;   // "AE" .. "UT"
inline constexpr int32_t PXDicomVrUSorSS = 28;  // US or SS by the value's sign
inline constexpr int32_t PXDicomVrUnknown = 29;
// The data dictionary's VR code for an element (-1 when it has no entry); the DICOM codec
// registers its dictionary at start-up, until then every element is without an entry.
using TPXDicomVrLookup = int32_t (*)(uint16_t Group, uint16_t Element);
void SetDicomDictionaryLookup(TPXDicomVrLookup Lookup);

class TPXDicomTags;
// The items of a sequence element.
using TPXDicomItems = std::vector<std::unique_ptr<TPXDicomTags>>;

struct TPXDicomTag {
  uint16_t Group = 0;
  uint16_t Element = 0;
  int32_t VR = 0;
  std::vector<uint8_t> Data;  // the value bytes and a terminating zero byte; empty: no data
  int32_t DataLength = 0;     // the value's length (without the terminating zero)
  std::unique_ptr<TPXDicomItems> Children;  // sequence items; nil when none
};

class TPXDicomTags : public TObject {
 public:
  TPXDicomTags();
  ~TPXDicomTags() override;

  void Clear() { FTags.clear(); }
  int32_t GetCount() const { return static_cast<int32_t>(FTags.size()); }
  bool IsEmpty() const { return FTags.empty(); }
  // First index of the element; -1 when absent.
  int32_t IndexOf(uint16_t Group, uint16_t Element) const;
  // nil outside the list.
  TPXDicomTag* GetTag(int32_t Index) const;
  // Adds an element without replacing one of the same number (sorted lists keep it after
  // those); a negative Length or nil Data store no data. Returns its index.
  int32_t AddTag(uint16_t Group, uint16_t Element, std::unique_ptr<TPXDicomItems> Children, int32_t Length,
                 const void* Data, int32_t VR);
  // Deletes the first element of that number, or with All every one.
  void DeleteTag(uint16_t Group, uint16_t Element, bool All);
  // Ignored outside the list.
  void DeleteAt(int32_t Index);

  // Typed setters; the VR comes from the data dictionary. With Replace an element of the same
  // number is replaced (and every further one deleted), else the new one follows it. A VR the
  // value cannot take raises EPXException "Tag gggg,eeee cannot be a number" (".. a string",
  // ".. a byte string") and leaves the list unchanged. Answer the new element's index.
  // Numbers (FD when the dictionary has no entry; "US or SS" by the sign) are truncated
  // toward zero for the integer VRs.
  int32_t SetNumber(uint16_t Group, uint16_t Element, bool Replace, double Value);
  // Texts (CS when no entry) padded to an even length of at least 2: a zero byte for UI, else a
  // blank.
  int32_t SetString(uint16_t Group, uint16_t Element, bool Replace, std::string_view Text);
  // Bytes (OB only) padded with a zero byte to an even length.
  int32_t SetBytes(uint16_t Group, uint16_t Element, bool Replace, int32_t Length, const void* Data);

  // The sequence items of an element; nil when absent or without items.
  TPXDicomItems* GetChildren(uint16_t Group, uint16_t Element) const;
  TPXDicomItems* GetChildrenAt(int32_t Index) const;
  // The list holding the element, searched element by element from Start (this list when nil),
  // each element's items searched before the next element; nil and Index -1 when absent.
  TPXDicomTags* FindTagDeep(uint16_t Group, uint16_t Element, TPXDicomTags* Start, int32_t& Index);
  // The same search over each item list in turn.
  static TPXDicomTags* FindTagInItems(uint16_t Group, uint16_t Element, TPXDicomItems* Items, int32_t& Index);

  // The VR code of a two-letter text (29 when not in the table; an empty text gives 28).
  static int32_t VrFromText(std::string_view Text);
  // The text of a code ("SS" for 19 and 28, "??" from 29 on).
  static std::string VrToText(int32_t Code);

  // The stream form: version byte 3, a 32-bit count, then per element a 20-byte record, its
  // data, a 32-bit item count and each item list. Loading appends; it reads versions 0 to 3 and
  // raises EReadError "Stream read error" on counts, lengths or nesting the stream cannot hold
  // (the list then keeps what it had before the call).
  void SaveToStream(TStream* Stream) const;
  void LoadFromStream(TStream* Stream);
  // The value as text: AT, SL, UL and code 28 as signed 32-bit, SS signed 16-bit, US unsigned
  // 16-bit, FL fixed with 6 decimals, everything else as a zero-terminated text; empty for a
  // missing element or one without data.
  std::string GetTagText(int32_t Index) const;
  std::string GetTagTextOf(uint16_t Group, uint16_t Element) const;
  // Deep copy (sequences recursively).
  void Assign(const TPXDicomTags* Source);

  bool Sorted = true;

 private:
  int32_t Insert(std::unique_ptr<TPXDicomTag> Tag, bool Replace);
  void LoadLevel(TStream* Stream, uint8_t Version, int32_t Depth);
  std::vector<std::unique_ptr<TPXDicomTag>> FTags;
};

// ---------------------------------------------------------------------------------------------
// XMP in JPEG APP1 markers: the 29-byte identifier (namespace text and a zero byte), then the
// packet text.

inline constexpr int32_t PXXmpIdentifierSize = 29;

// The start of the packet text inside an APP1 marker's data, or nil when the marker is not XMP
// (shorter than 30 bytes or another identifier).
const uint8_t* FindXmpPacket(const void* Data, int32_t Length);
// Stores the packet text in Params (SetXmpInfo); false when the marker is not XMP.
bool ReadXmpMarker(const void* Data, int32_t Length, TIOParams* Params);
// The APP1 data for the packet of Params: the identifier followed by XMP_Info.
void BuildXmpMarker(const TIOParams* Params, std::vector<uint8_t>& Data);

// ---------------------------------------------------------------------------------------------
// PDF page count and small routines

// The page count of the PDF in Stream from its first root page tree ("/Type /Pages" with
// "/Count n" and no "/Parent"); 0 when none is found. The position is restored.
int32_t GetPdfPageCount(TStream* Stream, const std::string& Password);
// Opens the file for reading (others may not write) and counts; 0 when it cannot be opened.
int32_t GetPdfPageCountOfFile(const std::string& FileName, const std::string& Password);

inline int32_t SelectInteger(bool Condition, int32_t IfTrue, int32_t IfFalse) { return Condition ? IfTrue : IfFalse; }
inline double SelectDouble(bool Condition, double IfTrue, double IfFalse) { return Condition ? IfTrue : IfFalse; }
// The text's bytes followed by carriage return and line feed.
void WriteLine(TStream* Stream, std::string_view Text);
