// Helpers shared by the test programs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

// An injectable clock for GetTickCount and everything timed on it.
struct TestClock {
  static void Install(uint64_t start = 1000);
  static void Advance(uint64_t ms);
  static void Remove();
};

// Path of a committed fixture under tests/data.
std::string TestDataPath(std::string_view name);

// A private temporary folder, removed with its contents at the end of the scope.
class TestTempDir {
 public:
  TestTempDir() : path_(Make()) {}
  ~TestTempDir() { std::error_code ec; std::filesystem::remove_all(path_, ec); }
  TestTempDir(const TestTempDir&) = delete;
  TestTempDir& operator=(const TestTempDir&) = delete;
  // The folder with a trailing delimiter.
  const std::string& Path() const { return path_; }
  std::string File(std::string_view name) const { return path_ + std::string(name); }

 private:
  static std::string Make();
  std::string path_;
};

// The message of the exception of class E that f raises, or "(no exception)".
template <class E>
std::string MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message();
  }
  return "(no exception)";
}

// Runs argv (argv[0] a program name or an absolute path) with its standard output into outFile and
// its error output discarded; answers the exit status, or -1 when it could not be run.
int RunTool(const std::vector<std::string>& argv, const std::string& outFile);
// Whether an executable exists at the absolute path.
bool ToolExists(const char* path);
