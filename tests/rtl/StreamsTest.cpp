#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "tests/common/TestSupport.h"

extern const TResourceTable PxTestResources;

namespace {

std::string ReadAll(TStream& s) {
  s.SetPosition(0);
  std::string out(static_cast<size_t>(s.Size()), '\0');
  s.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
  return out;
}

std::string FileText(const std::string& name) {
  TFileStream f(name, fmOpenRead);
  return ReadAll(f);
}


std::vector<std::string> FolderEntries(const std::string& dir) {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(dir)) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace

// The same contract for every writable stream.
TEST(Stream, ContractOfWritableStreams) {
  TestTempDir dir;
  struct Kind { const char* name; std::function<std::unique_ptr<TStream>()> make; };
  const Kind kinds[] = {
      {"memory", [] { return std::make_unique<TMemoryStream>(); }},
      {"bytes", [] { return std::make_unique<TBytesStream>(); }},
      {"string", [] { return std::make_unique<TStringStream>(); }},
      {"file", [&] { return std::make_unique<TFileStream>(dir.File("f.bin"), fmCreate | fmShareExclusive); }},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.name);
    std::unique_ptr<TStream> s = k.make();
    char buf[32] = {};
    s->WriteBuffer("hello world", 11);
    EXPECT_EQ(s->Position(), 11);
    EXPECT_EQ(s->Size(), 11);
    EXPECT_EQ(s->Seek(0, soBeginning), 0);
    EXPECT_EQ(s->Read(buf, 5), 5);
    EXPECT_EQ(std::string(buf, 5), "hello");
    EXPECT_EQ(s->Seek(1, soCurrent), 6);
    EXPECT_EQ(s->Read(buf, 20), 5);  // short at the end
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(s->Read(buf, 1), 0);
    EXPECT_EQ(s->Seek(-5, soFromEnd), 6);
    EXPECT_EQ(s->Seek(2, soFromBeginning), 2);
    EXPECT_EQ(s->Seek(1, soFromCurrent), 3);
    EXPECT_EQ(MessageOf<EReadError>([&] { s->ReadBuffer(buf, 20); }), "Stream read error");
    s->SetSize(5);
    EXPECT_EQ(s->Size(), 5);
    EXPECT_LE(s->Position(), 5);
    s->SetSize(7);  // grows with zeros
    s->SetPosition(9);
    s->WriteBuffer("!", 1);  // the gap reads as zeros too
    EXPECT_EQ(ReadAll(*s), std::string("hello\0\0\0\0!", 10));
    s->SetPosition(1);
    s->WriteBuffer("EL", 2);
    EXPECT_EQ(s->Position(), 3);
    EXPECT_EQ(ReadAll(*s), std::string("hELlo\0\0\0\0!", 10));
  }
}

TEST(Stream, CopyFrom) {
  TestTempDir dir;
  TStringStream mem("abcdefgh");
  {
    TFileStream f(dir.File("src"), fmCreate);
    f.WriteBuffer("abcdefgh", 8);
  }
  TFileStream file(dir.File("src"), fmOpenRead);
  for (TStream* src : {static_cast<TStream*>(&mem), static_cast<TStream*>(&file)}) {
    struct Case { int64_t from, count; std::string want; };
    const Case cases[] = {{5, 0, "abcdefgh"}, {8, -1, "abcdefgh"}, {1, 3, "bcd"}, {6, 2, "gh"}};
    for (const Case& c : cases) {
      TMemoryStream dst;
      src->SetPosition(c.from);
      EXPECT_EQ(dst.CopyFrom(src, c.count), static_cast<int64_t>(c.want.size()));
      EXPECT_EQ(ReadAll(dst), c.want);
      EXPECT_EQ(src->Position(), c.count > 0 ? c.from + c.count : 8);
    }
    TMemoryStream dst;
    src->SetPosition(6);
    EXPECT_THROW(dst.CopyFrom(src, 3), EReadError);
  }
}

