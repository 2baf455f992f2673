#include "io/pxtiffhandler.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <unordered_set>

#include "core/hypxutils.h"
#include "io/pxtiffifd.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {

constexpr int32_t kMaxDepth = 8;

bool IsPointer(uint16_t Tag) { return Tag == 34665 || Tag == 34853 || Tag == 40965; }

// The byte-count tag that goes with an offsets tag, 0 for none.
uint16_t CountTagOf(uint16_t Tag, uint16_t Magic) {
  switch (Tag) {
    case 273: return 279;
    case 324: return 325;
    case 513: return 514;
    case 48320: return Magic == 444 ? 48321 : 0;
    case 48322: return Magic == 444 ? 48323 : 0;
    default: return 0;
  }
}
bool IsCountTag(uint16_t Tag, uint16_t Magic) {
  return Tag == 279 || Tag == 325 || Tag == 514 || (Magic == 444 && (Tag == 48321 || Tag == 48323));
}

struct TLoader {
  const std::vector<uint8_t>& B;
  bool LE;
  uint16_t Magic;
  std::unordered_set<uint64_t> Visited;
  uint64_t BlockBytes = 0;  // strips and tiles taken so far: together never more than the file
  uint64_t ValueBytes = 0;  // out-of-line values taken so far: together never more than the file

  uint16_t U16(uint64_t At) const { return LE ? uint16_t(B[At] | (B[At + 1] << 8)) : uint16_t((B[At] << 8) | B[At + 1]); }
  uint32_t U32(uint64_t At) const {
    return LE ? uint32_t(B[At]) | (uint32_t(B[At + 1]) << 8) | (uint32_t(B[At + 2]) << 16) | (uint32_t(B[At + 3]) << 24)
              : (uint32_t(B[At]) << 24) | (uint32_t(B[At + 1]) << 16) | (uint32_t(B[At + 2]) << 8) | uint32_t(B[At + 3]);
  }
  bool Fits(uint64_t At, uint64_t N) const { return At <= B.size() && N <= B.size() - At; }

  // Item k of an entry's integer values (SHORT or LONG).
  uint64_t Item(const TPXTIFFHandlerEntry& E, uint32_t K) const {
    const int32_t size = TiffTypeSize(E.Type);
    const uint8_t* p = E.Data.empty() ? E.Value : E.Data.data();
    const size_t avail = E.Data.empty() ? 4 : E.Data.size();
    if (size != 2 && size != 4) return 0;
    if (size_t(K + 1) * size_t(size) > avail) return 0;
    p += size_t(K) * size_t(size);
    if (size == 2) return LE ? uint16_t(p[0] | (p[1] << 8)) : uint16_t((p[0] << 8) | p[1]);
    return LE ? uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24)
              : (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
  }

