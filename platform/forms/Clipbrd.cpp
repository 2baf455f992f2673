// Global memory blocks, the clipboard calls over QClipboard, and TClipboard.
#include "platform/forms/Clipbrd.h"

#include <QBuffer>
#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <thread>
#include <vector>

#include "platform/gdi/Graphics.h"
#include "platform/rtl/SysUtils.h"

// ---------------------------------------------------------------------------------------------
// Global memory

namespace {

constexpr size_t kMaxGlobalBytes = 0x7FFFFFFF;

struct TGlobalBlock {
  std::unique_ptr<uint8_t[]> data;
  size_t size = 0;
  uint32_t locks = 0;
  uint32_t generation = 1;
  bool used = false;
  bool clipboard = false;  // handed to the clipboard: only the clipboard frees it
};

struct TGlobalTable {
  std::mutex lock;
  std::vector<TGlobalBlock> blocks;
  std::vector<uint32_t> unused;
};

TGlobalTable& Globals() {
  static TGlobalTable table;
  return table;
}

// Handle = generation in the high 32 bits, slot + 1 in the low ones.
HGLOBAL MakeHandle(uint32_t slot, uint32_t generation) {
  return reinterpret_cast<HGLOBAL>((uintptr_t(generation) << 32) | (uintptr_t(slot) + 1));
}

// The block of a live handle (the table must be locked); nullptr otherwise.
TGlobalBlock* FindBlock(TGlobalTable& t, HGLOBAL mem) {
  const uintptr_t v = reinterpret_cast<uintptr_t>(mem);
  const uintptr_t slot = (v & 0xFFFFFFFFu);
  if (slot == 0 || slot > t.blocks.size()) return nullptr;
  TGlobalBlock& b = t.blocks[slot - 1];
  if (!b.used || b.generation != uint32_t(v >> 32)) return nullptr;
  return &b;
}

void ReleaseBlock(TGlobalTable& t, TGlobalBlock& b) {
  b.data.reset();
  b.size = 0;
  b.locks = 0;
  b.used = false;
  b.clipboard = false;
  ++b.generation;
  if (b.generation == 0) b.generation = 1;
  t.unused.push_back(static_cast<uint32_t>(&b - t.blocks.data()));
}

// A new block holding a copy of bytes; nullptr when the memory cannot be had.
HGLOBAL GlobalFromBytes(const void* bytes, size_t size) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
  if (!h || !size) return h;
  std::memcpy(GlobalLock(h), bytes, size);
  GlobalUnlock(h);
  return h;
}

// A copy of a block's bytes; nullopt for a bad handle.
std::optional<std::vector<uint8_t>> GlobalBytes(HGLOBAL mem) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> guard(t.lock);
  TGlobalBlock* b = FindBlock(t, mem);
  if (!b) return std::nullopt;
  return std::vector<uint8_t>(b->data.get(), b->data.get() + b->size);
}

void SetClipboardOwned(HGLOBAL mem, bool owned) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> guard(t.lock);
  if (TGlobalBlock* b = FindBlock(t, mem)) b->clipboard = owned;
}

// Frees a block whoever owns it.
void ForceGlobalFree(HGLOBAL mem) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> guard(t.lock);
  if (TGlobalBlock* b = FindBlock(t, mem)) ReleaseBlock(t, *b);
}

}  // namespace

HGLOBAL GlobalAlloc(UINT Flags, size_t Bytes) {
  if (Bytes > kMaxGlobalBytes) return nullptr;
  std::unique_ptr<uint8_t[]> data;
  if (Bytes) {
    try {
      data = std::make_unique_for_overwrite<uint8_t[]>(Bytes);
    } catch (const std::bad_alloc&) {
      return nullptr;
    }
    if (Flags & GMEM_ZEROINIT) std::memset(data.get(), 0, Bytes);
  }
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> guard(t.lock);
  uint32_t slot;
  if (!t.unused.empty()) {
    slot = t.unused.back();
    t.unused.pop_back();
  } else {
    if (t.blocks.size() >= 0xFFFFFFFEu) return nullptr;
    slot = static_cast<uint32_t>(t.blocks.size());
    t.blocks.emplace_back();
  }
  TGlobalBlock& b = t.blocks[slot];
  b.data = std::move(data);
  b.size = Bytes;
  b.used = true;
  return MakeHandle(slot, b.generation);
}

void* GlobalLock(HGLOBAL Mem) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> guard(t.lock);
  TGlobalBlock* b = FindBlock(t, Mem);
  if (!b || !b->size) return nullptr;
  ++b->locks;
  return b->data.get();
}

