// Buffered read and write streams, the stream provider, the library's file stream, the
// read-only memory stream and the counting stream.
#include <gtest/gtest.h>

#include <cerrno>
#include <memory>
#include <numeric>
#include <vector>

#include "core/hypxutils.h"
#include "tests/common/TestSupport.h"

namespace {

// A memory stream that records the size of every read and write it is asked for.
class TRecordingStream : public TMemoryStream {
 public:
  int32_t Read(void* Buffer, int32_t Count) override {
    reads.push_back(Count);
    return TMemoryStream::Read(Buffer, Count);
  }
  int32_t Write(const void* Buffer, int32_t Count) override {
    writes.push_back(Count);
    return TMemoryStream::Write(Buffer, Count);
  }
  std::vector<int32_t> reads, writes;
};

// A source of N bytes, byte i = i mod 251.
void FillSource(TRecordingStream& s, int32_t N) {
  std::vector<uint8_t> data(static_cast<size_t>(N));
  for (int32_t i = 0; i < N; ++i) data[static_cast<size_t>(i)] = static_cast<uint8_t>(i % 251);
  s.WriteBuffer(data.data(), N);
  s.writes.clear();
}

TEST(Streams, BufferedReadRelativeOrigin) {
  TRecordingStream src;
  FillSource(src, 200);
  src.SetPosition(100);
  {
    TPXBufferedReadStream rs(&src, 16, true);
    EXPECT_EQ(rs.Position(), 0);
    EXPECT_EQ(rs.Size(), 100);
    uint8_t b[3] = {};
    ASSERT_EQ(rs.Read(b, 3), 3);
    EXPECT_EQ(b[0], 100);
    EXPECT_EQ(rs.Seek(0, soBeginning), 0);
    ASSERT_EQ(rs.Read(b, 1), 1);
    EXPECT_EQ(b[0], 100);  // position 0 is source byte 100
  }
  EXPECT_EQ(src.Position(), 101);  // the source continues after what was consumed
}

TEST(Streams, BufferedReadEndAndSeeks) {
  TRecordingStream src;
  FillSource(src, 50);
  src.SetPosition(0);
  TPXBufferedReadStream rs(&src, 16, false);
  // From the end, both signs count back.
  EXPECT_EQ(rs.Seek(5, soEnd), 45);
  EXPECT_EQ(rs.Seek(-5, soEnd), 45);
  EXPECT_EQ(rs.Seek(-1000, soCurrent), 0);
  EXPECT_EQ(rs.Seek(1000, soBeginning), 50);
  EXPECT_TRUE(rs.EndReached());

  rs.Seek(46, soBeginning);
  EXPECT_FALSE(rs.EndReached());
  uint8_t buf[10] = {};
  EXPECT_EQ(rs.Read(buf, 10), 4);
  EXPECT_EQ(buf[0], 46);
  EXPECT_TRUE(rs.EndReached());
  EXPECT_EQ(rs.Read(buf, 1), 0);
  rs.Seek(0, soBeginning);
  EXPECT_FALSE(rs.EndReached());

  // A seek inside the buffered bytes does not touch the source.
  ASSERT_EQ(rs.Read(buf, 4), 4);
  const size_t reads = src.reads.size();
  rs.Seek(10, soBeginning);
  ASSERT_EQ(rs.Read(buf, 1), 1);
  EXPECT_EQ(buf[0], 10);
  rs.Seek(-8, soCurrent);
  ASSERT_EQ(rs.Read(buf, 2), 2);
  EXPECT_EQ(buf[0], 3);
  EXPECT_EQ(src.reads.size(), reads);

  // A long read crosses several refills.
  rs.Seek(0, soBeginning);
  std::vector<uint8_t> all(50);
  EXPECT_EQ(rs.Read(all.data(), 50), 50);
  EXPECT_EQ(all[49], 49);
}

TEST(Streams, BufferedReadSurvivesShortSourceAndPassesThrough) {
  TRecordingStream src;
  FillSource(src, 40);
  src.SetPosition(0);
  TPXBufferedReadStream rs(&src, 16, false);
  src.SetSize(20);  // shorter than at creation: reads stop at the real end
  std::vector<uint8_t> buf(40);
  EXPECT_EQ(rs.Read(buf.data(), 40), 20);
  EXPECT_TRUE(rs.EndReached());

  TRecordingStream src2;
  FillSource(src2, 10);
  src2.SetPosition(2);
  {
    TPXBufferedReadStream direct(&src2, 0, true);
    uint8_t b = 0;
    EXPECT_EQ(direct.Read(&b, 1), 1);
    EXPECT_EQ(b, 2);
    EXPECT_EQ(direct.Position(), 1);
    EXPECT_EQ(direct.Seek(0, soBeginning), 0);
  }
  EXPECT_EQ(src2.Position(), 2);
}

TEST(Streams, BufferedWriteHandsOnWholeBuffers) {
  TRecordingStream dest;
  std::vector<uint8_t> data(10);
  std::iota(data.begin(), data.end(), 1);
  {
    TPXBufferedWriteStream ws(&dest, 4);
    EXPECT_EQ(ws.Write(data.data(), 10), 10);
    EXPECT_EQ(dest.writes, (std::vector<int32_t>{4, 4}));
  }
  EXPECT_EQ(dest.writes, (std::vector<int32_t>{4, 4, 2}));
  EXPECT_EQ(dest.Size(), 10);
  EXPECT_EQ(static_cast<const uint8_t*>(dest.Memory())[9], 10);

  TRecordingStream dest2;
  TPXBufferedWriteStream ws(&dest2, 4);
  ws.Write(data.data(), 3);
  EXPECT_EQ(ws.Position(), 3);  // a seek flushes first
  EXPECT_EQ(dest2.writes, (std::vector<int32_t>{3}));
}

TEST(Streams, WrongDirectionRaises) {
  TMemoryStream m;
  uint8_t b = 0;
  TPXBufferedReadStream rs(&m, 8, false);
  EXPECT_EQ(MessageOf<EPXException>([&] { rs.Write(&b, 1); }), "TPXBufferedReadStream cannot write!");
  TPXBufferedWriteStream ws(&m, 8);
  EXPECT_EQ(MessageOf<EPXException>([&] { ws.Read(&b, 1); }), "TPXBufferedWriteStream cannot read!");
}

TEST(Streams, ProviderReportsValuesAndFailures) {
  TMemoryStream m;
  const uint8_t data[3] = {7, 8, 255};
  m.WriteBuffer(data, 3);
  auto provider = std::make_shared<TPXVCLStreamProvider>(&m);
  std::shared_ptr<IPXStreamProvider> p = provider;
  int64_t v = 0;
  EXPECT_EQ(p->GetSize(v), PX_S_OK);
  EXPECT_EQ(v, 3);
  EXPECT_EQ(p->Seek(-2, 2), PX_S_OK);
  int32_t byte = 0, eof = 0;
  EXPECT_EQ(p->ReadByte(byte), PX_S_OK);
  EXPECT_EQ(byte, 8);
  EXPECT_EQ(p->ReadByte(byte), PX_S_OK);
  EXPECT_EQ(byte, 255);
  EXPECT_EQ(p->IsEOF(eof), PX_S_OK);
  EXPECT_EQ(eof, -1);
  EXPECT_EQ(p->ReadByte(byte), PX_S_OK);
  EXPECT_EQ(byte, -1);
  EXPECT_EQ(p->Seek(0, 7), PX_S_OK);  // an unknown origin is ignored
  EXPECT_EQ(p->GetPosition(v), PX_S_OK);
  EXPECT_EQ(v, 3);
  p->Seek(0, 0);
  uint8_t buf[8] = {};
  int64_t done = -1;
  EXPECT_EQ(p->Read(buf, 8, done), PX_S_OK);
  EXPECT_EQ(done, 3);

  // A stream that raises turns into a failure code with nothing transferred.
  TPXBufferedWriteStream writeOnly(&m, 4);
  TPXVCLStreamProvider failing(&writeOnly);
  EXPECT_EQ(failing.Read(buf, 2, done), PX_E_FAIL);
  EXPECT_EQ(done, 0);
  EXPECT_EQ(failing.ReadByte(byte), PX_E_FAIL);
  EXPECT_EQ(byte, -1);
}

TEST(Streams, WideFileStreamModesAndErrors) {
  TestTempDir dir;
  const std::string name = dir.File("a.bin");
  {
    TPXWideFileStream f(name, 0xFFFF);
    f.WriteBuffer("abc", 3);
  }
  {
    TPXWideFileStream f(name, fmOpenRead | fmShareDenyWrite);
    char c[3] = {};
    f.ReadBuffer(c, 3);
    EXPECT_EQ(c[2], 'c');
  }
  const std::string invalid = Format("Cannot open file \"%s\". %s", ExpandFileName(name), SysErrorMessage(EINVAL));
  EXPECT_EQ(MessageOf<EFOpenError>([&] { TPXWideFileStream f(name, 3); }), invalid);
  EXPECT_EQ(MessageOf<EFOpenError>([&] { TPXWideFileStream f(name, 0x50); }), invalid);
  const std::string missing = dir.File("none/b.bin");
  EXPECT_EQ(MessageOf<EFCreateError>([&] { TPXWideFileStream f(missing, 0xFFFF); }),
            Format("Cannot create file \"%s\". %s", ExpandFileName(missing), SysErrorMessage(ENOENT)));
  EXPECT_EQ(MessageOf<EFOpenError>([&] { TPXWideFileStream f(missing, fmOpenRead); }),
            Format("Cannot open file \"%s\". %s", ExpandFileName(missing), SysErrorMessage(ENOENT)));
}

TEST(Streams, MemStreamIsReadOnly) {
  const char block[5] = {'h', 'e', 'l', 'l', 'o'};
  TPXMemStream m(block, 5);
  char c[5] = {};
  EXPECT_EQ(m.Read(c, 5), 5);
  EXPECT_EQ(c[4], 'o');
  EXPECT_EQ(m.Seek(1, soBeginning), 1);
  EXPECT_EQ(m.Write("x", 1), 0);
  m.SetSize(1);
  EXPECT_EQ(m.Size(), 5);
  EXPECT_EQ(block[1], 'e');
}

TEST(Streams, NulStreamCounts) {
  TNulStream n;
  EXPECT_EQ(n.Write(nullptr, 10), 10);
  EXPECT_EQ(n.Seek(4, soBeginning), 4);
  n.Write(nullptr, 2);
  EXPECT_EQ(n.Position(), 6);
  EXPECT_EQ(n.Size(), 10);
  EXPECT_EQ(n.Seek(-3, soEnd), 7);
  EXPECT_EQ(n.Seek(3, soEnd), 7);
  EXPECT_EQ(n.Read(nullptr, 5), 5);
  EXPECT_EQ(n.Size(), 12);
  EXPECT_EQ(n.Seek(8, soCurrent), 20);
  EXPECT_EQ(n.Size(), 20);
}

}  // namespace