  // The directory at Offset; Next receives its next-directory offset (0 for none).
  bool Load(uint64_t Offset, int32_t Depth, TPXTIFFHandlerPage& Page, uint32_t* Next) {
    if (!Fits(Offset, 2) || !Visited.insert(Offset).second) return false;
    const uint32_t n = U16(Offset);
    uint64_t at = Offset + 2;
    for (uint32_t k = 0; k < n && Fits(at, 12); ++k, at += 12) {
      TPXTIFFHandlerEntry e;
      e.Tag = U16(at);
      e.Type = U16(at + 2);
      e.Count = U32(at + 4);
      std::memcpy(e.Value, &B[at + 8], 4);
      const uint64_t size = uint64_t(TiffTypeSize(e.Type)) * e.Count;
      if (size > 4) {
        const uint32_t off = U32(at + 8);
        if (size >= B.size() || !Fits(off, size) || ValueBytes + size > B.size()) break;  // stops the page's entries
        e.Data.assign(B.begin() + off, B.begin() + off + int64_t(size));
        ValueBytes += size;
      }
      if (IsPointer(e.Tag) && Depth < kMaxDepth && size <= 4) {
        const uint32_t off = U32(at + 8);
        e.HasSub = Load(off, Depth + 1, e.Sub, nullptr);
      }
      Page.push_back(std::move(e));
    }
    if (Next) *Next = Fits(at, 4) ? U32(at) : 0;
    // Strips, tiles and JPEG data into blocks.
    for (TPXTIFFHandlerEntry& e : Page) {
      const uint16_t countTag = CountTagOf(e.Tag, Magic);
      if (!countTag) continue;
      const auto c = std::find_if(Page.begin(), Page.end(), [&](const TPXTIFFHandlerEntry& x) { return x.Tag == countTag; });
      if (c == Page.end()) continue;
      // Offsets and lengths are SHORT or LONG items, as many as their values hold.
      const auto items = [](const TPXTIFFHandlerEntry& x) -> uint32_t {
        const int32_t size = TiffTypeSize(x.Type);
        if (size != 2 && size != 4) return 0;
        return std::min<uint32_t>(x.Count, uint32_t((x.Data.empty() ? 4 : x.Data.size()) / size_t(size)));
      };
      const uint32_t n = std::min(items(e), items(*c));
      if (n == 0) continue;
      e.HasBlocks = true;
      for (uint32_t k = 0; k < n; ++k) {
        const uint64_t off = Item(e, k), len = Item(*c, k);
        if (Fits(off, len) && BlockBytes + len <= B.size()) {
          e.Blocks.emplace_back(B.begin() + int64_t(off), B.begin() + int64_t(off + len));
          BlockBytes += len;
        } else {
          e.Blocks.emplace_back();
        }
      }
    }
    // Old-style JPEG with strips: the table tags go with the strips.
    const auto has = [&](uint16_t T) {
      return std::any_of(Page.begin(), Page.end(), [&](const TPXTIFFHandlerEntry& x) { return x.Tag == T; });
    };
    const auto comp = std::find_if(Page.begin(), Page.end(), [](const TPXTIFFHandlerEntry& x) { return x.Tag == 259; });
    if (comp != Page.end() && Item(*comp, 0) == 6 && has(273) && has(513))
      std::erase_if(Page, [](const TPXTIFFHandlerEntry& x) {
        return x.Tag == 273 || x.Tag == 279 || x.Tag == 519 || x.Tag == 520 || x.Tag == 521;
      });
    std::stable_sort(Page.begin(), Page.end(), [](const auto& a, const auto& b) { return a.Tag < b.Tag; });
    return true;
  }
};

struct TSaver {
  std::vector<uint8_t> Out;
  bool LE;
  uint16_t Magic;

  void Align() {
    if (Out.size() % 2) Out.push_back(0);
  }
  void Put16At(size_t At, uint16_t V) {
    Out[At + (LE ? 0 : 1)] = uint8_t(V);
    Out[At + (LE ? 1 : 0)] = uint8_t(V >> 8);
  }
  void Put32At(size_t At, uint32_t V) {
    for (int k = 0; k < 4; ++k) Out[At + size_t(LE ? k : 3 - k)] = uint8_t(V >> (8 * k));
  }
  std::vector<uint8_t> Longs(const std::vector<uint32_t>& V) {
    std::vector<uint8_t> b(V.size() * 4);
    for (size_t i = 0; i < V.size(); ++i)
      for (int k = 0; k < 4; ++k) b[i * 4 + size_t(LE ? k : 3 - k)] = uint8_t(V[i] >> (8 * k));
    return b;
  }