BOOL GlobalUnlock(HGLOBAL Mem) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> guard(t.lock);
  TGlobalBlock* b = FindBlock(t, Mem);
  if (!b || b->locks == 0) return 0;
  return --b->locks > 0 ? 1 : 0;
}

HGLOBAL GlobalFree(HGLOBAL Mem) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> guard(t.lock);
  TGlobalBlock* b = FindBlock(t, Mem);
  if (!b || b->clipboard) return Mem;
  ReleaseBlock(t, *b);
  return nullptr;
}

size_t GlobalSize(HGLOBAL Mem) {
  TGlobalTable& t = Globals();
  std::lock_guard<std::mutex> guard(t.lock);
  TGlobalBlock* b = FindBlock(t, Mem);
  return b ? b->size : 0;
}

// ---------------------------------------------------------------------------------------------
// Registered formats

namespace {

struct TFormatNames {
  std::mutex lock;
  std::vector<std::string> names;  // id - 0xC000
};

TFormatNames& FormatNames() {
  static TFormatNames table;
  return table;
}

std::optional<std::string> RegisteredName(UINT format) {
  if (format < FirstRegisteredClipboardFormat) return std::nullopt;
  TFormatNames& t = FormatNames();
  std::lock_guard<std::mutex> guard(t.lock);
  const size_t i = format - FirstRegisteredClipboardFormat;
  if (i >= t.names.size()) return std::nullopt;
  return t.names[i];
}

}  // namespace

UINT RegisterClipboardFormat(std::string_view Name) {
  if (Name.empty() || Name.size() > 255) return 0;
  TFormatNames& t = FormatNames();
  std::lock_guard<std::mutex> guard(t.lock);
  for (size_t i = 0; i < t.names.size(); ++i)
    if (SameText(t.names[i], Name)) return FirstRegisteredClipboardFormat + static_cast<UINT>(i);
  if (t.names.size() >= 0x3FFF) return 0;
  t.names.emplace_back(Name);
  return FirstRegisteredClipboardFormat + static_cast<UINT>(t.names.size() - 1);
}

int32_t GetClipboardFormatName(UINT Format, char* Buffer, int32_t MaxCount) {
  auto name = RegisteredName(Format);
  if (!name || !Buffer || MaxCount <= 0) return 0;
  const size_t n = std::min(name->size(), static_cast<size_t>(MaxCount - 1));
  std::memcpy(Buffer, name->data(), n);
  Buffer[n] = '\0';
  return static_cast<int32_t>(n);
}

// ---------------------------------------------------------------------------------------------
// Conversions between clipboard blocks and MIME data

namespace {

const QString kText = QStringLiteral("text/plain");
const QString kBmp = QStringLiteral("image/bmp");
const QString kPng = QStringLiteral("image/png");
const QString kUriList = QStringLiteral("text/uri-list");
const QString kRegisteredPrefix = QStringLiteral("application/x-qln-");

uint32_t Rd32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint16_t Rd16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
void Wr32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// What we publish: the stored formats, plus image/png made on demand from image/bmp for other
// programs (most desktop programs paste PNG rather than BMP).
class TClipMimeData : public QMimeData {
 public:
  QStringList StoredFormats() const { return QMimeData::formats(); }
  QStringList formats() const override {
    QStringList f = QMimeData::formats();
    if (f.contains(kBmp) && !f.contains(kPng)) f.append(kPng);
    return f;
  }

