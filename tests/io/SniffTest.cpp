#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "core/hypxutils_streams.h"
#include "io/pixoranio_sniff.h"
#include "platform/rtl/Classes.h"
#include "tests/common/TestSupport.h"
#include "tests/io/FakeCodecRows.h"

namespace {

using Bytes = std::string;

Bytes Pad(Bytes b, size_t size, char fill = 'x') {
  if (b.size() < size) b.append(size - b.size(), fill);
  return b;
}

bool StartsWith(TStream* s, const Bytes& magic) {
  Bytes got(magic.size(), '\0');
  const int64_t pos = s->Position();
  const int32_t n = s->Read(got.data(), static_cast<int32_t>(got.size()));
  s->Seek(pos, soBeginning);
  return n == static_cast<int32_t>(got.size()) && got == magic;
}

const Bytes kPng("\x89PNG\r\n\x1A\n", 8);
const Bytes kIco("\0\0\1\0", 4);
const Bytes kCur("\0\0\2\0", 4);

// Stand-ins for the codecs' signature tests: the PNG, icon and cursor magic; a TIFF test that
// takes any "II"/"MM" start (it does not insist on 42); its raw-mark test answers for a "DNG!"
// at offset 8. The rows they replace (the real codecs' ones, when linked) come back after each test.
class Sniff : public ::testing::Test {
 protected:
  FakeRowsScope rows_{pxftPNG, pxftICO, pxftCUR, pxftTIFF, pxftTGA};
  void SetUp() override {
    TPXFormatRow png;
    png.Signature = [](TStream* s) { return StartsWith(s, kPng); };
    RegisterFormatRow(pxftPNG, png);
    TPXFormatRow ico;
    ico.Signature = [](TStream* s) { return StartsWith(s, kIco); };
    RegisterFormatRow(pxftICO, ico);
    TPXFormatRow cur;
    cur.Signature = [](TStream* s) { return StartsWith(s, kCur); };
    RegisterFormatRow(pxftCUR, cur);
    TPXFormatRow tiff;
    tiff.Signature = [](TStream* s) { return StartsWith(s, "II") || StartsWith(s, "MM"); };
    tiff.AltSignature = [](TStream* s) {
      const int64_t pos = s->Position();
      s->Seek(pos + 8, soBeginning);
      const bool yes = StartsWith(s, "DNG!");
      s->Seek(pos, soBeginning);
      return yes;
    };
    RegisterFormatRow(pxftTIFF, tiff);
  }
};

TPXFileType SniffBytes(const Bytes& data, int64_t at = 0) {
  TPXMemStream s(data.data(), static_cast<int64_t>(data.size()));
  s.Seek(at, soBeginning);
  const TPXFileType t = FindStreamFormat(&s);
  EXPECT_EQ(s.Position(), at);
  return t;
}

// A stream whose reads fail after a number of calls.
class TFailingStream : public TPXMemStream {
 public:
  TFailingStream(const void* p, int64_t n, int reads) : TPXMemStream(p, n), reads_(reads) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    if (reads_-- <= 0) throw EReadError("Stream read error");
    return TPXMemStream::Read(Buffer, Count);
  }

 private:
  int reads_;
};

// A stream of 4 GiB + 5 bytes: Head, then zeros. Its size's low 32 bits say 5.
class THugeStream : public TStream {
 public:
  explicit THugeStream(Bytes head) : head_(std::move(head)) {}
  int32_t Read(void* Buffer, int32_t Count) override {
    const int64_t n = std::max<int64_t>(0, std::min<int64_t>(Count, kSize - pos_));
    auto* out = static_cast<uint8_t*>(Buffer);
    for (int64_t i = 0; i < n; ++i) {
      const int64_t at = pos_ + i;
      out[i] = at < static_cast<int64_t>(head_.size()) ? static_cast<uint8_t>(head_[static_cast<size_t>(at)]) : 0;
    }
    pos_ += n;
    return static_cast<int32_t>(n);
  }
  int32_t Write(const void*, int32_t) override { return 0; }
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override {
    pos_ = Origin == soBeginning ? Offset : Origin == soCurrent ? pos_ + Offset : kSize + Offset;
    return pos_;
  }
  static constexpr int64_t kSize = (int64_t{1} << 32) + 5;

 private:
  Bytes head_;
  int64_t pos_ = 0;
};

void WriteFile(const std::string& name, const Bytes& data) {
  std::ofstream f(name, std::ios::binary);
  f.write(data.data(), static_cast<std::streamsize>(data.size()));
}