TEST(MemoryStream, GrowsAmortisedAndKeepsDataOnResize) {
  TMemoryStream m;
  int changes = 0;
  int64_t cap = m.Capacity();
  for (int i = 0; i < 1000000; ++i) {
    const uint8_t b = static_cast<uint8_t>(i);
    m.WriteBuffer(&b, 1);
    if (m.Capacity() != cap) ++changes, cap = m.Capacity();
  }
  EXPECT_LT(changes, 40);
  EXPECT_GE(m.Capacity(), m.Size());
  const auto* p = static_cast<const uint8_t*>(m.Memory());
  EXPECT_EQ(p[123456], static_cast<uint8_t>(123456));
  m.SetSize(10);
  m.SetSize(20000);
  p = static_cast<const uint8_t*>(m.Memory());
  EXPECT_EQ(p[9], 9);
  EXPECT_EQ(p[10], 0);
  EXPECT_EQ(p[19999], 0);
  EXPECT_EQ(m.Position(), 10);  // pulled back by the shrink
  m.Clear();
  EXPECT_EQ(m.Size(), 0);
  EXPECT_EQ(m.Capacity(), 0);
  EXPECT_EQ(m.Memory(), nullptr);
  EXPECT_THROW(m.SetSize(-1), EStreamError);
}

TEST(MemoryStream, LoadAndSave) {
  TestTempDir dir;
  TStringStream src("0123456789");
  src.SetPosition(7);
  TMemoryStream m;
  m.LoadFromStream(&src);  // the whole source, from its start
  EXPECT_EQ(ReadAll(m), "0123456789");
  m.LoadFromStream(&m);    // loading itself changes nothing
  EXPECT_EQ(ReadAll(m), "0123456789");
  m.SaveToFile(dir.File("m.bin"));
  TMemoryStream back;
  back.LoadFromFile(dir.File("m.bin"));
  EXPECT_EQ(ReadAll(back), "0123456789");
  TStringStream out;
  back.SaveToStream(&out);
  EXPECT_EQ(out.DataString(), "0123456789");
}

TEST(MemoryStream, ReadOnlyAndByteStreams) {
  const char data[] = "constant";
  TCustomMemoryStream ro(data, 8);
  char buf[8];
  EXPECT_EQ(ro.Read(buf, 8), 8);
  EXPECT_EQ(std::memcmp(buf, data, 8), 0);
  EXPECT_THROW(ro.Write("x", 1), EStreamError);
  EXPECT_THROW(ro.SetSize(1), EStreamError);
  EXPECT_EQ(ro.Seek(int64_t{5} << 30, soBeginning), int64_t{5} << 30);  // 64-bit positions
  EXPECT_EQ(ro.Read(buf, 8), 0);
  EXPECT_EQ(ro.Seek(-100, soCurrent), (int64_t{5} << 30) - 100);

  TBytesStream b(TBytes{1, 2, 3});
  b.SetPosition(3);
  const uint8_t four = 4;
  b.WriteBuffer(&four, 1);
  ASSERT_GE(b.Bytes().size(), 4u);
  EXPECT_EQ(TBytes(b.Bytes().begin(), b.Bytes().begin() + 4), (TBytes{1, 2, 3, 4}));

  TStringStream s("abcdef");
  s.SetPosition(2);
  EXPECT_EQ(s.ReadString(3), "cde");
  EXPECT_EQ(s.ReadString(10), "f");
  s.SetPosition(1);
  s.WriteString("XY");
  EXPECT_EQ(s.DataString(), "aXYdef");
}

TEST(FileStream, ModesAndErrors) {
  TestTempDir dir;
  const std::string name = dir.File("data.bin");
  const std::string missing = dir.File("missing.bin");
  {
    TFileStream f(name, fmCreate);
    f.WriteBuffer("abc", 3);
    EXPECT_EQ(f.FileName(), name);
  }
  {
    TFileStream f(name, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(f.Write("x", 1), 0);
    EXPECT_EQ(MessageOf<EWriteError>([&] { f.WriteBuffer("x", 1); }), "Stream write error");
    EXPECT_EQ(f.Size(), 3);
  }
  {
    TFileStream f(name, fmOpenWrite | fmShareDenyWrite);
    char c;
    EXPECT_EQ(f.Read(&c, 1), 0);
    f.Seek(0, soEnd);
    f.WriteBuffer("d", 1);
  }
  {
    TFileStream f(name, fmOpenReadWrite | fmShareExclusive);
    EXPECT_EQ(ReadAll(f), "abcd");
  }
  struct Case { std::function<void()> open; std::string message; };
  const Case cases[] = {
      {[&] { TFileStream(missing, fmOpenRead); },
       "Cannot open file \"" + missing + "\". No such file or directory"},
      {[&] { TFileStream(dir.Path(), fmOpenRead); },
       "Cannot open file \"" + ExpandFileName(dir.Path()) + "\". Is a directory"},
      {[&] { TFileStream(name, 3); }, "Cannot open file \"" + name + "\". Invalid argument"},
  };
  for (const Case& c : cases) EXPECT_EQ(MessageOf<EFOpenError>(c.open), c.message);
  const std::string nofolder = dir.File("no/such.bin");
  EXPECT_EQ(MessageOf<EFCreateError>([&] { TFileStream(nofolder, fmCreate); }),
            "Cannot create file \"" + nofolder + "\". No such file or directory");
  // Backslashes separate folders too.
  const std::string back = dir.Path() + "sub\\x.bin";
  std::filesystem::create_directory(dir.File("sub"));
  { TFileStream f(back, fmCreate); }
  EXPECT_TRUE(FileExists(dir.File("sub/x.bin")));
}

TEST(FileStream, SixtyFourBitSizesAndPositions) {
  TestTempDir dir;
  TFileStream f(dir.File("big.bin"), fmCreate);
  const int64_t big = (int64_t{5} << 30) + 3;  // sparse, beyond 32 bits
  f.SetSize(big);
  EXPECT_EQ(f.Size(), big);
  EXPECT_EQ(f.Seek(-2, soEnd), big - 2);
  f.WriteBuffer("xy", 2);
  f.SetPosition(big - 3);
  char buf[3];
  f.ReadBuffer(buf, 3);
  EXPECT_EQ(std::string(buf, 3), std::string("\0xy", 3));
  EXPECT_THROW(f.SetSize(-1), EOSError);
}

TEST(HandleStream, OverAPipe) {
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  {
    THandleStream w(fds[1]), r(fds[0]);
    w.WriteBuffer("piped", 5);
    char buf[5];
    r.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "piped");
    EXPECT_EQ(r.Handle(), fds[0]);
  }
  ::close(fds[0]);
  ::close(fds[1]);
}

