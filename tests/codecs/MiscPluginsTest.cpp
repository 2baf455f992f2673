// The outside imaging suite with stand-in libraries copied under the suite's file names: which
// library pairs load, the wand environment started once and ended in order, and the page count
// through a stand-in `identify` on the PATH.
#include <dlfcn.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "codecs/pxmiscplugins.h"
#include "core/hypxutils_streams.h"
#include "platform/rtl/Classes.h"
#include "tests/codecs/CodecTestSupport.h"
#include "tests/common/TestSupport.h"

using namespace codectest;

namespace {

using Names = std::vector<std::string>;

std::string Wand(int i) { return TPXMiscPluginsImageMagick::WandLibraryNames()[i]; }
std::string Core(int i) { return TPXMiscPluginsImageMagick::CoreLibraryNames()[i]; }

// The suite's folder for one test: the stand-in copied under Present, libraries opened from
// there only, and the stand-in's log.
class SuiteFolder {
 public:
  explicit SuiteFolder(const Names& Present) {
    for (const std::string& n : Present)
      std::filesystem::copy_file(PX_FAKE_MAGICK, dir_.File(n), std::filesystem::copy_options::overwrite_existing);
    setenv("PX_FAKE_MAGICK_LOG", dir_.File("log").c_str(), 1);
    const std::string folder = dir_.Path();
    TPXMiscPluginsImageMagick::Unload();
    TPXMiscPluginsImageMagick::SetModuleOpener(
        [folder](const std::string& Name) { return dlopen((folder + Name).c_str(), RTLD_NOW | RTLD_LOCAL); });
  }
  ~SuiteFolder() {
    TPXMiscPluginsImageMagick::Unload();
    TPXMiscPluginsImageMagick::SetModuleOpener(nullptr);
    unsetenv("PX_FAKE_MAGICK_LOG");
  }
  Names Log() const {
    std::ifstream in(dir_.File("log"));
    Names lines;
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
  }
  const TestTempDir& Dir() const { return dir_; }

 private:
  TestTempDir dir_;
};

TEST(ImageMagickSuite, LibraryPairsAndTheWandEnvironment) {
  struct Case {
    Names Present;
    bool Wand, Core;
  };
  const Case cases[] = {
      {{Wand(1), Core(1)}, true, true},
      {{Wand(1), Core(0)}, true, false},  // the second wand name pairs with the second core name only
      {{Wand(0), Core(1)}, true, true},   // the first wand name takes either core name
      {{Wand(0), Wand(1), Core(0), Core(1)}, true, true},
      {{Core(0), Core(1)}, false, false},  // no wand library: no core name is tried
      {{}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.Present));
    SuiteFolder suite(c.Present);
    EXPECT_EQ(TPXMiscPluginsImageMagick::IsLoaded(), c.Wand && c.Core);
    EXPECT_EQ(TPXMiscPluginsImageMagick::WandHandle() != nullptr, c.Wand);
    EXPECT_EQ(TPXMiscPluginsImageMagick::CoreHandle() != nullptr, c.Core);
    if (c.Wand && c.Core) {
      TPXMiscPluginsImageMagick::IsLoaded();
      TPXMiscPluginsImageMagick::Load(false);
      const std::string wand = c.Present[0];
      EXPECT_EQ(suite.Log(), (Names{wand + " genesis"}));  // started once
    }
  }
}

TEST(ImageMagickSuite, UnloadFreesTheCoreThenEndsTheWandEnvironment) {
  SuiteFolder suite({Wand(0), Core(0)});
  ASSERT_TRUE(TPXMiscPluginsImageMagick::IsLoaded());
  TPXMiscPluginsImageMagick::Unload();
  EXPECT_EQ(TPXMiscPluginsImageMagick::WandHandle(), nullptr);
  EXPECT_EQ(TPXMiscPluginsImageMagick::CoreHandle(), nullptr);
  EXPECT_EQ(suite.Log(), (Names{Wand(0) + " genesis", Core(0) + " unload", Wand(0) + " terminus", Wand(0) + " unload"}));
  // Reload starts over: unloads, then loads and starts the environment again.
  TPXMiscPluginsImageMagick::Load(true);
  EXPECT_TRUE(TPXMiscPluginsImageMagick::IsLoaded());
  EXPECT_EQ(suite.Log().back(), Wand(0) + " genesis");
}

TEST(ImageMagickSuite, PageCountRunsIdentifyWithTheNameAsOneArgument) {
  SuiteFolder suite({Wand(0), Core(0)});
  const TestTempDir& dir = suite.Dir();
  // The stand-in `identify` records its arguments and reports their count as the page count.
  const std::string script = dir.File("identify");
  WriteFile(script,
            "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"$(dirname \"$0\")/args\"\n"
            "printf 'x: number of pages in the file: %s\\r\\nmore\\r\\n' \"$#\"\n");
  chmod(script.c_str(), 0755);
  const char* oldPath = std::getenv("PATH");
  const std::string saved = oldPath ? oldPath : "";
  setenv("PATH", (dir.Path() + ":" + saved).c_str(), 1);

  {
    TMemoryStream memory;
    memory.WriteBuffer("%PDF-1.4", 8);
    EXPECT_EQ(GetImageMagickPageCount(&memory), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("args")));  // no program was started
  }
  const std::string name = dir.File("a b 'c\" ;d.pdf");
  WriteFile(name, "%PDF-1.4\n");
  {
    TPXWideFileStream file(name, fmOpenRead | fmShareDenyWrite);
    EXPECT_EQ(GetImageMagickPageCount(&file), 1);
  }
  EXPECT_EQ(ReadFile(dir.File("args")), name + "[999999999]\n");
  setenv("PATH", saved.c_str(), 1);
}

TEST(ImageMagickSuite, PageCountOutputParsing) {
  const std::pair<const char*, int32_t> cases[] = {
      {"number of pages in the file: 12\r\n", 12},
      {"abc\r\nnumber of pages in the file: 3\r\nnumber of pages in the file: 9\r\n", 3},
      {"number of pages in the file: 12\n", 0},  // no CR LF after the number
      {"number of pages in the file: 12", 0},
      {"number of pages in the file: twelve\r\n", 0},
      {"identify: not authorized `PDF'\r\n", 0},
      {"", 0},
  };
  for (const auto& [text, pages] : cases) EXPECT_EQ(ParseImageMagickPageCount(text), pages) << text;
}

}  // namespace
