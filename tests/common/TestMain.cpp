// The shared main of every test program: a fixed, headless environment.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>

#include "platform/rtl/Startup.h"
#include "tests/common/TestSupport.h"

// Defined by the image library's test programs only (LibraryTestHooks.cpp): the library's
// start-up and tear-down around the tests.
void TestLibraryStartup() __attribute__((weak));
void TestLibraryShutdown() __attribute__((weak));

namespace {
uint64_t g_fake_ticks = 0;
uint64_t FakeTicks() { return g_fake_ticks; }
}  // namespace

void TestClock::Install(uint64_t start) { g_fake_ticks = start; SetTickSource(&FakeTicks); }
void TestClock::Advance(uint64_t ms) { g_fake_ticks += ms; }
void TestClock::Remove() { SetTickSource(nullptr); }

std::string TestDataPath(std::string_view name) { return std::string(PX_TEST_DATA_DIR) + "/" + std::string(name); }

std::string TestTempDir::Make() {
  std::string tmpl = GetTempDir() + "pxtest-XXXXXX";
  if (!mkdtemp(tmpl.data())) return {};
  return tmpl + "/";
}

int RunTool(const std::vector<std::string>& argv, const std::string& outFile) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &fa, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&fa);
  int status = 0;
  if (rc != 0 || waitpid(pid, &status, 0) < 0) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool ToolExists(const char* path) { return access(path, X_OK) == 0; }

int main(int argc, char** argv) {
  // Headless and reproducible: offscreen windows, the C locale, a fixed random seed.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("LC_ALL", "C", 1);
  setenv("TZ", "UTC", 1);
  std::setlocale(LC_ALL, "C");
  RandSeed = 0x5EED;
  ::testing::InitGoogleTest(&argc, argv);
  RtlStartup();
  if (TestLibraryStartup) TestLibraryStartup();
  int result = RUN_ALL_TESTS();
  if (TestLibraryShutdown) TestLibraryShutdown();
  RtlShutdown();
  return result;
}
