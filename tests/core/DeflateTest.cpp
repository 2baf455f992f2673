// The deflate streams and the one-shot inflater, checked against zlib itself and against
// Python's zlib as an independent reader and writer.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/hypxutils.h"
#include "core/pxzlib.h"
#include "tests/common/TestSupport.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Compressible but not trivial data.
Bytes Sample(size_t n) {
  Bytes b(n);
  uint32_t x = 12345;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1103515245u + 12345u;
    b[i] = static_cast<uint8_t>((i % 97 < 50) ? 'a' + (i % 7) : (x >> 24));
  }
  return b;
}

Bytes Contents(TMemoryStream& m) {
  const auto* p = static_cast<const uint8_t*>(m.Memory());
  return Bytes(p, p + m.Size());
}

Bytes Compress(const Bytes& data, uint8_t level) {
  TMemoryStream m;
  {
    TZCompressionStream z(&m, level, 15);
    if (!data.empty()) z.WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
  }
  return Contents(m);
}

Bytes Inflate(TStream* source, size_t expected) {
  TZDecompressionStream z(source);
  Bytes out(expected + 16);
  size_t got = 0;
  for (;;) {
    const int32_t n = z.Read(out.data() + got, static_cast<int32_t>(std::min<size_t>(out.size() - got, 10000)));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  out.resize(got);
  return out;
}

// zlib data made with a preset dictionary.
Bytes WithDictionary() {
  z_stream z{};
  deflateInit(&z, 6);
  const char dict[] = "hello dictionary";
  deflateSetDictionary(&z, reinterpret_cast<const Bytef*>(dict), sizeof dict - 1);
  Bytes in(100, 'h'), out(256);
  z.next_in = in.data();
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = out.data();
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

TEST(Deflate, EmptyStreamAndPosition) {
  EXPECT_EQ(Compress({}, 2), (Bytes{0x78, 0x9C, 0x03, 0x00, 0x00, 0x00, 0x00, 0x01}));

  TMemoryStream m;
  TZCompressionStream z(&m, 2, 15);
  int fired = 0;
  z.SetOnProgress([&](TObject* Sender) {
    EXPECT_EQ(Sender, &z);
    ++fired;
  });
  const Bytes data = Sample(100000);
  z.WriteBuffer(data.data(), 100000);
  EXPECT_EQ(z.Position(), 100000);
  z.SetPosition(5);
  EXPECT_EQ(z.Position(), 100000);
  EXPECT_EQ(z.Size(), 100000);
  uint8_t b = 0;
  EXPECT_EQ(MessageOf<EZCompressionError>([&] { z.Read(&b, 1); }), "Invalid ZStream operation!");
  z.Finish();
  EXPECT_LE(fired, static_cast<int>(m.Size() / TCustomZStream::kBufferSize));
  // Data that does not compress fills the transfer buffer several times over.
  Bytes noise(300000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>((i * 2654435761u) >> 13);
  fired = 0;
  TMemoryStream m2;
  TZCompressionStream z2(&m2, 0, 15);
  z2.SetOnProgress([&](TObject*) { ++fired; });
  z2.WriteBuffer(noise.data(), 300000);
  EXPECT_GE(fired, 3);
  EXPECT_EQ(m2.Size(), fired * TCustomZStream::kBufferSize);  // only whole buffers so far
  EXPECT_EQ(MessageOf<EZCompressionError>([] {
              TMemoryStream s;
              TZCompressionStream bad(&s, 4, 15);
            }),
            "stream error");
}

TEST(Deflate, RoundTripsAtEveryLevel) {
  for (uint8_t level = 0; level <= 3; ++level)
    for (size_t n : {size_t{1}, size_t{65536}, size_t{300001}}) {
      const Bytes data = Sample(n);
      const Bytes packed = Compress(data, level);
      // zlib's own one-shot inflater reads what we wrote.
      Bytes check(n);
      uLongf len = static_cast<uLongf>(n);
      ASSERT_EQ(uncompress(check.data(), &len, packed.data(), static_cast<uLong>(packed.size())), Z_OK);
      EXPECT_EQ(check, data);
      TMemoryStream m;
      m.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
      m.SetPosition(0);
      EXPECT_EQ(Inflate(&m, n), data) << int(level) << " " << n;
      TBytes out;
      int32_t outSize = 0;
      ZDecompressBuffer(packed.data(), static_cast<int32_t>(packed.size()), out, outSize, 0);
      EXPECT_EQ(outSize, static_cast<int32_t>(n));
      EXPECT_EQ(out, data);
    }
  // Levels 1..3 are zlib's 1, default and 9 (the same bytes as its one-shot routine); 0 stores.
  const Bytes data = Sample(200000);
  EXPECT_GT(Compress(data, 0).size(), data.size());
  for (const auto& [level, zlevel] : {std::pair{1, 1}, std::pair{2, Z_DEFAULT_COMPRESSION}, std::pair{3, 9}}) {
    Bytes expected(compressBound(static_cast<uLong>(data.size())));
    uLongf len = static_cast<uLongf>(expected.size());
    ASSERT_EQ(compress2(expected.data(), &len, data.data(), static_cast<uLong>(data.size()), zlevel), Z_OK);
    expected.resize(len);
    EXPECT_EQ(Compress(data, static_cast<uint8_t>(level)), expected) << level;
  }
}

TEST(Deflate, SourceIsLeftAfterTheCompressedData) {
  const Bytes data = Sample(1000);
  const Bytes packed = Compress(data, 2);
  TMemoryStream m;
  m.WriteBuffer("HEAD", 4);
  m.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  m.WriteBuffer("TAIL", 4);
  m.SetPosition(4);
  TZDecompressionStream z(&m);
  Bytes out(5000);
  EXPECT_EQ(z.Read(out.data(), 5000), 1000);
  EXPECT_EQ(m.Position(), 4 + static_cast<int64_t>(packed.size()));
  EXPECT_EQ(z.Read(out.data(), 10), 0);
  char tail[4] = {};
  m.ReadBuffer(tail, 4);
  EXPECT_EQ(std::string(tail, 4), "TAIL");
}

TEST(Deflate, DecompressionSeeks) {
  const Bytes data = Sample(50000);
  const Bytes packed = Compress(data, 2);
  TMemoryStream m;
  m.WriteBuffer("XY", 2);
  m.WriteBuffer(packed.data(), static_cast<int64_t>(packed.size()));
  m.SetPosition(2);
  TZDecompressionStream z(&m);
  uint8_t b = 0;
  EXPECT_EQ(z.Seek(20000, soCurrent), 20000);
  z.ReadBuffer(&b, 1);
  EXPECT_EQ(b, data[20000]);
  EXPECT_EQ(z.Seek(20001, soBeginning), 20001);  // where it stands: nothing happens
  EXPECT_EQ(z.Seek(30000, soBeginning), 30000);
  z.ReadBuffer(&b, 1);
  EXPECT_EQ(b, data[30000]);
  EXPECT_EQ(MessageOf<EZDecompressionError>([&] { z.Seek(-1, soCurrent); }), "Invalid ZStream operation!");
  EXPECT_EQ(MessageOf<EZDecompressionError>([&] { z.Seek(10, soBeginning); }), "Invalid ZStream operation!");
  EXPECT_EQ(MessageOf<EZDecompressionError>([&] { z.Write(&b, 1); }), "Invalid ZStream operation!");
  EXPECT_EQ(z.Seek(0, soEnd), 50000);
  // A rewind starts again where the stream was made.
  EXPECT_EQ(z.Seek(0, soBeginning), 0);
  z.ReadBuffer(&b, 1);
  EXPECT_EQ(b, data[0]);
  EXPECT_THROW(z.Seek(60000, soCurrent), EReadError);
}

TEST(Deflate, BadDataRaisesZlibErrors) {
  Bytes corrupt = Compress(Sample(5000), 2);
  for (size_t i = 10; i < 40; ++i) corrupt[i] ^= 0x5A;
  const Bytes truncated = [] {
    Bytes b = Compress(Sample(5000), 2);
    b.resize(b.size() / 2);
    return b;
  }();
  const Bytes dict = WithDictionary();
  struct Case {
    const Bytes* data;
    const char* text;
  };
  for (const Case& c : {Case{&corrupt, "data error"}, Case{&truncated, "buffer error"}, Case{&dict, "need dictionary"}}) {
    TBytes out{1, 2, 3};
    int32_t outSize = 7;
    EXPECT_EQ(MessageOf<EZDecompressionError>([&] {
                ZDecompressBuffer(c.data->data(), static_cast<int32_t>(c.data->size()), out, outSize, 0);
              }),
              c.text);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(outSize, 0);
  }
  // The stream: corrupt data and a preset dictionary raise; a source that runs dry gives less.
  Bytes buf(10000);
  for (const Case& c : {Case{&corrupt, "data error"}, Case{&dict, "need dictionary"}}) {
    TPXMemStream m(c.data->data(), static_cast<int64_t>(c.data->size()));
    TZDecompressionStream z(&m);
    EXPECT_EQ(MessageOf<EZDecompressionError>([&] { z.Read(buf.data(), 10000); }), c.text);
  }
  TPXMemStream m(truncated.data(), static_cast<int64_t>(truncated.size()));
  TZDecompressionStream z(&m);
  const int32_t got = z.Read(buf.data(), 10000);
  EXPECT_GT(got, 0);
  EXPECT_LT(got, 5000);
  TBytes out;
  int32_t outSize = 0;
  EXPECT_THROW(ZDecompressBuffer(nullptr, 0, out, outSize, 0), EZDecompressionError);
}

TEST(Deflate, DecompressBufferGrowth) {
  EXPECT_EQ(ZDecompressDelta(300), 512);
  EXPECT_EQ(ZDecompressDelta(256), 256);
  EXPECT_EQ(ZDecompressDelta(0), 256);
  // Input that inflates to many growth steps, with and without an estimate (a wild one too).
  Bytes data(40000);
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(((i % 1000) * 7) >> 3);
  Bytes packed = Compress(data, 3);
  ASSERT_LT(packed.size(), 5000u);
  for (int32_t estimate : {0, 1, 40000, 2000000000}) {
    TBytes out;
    int32_t outSize = 0;
    ZDecompressToBuffer(packed.data(), static_cast<int32_t>(packed.size()), out, outSize, estimate);
    EXPECT_EQ(outSize, 40000);
    EXPECT_EQ(out, data);
  }
}

// Runs a Python script; true when it exits 0.
bool RunPython(const std::string& Script) { return std::system(("/usr/bin/python3 -c '" + Script + "'").c_str()) == 0; }

TEST(Deflate, PythonZlibOracle) {
  if (std::system("/usr/bin/python3 -c 'import zlib' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
  TestTempDir dir;
  const Bytes data = Sample(150000);
  {
    std::ofstream f(dir.File("plain"), std::ios::binary);
    f.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  }
  // Python inflates what we write at every level.
  for (uint8_t level = 0; level <= 3; ++level) {
    const Bytes packed = Compress(data, level);
    std::ofstream f(dir.File("ours" + std::to_string(level)), std::ios::binary);
    f.write(reinterpret_cast<const char*>(packed.data()), static_cast<std::streamsize>(packed.size()));
  }
  ASSERT_TRUE(RunPython("import zlib,sys\nd=\"" + dir.Path() +
                        "\"\np=open(d+\"plain\",\"rb\").read()\n"
                        "for l in range(4):\n"
                        "  assert zlib.decompress(open(d+\"ours\"+str(l),\"rb\").read())==p, l\n"
                        "for l in range(10):\n"
                        "  open(d+\"py\"+str(l),\"wb\").write(zlib.compress(p,l))\n"));
  // We inflate what Python writes at every level, through the stream and the one-shot routine.
  for (int level = 0; level <= 9; ++level) {
    std::ifstream f(dir.File("py" + std::to_string(level)), std::ios::binary);
    const Bytes packed((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(packed.empty());
    TPXMemStream m(packed.data(), static_cast<int64_t>(packed.size()));
    EXPECT_EQ(Inflate(&m, data.size()), data) << level;
    TBytes out;
    int32_t outSize = 0;
    ZDecompressBuffer(packed.data(), static_cast<int32_t>(packed.size()), out, outSize, 0);
    EXPECT_EQ(out, data) << level;
  }
}

}  // namespace