 protected:
  QVariant retrieveData(const QString& mime, QMetaType type) const override {
    const QStringList stored = QMimeData::formats();
    if (mime == kPng && !stored.contains(kPng) && stored.contains(kBmp)) {
      QImage image;
      if (!image.loadFromData(QMimeData::data(kBmp), "BMP")) return {};
      QByteArray png;
      QBuffer buffer(&png);
      buffer.open(QIODevice::WriteOnly);
      if (!image.save(&buffer, "PNG")) return {};
      return png;
    }
    return QMimeData::retrieveData(mime, type);
  }
};

QString MimeOfRegistered(const std::string& name) {
  if (SameText(name, "PNG")) return kPng;
  return kRegisteredPrefix + QString::fromStdString(name);
}

std::optional<std::string> RegisteredNameOfMime(const QString& mime) {
  if (mime == kPng) return std::string("PNG");
  if (mime.startsWith(kRegisteredPrefix) && mime.size() > kRegisteredPrefix.size())
    return mime.mid(kRegisteredPrefix.size()).toStdString();
  return std::nullopt;
}

QString CrLfToLf(QString s) { return s.replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }
QString LfToCrLf(const QString& s) {
  return CrLfToLf(s).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

// The row size of a DIB (rows padded to 4 bytes).
uint64_t DibRowBytes(uint64_t width, uint32_t bits) { return (width * bits + 31) / 32 * 4; }

// The size of the pixel rows of a packed DIB that PackedDIBSize accepted.
uint64_t DibImageBytes(const uint8_t* dib) {
  if (Rd32(dib) == 12) return DibRowBytes(Rd16(dib + 4), Rd16(dib + 10)) * Rd16(dib + 6);
  const int64_t h = static_cast<int32_t>(Rd32(dib + 8));
  return DibRowBytes(static_cast<int32_t>(Rd32(dib + 4)), Rd16(dib + 14)) * static_cast<uint64_t>(h < 0 ? -h : h);
}

// A BMP file of a packed DIB (bytes after the DIB are left out); empty when it is not valid.
QByteArray BmpFileOfDib(const std::vector<uint8_t>& dib) {
  const size_t n = PackedDIBSize(dib.data(), dib.size());
  if (!n) return {};
  const uint64_t prefix = n - DibImageBytes(dib.data());
  QByteArray file(static_cast<qsizetype>(14 + n), '\0');
  uint8_t* p = reinterpret_cast<uint8_t*>(file.data());
  p[0] = 'B';
  p[1] = 'M';
  Wr32(p + 2, static_cast<uint32_t>(file.size()));
  Wr32(p + 10, static_cast<uint32_t>(14 + prefix));
  std::memcpy(p + 14, dib.data(), n);
  return file;
}

// The packed DIB of a BMP file: header and colour table, then the rows found at the file's bits
// offset. Empty for anything that is not a complete, valid BMP.
std::vector<uint8_t> DibOfBmpFile(const QByteArray& file) {
  const auto* p = reinterpret_cast<const uint8_t*>(file.constData());
  const size_t size = static_cast<size_t>(file.size());
  if (size < 14 + 12 || p[0] != 'B' || p[1] != 'M') return {};
  const uint8_t* dib = p + 14;
  const size_t n = PackedDIBSize(dib, size - 14);
  if (!n) return {};
  const uint64_t image = DibImageBytes(dib);
  const uint64_t prefix = n - image;
  const uint64_t off = Rd32(p + 10);
  std::vector<uint8_t> out(dib, dib + prefix);
  if (off > 14 + prefix) {
    // Rows placed further on (a gap after the colour table).
    if (off > size || size - off < image) return {};
    out.insert(out.end(), p + off, p + off + image);
  } else {
    out.insert(out.end(), dib + prefix, dib + n);
  }
  return out;
}

// Another program's image as a packed DIB: 32 bits with its alpha channel, else 24 bits.
std::vector<uint8_t> DibOfImage(const QImage& source) {
  if (source.isNull()) return {};
  const bool alpha = source.hasAlphaChannel();
  const QImage image = source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
  const int32_t w = image.width(), h = image.height();
  const uint32_t bits = alpha ? 32 : 24;
  const uint64_t row = DibRowBytes(static_cast<uint64_t>(w), bits);
  if (row * static_cast<uint64_t>(h) > kMaxGlobalBytes - 40) return {};
  std::vector<uint8_t> out(40 + row * static_cast<size_t>(h), 0);
  BITMAPINFOHEADER hdr;
  hdr.biWidth = w;
  hdr.biHeight = h;
  hdr.biBitCount = static_cast<WORD>(bits);
  hdr.biSizeImage = static_cast<DWORD>(row * static_cast<uint64_t>(h));
  std::memcpy(out.data(), &hdr, 40);
  for (int32_t y = 0; y < h; ++y) {
    const auto* src = reinterpret_cast<const uint32_t*>(image.constScanLine(y));
    uint8_t* dst = out.data() + 40 + row * static_cast<size_t>(h - 1 - y);
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = src[x];
      *dst++ = static_cast<uint8_t>(c);
      *dst++ = static_cast<uint8_t>(c >> 8);
      *dst++ = static_cast<uint8_t>(c >> 16);
      if (alpha) *dst++ = static_cast<uint8_t>(c >> 24);
    }
  }
  return out;
}

// The packed DIB of a bitmap handle, in the bitmap's depth (16 and 32 bits as 32); empty when
// the handle is not a bitmap.
std::vector<uint8_t> DibOfBitmap(HBITMAP bitmap) {
  if (!bitmap || GetObjectType(bitmap) != OBJ_BITMAP) return {};
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc) return {};
  std::vector<uint8_t> info(40 + 256 * 4, 0);
  auto* bmi = reinterpret_cast<BITMAPINFO*>(info.data());
  std::vector<uint8_t> out;
  bmi->bmiHeader.biSize = 40;
  if (GetDIBits(dc, bitmap, 0, 0, nullptr, bmi, DIB_RGB_COLORS)) {
    BITMAPINFOHEADER& h = bmi->bmiHeader;
    if (h.biBitCount != 1 && h.biBitCount != 4 && h.biBitCount != 8 && h.biBitCount != 24) h.biBitCount = 32;
    h.biCompression = BI_RGB;
    h.biClrUsed = 0;
    h.biHeight = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (GetDIBits(dc, bitmap, 0, 0, nullptr, bmi, DIB_RGB_COLORS)) {
      const size_t table = h.biBitCount <= 8 ? (size_t(1) << h.biBitCount) * 4 : 0;
      const size_t image = DibRowBytes(static_cast<uint64_t>(h.biWidth), h.biBitCount) * static_cast<size_t>(h.biHeight);
      out.assign(40 + table + image, 0);
      if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(h.biHeight), out.data() + 40 + table, bmi, DIB_RGB_COLORS) ==
          h.biHeight) {
        std::memcpy(out.data(), info.data(), 40 + table);
      } else {
        out.clear();
      }
    }
  }
  DeleteDC(dc);
  return out;
}

