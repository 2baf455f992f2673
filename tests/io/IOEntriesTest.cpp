// The I/O component's public load and save entries on fake rows of the format table: dispatch
// by type, extension and content, the retry with the sniffed type, plug-in entries, memory
// blocks, header-only reads, and the types nothing can read or write here.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "tests/common/TestSupport.h"
#include "tests/io/FakeCodecRows.h"

namespace {

struct Component {
  Component() : io(std::make_unique<TPixoranIO>(nullptr)) {
    io->SetOnFinishWork(TNotifyEvent([this](TObject*) { ++finished; }));
  }
  TPXBitmap* Bitmap() { return io->WorkingBitmap(); }
  std::unique_ptr<TPixoranIO> io;
  std::atomic<int32_t> finished{0};
};

void Paint(TPXBitmap* B, int32_t W, int32_t H) {
  B->Allocate(W, H, px24RGB);
  for (int32_t y = 0; y < H; ++y)
    for (int32_t x = 0; x < W; ++x) B->SetPixel24(x, y, TRGB{static_cast<uint8_t>(x), static_cast<uint8_t>(y), 7});
}

std::string ReadFile(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// Writes a fake picture of type Tag under Name.
void WriteFake(const std::string& Name, char Tag, int32_t W, int32_t H) {
  TPXBitmap b;
  Paint(&b, W, H);
  TMemoryStream s;
  TPXProgressRecord rec;
  FakeEncode(Tag, &s, &b, nullptr, nullptr, rec);
  s.SaveToFile(Name);
  FakeLog() = FakeCodecLog();
}

class Entries : public ::testing::Test {
 protected:
  Entries() : rows_({pxftPNG, pxftJPEG, pxftTIFF, pxftTGA, pxftBMP}) {
    rows_.Fake(pxftPNG, 'P');
    rows_.Fake(pxftJPEG, 'J');
    rows_.Fake(pxftTIFF, 'T');
    rows_.Fake(pxftTGA, 'G');
    rows_.Fake(pxftBMP, 'B');
  }
  FakeRowsScope rows_;
  TestTempDir dir_;
};

}  // namespace

TEST_F(Entries, PngNamedJpgLoadsOnlyWithTheRetry) {
  const std::string name = dir_.File("photo.jpg");
  WriteFake(name, 'P', 4, 3);
  Component c;
  EXPECT_FALSE(c.io->LoadFromFileByExtension(name, false));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);
  c.finished = 0;
  EXPECT_TRUE(c.io->LoadFromFileByExtension(name, true));
  EXPECT_FALSE(c.io->Aborting());
  EXPECT_EQ(c.io->Params()->FileType, pxftPNG);
  EXPECT_EQ(c.Bitmap()->Width(), 4);
  EXPECT_EQ(c.finished, 2);  // the failed JPEG load, then the PNG load
}

TEST_F(Entries, UnreadableContentFinishesOnce) {
  const std::string name = dir_.File("noise.qqq");
  std::ofstream(name) << "nothing any reader knows";
  for (bool retry : {false, true}) {
    Component c;
    EXPECT_FALSE(c.io->LoadFromFileByExtension(name, retry));
    EXPECT_TRUE(c.io->Aborting());
    EXPECT_EQ(c.finished, 1) << retry;
  }
  // A known extension over content of no known type: one failed load, nothing to retry with.
  const std::string jpg = dir_.File("noise.jpg");
  std::ofstream(jpg) << "nothing any reader knows";
  Component c;
  EXPECT_FALSE(c.io->LoadFromFileByExtension(jpg, true));
  EXPECT_EQ(c.finished, 1);
}

TEST_F(Entries, LoadFromFileEdgeCases) {
  Component c;
  EXPECT_FALSE(c.io->LoadFromFile("", pxftPNG));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);

  // Without a working bitmap: nothing happens at all.
  c.io->SetAttachedBitmap(nullptr);
  ASSERT_EQ(c.Bitmap(), nullptr);
  c.io->SetAborting(false);
  EXPECT_FALSE(c.io->LoadFromFile(dir_.File("a.png"), pxftPNG));
  EXPECT_FALSE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);

  // Type 0 reads the content; a picture read as a video, a built-in entry without a file reader
  // and a metafile type on bytes that are no metafile fail: Aborting, one OnFinishWork, the
  // picture untouched.
  Component d;
  const std::string png = dir_.File("x.bin");
  WriteFake(png, 'P', 2, 5);
  EXPECT_TRUE(d.io->LoadFromFile(png, pxftUnknown));
  EXPECT_EQ(d.Bitmap()->Height(), 5);
  EXPECT_EQ(d.io->Params()->FileName, png);
  for (TPXFileType t : {pxftAVI, pxftMPEG, pxftWMV, pxftBMPRAW, pxftWMF, pxftPS}) {
    d.finished = 0;
    EXPECT_FALSE(d.io->LoadFromFile(png, t)) << t;
    EXPECT_TRUE(d.io->Aborting());
    EXPECT_EQ(d.finished, 1) << t;
    EXPECT_EQ(d.Bitmap()->Height(), 5);
  }
  d.finished = 0;
  EXPECT_FALSE(d.io->LoadFromFileFormat(png, pxftUnknown));
  EXPECT_EQ(d.finished, 1);
  EXPECT_TRUE(d.io->LoadFromFileAuto(png));
}

