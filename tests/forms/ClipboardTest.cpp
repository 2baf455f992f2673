// Global memory and the clipboard: transactions, text, DIBs (checked by ImageMagick), registered
// formats, file lists, absent formats and bad data from other programs.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>

#include "platform/forms/Clipbrd.h"
#include "platform/gdi/Graphics.h"
#include "tests/common/TestSupport.h"

extern char** environ;

namespace {

HGLOBAL Block(const std::string& bytes) {
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_DDESHARE, bytes.size());
  std::memcpy(GlobalLock(h), bytes.data(), bytes.size());
  GlobalUnlock(h);
  return h;
}

std::string BytesOf(HANDLE h) {
  const void* p = GlobalLock(h);
  std::string out(static_cast<const char*>(p), p ? GlobalSize(h) : 0);
  GlobalUnlock(h);
  return out;
}

std::string Utf16Block(std::u16string_view s) {
  std::string out;
  for (char16_t c : s) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>(c >> 8));
  }
  return out + std::string(2, '\0');
}

// A 24-bit bitmap with a different colour in every pixel; odd width for row padding.
std::unique_ptr<TBitmap> Pattern(int32_t w = 5, int32_t h = 3) {
  auto b = std::make_unique<TBitmap>();
  b->SetPixelFormat(pf24bit);
  b->SetSize(w, h);
  for (int32_t y = 0; y < h; ++y) {
    auto* row = static_cast<uint8_t*>(b->ScanLine(y));
    for (int32_t x = 0; x < w; ++x) {
      row[3 * x] = static_cast<uint8_t>(10 + 40 * x);       // blue
      row[3 * x + 1] = static_cast<uint8_t>(200 - 60 * y);  // green
      row[3 * x + 2] = static_cast<uint8_t>(7 * x + 90 * y);  // red
    }
  }
  return b;
}

// Pixels as R, G, B triples, top row first.
std::vector<uint8_t> Rgb(TBitmap& b) {
  std::vector<uint8_t> out;
  for (int32_t y = 0; y < b.Height(); ++y) {
    const auto* row = static_cast<const uint8_t*>(b.ScanLine(y));
    for (int32_t x = 0; x < b.Width(); ++x) out.insert(out.end(), {row[3 * x + 2], row[3 * x + 1], row[3 * x]});
  }
  return out;
}


std::string ReadFile(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

void WriteFile(const std::string& path, const std::string& data) {
  std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
}

// The RGB samples of a binary PPM (maxval 255).
std::vector<uint8_t> PpmPixels(const std::string& d, int32_t& w, int32_t& h) {
  std::istringstream in(d);
  std::string magic;
  int32_t maxv = 0;
  in >> magic >> w >> h >> maxv;
  if (magic != "P6" || maxv != 255) return {};
  const size_t off = static_cast<size_t>(in.tellg()) + 1;
  if (d.size() < off + size_t(w) * h * 3) return {};
  return {d.begin() + static_cast<std::ptrdiff_t>(off), d.begin() + static_cast<std::ptrdiff_t>(off + size_t(w) * h * 3)};
}

class ClipboardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    while (CloseClipboard()) {
    }
    SetClipboardMimeData({});
  }
  void TearDown() override {
    while (CloseClipboard()) {
    }
  }
};

}  // namespace

TEST(ClipboardGlobalMemory, HandlesAreCheckedAndFreedOnce) {
  HGLOBAL h = GlobalAlloc(GHND, 16);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 16u);
  auto* p = static_cast<uint8_t*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(std::count(p, p + 16, 0), 16);  // GMEM_ZEROINIT
  EXPECT_EQ(GlobalLock(h), p);
  EXPECT_TRUE(GlobalUnlock(h));   // one lock left
  EXPECT_FALSE(GlobalUnlock(h));  // none left
  EXPECT_EQ(GlobalFree(h), nullptr);
  // A freed handle (and one never made) is refused everywhere.
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalFree(h), h);
  HGLOBAL bogus = reinterpret_cast<HGLOBAL>(uintptr_t{0x12345678});
  EXPECT_EQ(GlobalLock(bogus), nullptr);
  EXPECT_EQ(GlobalAlloc(GMEM_MOVEABLE, size_t{1} << 40), nullptr);
  HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(GlobalLock(empty), nullptr);
  EXPECT_EQ(GlobalFree(empty), nullptr);
}