  // Writes a directory at the next even position; answers where. NextAt receives the position
  // of its next-directory field.
  uint32_t Write(const TPXTIFFHandlerPage& Page, size_t* NextAt) {
    TPXTIFFHandlerPage entries = Page;
    std::stable_sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.Tag < b.Tag; });
    // A JPEG interchange stream without strips gets StripOffsets pointing at its scan.
    const bool jpegOnly =
        std::any_of(entries.begin(), entries.end(), [](const auto& e) { return e.Tag == 513 && e.HasBlocks; }) &&
        std::none_of(entries.begin(), entries.end(), [](const auto& e) { return e.Tag == 273; });
    const size_t n = entries.size() + (jpegOnly ? 1 : 0);
    Align();
    const uint32_t at = uint32_t(Out.size());
    Out.resize(Out.size() + 2 + 12 * n + 4, 0);
    Put16At(at, uint16_t(n));
    if (NextAt) *NextAt = at + 2 + 12 * n;
    uint32_t jpegAt = 0, jpegLen = 0;
    // Blocks first, so the counts follow what was written.
    std::vector<std::vector<uint32_t>> offsets(entries.size());
    for (size_t i = 0; i < entries.size(); ++i) {
      const TPXTIFFHandlerEntry& e = entries[i];
      if (!e.HasBlocks) continue;
      for (const auto& blk : e.Blocks) {
        Align();
        offsets[i].push_back(uint32_t(Out.size()));
        Out.insert(Out.end(), blk.begin(), blk.end());
      }
      if (e.Tag == 513 && !e.Blocks.empty()) {
        jpegAt = offsets[i][0];
        jpegLen = uint32_t(e.Blocks[0].size());
      }
    }
    for (size_t i = 0; i < entries.size(); ++i) {
      TPXTIFFHandlerEntry e = entries[i];
      const size_t slot = at + 2 + 12 * i;
      if (e.HasBlocks) {
        e.Type = ttLong;
        e.Count = uint32_t(offsets[i].size());
        e.Data = e.Count > 1 ? Longs(offsets[i]) : std::vector<uint8_t>();
        if (e.Count == 1) {
          std::vector<uint8_t> v = Longs(offsets[i]);
          std::memcpy(e.Value, v.data(), 4);
        }
      } else if (IsCountTag(e.Tag, Magic)) {
        // Lengths as written: the blocks of the offsets tag.
        const auto o = std::find_if(entries.begin(), entries.end(), [&](const auto& x) {
          return x.HasBlocks && CountTagOf(x.Tag, Magic) == e.Tag;
        });
        if (o != entries.end()) {
          std::vector<uint32_t> lens;
          for (const auto& blk : o->Blocks) lens.push_back(uint32_t(blk.size()));
          e.Type = ttLong;
          e.Count = uint32_t(lens.size());
          std::vector<uint8_t> v = Longs(lens);
          e.Data = e.Count > 1 ? v : std::vector<uint8_t>();
          if (e.Count == 1) std::memcpy(e.Value, v.data(), 4);
        }
      }
      Put16At(slot, e.Tag);
      Put16At(slot + 2, e.Type);
      Put32At(slot + 4, e.Count);
      if (e.HasSub) {
        const uint32_t sub = Write(e.Sub, nullptr);
        Put32At(slot + 8, sub);
      } else if (!e.Data.empty()) {
        Align();
        Put32At(slot + 8, uint32_t(Out.size()));
        Out.insert(Out.end(), e.Data.begin(), e.Data.end());
      } else {
        std::memcpy(&Out[slot + 8], e.Value, 4);
      }
    }
    if (jpegOnly) {
      const size_t slot = at + 2 + 12 * entries.size();
      uint32_t scan = jpegAt + jpegLen;
      for (uint32_t k = jpegAt; k + 1 < jpegAt + jpegLen; ++k)
        if (Out[k] == 0xFF && Out[k + 1] == 0xDA) {
          scan = k;
          break;
        }
      Put16At(slot, 273);
      Put16At(slot + 2, ttLong);
      Put32At(slot + 4, 1);
      Put32At(slot + 8, scan);
      // The directory's entries must stay sorted: StripOffsets goes to its place.
      std::vector<std::array<uint8_t, 12>> rows(n);
      for (size_t k = 0; k < n; ++k) std::memcpy(rows[k].data(), &Out[at + 2 + 12 * k], 12);
      std::stable_sort(rows.begin(), rows.end(), [&](const auto& a, const auto& b) {
        const uint16_t ta = LE ? uint16_t(a[0] | (a[1] << 8)) : uint16_t((a[0] << 8) | a[1]);
        const uint16_t tb = LE ? uint16_t(b[0] | (b[1] << 8)) : uint16_t((b[0] << 8) | b[1]);
        return ta < tb;
      });
      for (size_t k = 0; k < n; ++k) std::memcpy(&Out[at + 2 + 12 * k], rows[k].data(), 12);
    }
    return at;
  }
};

}  // namespace

