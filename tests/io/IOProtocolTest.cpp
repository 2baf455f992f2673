// The I/O component through its real entries on fake format rows: the protocol of a load (flag,
// one end-of-work, what the view is told), loads on workers, page navigation and web loads
// from a server the test starts on 127.0.0.1.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/hypxutils_streams.h"
#include "io/pixoranio.h"
#include "tests/common/TestSupport.h"
#include "tests/io/FakeIOView.h"
#include "tests/io/IOTestComponent.h"

extern char** environ;

namespace {

// Replaces the format table's row of a type for the scope of a test.
class ScopedRow {
 public:
  ScopedRow(TPXFileType Type, TPXFormatRow Row) : type_(Type) {
    if (const TPXFormatRow* r = FormatRow(Type)) saved_ = *r;
    RegisterFormatRow(Type, std::move(Row));
  }
  ~ScopedRow() {
    if (saved_) RegisterFormatRow(type_, *saved_);
    else UnregisterFormatRow(type_);
  }

 private:
  TPXFileType type_;
  std::optional<TPXFormatRow> saved_;
};

// A BMP "reader" that gives a 4 x 3 picture at 1 DPI, or throws / fails when told.
struct FakeBmp {
  std::atomic<bool> Throw{false};
  std::atomic<bool> Fail{false};
  TPXFormatRow Row() {
    TPXFormatRow row;
    row.Decode = [this](TStream*, TPXBitmap* Bitmap, TIOParams* Params, TPXProgressRecord& Progress, bool,
                        std::unique_ptr<TPXMask>&) -> int32_t {
      if (Throw) throw EPXException("reader failed");
      if (Fail) {
        *Progress.Aborting = true;
        return 0;
      }
      Bitmap->Allocate(4, 3, px24RGB);
      Params->SetDpiX(1);
      Params->SetDpiY(96);
      return 1;
    };
    return row;
  }
};

std::string WriteFile(const TestTempDir& Dir, const std::string& Name, const std::string& Data) {
  const std::string path = Dir.File(Name);
  std::ofstream(path, std::ios::binary) << Data;
  return path;
}

// ---------------------------------------------------------------------------------------------
// Load protocol

TEST(IOProtocol, EmptyNameAndMissingBitmap) {
  TPixoranIO io(nullptr);
  int finished = 0;
  io.SetOnFinishWork([&](TObject*) { ++finished; });
  EXPECT_FALSE(io.LoadFromFile("", pxftBMP));
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(finished, 1);

  // Without a working bitmap: nothing at all.
  io.SetAttachedBitmap(nullptr);
  io.SetAborting(false);
  EXPECT_FALSE(io.LoadFromFile("", pxftBMP));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(finished, 1);
}

TEST(IOProtocol, ALoadTellsTheViewAndSetsTheDefaultResolution) {
  FakeBmp fake;
  ScopedRow row(pxftBMP, fake.Row());
  TestTempDir dir;
  const std::string name = WriteFile(dir, "pic.bmp", "BM fake picture");
  FakeIOView view;
  TPixoranIO io(nullptr);
  io.SetAttachedPixoran(&view);
  int finished = 0;
  io.SetOnFinishWork([&](TObject*) { ++finished; });
  EXPECT_TRUE(io.LoadFromFile(name, pxftBMP));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(view.Bitmap()->Width(), 4);
  EXPECT_EQ(io.Params()->FileType, pxftBMP);
  EXPECT_EQ(io.Params()->FileName, name);
  EXPECT_EQ(io.Params()->DpiX, 300);
  EXPECT_EQ(io.Params()->DpiY, 96);
  const std::vector<std::string> log = view.TakeLog();
  const std::vector<std::string> expected = {"reason 6", "Update", "ImageChange 0"};
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(log.begin(), log.begin() + 3), expected);
}

// ---------------------------------------------------------------------------------------------
// Real entries on workers

TEST(IOProtocol, AsynchronousLoadThroughTheEntries) {
  FakeBmp fake;
  ScopedRow row(pxftBMP, fake.Row());
  TestTempDir dir;
  const std::string name = WriteFile(dir, "pic.bmp", "BM fake picture");
  TPXBitmap bmp;
  auto io = TPixoranIO::CreateForBitmap(&bmp);
  io->AsyncMode = true;
  std::atomic<int> finished{0};
  io->SetOnFinishWork([&](TObject*) { ++finished; });

  EXPECT_TRUE(io->LoadFromFile(name, pxftBMP));
  io->WaitThreads(false);
  EXPECT_EQ(finished, 1);
  EXPECT_FALSE(io->Aborting());
  EXPECT_EQ(bmp.Width(), 4);

  // A reader that throws on the worker: the caller sees nothing but the flag and the end.
  fake.Throw = true;
  EXPECT_NO_THROW(io->LoadFromFile(name, pxftBMP));
  io->WaitThreads(false);
  EXPECT_TRUE(io->Aborting());
  EXPECT_EQ(finished, 2);

  // LoadFromFileByExtension calls LoadFromFile on its worker: one thread, synchronous inside.
  fake.Throw = false;
  EXPECT_TRUE(io->LoadFromFileByExtension(name, false));
  io->WaitThreads(false);
  EXPECT_FALSE(io->Aborting());
  EXPECT_EQ(finished, 3);
}