TEST_F(ClipboardTest, OneTransactionPublishedAtClose) {
  EXPECT_FALSE(CloseClipboard());
  EXPECT_FALSE(EmptyClipboard());
  HGLOBAL text = Block(Utf16Block(u"one"));
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, text), nullptr);  // not open: stays ours
  EXPECT_EQ(GlobalFree(text), nullptr);

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_FALSE(OpenClipboard(nullptr));
  bool otherThread = true;
  std::thread([&] { otherThread = OpenClipboard(nullptr); }).join();
  EXPECT_FALSE(otherThread);
  ASSERT_TRUE(EmptyClipboard());
  HGLOBAL block = Block(Utf16Block(u"two"));
  EXPECT_EQ(SetClipboardData(CF_UNICODETEXT, block), block);
  EXPECT_EQ(GlobalFree(block), block) << "the clipboard owns the block now";
  EXPECT_EQ(ClipboardMimeBytes("text/plain"), "") << "nothing is published before CloseClipboard";
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), block);
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(ClipboardMimeBytes("text/plain"), "two");
  EXPECT_EQ(GlobalSize(block), 0u) << "freed with the transaction";
  EXPECT_EQ(GetClipboardData(CF_UNICODETEXT), nullptr) << "not open";

  // Without EmptyClipboard a transaction adds to what is there.
  const UINT raw = RegisterClipboardFormat("PIXORAN RAW FORMAT");
  ASSERT_TRUE(OpenClipboard(nullptr));
  ASSERT_TRUE(SetClipboardData(raw, Block("abc")));
  ASSERT_TRUE(CloseClipboard());
  EXPECT_EQ(ClipboardMimeBytes("text/plain"), "two");
  EXPECT_EQ(ClipboardMimeBytes("application/x-qln-PIXORAN RAW FORMAT"), "abc");
}

TEST_F(ClipboardTest, UnicodeTextRoundTrip) {
  const std::u16string text = u"Gr\u00FC\u00DFe \u0395\u03BB\u03BB\u03AC\u03B4\u03B1 \u65E5\u672C \U0001F600\r\nline";
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  ASSERT_TRUE(SetClipboardData(CF_UNICODETEXT, Block(Utf16Block(text))));
  CloseClipboard();
  // The desktop gets UTF-8 with plain line feeds.
  EXPECT_EQ(ClipboardMimeBytes("text/plain"), Utf16ToUtf8(text.substr(0, text.size() - 6)) + "\nline");

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(BytesOf(GetClipboardData(CF_UNICODETEXT)), Utf16Block(text));
  EXPECT_EQ(BytesOf(GetClipboardData(CF_TEXT)), Utf16ToUtf8(text) + std::string(1, '\0'));
  CloseClipboard();
  EXPECT_EQ(Clipboard()->AsText(), Utf16ToUtf8(text));

  // Another program's text with bare line feeds arrives with CR LF.
  SetClipboardMimeData({{"text/plain", "a\nb\r\nc"}});
  EXPECT_EQ(Clipboard()->AsText(), "a\r\nb\r\nc");
  Clipboard()->SetAsText("x\u00E9");
  EXPECT_EQ(ClipboardMimeBytes("text/plain"), "x\u00E9");
}

TEST_F(ClipboardTest, DibRoundTripReadByImageMagick) {
  auto bitmap = Pattern();
  Clipboard()->Assign(bitmap.get());
  const std::string bmp = ClipboardMimeBytes("image/bmp");
  ASSERT_GT(bmp.size(), 54u);
  EXPECT_EQ(bmp.substr(0, 2), "BM");

  TestTempDir dir;
  WriteFile(dir.File("clip.bmp"), bmp);
  ASSERT_EQ(RunTool({"/usr/bin/convert", dir.File("clip.bmp"), "-depth", "8", "ppm:-"}, dir.File("clip.ppm")), 0);
  int32_t w = 0, h = 0;
  EXPECT_EQ(PpmPixels(ReadFile(dir.File("clip.ppm")), w, h), Rgb(*bitmap));
  EXPECT_EQ(w, 5);
  EXPECT_EQ(h, 3);

  // Back through CF_DIB: the same bytes as set (resolution included), and the same pixels.
  ASSERT_TRUE(OpenClipboard(nullptr));
  HANDLE dib = GetClipboardData(CF_DIB);
  ASSERT_NE(dib, nullptr);
  EXPECT_EQ(BytesOf(dib), bmp.substr(14));
  EXPECT_NE(GetClipboardData(CF_BITMAP), nullptr);
  CloseClipboard();
  TBitmap back;
  back.Assign(Clipboard());
  EXPECT_EQ(back.PixelFormat(), pf24bit);
  EXPECT_EQ(Rgb(back), Rgb(*bitmap));

  // A block longer than its DIB: the DIB alone goes out.
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  ASSERT_TRUE(SetClipboardData(CF_DIB, Block(bmp.substr(14) + std::string(16, '\x55'))));
  CloseClipboard();
  EXPECT_EQ(ClipboardMimeBytes("image/bmp"), bmp);

  // Other programs are offered PNG too; a PNG alone (another program's copy) reads as CF_DIB.
  const std::string png = ClipboardMimeBytes("image/png");
  ASSERT_EQ(png.substr(1, 3), "PNG");
  SetClipboardMimeData({{"image/png", png}});
  EXPECT_TRUE(IsClipboardFormatAvailable(CF_DIB));
  EXPECT_EQ(RegisterClipboardFormat("png"), RegisterClipboardFormat("PNG"));
  EXPECT_TRUE(IsClipboardFormatAvailable(RegisterClipboardFormat("PNG")));
  TBitmap fromPng;
  fromPng.Assign(Clipboard());
  EXPECT_EQ(Rgb(fromPng), Rgb(*bitmap));
}