// A bitmap handle (owned by the caller) of a valid packed DIB; nullptr when it cannot be made.
HBITMAP BitmapOfDib(const std::vector<uint8_t>& dib) {
  const QByteArray file = BmpFileOfDib(dib);
  if (file.isEmpty()) return nullptr;
  try {
    TCustomMemoryStream stream(file.constData(), file.size());
    TBitmap bitmap;
    bitmap.LoadFromStream(&stream);
    return bitmap.ReleaseHandle();
  } catch (const Exception&) {
    return nullptr;
  }
}

// The names of a CF_HDROP block; nullopt when the block is malformed or names nothing.
std::optional<std::vector<std::string>> NamesOfDropFiles(const std::vector<uint8_t>& block) {
  if (block.size() < sizeof(DROPFILES)) return std::nullopt;
  const uint32_t start = Rd32(block.data());
  const bool wide = Rd32(block.data() + 16) != 0;
  if (start < sizeof(DROPFILES) || start >= block.size()) return std::nullopt;
  std::vector<std::string> names;
  const size_t unit = wide ? 2 : 1;
  size_t pos = start;
  for (;;) {
    std::u16string wname;
    std::string name;
    for (;;) {
      if (block.size() - pos < unit) return std::nullopt;  // no terminator inside the block
      const uint16_t c = wide ? Rd16(block.data() + pos) : block[pos];
      pos += unit;
      if (!c) break;
      if (wide) wname.push_back(static_cast<char16_t>(c));
      else name.push_back(static_cast<char>(c));
    }
    if (wide) name = Utf16ToUtf8(wname);
    if (name.empty()) break;  // the second NUL ends the list
    names.push_back(BytesToUtf8(name));
  }
  if (names.empty()) return std::nullopt;
  return names;
}

std::vector<uint8_t> DropFilesOfNames(const std::vector<std::string>& names) {
  std::vector<uint8_t> out(sizeof(DROPFILES), 0);
  DROPFILES header;
  header.fWide = 1;
  std::memcpy(out.data(), &header, sizeof header);
  auto put = [&out](char16_t c) {
    out.push_back(static_cast<uint8_t>(c));
    out.push_back(static_cast<uint8_t>(c >> 8));
  };
  for (const std::string& name : names) {
    for (char16_t c : Utf8ToUtf16(name)) put(c);
    put(0);
  }
  put(0);
  return out;
}

// Whether MIME data holds an image in a format Qt reads (another program's copy), and that image.
bool HasForeignImage(const QMimeData* md) {
  if (md->hasImage()) return true;
  const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
  for (const QString& mime : md->formats())
    if (mime.startsWith(QStringLiteral("image/")) && readable.contains(mime.toLatin1())) return true;
  return false;
}

QImage ForeignImage(const QMimeData* md) {
  if (md->hasImage()) return qvariant_cast<QImage>(md->imageData());
  const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
  for (const QString& mime : md->formats()) {
    if (!mime.startsWith(QStringLiteral("image/")) || !readable.contains(mime.toLatin1())) continue;
    QImage image;
    if (image.loadFromData(md->data(mime))) return image;
  }
  return {};
}