// ---------------------------------------------------------------------------------------------
// Page navigation

TEST(IOProtocol, Seek) {
  TestIO io(nullptr);
  TIOParams* p = io.Params();
  p->FileName = "doc.tif";
  p->SetImageCount(3);
  p->SetImageIndex(2);
  // Next at the last page with no name: the last index, no reload.
  EXPECT_EQ(io.Seek(2, ""), 2);
  EXPECT_TRUE(io.reloads.empty());
  EXPECT_EQ(io.Seek(1, ""), 1);
  EXPECT_EQ(io.Seek(0, ""), 0);
  EXPECT_EQ(io.Seek(3, ""), 2);
  EXPECT_EQ(io.reloads, (std::vector<std::string>{"doc.tif 1 retry", "doc.tif 0 retry", "doc.tif 2 retry"}));
  EXPECT_EQ(p->TIFF_ImageIndex, 2);
  // A name reloads even the same page.
  io.reloads.clear();
  EXPECT_EQ(io.Seek(7, "other.gif"), 0);
  EXPECT_EQ(io.reloads, std::vector<std::string>{"other.gif 0 retry"});
  // A failed reload.
  io.ReloadResult = false;
  EXPECT_EQ(io.Seek(3, ""), -1);

  // Without a page count there is no page -1.
  p->SetImageCount(0);
  p->SetImageIndex(0);
  io.reloads.clear();
  EXPECT_EQ(io.Seek(2, ""), 0);
  EXPECT_EQ(io.Seek(3, ""), 0);
  EXPECT_TRUE(io.reloads.empty());
}

TEST(IOProtocol, SeekThroughAMultiPageView) {
  struct Navigation : IPXIOMultiPageView {
    int reloads = 0;
    void ReloadCurrentPage() override { ++reloads; }
  } nav;
  FakeIOView view;
  view.navigation = &nav;
  TestIO io(nullptr);
  io.SetAttachedPixoran(&view);
  io.Params()->SetImageCount(4);
  EXPECT_EQ(io.Seek(2, ""), 1);
  EXPECT_EQ(io.Params()->ImageIndex, 1);
  EXPECT_EQ(nav.reloads, 1);
  EXPECT_TRUE(io.reloads.empty());
}

// ---------------------------------------------------------------------------------------------
// Web loads

// Python's HTTP server on a port the system chooses; the server names it in its first line of
// output, which is also the sign that it accepts connections. The system's interpreter is started
// by its path, as the other tests do, not whatever "python3" the PATH finds first.
constexpr const char* kPython = "/usr/bin/python3";

class WebServer {
 public:
  explicit WebServer(const std::string& Root) {
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) return;
    std::vector<std::string> args = {kPython, "-u", "-m", "http.server", "0", "--bind", "127.0.0.1", "--directory", Root};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, out[1], 1);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    if (posix_spawn(&pid_, kPython, &fa, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&fa);
    close(out[1]);
    // "Serving HTTP on 127.0.0.1 port N (...)": read up to the end of that line (or of the output,
    // when the server could not start).
    std::string line;
    char c;
    while (pid_ > 0 && line.find('\n') == std::string::npos && read(out[0], &c, 1) == 1) line += c;
    close(out[0]);
    const size_t at = line.find(" port ");
    if (at != std::string::npos) port_ = std::atoi(line.c_str() + at + 6);
  }
  ~WebServer() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Ready() const { return pid_ > 0 && port_ > 0; }
  std::string URL(const std::string& Path) const { return "http://127.0.0.1:" + std::to_string(port_) + "/" + Path; }

 private:
  int port_ = 0;
  pid_t pid_ = -1;
};