TEST_F(ClipboardTest, ReadsBmpWrittenByImageMagick) {
  // A PPM of our own, turned into a BMP by ImageMagick, pasted by "another program".
  TestTempDir dir;
  std::string ppm = "P6\n3 2\n255\n";
  for (int i = 0; i < 18; ++i) ppm.push_back(static_cast<char>(13 * i + 5));
  WriteFile(dir.File("in.ppm"), ppm);
  ASSERT_EQ(RunTool({"/usr/bin/convert", dir.File("in.ppm"), "BMP3:-"}, dir.File("out.bmp")), 0);
  SetClipboardMimeData({{"image/bmp", ReadFile(dir.File("out.bmp"))}});
  TBitmap b;
  b.Assign(Clipboard());
  b.SetPixelFormat(pf24bit);
  EXPECT_EQ(Rgb(b), std::vector<uint8_t>(ppm.end() - 18, ppm.end()));
}

TEST_F(ClipboardTest, RegisteredFormatsAndEnumeration) {
  const UINT raw = RegisterClipboardFormat("PIXORAN RAW FORMAT");
  EXPECT_GE(raw, FirstRegisteredClipboardFormat);
  EXPECT_EQ(RegisterClipboardFormat("Pixoran Raw Format"), raw);
  EXPECT_NE(RegisterClipboardFormat("PIXORAN LAYER FORMAT"), raw);
  EXPECT_EQ(RegisterClipboardFormat(""), 0u);
  char name[512];
  EXPECT_EQ(GetClipboardFormatName(raw, name, sizeof name), 18);
  EXPECT_STREQ(name, "PIXORAN RAW FORMAT");
  EXPECT_EQ(GetClipboardFormatName(raw, name, 5), 4);
  EXPECT_STREQ(name, "PIXO");
  EXPECT_EQ(GetClipboardFormatName(CF_UNICODETEXT, name, sizeof name), 0);

  const std::string data("\x00\x01\xFFpayload\x00", 11);
  auto bitmap = Pattern(2, 2);
  Clipboard()->Open();
  Clipboard()->Assign(bitmap.get());
  Clipboard()->SetAsHandle(raw, Block(data));
  Clipboard()->Close();
  EXPECT_EQ(ClipboardMimeBytes("application/x-qln-PIXORAN RAW FORMAT"), data);

  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(BytesOf(GetClipboardData(raw)), data);
  std::vector<UINT> order;
  for (UINT f = EnumClipboardFormats(0); f; f = EnumClipboardFormats(f)) order.push_back(f);
  EXPECT_EQ(order, (std::vector<UINT>{CF_DIB, CF_BITMAP, raw}));
  EXPECT_EQ(CountClipboardFormats(), 3);
  CloseClipboard();
  EXPECT_EQ(Clipboard()->FormatCount(), 3);
  EXPECT_EQ(Clipboard()->Formats(2), raw);
  EXPECT_THROW(Clipboard()->Formats(3), EListError);
  HANDLE copy = Clipboard()->GetAsHandle(raw);
  EXPECT_EQ(BytesOf(copy), data);
  EXPECT_EQ(GlobalFree(copy), nullptr) << "the copy is the caller's";
}