std::vector<std::string> LocalFilesOf(const QMimeData* md) {
  std::vector<std::string> names;
  for (const QUrl& url : md->urls())
    if (url.isLocalFile()) names.push_back(url.toLocalFile().toStdString());
  return names;
}

// One format's data as MIME data: the type and its bytes. False when the data is not valid for
// the format or the format has no desktop counterpart.
bool MimeOfBlock(UINT format, HANDLE mem, QString& mime, QByteArray& bytes) {
  if (format == CF_BITMAP) {
    const std::vector<uint8_t> dib = DibOfBitmap(static_cast<HBITMAP>(mem));
    if (dib.empty()) return false;
    mime = kBmp;
    bytes = BmpFileOfDib(dib);
    return true;
  }
  auto data = GlobalBytes(mem);
  if (!data) return false;
  const auto* p = data->data();
  switch (format) {
    case CF_UNICODETEXT: {
      std::u16string text;
      for (size_t i = 0; i + 1 < data->size(); i += 2) {
        const char16_t c = Rd16(p + i);
        if (!c) break;
        text.push_back(c);
      }
      mime = kText;
      bytes = CrLfToLf(QString::fromStdU16String(text)).toUtf8();
      return true;
    }
    case CF_TEXT:
    case CF_OEMTEXT: {
      const size_t n = std::find(data->begin(), data->end(), uint8_t(0)) - data->begin();
      mime = kText;
      bytes = CrLfToLf(QString::fromStdString(BytesToUtf8(std::string_view(reinterpret_cast<const char*>(p), n)))).toUtf8();
      return true;
    }
    case CF_DIB: {
      const size_t n = PackedDIBSize(p, data->size());
      if (!n) return false;
      data->resize(n);
      mime = kBmp;
      bytes = BmpFileOfDib(*data);
      return true;
    }
    case CF_HDROP: {
      auto names = NamesOfDropFiles(*data);
      if (!names) return false;
      QList<QUrl> urls;
      for (const std::string& name : *names) urls.append(QUrl::fromLocalFile(QString::fromStdString(name)));
      QMimeData tmp;
      tmp.setUrls(urls);
      mime = kUriList;
      bytes = tmp.data(kUriList);
      return true;
    }
    default:
      break;
  }
  auto name = RegisteredName(format);
  if (!name) return false;
  mime = MimeOfRegistered(*name);
  bytes = QByteArray(reinterpret_cast<const char*>(p), static_cast<qsizetype>(data->size()));
  return true;
}

// The formats MIME data offers, in its order (synthesised text and bitmap formats follow their
// source).
std::vector<UINT> FormatsOfMime(const QMimeData* md) {
  std::vector<UINT> out;
  if (!md) return out;
  auto add = [&out](UINT f) {
    if (f && std::find(out.begin(), out.end(), f) == out.end()) out.push_back(f);
  };
  const auto* own = dynamic_cast<const TClipMimeData*>(md);
  const QStringList list = own ? own->StoredFormats() : md->formats();
  bool dib = false;
  for (const QString& mime : list) {
    if (mime == kText || mime.startsWith(kText + QLatin1Char(';'))) {
      add(CF_UNICODETEXT);
      add(CF_TEXT);
    } else if (mime == kBmp) {
      add(CF_DIB);
      add(CF_BITMAP);
      dib = true;
    } else if (mime == kUriList) {
      if (!LocalFilesOf(md).empty()) add(CF_HDROP);
    } else if (auto name = RegisteredNameOfMime(mime)) {
      add(RegisterClipboardFormat(*name));
    }
  }
  if (!dib && !own && HasForeignImage(md)) {
    add(CF_DIB);
    add(CF_BITMAP);
  }
  return out;
}

std::vector<uint8_t> DibOfMime(const QMimeData* md) {
  if (md->formats().contains(kBmp)) return DibOfBmpFile(md->data(kBmp));
  return DibOfImage(ForeignImage(md));
}