TEST(ResourceStream, LooksUpRegisteredTablesWithoutRegardToCase) {
  struct Registration {
    Registration() { RegisterResourceTable(&PxTestResources); }
    ~Registration() { UnregisterResourceTable(&PxTestResources); }
  };
  {
    Registration reg;
    struct Case { const char* name; const char* type; bool found; };
    const Case cases[] = {
        {"PXTESTDATA", RT_RCDATA, true}, {"pxTestData", "rcdata", true},
        {"PXTESTDATA", RT_BITMAP, false}, {"PXTEST", RT_RCDATA, false},
    };
    for (const Case& c : cases) EXPECT_EQ(FindResourceData(c.name, c.type) != nullptr, c.found) << c.name;

    TResourceStream rs(HInstance, "PxTestData", RT_RCDATA);
    EXPECT_EQ(ReadAll(rs), "hello resource\n");
    EXPECT_EQ(MessageOf<EStreamError>([&] { rs.WriteBuffer("x", 1); }), "Can't write to a read-only resource stream");
    EXPECT_EQ(MessageOf<EResNotFound>([] { TResourceStream(HInstance, "NOPE", RT_RCDATA); }),
              "Resource NOPE not found");
  }
  EXPECT_EQ(FindResourceData("PXTESTDATA", RT_RCDATA), nullptr);
  EXPECT_THROW(TResourceStream(HInstance, "PXTESTDATA", RT_RCDATA), EResNotFound);
}

TEST(SaveBytesToFile, ReplacesSafely) {
  TestTempDir dir;
  const std::string name = dir.File("keep.txt");
  { TFileStream f(name, fmCreate); f.WriteBuffer("old", 3); }
  ASSERT_EQ(::chmod(name.c_str(), 0640), 0);
  TStringStream s("new content");
  s.SaveToFile(name);
  EXPECT_EQ(FileText(name), "new content");
  struct stat st;
  ASSERT_EQ(::stat(name.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"keep.txt"});  // no temporary left

  // Through a symbolic link the link stays and its target changes.
  const std::string link = dir.File("link.txt");
  ASSERT_EQ(::symlink(name.c_str(), link.c_str()), 0);
  TStringStream("via link").SaveToFile(link);
  EXPECT_EQ(FileText(name), "via link");
  struct stat lst;
  ASSERT_EQ(::lstat(link.c_str(), &lst), 0);
  EXPECT_TRUE(S_ISLNK(lst.st_mode));

  // Failures raise and leave what was there.
  std::filesystem::create_directory(dir.File("folder"));
  EXPECT_THROW(s.SaveToFile(dir.File("folder")), EFCreateError);
  EXPECT_THROW(s.SaveToFile(dir.File("no/such/file")), EFCreateError);
  EXPECT_EQ(FolderEntries(dir.Path()), (std::vector<std::string>{"folder", "keep.txt", "link.txt"}));
  // A device is written in place.
  EXPECT_NO_THROW(s.SaveToFile("/dev/null"));
}