TEST(IOProtocol, LoadFromURL) {
  if (!ToolExists(kPython)) GTEST_SKIP() << "python3 missing";
  FakeBmp fake;
  ScopedRow row(pxftBMP, fake.Row());
  TestTempDir dir;
  WriteFile(dir, "pic.bmp", "BM fake picture");
  WriteFile(dir, "noise.dat", std::string(64, '\x01'));
  WriteFile(dir, "big.bmp", "BM" + std::string(4 << 20, 'x'));
  WebServer server(dir.Path());
  ASSERT_TRUE(server.Ready());

  TPixoranIO io(nullptr);
  int finished = 0;
  io.SetOnFinishWork([&](TObject*) { ++finished; });
  EXPECT_TRUE(io.LoadFromURL(server.URL("pic.bmp")));
  EXPECT_FALSE(io.Aborting());
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(io.WorkingBitmap()->Width(), 4);
  EXPECT_EQ(io.Params()->FileType, pxftBMP);

  // On a worker, with the stream load inside it on the same thread.
  {
    TPXBitmap target;
    auto async = TPixoranIO::CreateForBitmap(&target);
    async->AsyncMode = true;
    std::atomic<int> done{0};
    async->SetOnFinishWork([&](TObject*) { ++done; });
    EXPECT_TRUE(async->LoadFromURL(server.URL("pic.bmp")));
    async->WaitThreads(false);
    EXPECT_EQ(done, 1);
    EXPECT_FALSE(async->Aborting());
    EXPECT_EQ(target.Width(), 4);
  }

  // Failures keep the flag and end with one end-of-work: not found, content of no type.
  for (const char* path : {"missing.bmp", "noise.dat"}) {
    finished = 0;
    EXPECT_FALSE(io.LoadFromURL(server.URL(path))) << path;
    EXPECT_TRUE(io.Aborting()) << path;
    EXPECT_EQ(finished, 1) << path;
  }

  // An abort asked from the progress event stops the transfer: no picture is read.
  finished = 0;
  io.WorkingBitmap()->Allocate(1, 1, px24RGB);
  io.SetOnProgress([&](TObject*, int32_t) { io.SetAborting(true); });
  EXPECT_FALSE(io.LoadFromURL(server.URL("big.bmp")));
  EXPECT_TRUE(io.Aborting());
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(io.WorkingBitmap()->Width(), 1);
}

// ---------------------------------------------------------------------------------------------
// The pixel container's own loads and saves

TEST(IOProtocol, BitmapLoadsAndSavesThroughTheComponent) {
  FakeBmp fake;
  std::atomic<bool> sawResourceFlag{false};
  TPXFormatRow fakeRow = fake.Row();
  auto decode = fakeRow.Decode;
  fakeRow.Decode = [&, decode](TStream* S, TPXBitmap* B, TIOParams* P, TPXProgressRecord& R, bool Preview,
                                std::unique_ptr<TPXMask>& M) {
    sawResourceFlag = P->IsResource;
    P->BMP_Version = 3;
    return decode(S, B, P, R, Preview, M);
  };
  fakeRow.Encode = [](TStream* S, TPXBitmap* B, TIOParams* P, TPXMask*, TPXProgressRecord&) {
    const std::string text = "saved " + std::to_string(B->Width()) + " q" + std::to_string(P->JPEG_Quality);
    S->WriteBuffer(text.data(), static_cast<int64_t>(text.size()));
  };
  ScopedRow row(pxftBMP, fakeRow);

  // A layer view owning the bitmap hears of the load.
  struct OwnerView : TObject, FakeIOView {};
  OwnerView view;
  TPXBitmap bmp;
  bmp.FOwnerView = &view;
  TIOParams params;
  params.BMP_Version = 1;
  const std::string data = "BM fake";
  TPXMemStream in(data.data(), static_cast<int64_t>(data.size()));
  EXPECT_TRUE(bmp.LoadFromStream(&in, pxftBMP, &params));
  EXPECT_EQ(bmp.Width(), 4);
  EXPECT_EQ(params.BMP_Version, 3);  // what the reader found comes back
  EXPECT_FALSE(sawResourceFlag);
  EXPECT_EQ(view.TakeLog(), (std::vector<std::string>{"reason 6", "Update", "ImageChange 2"}));

  TMemoryStream out;
  params.JPEG_Quality = 42;
  EXPECT_TRUE(bmp.SaveToStream(&out, pxftBMP, &params));
  EXPECT_EQ(std::string(static_cast<const char*>(out.Memory()), out.Size()), "saved 4 q42");

  // A compiled-in resource named by its number; the BMP data may lack a file header.
  static const unsigned char kData[] = {'B', 'M', 0, 0};
  static const TResourceEntry kEntries[] = {{"4711", "RCDATA", kData, sizeof kData}};
  static const TResourceTable kTable = {kEntries, 1};
  RegisterResourceTable(&kTable);
  TPXBitmap fromResource;
  EXPECT_TRUE(fromResource.LoadFromResourceID(HInstance, 4711, RT_RCDATA, pxftBMP));
  EXPECT_TRUE(sawResourceFlag);
  EXPECT_EQ(fromResource.Width(), 4);
  EXPECT_EQ(fromResource.FLoadingResource, 0);
  EXPECT_THROW(fromResource.LoadFromResourceID(HInstance, 4712, RT_RCDATA, pxftBMP), EResNotFound);
  UnregisterResourceTable(&kTable);

  // A reader that fails.
  fake.Fail = true;
  TPXMemStream again(data.data(), static_cast<int64_t>(data.size()));
  EXPECT_FALSE(bmp.LoadFromStream(&again, pxftBMP));
}

}  // namespace