// A new handle (owned by the clipboard) with the format's data; nullptr when absent or bad.
HANDLE RenderFormat(const QMimeData* md, UINT format) {
  const std::vector<UINT> offered = FormatsOfMime(md);
  if (std::find(offered.begin(), offered.end(), format) == offered.end()) return nullptr;
  switch (format) {
    case CF_UNICODETEXT: {
      const std::u16string text = LfToCrLf(md->text()).toStdU16String();
      std::vector<uint8_t> bytes((text.size() + 1) * 2, 0);
      for (size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<uint8_t>(text[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(text[i] >> 8);
      }
      return GlobalFromBytes(bytes.data(), bytes.size());
    }
    case CF_TEXT: {
      const QByteArray text = LfToCrLf(md->text()).toUtf8();
      return GlobalFromBytes(text.constData(), static_cast<size_t>(text.size()) + 1);  // with its NUL
    }
    case CF_DIB: {
      const std::vector<uint8_t> dib = DibOfMime(md);
      return dib.empty() ? nullptr : GlobalFromBytes(dib.data(), dib.size());
    }
    case CF_BITMAP: {
      const std::vector<uint8_t> dib = DibOfMime(md);
      return dib.empty() ? nullptr : BitmapOfDib(dib);
    }
    case CF_HDROP: {
      const std::vector<uint8_t> block = DropFilesOfNames(LocalFilesOf(md));
      return GlobalFromBytes(block.data(), block.size());
    }
    default:
      break;
  }
  auto name = RegisteredName(format);
  if (!name) return nullptr;
  const QByteArray bytes = md->data(MimeOfRegistered(*name));
  return GlobalFromBytes(bytes.constData(), static_cast<size_t>(bytes.size()));
}

void FreeClipboardHandle(UINT format, HANDLE h) {
  if (format == CF_BITMAP) DeleteObject(h);
  else ForceGlobalFree(h);
}

// ---------------------------------------------------------------------------------------------
// The transaction

struct TPendingFormat {
  UINT format = 0;
  HANDLE handle = nullptr;
  QString mime;
  QByteArray bytes;
};

struct TClipboardState {
  std::recursive_mutex lock;
  bool open = false;
  std::thread::id owner;
  bool emptied = false;
  std::vector<TPendingFormat> pending;                // in the order set
  std::vector<std::pair<UINT, HANDLE>> rendered;      // handed out by GetClipboardData
  std::unique_ptr<QMimeData> local;                   // the clipboard without a GUI application
};

TClipboardState& State() {
  static TClipboardState state;
  return state;
}

QGuiApplication* GuiApp() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()); }

// Whether this thread may use the clipboard: any thread without a GUI application, else only the
// application's thread.
bool ThreadAllowed() {
  QGuiApplication* app = GuiApp();
  return !app || app->thread() == QThread::currentThread();
}

// What the clipboard holds now (outside the transaction's changes).
const QMimeData* Current(TClipboardState& s) {
  if (GuiApp()) return QGuiApplication::clipboard()->mimeData();
  return s.local.get();
}

void Publish(TClipboardState& s, std::unique_ptr<QMimeData> md) {
  if (GuiApp()) QGuiApplication::clipboard()->setMimeData(md.release());
  else s.local = std::move(md);
}

bool OpenedHere(TClipboardState& s) { return s.open && s.owner == std::this_thread::get_id(); }

void FreeRendered(TClipboardState& s) {
  for (auto& [format, h] : s.rendered) FreeClipboardHandle(format, h);
  s.rendered.clear();
}

void DropPending(TClipboardState& s) {
  for (TPendingFormat& p : s.pending) FreeClipboardHandle(p.format, p.handle);
  s.pending.clear();
}

// The formats available now for this thread.
std::vector<UINT> AvailableFormats(TClipboardState& s) {
  std::vector<UINT> out;
  const bool inTransaction = OpenedHere(s);
  if (inTransaction)
    for (const TPendingFormat& p : s.pending) out.push_back(p.format);
  if (!inTransaction || !s.emptied)
    for (UINT f : FormatsOfMime(Current(s)))
      if (std::find(out.begin(), out.end(), f) == out.end()) out.push_back(f);
  return out;
}

}  // namespace

BOOL OpenClipboard(HWND /*Owner*/) {
  if (!ThreadAllowed()) return 0;
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (s.open) return 0;
  s.open = true;
  s.owner = std::this_thread::get_id();
  s.emptied = false;
  return 1;
}

BOOL CloseClipboard() {
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (!OpenedHere(s)) return 0;
  if (s.emptied || !s.pending.empty()) {
    auto md = std::make_unique<TClipMimeData>();
    if (!s.emptied)
      if (const QMimeData* old = Current(s)) {
        const auto* own = dynamic_cast<const TClipMimeData*>(old);
        for (const QString& mime : own ? own->StoredFormats() : old->formats())
          if (!mime.startsWith(QStringLiteral("application/x-qt-"))) md->setData(mime, old->data(mime));
      }
    for (const TPendingFormat& p : s.pending) md->setData(p.mime, p.bytes);
    Publish(s, std::move(md));
  }
  DropPending(s);
  FreeRendered(s);
  s.open = false;
  s.emptied = false;
  return 1;
}