std::unique_ptr<TPXTIFFHandler> TPXTIFFHandler::CreateFromFile(std::string_view FileName) {
  auto h = std::make_unique<TPXTIFFHandler>();
  h->LoadFromFile(FileName);
  return h;
}

std::unique_ptr<TPXTIFFHandler> TPXTIFFHandler::CreateFromStream(TStream* Stream) {
  auto h = std::make_unique<TPXTIFFHandler>();
  h->LoadFromStream(Stream);
  return h;
}

bool TPXTIFFHandler::LoadFromFile(std::string_view FileName) {
  Clear();
  if (!FileExists(std::string(FileName))) return false;
  TFileStream f(FileName, fmOpenRead | fmShareDenyWrite);
  return LoadFromStream(&f);
}

bool TPXTIFFHandler::LoadFromStream(TStream* Stream) {
  Clear();
  if (!Stream) return false;
  const int64_t start = Stream->Position();
  const int64_t size = Stream->Size() - start;
  if (size < 8) return false;
  std::vector<uint8_t> b(static_cast<size_t>(size));
  b.resize(size_t(Stream->Read(b.data(), int32_t(std::min<int64_t>(size, INT32_MAX)))));
  if (b.size() < 8) return false;
  if (!((b[0] == 'I' && b[1] == 'I') || (b[0] == 'M' && b[1] == 'M'))) return false;
  BigEndian = b[0] == 'M';
  TLoader l{b, !BigEndian, 0, {}};
  Magic = l.U16(2);
  l.Magic = Magic;
  uint32_t offset = l.U32(4);
  while (offset != 0) {
    TPXTIFFHandlerPage page;
    uint32_t next = 0;
    if (!l.Load(offset, 0, page, &next)) break;
    Pages.push_back(std::move(page));
    offset = next;
  }
  return true;
}

void TPXTIFFHandler::DeletePage(int32_t Page) {
  if (Page >= 0 && Page < PageCount()) Pages.erase(Pages.begin() + Page);
}

void TPXTIFFHandler::DeleteTag(int32_t Page, int32_t EntryIndex) {
  if (Page < 0 || Page >= PageCount() || EntryIndex < 0 || EntryIndex >= int32_t(Pages[size_t(Page)].size())) return;
  Pages[size_t(Page)].erase(Pages[size_t(Page)].begin() + EntryIndex);
}

int32_t TPXTIFFHandler::FindTag(int32_t Page, uint16_t Tag) const {
  if (Page < 0 || Page >= PageCount()) return -1;
  const auto& p = Pages[size_t(Page)];
  for (size_t i = 0; i < p.size(); ++i)
    if (p[i].Tag == Tag) return int32_t(i);
  return -1;
}

int32_t TPXTIFFHandler::GetTagValue(const TPXTIFFHandlerPage& Entries, uint16_t Tag, int32_t Item) const {
  const auto e = std::find_if(Entries.begin(), Entries.end(), [&](const auto& x) { return x.Tag == Tag; });
  if (e == Entries.end() || Item < 0 || uint32_t(Item) >= e->Count) return 0;
  const int32_t size = TiffTypeSize(e->Type);
  const uint8_t* p = e->Data.empty() ? e->Value : e->Data.data();
  const size_t avail = e->Data.empty() ? 4 : e->Data.size();
  if (size == 0 || size_t(Item + 1) * size_t(size) > avail) return 0;
  p += size_t(Item) * size_t(size);
  const bool le = !BigEndian;
  switch (e->Type) {
    case ttByte: case ttAscii: case ttUndefined: return p[0];
    case ttSByte: return int8_t(p[0]);
    case ttShort: return le ? uint16_t(p[0] | (p[1] << 8)) : uint16_t((p[0] << 8) | p[1]);
    case ttSShort: return int16_t(le ? uint16_t(p[0] | (p[1] << 8)) : uint16_t((p[0] << 8) | p[1]));
    case ttLong: case ttSLong:
      return int32_t(le ? uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24)
                        : (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]));
    default: return 0;
  }
}