TEST_F(Entries, SaveToStreamWithoutTypeWritesJpeg) {
  Component c;
  Paint(c.Bitmap(), 2, 2);
  c.io->Params()->FileType = pxftUnknown;
  TMemoryStream s;
  c.io->SaveToStream(&s, pxftUnknown);
  ASSERT_GE(s.Size(), 5);
  EXPECT_EQ(std::string(static_cast<const char*>(s.Memory()), 5), "FAKEJ");
  c.io->Params()->FileType = pxftPNG;
  TMemoryStream t;
  c.io->SaveToStream(&t, pxftUnknown);
  EXPECT_EQ(std::string(static_cast<const char*>(t.Memory()), 5), "FAKEP");
  // Read back by content.
  t.Seek(0, soBeginning);
  Component r;
  EXPECT_TRUE(r.io->LoadFromStream(&t, pxftUnknown));
  EXPECT_EQ(r.io->Params()->FileType, pxftPNG);
  EXPECT_EQ(r.io->Params()->FileName, "");
}

TEST_F(Entries, SaveToFileByExtension) {
  Component c;
  Paint(c.Bitmap(), 3, 1);
  struct Case {
    const char* Name;
    const char* Expected;  // "" for no file
  } cases[] = {{"a.xif", "FAKET"}, {"a.pix", "FAKEG"}, {"a.jpeg", "FAKEJ"}, {"a.BMP", "FAKEB"},
               {"a.raw", ""},      {"a.cur", ""},      {"a.pxv", ""},       {"a.unknown", ""}};
  for (const Case& k : cases) {
    c.finished = 0;
    const std::string name = dir_.File(k.Name);
    c.io->SaveToFile(name, pxftUnknown);
    EXPECT_EQ(c.finished, 1) << k.Name;
    if (*k.Expected) {
      EXPECT_FALSE(c.io->Aborting()) << k.Name;
      EXPECT_EQ(ReadFile(name).substr(0, 5), k.Expected) << k.Name;
    } else {
      EXPECT_TRUE(c.io->Aborting()) << k.Name;
      EXPECT_FALSE(std::filesystem::exists(name)) << k.Name;
    }
  }
  // The built-in entries' placeholder writers never make a file.
  for (TPXFileType t : {pxftBMPRAW, pxftALL, pxftPXV}) {
    const std::string name = dir_.File("t" + std::to_string(t));
    c.io->SaveToFile(name, t);
    EXPECT_TRUE(c.io->Aborting());
    EXPECT_FALSE(std::filesystem::exists(name));
  }
  // An empty name does nothing.
  c.finished = 0;
  c.io->SaveToFile("", pxftPNG);
  EXPECT_EQ(c.finished, 0);
}