TEST_F(ClipboardTest, AbsentFormatsAnswerNothing) {
  Clipboard()->Clear();
  const UINT raw = RegisterClipboardFormat("PIXORAN RAW FORMAT");
  for (UINT f : {UINT(CF_TEXT), UINT(CF_UNICODETEXT), UINT(CF_DIB), UINT(CF_BITMAP), UINT(CF_HDROP), raw}) {
    EXPECT_FALSE(IsClipboardFormatAvailable(f)) << f;
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(f), nullptr) << f;
    CloseClipboard();
  }
  ASSERT_TRUE(OpenClipboard(nullptr));
  EXPECT_EQ(EnumClipboardFormats(0), 0u);
  CloseClipboard();
  EXPECT_EQ(CountClipboardFormats(), 0);
  EXPECT_EQ(Clipboard()->AsText(), "");
  TBitmap b;
  EXPECT_EQ(MessageOf<EInvalidGraphic>([&] { b.Assign(Clipboard()); }), "Unsupported clipboard format");
}

TEST_F(ClipboardTest, BadImageDataIsRefused) {
  auto bitmap = Pattern();
  Clipboard()->Assign(bitmap.get());
  const std::string good = ClipboardMimeBytes("image/bmp");
  auto with32 = [&](size_t at, uint32_t v) {
    std::string s = good;
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>(v >> (8 * i));
    return s;
  };
  const struct {
    const char* what;
    std::string bytes;
  } cases[] = {
      {"truncated rows", good.substr(0, good.size() - 7)},
      {"header only", good.substr(0, 14 + 40)},
      {"ten bytes", good.substr(0, 10)},
      {"not BM", "XX" + good.substr(2)},
      {"huge width", with32(18, 0x7FFFFFFF)},
      {"bits offset past the end", with32(10, 0x7FFFFFF0)},
      {"bad header size", with32(14, 41)},
  };
  for (const auto& c : cases) {
    SetClipboardMimeData({{"image/bmp", c.bytes}});
    ASSERT_TRUE(OpenClipboard(nullptr));
    EXPECT_EQ(GetClipboardData(CF_DIB), nullptr) << c.what;
    EXPECT_EQ(GetClipboardData(CF_BITMAP), nullptr) << c.what;
    CloseClipboard();
    TBitmap b;
    EXPECT_THROW(b.Assign(Clipboard()), EInvalidGraphic) << c.what;
  }

  // A block that is not a DIB is refused at SetClipboardData and stays the caller's.
  ASSERT_TRUE(OpenClipboard(nullptr));
  HGLOBAL bad = Block(good.substr(14, 40));
  EXPECT_EQ(SetClipboardData(CF_DIB, bad), nullptr);
  EXPECT_EQ(SetClipboardData(CF_ENHMETAFILE, Block("x")), nullptr);  // no desktop counterpart
  CloseClipboard();
  EXPECT_EQ(GlobalFree(bad), nullptr);
}

TEST_F(ClipboardTest, FileLists) {
  auto dropFiles = [](const std::u16string& names, uint32_t start = 20) {
    std::string block(20, '\0');
    block[0] = static_cast<char>(start);
    block[16] = 1;  // wide
    return block + Utf16Block(names).substr(0, names.size() * 2);
  };
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  ASSERT_TRUE(SetClipboardData(CF_HDROP, Block(dropFiles(std::u16string(u"/tmp/a b.png\0/tmp/\u00E9.jpg\0\0", 25)))));
  CloseClipboard();
  EXPECT_EQ(ClipboardMimeBytes("text/uri-list"), "file:///tmp/a%20b.png\r\nfile:///tmp/%C3%A9.jpg\r\n");
  ASSERT_TRUE(OpenClipboard(nullptr));
  const std::string back = BytesOf(GetClipboardData(CF_HDROP));
  CloseClipboard();
  EXPECT_EQ(back, dropFiles(std::u16string(u"/tmp/a b.png\0/tmp/\u00E9.jpg\0\0", 25)));

  // Malformed lists are refused.
  ASSERT_TRUE(OpenClipboard(nullptr));
  for (const std::string& bad : {dropFiles(u"/tmp/x"), dropFiles(std::u16string(u"/a\0\0", 4), 400),
                                 dropFiles(std::u16string(u"\0\0", 2)), std::string(12, '\0')})
    EXPECT_EQ(SetClipboardData(CF_HDROP, Block(bad)), nullptr);
  CloseClipboard();
}