BOOL EmptyClipboard() {
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (!OpenedHere(s)) return 0;
  DropPending(s);
  FreeRendered(s);
  s.emptied = true;
  return 1;
}

HANDLE SetClipboardData(UINT Format, HANDLE Mem) {
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (!OpenedHere(s) || !Mem) return nullptr;
  TPendingFormat entry;
  entry.format = Format;
  entry.handle = Mem;
  if (!MimeOfBlock(Format, Mem, entry.mime, entry.bytes)) return nullptr;
  if (Format != CF_BITMAP) SetClipboardOwned(Mem, true);
  for (auto it = s.pending.begin(); it != s.pending.end(); ++it)
    if (it->format == Format) {
      if (it->handle != Mem) FreeClipboardHandle(it->format, it->handle);
      s.pending.erase(it);
      break;
    }
  s.pending.push_back(std::move(entry));
  return Mem;
}

HANDLE GetClipboardData(UINT Format) {
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (!OpenedHere(s)) return nullptr;
  for (const TPendingFormat& p : s.pending)
    if (p.format == Format) return p.handle;
  if (s.emptied) return nullptr;
  for (auto& [format, h] : s.rendered)
    if (format == Format) return h;
  const QMimeData* md = Current(s);
  if (!md) return nullptr;
  HANDLE h = RenderFormat(md, Format);
  if (!h) return nullptr;
  if (Format != CF_BITMAP) SetClipboardOwned(h, true);
  s.rendered.emplace_back(Format, h);
  return h;
}

BOOL IsClipboardFormatAvailable(UINT Format) {
  if (!ThreadAllowed() || !Format) return 0;
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  const std::vector<UINT> formats = AvailableFormats(s);
  return std::find(formats.begin(), formats.end(), Format) != formats.end() ? 1 : 0;
}

UINT EnumClipboardFormats(UINT Format) {
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (!OpenedHere(s)) return 0;
  const std::vector<UINT> formats = AvailableFormats(s);
  if (!Format) return formats.empty() ? 0 : formats.front();
  auto it = std::find(formats.begin(), formats.end(), Format);
  return it == formats.end() || it + 1 == formats.end() ? 0 : *(it + 1);
}

int32_t CountClipboardFormats() {
  if (!ThreadAllowed()) return 0;
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  return static_cast<int32_t>(AvailableFormats(s).size());
}

std::vector<std::string> ClipboardMimeTypes() {
  std::vector<std::string> out;
  if (!ThreadAllowed()) return out;
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  if (const QMimeData* md = Current(s))
    for (const QString& mime : md->formats()) out.push_back(mime.toStdString());
  return out;
}

std::string ClipboardMimeBytes(std::string_view Mime) {
  if (!ThreadAllowed()) return {};
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  const QMimeData* md = Current(s);
  if (!md) return {};
  return md->data(QString::fromUtf8(Mime.data(), static_cast<qsizetype>(Mime.size()))).toStdString();
}