Bytes Header(const char* kind, int32_t len) {
  Bytes h(kind, 4);
  h.append(4, '\0');
  for (int i = 0; i < 4; ++i) h.push_back(static_cast<char>((static_cast<uint32_t>(len) >> (8 * i)) & 0xFF));
  return h;
}

}  // namespace

TEST_F(Sniff, ByteFixtures) {
  const Bytes pcxHeader = Header("PCX2", 100) + kPng + Bytes(100, 'p');
  const Bytes jpegAt100 = Pad(Bytes(100, 'z') + "\xFF\xD8\xFF\xE0", 200);
  const Bytes jpegAt150 = Pad(Bytes(150, 'z') + "\xFF\xD8\xFF\xE0", 200);
  const struct {
    const char* name;
    Bytes data;
    TPXFileType type;
  } cases[] = {
      {"13 bytes of GIF", Pad("GIF89a", 13), 0},
      {"14 bytes of GIF", Pad("GIF89a", 14), pxftGIF},
      {"PCX2 header before PNG", pcxHeader, pxftPCX},
      {"JFIF header", Header("JFIF", 20) + Bytes(20, 'j'), pxftJPEG},
      {"TIFF header", Header("TIFF", 20) + Bytes(20, 't'), pxftTIFF},
      {"old PCX header", Bytes("PCX\0z", 5), pxftPCX},
      {"BM of 15 bytes", Pad("BM", 15, '\0'), pxftBMP},
      {"BM of 14 bytes", Pad("BM", 14, '\0'), 0},
      {"BM before PNG", "BM" + kPng + Bytes(10, 'b'), pxftBMP},
      {"PCX file", Pad(Bytes("\x0A\x05", 2), 129, '\0'), pxftPCX},
      {"PCX file of 128 bytes", Pad(Bytes("\x0A\x05", 2), 128, '\0'), 0},
      {"PCX version 6", Pad(Bytes("\x0A\x06", 2), 129, '\0'), 0},
      {"PNG signature alone", kPng, 0},
      {"PNG", kPng + "!", pxftPNG},
      {"icon", kIco + Bytes(20, '\0'), pxftICO},
      {"cursor", kCur + Bytes(20, '\0'), pxftCUR},
      {"TIFF", Pad("II*\0", 40, '\0'), pxftTIFF},
      {"TIFF with RO", Pad("IIRO", 40, '\0'), pxftRAW},
      // Where the TIFF codec leaves the file to camera raw reading and no raw reader takes it,
      // it is no type: neither TIFF nor, whatever JPEG start follows, JPEG.
      {"DNG without JPEG", Pad(Bytes("II*\0\x08\0\0\0DNG!", 12), 200, '\0'), 0},
      {"DNG with JPEG start", Pad(Bytes("II*\0\x08\0\0\0DNG!", 12) + "\xFF\xD8\xFF", 200, '\0'), 0},
      {"PSD with JPEG start", Pad(Bytes("8BPS\0\x01", 6) + Bytes(20, '\0') + "\xFF\xD8\xFF", 200, '\0'), 0},
      {"JPEG start at 0", Pad("\xFF\xD8\xFF\xE1", 200, '\0'), pxftJPEG},
      {"AVI", Pad(Bytes("RIFF\x10\0\0\0AVI LIST", 16), 40, '\0'), pxftAVI},
      {"WAVE", Pad(Bytes("RIFF\x10\0\0\0WAVEfmt ", 16), 40, '\0'), 0},
      {"JPEG start at 100", jpegAt100, pxftJPEG},
      {"JPEG start at 150", jpegAt150, 0},
      {"empty", Bytes(), 0},
      {"text", Pad("hello", 300), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(SniffBytes(c.data), c.type) << c.name;
  // The same from an inner position of a larger stream.
  const Bytes inner = Bytes(7, 'q') + kPng + "!";
  EXPECT_EQ(SniffBytes(inner, 7), pxftPNG);
  EXPECT_EQ(SniffBytes(Bytes(7, '\0') + Pad("GIF89a", 13), 7), 0);
}

TEST_F(Sniff, ATiffHeaderIsTiffWithoutTheTiffCodec) {
  UnregisterFormatRow(pxftTIFF);
  const Bytes jpegStrip = Pad(Bytes("MM\0*\0\0\0\x08", 8) + "\xFF\xD8\xFF\xDB", 300, '\0');
  EXPECT_EQ(SniffBytes(jpegStrip), pxftTIFF);
  EXPECT_EQ(SniffBytes(Pad(Bytes("II*\0", 4), 40, '\0')), pxftTIFF);
  EXPECT_EQ(SniffBytes(Pad(Bytes("II+\0", 4), 40, '\0')), 0);
}

TEST_F(Sniff, SizesAreSixtyFourBit) {
  THugeStream gif("GIF89a");
  EXPECT_EQ(FindStreamFormat(&gif), pxftGIF);
  THugeStream raw(Bytes("IIRO", 4));
  EXPECT_TRUE(IsCameraRawHeader(&raw));
  THugeStream tiff(Header("TIFF", 0x7FFFFFFF));
  int64_t len = 0;
  bool valid = false;
  EXPECT_TRUE(ProbeStreamHeader(&tiff, "TIFF", len, valid));
  EXPECT_TRUE(valid);
  EXPECT_EQ(len, 0x7FFFFFFF);
}

TEST_F(Sniff, RegistryTryFunctionsComeLast) {
  auto info = std::make_unique<TPXFileFormatInfo>();
  info->FileType = 8196;
  info->FullName = "Plug-in";
  info->Extensions = "QQP";
  info->InternalFormat = false;
  info->TryFunction = [](TStream* s, TPXFileType type) { return type == 8196 && StartsWith(s, "QQP!"); };
  TPXFileFormatInfo::Register(std::move(info));
  EXPECT_EQ(SniffBytes(Pad("QQP!", 30)), 8196);
  EXPECT_EQ(SniffBytes(Pad("BM", 30)), pxftBMP);  // the sniffer's own tests first
  UnregisterFileFormat(8196);
  EXPECT_EQ(SniffBytes(Pad("QQP!", 30)), 0);
}

TEST_F(Sniff, CameraRawHeader) {
  const struct {
    Bytes data;
    bool raw;
  } cases[] = {
      {Pad("IIRO", 17, '\0'), true},
      {Pad("MMOR", 17, '\0'), true},
      {Pad("IIRS", 17, '\0'), true},
      {Pad("IIRO", 16, '\0'), false},  // 16 bytes are not enough
      {Pad("FUJIFILM", 17, '\0'), true},
      {Pad(Bytes("\0MRM", 4), 17, '\0'), false},
      {Pad("xMRM", 17, '\0'), true},
      {Pad(Bytes("II*\0\x10\0\0\0CR", 10), 17, '\0'), true},
      {Pad(Bytes("MM\0*\0\0H\0\0\0\0CDR", 14), 17, '\0'), true},
      {Pad(Bytes("II*\0\0\0\0\0\0\0\0\0\0", 13), 17, '\0'), false},
      {Pad("I", 17, '\0'), false},
  };
  for (const auto& c : cases) {
    TPXMemStream s(c.data.data(), static_cast<int64_t>(c.data.size()));
    EXPECT_EQ(IsCameraRawHeader(&s), c.raw) << c.data.substr(0, 8);
    EXPECT_EQ(s.Position(), 0);
  }
  const Bytes avi = Pad(Bytes("RIFF\0\0\0\0AVI ", 12), 20, '\0');
  TPXMemStream s(avi.data(), static_cast<int64_t>(avi.size()));
  EXPECT_TRUE(HasAviSignature(&s));
  EXPECT_EQ(s.Position(), 0);
}

TEST_F(Sniff, PositionReturnsWhenATestThrows) {
  TPXFormatRow thrower;
  thrower.Signature = [](TStream* s) -> bool {
    uint8_t b[4];
    s->Read(b, 4);
    throw EPXException("broken test");
  };
  RegisterFormatRow(pxftTGA, thrower);
  const Bytes data = Bytes(5, 'q') + Pad("nothing known", 64);
  EXPECT_EQ(SniffBytes(data, 5), 0);
  UnregisterFormatRow(pxftTGA);

  // Reads that fail part way through, at every stage of the search.
  for (int reads = 0; reads < 12; ++reads) {
    TFailingStream s(data.data(), static_cast<int64_t>(data.size()), reads);
    s.Seek(3, soBeginning);
    EXPECT_EQ(FindStreamFormat(&s), 0);
    EXPECT_EQ(s.Position(), 3);
  }
  EXPECT_EQ(FindStreamFormat(nullptr), 0);
}

TEST_F(Sniff, FileFormatModes) {
  TestTempDir dir;
  const std::string pngAsJpg = dir.File("p.jpg");
  WriteFile(pngAsJpg, kPng + Bytes(40, '\0'));
  EXPECT_EQ(FindFileFormat(pngAsJpg, 0), pxftPNG);
  EXPECT_EQ(FindFileFormat(pngAsJpg, 1), 0);
  EXPECT_EQ(FindFileFormat(pngAsJpg, 2), pxftPNG);

  const std::string icoAsCur = dir.File("i.cur");
  WriteFile(icoAsCur, kIco + Bytes(40, '\0'));
  EXPECT_EQ(FindFileFormat(icoAsCur, 1), pxftCUR);
  EXPECT_EQ(FindFileFormat(icoAsCur, 0), pxftICO);
  const std::string icoAsPng = dir.File("i.png");
  WriteFile(icoAsPng, kIco + Bytes(40, '\0'));
  EXPECT_EQ(FindFileFormat(icoAsPng, 1), 0);

  const std::string unknownAsPng = dir.File("u.png");
  WriteFile(unknownAsPng, Pad("nothing", 50));
  EXPECT_EQ(FindFileFormat(unknownAsPng, 0), 0);
  EXPECT_EQ(FindFileFormat(unknownAsPng, 1), 0);
  EXPECT_EQ(FindFileFormat(unknownAsPng, 2), pxftPNG);

  const std::string tiffAsNef = dir.File("t.nef");
  WriteFile(tiffAsNef, Pad("II*\0", 40, '\0'));
  EXPECT_EQ(FindFileFormat(tiffAsNef, 0), pxftRAW);

  const std::string avi = dir.File("v.avi");
  const Bytes aviBytes = Pad(Bytes("RIFF\0\0\0\0AVI ", 12), 40, '\0');
  WriteFile(avi, aviBytes);
  EXPECT_EQ(FindFileFormat(avi, 1), pxftAVI);
  const std::string aviAsXyz = dir.File("v.xyz");
  WriteFile(aviAsXyz, aviBytes);
  EXPECT_EQ(FindFileFormat(aviAsXyz, 1), 0);
  EXPECT_EQ(FindFileFormat(aviAsXyz, 2), pxftAVI);

  EXPECT_EQ(FindFileFormat("", 2), 0);
  EXPECT_EQ(FindFileFormat(dir.File("missing.png"), 2), 0);
  EXPECT_EQ(FindFileFormat(dir.Path(), 2), 0);  // a folder
}

TEST_F(Sniff, StreamHeaderLengthsAreChecked) {
  const struct {
    Bytes data;
    bool header;
    bool valid;
    int64_t length;
  } cases[] = {
      {Header("TIFF", 4) + "abcd", true, true, 4},
      {Header("TIFF", 0), true, true, 0},
      {Header("TIFF", 5) + "abcd", true, false, 0},   // longer than what is left
      {Header("TIFF", -1) + "abcd", true, false, 0},  // negative
      {Header("TIFF", INT32_MAX) + "abcd", true, false, 0},
      {Header("PCX2", 4) + "abcd", false, false, 0},  // another kind
      {Bytes("TIFF\0\0\0\1\4\0\0\0abcd", 16), false, false, 0},
      {Bytes("TIFF\0\0\0", 7), false, false, 0},
  };
  for (const auto& c : cases) {
    TPXMemStream s(c.data.data(), static_cast<int64_t>(c.data.size()));
    int64_t len = -5;
    bool valid = true;
    EXPECT_EQ(ProbeStreamHeader(&s, "TIFF", len, valid), c.header);
    EXPECT_EQ(valid, c.valid);
    EXPECT_EQ(len, c.length);
    EXPECT_EQ(s.Position(), c.header ? 12 : 0);
  }
}

TEST_F(Sniff, ArbitraryBytesEndCleanly) {
  std::mt19937 rng(12345);
  const Bytes seeds[] = {kPng, kIco, "II*", "IIRO", "GIF8", "RIFF", "PCX2", "TIFF", "JFIF", "BM", "\x0A\x03"};
  for (int i = 0; i < 3000; ++i) {
    Bytes data = seeds[static_cast<size_t>(i) % std::size(seeds)];
    const size_t extra = rng() % 300;
    for (size_t k = 0; k < extra; ++k) data.push_back(static_cast<char>(rng()));
    if (rng() % 4 == 0) data.resize(rng() % (data.size() + 1));
    const int64_t at = data.empty() ? 0 : static_cast<int64_t>(rng() % data.size());
    TPXMemStream s(data.data(), static_cast<int64_t>(data.size()));
    s.Seek(at, soBeginning);
    const TPXFileType t = FindStreamFormat(&s);
    ASSERT_EQ(s.Position(), at);
    ASSERT_TRUE(t >= 0 && t <= 99);
    int64_t len = 0;
    bool valid = false;
    if (ProbeStreamHeader(&s, "TIFF", len, valid) && valid) {
      ASSERT_LE(len, static_cast<int64_t>(data.size()) - s.Position());
    }
  }
}
