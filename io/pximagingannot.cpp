// The block form of the imaging annotations (TIFF tag 32932): a little-endian block of records
// (a zero, the layout flag, then type / size / data records: 2 a named block of all marks, 5 the
// 164-byte attributes of the next mark, 6 a named block of the current mark).

#include <cmath>
#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <string>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "io/pxxBitmaps_meta.h"
#include "platform/forms/Clipbrd.h"
#include "platform/rtl/System.h"
#include "proc/pixoranproc_dib.h"

namespace {

int32_t Get32(const uint8_t* p) {
  return int32_t(uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24));
}
void Put32(std::vector<uint8_t>& b, int32_t v) {
  for (int k = 0; k < 4; ++k) b.push_back(uint8_t(uint32_t(v) >> (8 * k)));
}

// A packed device-independent bitmap (uncompressed 1, 8 or 24 bits) as a bitmap; nil when the
// block is not one or does not hold its rows.
std::unique_ptr<TPXBitmap> BitmapFromDIB(const std::string& D) {
  const auto* p = reinterpret_cast<const uint8_t*>(D.data());
  const int64_t size = int64_t(D.size());
  if (size < 40) return nullptr;
  const int32_t hs = Get32(p), w = Get32(p + 4), hRaw = Get32(p + 8);
  const int32_t bits = p[14] | (p[15] << 8), comp = Get32(p + 16), used = Get32(p + 32);
  if (hs < 40 || hs > size || w <= 0 || hRaw == 0 || hRaw == INT32_MIN || comp != 0 ||
      (bits != 1 && bits != 8 && bits != 24))
    return nullptr;
  const int32_t h = std::abs(hRaw);
  const int64_t colours = bits == 24 ? 0 : (used > 0 && used <= (1 << bits) ? used : (1 << bits));
  const int64_t stride = (int64_t(w) * bits + 31) / 32 * 4;
  const int64_t rows = int64_t(hs) + colours * 4;
  if (rows > size || stride * h > size - rows) return nullptr;
  auto b = std::make_unique<TPXBitmap>();
  if (!b->Allocate(w, h, bits == 1 ? px1g : bits == 8 ? px8p : px24RGB)) return nullptr;
  if (bits == 8)
    for (int32_t i = 0; i < colours; ++i) {
      const uint8_t* c = p + hs + i * 4;
      b->SetPaletteColor(i, TRGB{c[0], c[1], c[2]});
    }
  const int64_t rowBytes = bits == 1 ? (w + 7) / 8 : int64_t(w) * (bits / 8);
  for (int32_t y = 0; y < h; ++y) {
    const int32_t src = hRaw > 0 ? h - 1 - y : y;
    std::memcpy(b->Scanline(y), p + rows + stride * src, size_t(rowBytes));
  }
  return b;
}

std::string DIBOf(TPXBitmap* Image) {
  HGLOBAL h = _CopyBitmaptoDIBEx(Image, 0, 0, 0, 0, 200, 200);
  if (!h) return {};
  const void* p = GlobalLock(h);
  std::string d(static_cast<const char*>(p), GlobalSize(h));
  GlobalUnlock(h);
  GlobalFree(h);
  return d;
}

struct TNamedBlocks {
  std::map<std::string, std::string> Blocks;
};

int32_t MarkTypeOf(const uint8_t* Attributes) { return Get32(Attributes); }

}  // namespace

