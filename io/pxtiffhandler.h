// An editor of whole TIFF files in memory: every directory (page) with its values, its strip,
// tile and JPEG data and its sub-directories, tags found, deleted, set and copied between pages
// and handlers, and the file (or one page) written back with fresh offsets.
//
// Loading trusts nothing in the file: every offset and length is checked against the stream, a
// directory met twice (anywhere in the file) is not read again, and sub-directories nest at most
// 8 deep.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TStream;

struct TPXTIFFHandlerEntry {
  uint16_t Tag = 0;
  uint16_t Type = 0;
  uint32_t Count = 0;
  uint8_t Value[4] = {};               // the value field as stored (file order) for inline data
  std::vector<uint8_t> Data;           // out-of-line data (file order)
  std::vector<std::vector<uint8_t>> Blocks;  // strips, tiles or JPEG data of an offsets tag
  std::vector<TPXTIFFHandlerEntry> Sub;      // the directory a pointer tag leads to
  bool HasSub = false;
  bool HasBlocks = false;
};

using TPXTIFFHandlerPage = std::vector<TPXTIFFHandlerEntry>;

class TPXTIFFHandler {
 public:
  TPXTIFFHandler() = default;
  static std::unique_ptr<TPXTIFFHandler> CreateFromFile(std::string_view FileName);
  static std::unique_ptr<TPXTIFFHandler> CreateFromStream(TStream* Stream);

  // False when the file does not exist or is not TIFF-structured.
  bool LoadFromFile(std::string_view FileName);
  // Offsets count from the stream's position; false unless it starts with "II" or "MM".
  bool LoadFromStream(TStream* Stream);
  void Clear() { Pages.clear(); }

  int32_t PageCount() const { return int32_t(Pages.size()); }
  void DeletePage(int32_t Page);
  void DeleteTag(int32_t Page, int32_t EntryIndex);
  // The entry index, -1 when the page or the tag does not exist.
  int32_t FindTag(int32_t Page, uint16_t Tag) const;
  // BYTE, ASCII, UNDEFINED, SBYTE, SHORT, SSHORT, LONG, SLONG: item Item; any other type or an
  // absent tag: 0.
  int32_t GetTagValue(const TPXTIFFHandlerPage& Entries, uint16_t Tag, int32_t Item) const;
  // Replaces the tag with one value of Type (ASCII: Text with its NUL; RATIONAL: Value / 10000).
  void SetTag(TPXTIFFHandlerPage& Entries, uint16_t Tag, double Value, uint16_t Type, const std::string& Text = {});
  // Copies entry EntryIndex of page SourcePage of Source (with its data, blocks and
  // sub-directory) into page DestPage, replacing the tag there; nothing when a page does not
  // exist, EntryIndex is out of range or the two byte orders differ.
  void CopyTag(int32_t SourcePage, int32_t EntryIndex, int32_t DestPage, const TPXTIFFHandler& Source);
  void SortPage(int32_t Page);

  // All pages when Page is negative or not a page, else only that one. The header goes at the
  // stream's position and every offset counts from there.
  bool SaveToStream(TStream* Stream, int32_t Page = -1);
  // Through a temporary file beside the target, renamed when written.
  bool SaveToFile(std::string_view FileName, int32_t Page = -1);

  bool BigEndian = false;
  uint16_t Magic = 42;
  std::vector<TPXTIFFHandlerPage> Pages;
};
