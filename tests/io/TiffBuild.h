// Builds small TIFF structures byte by byte for the tests: classic or BigTIFF, either byte order,
// any tags. Layout: header, the blobs in the order added (strips, tiles), then each directory
// followed by its out-of-line values.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace tiffbuild {

struct Entry {
  uint16_t Tag = 0, Type = 0;
  uint64_t Count = 0;
  std::vector<uint64_t> Items;  // one value per item (rationals: numerator low, denominator high)
  std::string Bytes;            // BYTE / ASCII / UNDEFINED data as they stand
  bool Raw = false;             // Bytes instead of Items
  bool ForceValue = false;      // write ValueField as the value, whatever the size
  uint64_t ValueField = 0;
  int64_t IfdRef = -1;  // >= 0: one LONG item, the offset of that directory
};

struct Ifd {
  std::vector<Entry> Entries;
  int64_t NextToIfd = -1;  // >= 0: next offset points to that directory; -1 natural; -2 explicit
  uint64_t NextExplicit = 0;
  bool ZeroEntries = false;
};

class Builder {
 public:
  explicit Builder(bool LittleEndian = true, bool BigTiff = false) : LE(LittleEndian), Big(BigTiff) {}

  bool LE, Big;
  std::vector<Ifd> Ifds;
  std::string Blobs;
  uint64_t FirstOffsetOverride = 0;  // non-zero: written as the first IFD offset
  int64_t FirstIfd = 0;              // the directory the header points to
  uint16_t Version = 0;              // non-zero: written instead of 42 / 43

  uint64_t HeaderSize() const { return Big ? 16 : 8; }
  // Appends bytes after the header; answers their offset.
  uint64_t AddBlob(const std::string& Data) {
    const uint64_t at = HeaderSize() + Blobs.size();
    Blobs += Data;
    if (Blobs.size() % 2) Blobs.push_back('\0');
    return at;
  }
  Ifd& NewIfd() {
    Ifds.emplace_back();
    return Ifds.back();
  }
  static void Add(Ifd& D, uint16_t Tag, uint16_t Type, std::initializer_list<uint64_t> Items) {
    AddV(D, Tag, Type, std::vector<uint64_t>(Items));
  }
  static void AddV(Ifd& D, uint16_t Tag, uint16_t Type, const std::vector<uint64_t>& Items) {
    Entry e;
    e.Tag = Tag;
    e.Type = Type;
    e.Items = Items;
    e.Count = e.Items.size();
    D.Entries.push_back(e);
  }
  static void AddBytes(Ifd& D, uint16_t Tag, uint16_t Type, const std::string& Bytes) {
    Entry e;
    e.Tag = Tag;
    e.Type = Type;
    e.Bytes = Bytes;
    e.Raw = true;
    e.Count = Bytes.size();
    D.Entries.push_back(e);
  }
  static uint64_t Rat(uint32_t N, uint32_t D) { return uint64_t(N) | (uint64_t(D) << 32); }

  std::string Build() const {
    std::vector<uint64_t> starts;
    Layout(nullptr, starts);
    std::vector<uint64_t> final;
    return Layout(&starts, final);
  }

 private:
  std::string Layout(const std::vector<uint64_t>* Known, std::vector<uint64_t>& starts) const {
    std::string out = LE ? "II" : "MM";
    Put(out, Version ? Version : (Big ? 43 : 42), 2);
    if (Big) {
      Put(out, 8, 2);
      Put(out, 0, 2);
    }
    const size_t firstAt = out.size();
    Put(out, 0, Big ? 8 : 4);
    out += Blobs;
    std::vector<uint64_t> nextPos;
    for (const Ifd& d : Ifds) {
      if (out.size() % 2) out.push_back('\0');
      starts.push_back(out.size());
      const size_t n = d.ZeroEntries ? 0 : d.Entries.size();
      Put(out, n, Big ? 8 : 2);
      const size_t entrySize = Big ? 20 : 12, inlineSize = Big ? 8 : 4;
      const size_t table = out.size();
      out.append(n * entrySize, '\0');
      nextPos.push_back(out.size());
      Put(out, 0, Big ? 8 : 4);
      for (size_t k = 0; k < n; ++k) {
        Entry e = d.Entries[k];
        if (e.IfdRef >= 0) {
          e.Type = 4;
          e.Count = 1;
          e.Items = {Known ? (*Known)[size_t(e.IfdRef)] : 0};
        }
        std::string data = Data(e);
        std::string rec;
        Put(rec, e.Tag, 2);
        Put(rec, e.Type, 2);
        Put(rec, e.Count, Big ? 8 : 4);
        if (e.ForceValue) {
          Put(rec, e.ValueField, inlineSize);
        } else if (data.size() <= inlineSize) {
          data.resize(inlineSize, '\0');
          rec += data;
        } else {
          if (out.size() % 2) out.push_back('\0');
          Put(rec, out.size(), inlineSize);
          out += data;
        }
        std::memcpy(out.data() + table + k * entrySize, rec.data(), entrySize);
      }
    }
    for (size_t i = 0; i < Ifds.size(); ++i) {
      uint64_t next = i + 1 < Ifds.size() ? starts[i + 1] : 0;
      if (Ifds[i].NextToIfd >= 0) next = starts[size_t(Ifds[i].NextToIfd)];
      if (Ifds[i].NextToIfd == -2) next = Ifds[i].NextExplicit;
      std::string v;
      Put(v, next, Big ? 8 : 4);
      std::memcpy(out.data() + nextPos[i], v.data(), v.size());
    }
    std::string v;
    Put(v, FirstOffsetOverride ? FirstOffsetOverride : (starts.empty() ? 0 : starts[size_t(FirstIfd)]), Big ? 8 : 4);
    std::memcpy(out.data() + firstAt, v.data(), v.size());
    return out;
  }

  void Put(std::string& s, uint64_t v, size_t n) const {
    for (size_t k = 0; k < n; ++k) {
      const size_t shift = LE ? k : n - 1 - k;
      s.push_back(char((v >> (8 * shift)) & 0xFF));
    }
  }
  std::string Data(const Entry& e) const {
    if (e.Raw) return e.Bytes;
    std::string s;
    size_t size = 0;
    switch (e.Type) {
      case 1: case 2: case 6: case 7: size = 1; break;
      case 3: case 8: size = 2; break;
      case 4: case 9: case 11: case 13: size = 4; break;
      default: size = 8;
    }
    for (uint64_t v : e.Items) {
      if (e.Type == 5 || e.Type == 10) {
        Put(s, v & 0xFFFFFFFF, 4);
        Put(s, v >> 32, 4);
      } else {
        Put(s, v, size);
      }
    }
    return s;
  }
};

}  // namespace tiffbuild