TEST_F(Entries, PlugInFormats) {
  constexpr TPXFileType kType = 9000;
  auto info = std::make_unique<TPXFileFormatInfo>();
  info->FileType = kType;
  info->FullName = "Test plug-in";
  info->Extensions = "FKX";
  info->InternalFormat = false;
  info->ReadFunction = [](TStream* s, TPXBitmap* b) {
    char c = 0;
    s->ReadBuffer(&c, 1);
    b->Allocate(c, 1, px24RGB);
  };
  TPXPixelFormat written = pxNoFormat;
  info->WriteFunction = [&written](TStream* s, TPXBitmap* b) {
    written = b->PixelFormat();
    const char c = static_cast<char>(b->Width());
    s->WriteBuffer(&c, 1);
  };
  TPXFileFormatInfo::Register(std::move(info));

  Component c;
  Paint(c.Bitmap(), 9, 2);
  c.Bitmap()->SetPixelFormat(px8g);
  const std::string name = dir_.File("a.fkx");
  c.io->SaveToFile(name, pxftUnknown);
  EXPECT_FALSE(c.io->Aborting());
  EXPECT_EQ(ReadFile(name), "\x09");
  EXPECT_EQ(written, px24RGB);
  EXPECT_EQ(c.Bitmap()->PixelFormat(), px8g);  // the caller's picture is not converted
  EXPECT_EQ(c.io->Params()->FileType, kType);

  Component r;
  EXPECT_TRUE(r.io->LoadFromFile(name, kType));
  EXPECT_EQ(r.Bitmap()->Width(), 9);
  EXPECT_EQ(r.io->Params()->FileType, kType);
  EXPECT_EQ(r.io->Params()->FileName, name);
  TMemoryStream s;
  r.io->SaveToStream(&s, kType);
  s.Seek(0, soBeginning);
  EXPECT_TRUE(r.io->LoadFromStream(&s, kType));
  EXPECT_EQ(r.finished, 3);

  FileFormatByType(kType)->ReadFunction = nullptr;
  r.finished = 0;
  EXPECT_FALSE(r.io->LoadFromFile(name, kType));
  EXPECT_TRUE(r.io->Aborting());
  EXPECT_EQ(r.finished, 1);
  UnregisterFileFormat(kType);
}

TEST_F(Entries, MemoryBlocks) {
  Component c;
  EXPECT_FALSE(c.io->LoadFromBuffer(nullptr, 10, pxftPNG));
  EXPECT_TRUE(c.io->Aborting());
  EXPECT_EQ(c.finished, 1);
  TPXBitmap b;
  Paint(&b, 6, 2);
  TMemoryStream s;
  TPXProgressRecord rec;
  FakeEncode('T', &s, &b, nullptr, nullptr, rec);
  EXPECT_TRUE(c.io->LoadFromBuffer(s.Memory(), static_cast<int32_t>(s.Size()), pxftUnknown));
  EXPECT_EQ(c.io->Params()->FileType, pxftTIFF);
  EXPECT_EQ(c.Bitmap()->Width(), 6);
}

TEST_F(Entries, HeaderOnlyReads) {
  const std::string name = dir_.File("h.png");
  WriteFake(name, 'P', 12, 7);
  Component c;
  Paint(c.Bitmap(), 2, 2);
  EXPECT_TRUE(c.io->ParamsFromFile(name, pxftUnknown));
  EXPECT_EQ(c.io->Params()->Width, 12);
  EXPECT_EQ(c.io->Params()->Height, 7);
  EXPECT_EQ(c.io->Params()->FileType, pxftPNG);
  EXPECT_EQ(c.io->Params()->FileName, name);
  EXPECT_TRUE(FakeLog().PreviewOnly);
  EXPECT_EQ(c.Bitmap()->Width(), 2);  // the working bitmap keeps its pixels
  EXPECT_EQ(c.finished, 1);
  EXPECT_TRUE(c.io->ParamsFromFileByExtension(name, true));

  const std::string noise = dir_.File("n.png");
  std::ofstream(noise) << "no picture here";
  EXPECT_FALSE(c.io->ParamsFromFile(noise, pxftUnknown));
  EXPECT_EQ(c.io->Params()->FileType, pxftUnknown);
  EXPECT_FALSE(c.io->ParamsFromFileByExtension(noise, true));  // the reader refuses it
  EXPECT_EQ(c.io->Params()->FileType, pxftUnknown);
  EXPECT_FALSE(c.io->ParamsFromFile(dir_.File("missing.png"), pxftPNG));

  c.io->SetAborting(false);
  EXPECT_FALSE(c.io->ParamsFromBuffer(nullptr, 0, pxftPNG));
  EXPECT_TRUE(c.io->Aborting());
}

TEST_F(Entries, AsynchronousLoadReturnsAtOnce) {
  const std::string name = dir_.File("a.png");
  WriteFake(name, 'P', 3, 3);
  TPXBitmap bitmap;
  std::atomic<int32_t> finished{0};
  std::unique_ptr<TPixoranIO> io = TPixoranIO::CreateForBitmap(&bitmap);
  io->SetOnFinishWork(TNotifyEvent([&](TObject*) { ++finished; }));
  io->AsyncMode = true;
  EXPECT_TRUE(io->LoadFromFileByExtension(name, true));
  io->WaitThreads(false);
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(io->Aborting());
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_EQ(io->LoadFromFileTiff(name), -1);  // an integer load hands over with -1
  io->WaitThreads(false);
  EXPECT_EQ(finished, 2);
  EXPECT_TRUE(io->Aborting());  // the TIFF reader refused the PNG
}