void SetClipboardMimeData(const std::vector<std::pair<std::string, std::string>>& Items) {
  if (!ThreadAllowed()) return;
  TClipboardState& s = State();
  std::lock_guard<std::recursive_mutex> guard(s.lock);
  auto md = std::make_unique<QMimeData>();  // a plain one, as another program's
  for (const auto& [mime, bytes] : Items)
    md->setData(QString::fromStdString(mime), QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
  Publish(s, std::move(md));
}

// ---------------------------------------------------------------------------------------------
// TClipboard

PX_CLASS_INFO(TClipboard, TPersistent)

TClipboard::~TClipboard() {
  if (open_count_ > 0) CloseClipboard();
}

void TClipboard::Open() {
  if (open_count_ == 0) {
    if (!OpenClipboard(nullptr)) throw EClipboardException("Cannot open clipboard");
    emptied_ = false;
  }
  ++open_count_;
}

void TClipboard::Close() {
  if (open_count_ == 0) return;
  if (--open_count_ == 0) CloseClipboard();
}

void TClipboard::Clear() {
  Open();
  EmptyClipboard();
  Close();
}

void TClipboard::Adding() {
  if (open_count_ != 0 && !emptied_) {
    Clear();
    emptied_ = true;
  }
}

bool TClipboard::HasFormat(UINT Format) { return IsClipboardFormatAvailable(Format) != 0; }

int32_t TClipboard::FormatCount() { return CountClipboardFormats(); }

UINT TClipboard::Formats(int32_t Index) {
  Open();
  UINT f = 0;
  for (int32_t i = 0; i <= Index; ++i) {
    f = EnumClipboardFormats(f);
    if (!f) break;
  }
  Close();
  if (Index < 0 || !f) throw EListError(::Format("List index out of bounds (%d)", Index));
  return f;
}

std::string TClipboard::AsText() {
  Open();
  std::string text;
  if (HANDLE h = GetClipboardData(CF_UNICODETEXT)) {
    if (auto bytes = GlobalBytes(h)) {
      std::u16string w;
      for (size_t i = 0; i + 1 < bytes->size(); i += 2) {
        const char16_t c = Rd16(bytes->data() + i);
        if (!c) break;
        w.push_back(c);
      }
      text = Utf16ToUtf8(w);
    }
  }
  Close();
  return text;
}

void TClipboard::SetAsText(std::string_view Value) {
  const std::u16string w = Utf8ToUtf16(Value);
  std::vector<uint8_t> bytes((w.size() + 1) * 2, 0);
  for (size_t i = 0; i < w.size(); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(w[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(w[i] >> 8);
  }
  HGLOBAL h = GlobalFromBytes(bytes.data(), bytes.size());
  if (!h) throw EOutOfMemory("Out of memory");
  SetBlock(CF_UNICODETEXT, h);
}

HANDLE TClipboard::GetAsHandle(UINT Format) {
  Open();
  HANDLE copy = nullptr;
  if (HANDLE h = GetClipboardData(Format)) {
    if (Format == CF_BITMAP) {
      const std::vector<uint8_t> dib = DibOfBitmap(static_cast<HBITMAP>(h));
      if (!dib.empty()) copy = BitmapOfDib(dib);
    } else if (auto bytes = GlobalBytes(h)) {
      copy = GlobalFromBytes(bytes->data(), bytes->size());
    }
  }
  Close();
  return copy;
}

void TClipboard::SetAsHandle(UINT Format, HANDLE Value) { SetBlock(Format, Value); }

void TClipboard::SetBlock(UINT Format, HANDLE Mem) {
  Open();
  try {
    Adding();
    if (!SetClipboardData(Format, Mem)) {
      FreeClipboardHandle(Format, Mem);
      throw EClipboardException("Cannot put the data on the clipboard");
    }
  } catch (...) {
    Close();
    throw;
  }
  Close();
}

void TClipboard::Assign(TPersistent* Source) {
  TBitmap* bitmap = dynamic_cast<TBitmap*>(Source);
  if (auto* picture = dynamic_cast<TPicture*>(Source)) bitmap = dynamic_cast<TBitmap*>(picture->Graphic());
  if (!bitmap) {
    TPersistent::Assign(Source);
    return;
  }
  TMemoryStream stream;
  bitmap->SaveToStream(&stream);
  const auto* file = static_cast<const uint8_t*>(stream.Memory());
  if (stream.Size() <= 14) throw EInvalidGraphic("Bitmap image is not valid");
  HGLOBAL h = GlobalFromBytes(file + 14, static_cast<size_t>(stream.Size() - 14));
  if (!h) throw EOutOfMemory("Out of memory");
  SetBlock(CF_DIB, h);
}

void TClipboard::AssignTo(TPersistent* Dest) {
  auto* picture = dynamic_cast<TPicture*>(Dest);
  TBitmap* bitmap = dynamic_cast<TBitmap*>(Dest);
  if (!bitmap && !picture) {
    TPersistent::AssignTo(Dest);
    return;
  }
  Open();
  std::optional<std::vector<uint8_t>> dib;
  if (HANDLE h = GetClipboardData(CF_DIB)) dib = GlobalBytes(h);
  Close();
  if (!dib || dib->empty()) throw EInvalidGraphic("Unsupported clipboard format");
  const QByteArray file = BmpFileOfDib(*dib);
  if (file.isEmpty()) throw EInvalidGraphic("Bitmap image is not valid");
  TCustomMemoryStream stream(file.constData(), file.size());
  (bitmap ? bitmap : picture->Bitmap())->LoadFromStream(&stream);
}

TClipboard* Clipboard() {
  static const std::unique_ptr<TClipboard> clipboard = std::make_unique<TClipboard>();
  return clipboard.get();
}