void TPXTIFFHandler::SetTag(TPXTIFFHandlerPage& Entries, uint16_t Tag, double Value, uint16_t Type,
                            const std::string& Text) {
  std::erase_if(Entries, [&](const auto& x) { return x.Tag == Tag; });
  TPXTIFFHandlerEntry e;
  e.Tag = Tag;
  e.Type = Type;
  e.Count = 1;
  std::vector<uint8_t> d;
  const bool le = !BigEndian;
  auto put = [&](uint64_t v, int n) {
    for (int k = 0; k < n; ++k) d.push_back(uint8_t(v >> (8 * (le ? k : n - 1 - k))));
  };
  switch (Type) {
    case ttAscii:
      d.assign(Text.begin(), Text.end());
      d.push_back(0);
      e.Count = uint32_t(d.size());
      break;
    case ttByte: case ttSByte: case ttUndefined: put(uint64_t(int64_t(Value)), 1); break;
    case ttShort: case ttSShort: put(uint64_t(int64_t(Value)), 2); break;
    case ttRational: case ttSRational:
      put(uint64_t(int64_t(Value * 10000)), 4);
      put(10000, 4);
      break;
    case ttFloat: {
      const float f = float(Value);
      uint32_t u;
      std::memcpy(&u, &f, 4);
      put(u, 4);
      break;
    }
    case ttDouble: {
      uint64_t u;
      std::memcpy(&u, &Value, 8);
      put(u, 8);
      break;
    }
    default: put(uint64_t(int64_t(Value)), 4); break;  // LONG, SLONG, IFD
  }
  if (d.size() > 4)
    e.Data = d;
  else
    std::memcpy(e.Value, d.data(), d.size());
  Entries.push_back(std::move(e));
}

void TPXTIFFHandler::CopyTag(int32_t SourcePage, int32_t EntryIndex, int32_t DestPage, const TPXTIFFHandler& Source) {
  if (SourcePage < 0 || SourcePage >= Source.PageCount() || DestPage < 0 || DestPage >= PageCount() ||
      EntryIndex < 0 || EntryIndex >= int32_t(Source.Pages[size_t(SourcePage)].size()) ||
      Source.BigEndian != BigEndian)
    return;
  const TPXTIFFHandlerEntry copy = Source.Pages[size_t(SourcePage)][size_t(EntryIndex)];
  TPXTIFFHandlerPage& dest = Pages[size_t(DestPage)];
  std::erase_if(dest, [&](const auto& x) { return x.Tag == copy.Tag; });
  dest.push_back(copy);
}

void TPXTIFFHandler::SortPage(int32_t Page) {
  if (Page < 0 || Page >= PageCount()) return;
  std::stable_sort(Pages[size_t(Page)].begin(), Pages[size_t(Page)].end(),
                   [](const auto& a, const auto& b) { return a.Tag < b.Tag; });
}

bool TPXTIFFHandler::SaveToStream(TStream* Stream, int32_t Page) {
  if (!Stream) return false;
  TSaver s{{}, !BigEndian, Magic};
  s.Out.resize(8, 0);
  s.Out[0] = s.Out[1] = BigEndian ? 'M' : 'I';
  s.Put16At(2, Magic);
  size_t link = 4;
  for (int32_t i = 0; i < PageCount(); ++i) {
    if (Page >= 0 && Page < PageCount() && i != Page) continue;
    size_t next = 0;
    const uint32_t at = s.Write(Pages[size_t(i)], &next);
    s.Put32At(link, at);
    link = next;
  }
  bool err = false;
  StreamWriteChecked(Stream, err, s.Out.data(), int64_t(s.Out.size()));
  return !err;
}

bool TPXTIFFHandler::SaveToFile(std::string_view FileName, int32_t Page) {
  TMemoryStream m;
  if (!SaveToStream(&m, Page)) return false;
  SaveBytesToFile(FileName, m.Memory(), m.Size());
  return true;
}