void TPXImagingAnnot::LoadFromBuffer(const void* Data, int64_t Size) {
  const auto* b = static_cast<const uint8_t*>(Data);
  if (!b || Size < 8) return;
  const bool extra = Get32(b + 4) == 0;  // named blocks carry 4 more header bytes
  std::map<std::string, std::string> current;
  std::array<uint8_t, PXImagingAttributesSize> attrs{};
  bool pending = false;
  auto finish = [&] {
    if (!pending) return;
    pending = false;
    const int32_t type = MarkTypeOf(attrs.data());
    if (type < 1) return;
    auto o = std::make_unique<TPXImagingObject>();
    o->Attributes = attrs;
    if (type == 1 && current.count("OiDIB")) o->Image = BitmapFromDIB(current["OiDIB"]);
    if ((type == 3 || type == 4) && current.count("OiAnoDat")) {
      const std::string& d = current["OiAnoDat"];
      if (d.size() >= 8) {
        const auto* q = reinterpret_cast<const uint8_t*>(d.data());
        const int64_t n = std::min<int64_t>(std::max(Get32(q + 4), 0), int64_t(d.size() - 8) / 8);
        for (int64_t i = 0; i < n; ++i) o->Points.push_back(TPoint{Get32(q + 8 + i * 8), Get32(q + 12 + i * 8)});
      }
    }
    if (type >= 7 && type <= 10 && current.count("OiAnText")) {
      const std::string& d = current["OiAnText"];
      if (d.size() >= 16) {
        const auto* q = reinterpret_cast<const uint8_t*>(d.data());
        std::string t = d.substr(16);
        t = t.substr(0, t.find('\0'));
        o->HasText = true;
        o->Text = t;
        int32_t scale = Get32(q + 8);
        if (scale == 0) scale = 7500;
        const int32_t height = Get32(o->Attributes.data() + 48);
        const double v = double(int64_t(Trunc(1000.0 / scale * height))) * 7.5;
        const int32_t rescaled = int32_t(-int64_t(Trunc(-v)));
        std::memcpy(o->Attributes.data() + 48, &rescaled, 4);
      }
    }
    AddObject(std::move(o));
  };
  int64_t pos = 8;
  while (pos + 8 <= Size) {
    const int32_t type = Get32(b + pos);
    pos += 8;
    if (type == 2 || type == 6) {
      const int64_t head = 12 + (extra ? 4 : 0);
      if (pos + head > Size) break;
      std::string name(reinterpret_cast<const char*>(b + pos), 8);
      name = name.substr(0, name.find('\0'));
      const int32_t ds = Get32(b + pos + 8);
      pos += head;
      if (ds < 0 || ds > Size - pos) break;  // the block passes the end: stop here
      if (type == 6) current[name] = std::string(reinterpret_cast<const char*>(b + pos), size_t(ds));
      pos += ds;
    } else if (type == 5) {
      finish();
      current.clear();
      if (pos + PXImagingAttributesSize > Size) break;
      std::memcpy(attrs.data(), b + pos, PXImagingAttributesSize);
      pending = true;
      pos += PXImagingAttributesSize;
    }
  }
  finish();
}

void TPXImagingAnnot::SaveToBuffer(std::vector<uint8_t>& D) const {
  D.clear();
  if (GetCount() == 0) return;
  Put32(D, 0);
  Put32(D, 1);
  auto named = [&](int32_t Type, const char* Name, const std::string& Data) {
    Put32(D, Type);
    Put32(D, 12);
    // an eight-byte name field, zero-padded (the names are shorter)
    char name[8] = {};
    std::memcpy(name, Name, std::min<size_t>(std::strlen(Name), 8));
    D.insert(D.end(), name, name + 8);
    Put32(D, int32_t(Data.size()));
    D.insert(D.end(), Data.begin(), Data.end());
  };
  const std::string zero("0", 2);
  named(2, "OiGroup", zero);
  named(2, "OiIndex", std::string("1", 2));
  const TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  for (int32_t i = 0; i < GetCount(); ++i) {
    const TPXImagingObject* o = GetObject(i);
    Put32(D, 5);
    Put32(D, PXImagingAttributesSize);
    D.insert(D.end(), o->Attributes.begin(), o->Attributes.end());
    const int32_t type = o->MarkType();
    if (type == 1) {
      std::vector<uint8_t> rot;
      for (int32_t v : {1, 1000, s->FScreenDPIX, s->FScreenDPIY, s->FScreenDPIX, s->FScreenDPIY, 0, 0}) Put32(rot, v);
      rot.resize(56, 0);
      named(6, "OiAnoDat", std::string(rot.begin(), rot.end()));
      if (o->Image) named(6, "OiDIB", DIBOf(o->Image.get()));
    } else if (type == 3 || type == 4) {
      std::vector<uint8_t> pts;
      Put32(pts, int32_t(o->Points.size()));
      Put32(pts, int32_t(o->Points.size()));
      for (const TPoint& p : o->Points) {
        Put32(pts, p.X);
        Put32(pts, p.Y);
      }
      named(6, "OiAnoDat", std::string(pts.begin(), pts.end()));
    } else if (type >= 7 && type <= 10) {
      std::vector<uint8_t> t;
      for (int32_t v : {0, 1000, 7500, int32_t(o->Text.size())}) Put32(t, v);
      t.insert(t.end(), o->Text.begin(), o->Text.end());
      t.push_back(0);
      named(6, "OiAnText", std::string(t.begin(), t.end()));
    }
    named(6, "OiGroup", zero);
    const std::string index = std::to_string(i);
    named(6, "OiIndex", std::string(index.c_str(), index.size() + 1));
  }
}
