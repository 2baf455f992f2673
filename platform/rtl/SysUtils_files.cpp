// File names and files. File names are UTF-8; "\" and "/" are both separators on input.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/rtl/SysUtils.h"

namespace {

constexpr bool IsDelim(char c) { return c == '/' || c == '\\'; }

size_t LastDelim(std::string_view name) { return name.find_last_of("/\\"); }

// The name as the file system takes it: separators made "/". A name with an embedded NUL
// cannot name a file (it would silently name a shorter one), so it gives false.
bool NativeName(std::string_view name, std::string& out) {
  if (name.empty() || name.find('\0') != std::string_view::npos) return false;
  out.assign(name);
  for (char& c : out)
    if (c == '\\') c = '/';
  return true;
}

bool StatOf(std::string_view name, struct stat& st) {
  std::string n;
  return NativeName(name, n) && ::stat(n.c_str(), &st) == 0;
}

// The target of a /proc symbolic link, however long.
std::string ReadLink(const char* path) {
  std::vector<char> buf(256);
  for (;;) {
    const ssize_t n = ::readlink(path, buf.data(), buf.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Names.

std::string ExtractFilePath(std::string_view name) {
  const size_t p = LastDelim(name);
  return p == std::string_view::npos ? std::string() : std::string(name.substr(0, p + 1));
}

// Without the trailing delimiter, except where it is the root or part of a run of delimiters.
std::string ExtractFileDir(std::string_view name) {
  const size_t p = LastDelim(name);
  if (p == std::string_view::npos) return {};
  if (p > 0 && !IsDelim(name[p - 1])) return std::string(name.substr(0, p));
  return std::string(name.substr(0, p + 1));
}

std::string ExtractFileName(std::string_view name) {
  const size_t p = LastDelim(name);
  return std::string(p == std::string_view::npos ? name : name.substr(p + 1));
}

namespace {
// Position of the extension's dot in the last component, npos when none.
size_t ExtDot(std::string_view name) {
  const size_t dot = name.rfind('.');
  const size_t delim = LastDelim(name);
  if (dot == std::string_view::npos || (delim != std::string_view::npos && dot < delim)) return std::string_view::npos;
  return dot;
}
}  // namespace

std::string ExtractFileExt(std::string_view name) {
  const size_t dot = ExtDot(name);
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

std::string ChangeFileExt(std::string_view name, std::string_view ext) {
  const size_t dot = ExtDot(name);
  std::string r(dot == std::string_view::npos ? name : name.substr(0, dot));
  return r.append(ext);
}

std::string IncludeTrailingPathDelimiter(std::string_view s) {
  std::string r(s);
  if (r.empty() || !IsDelim(r.back())) r += PathDelim;
  return r;
}

std::string ExcludeTrailingPathDelimiter(std::string_view s) {
  std::string r(s);
  if (!r.empty() && IsDelim(r.back())) r.pop_back();
  return r;
}

// The absolute form of name: relative to the current folder, "." and ".." resolved by the text
// alone (symbolic links are kept), "/" as the separator, a trailing delimiter kept.
std::string ExpandFileName(std::string_view name) {
  std::string n;
  if (!NativeName(name, n)) return {};
  if (n[0] != '/') n = IncludeTrailingPathDelimiter(GetCurrentDir()) + n;
  std::vector<std::string_view> parts;
  std::string_view rest = n;
  while (!rest.empty()) {
    const size_t p = rest.find('/');
    const std::string_view part = rest.substr(0, p);
    rest = p == std::string_view::npos ? std::string_view() : rest.substr(p + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string r;
  for (std::string_view part : parts) (r += '/') += part;
  if (r.empty() || n.back() == '/') r += '/';
  return r;
}

// ---------------------------------------------------------------------------------------------
// Files.

bool FileExists(std::string_view name) {
  struct stat st;
  return StatOf(name, st) && S_ISREG(st.st_mode);
}

bool DirectoryExists(std::string_view name) {
  struct stat st;
  return StatOf(name, st) && S_ISDIR(st.st_mode);
}

bool ForceDirectories(std::string_view dir) {
  std::string n;
  if (!NativeName(dir, n)) return false;
  std::error_code ec;
  std::filesystem::create_directories(n, ec);
  return DirectoryExists(n);
}

bool DeleteFile(std::string_view name) {
  std::string n;
  return NativeName(name, n) && ::unlink(n.c_str()) == 0;
}

// POSIX rename: an existing target file is replaced; false when the rename failed.
bool RenameFile(std::string_view oldName, std::string_view newName) {
  std::string from, to;
  return NativeName(oldName, from) && NativeName(newName, to) && std::rename(from.c_str(), to.c_str()) == 0;
}

int64_t FileSizeOf(std::string_view name) {
  struct stat st;
  if (!StatOf(name, st) || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

std::string GetCurrentDir() {
  std::vector<char> buf(512);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return {};
    buf.resize(buf.size() * 2);
  }
  return buf.data();
}

std::string GetTempDir() {
  const char* t = std::getenv("TMPDIR");
  std::string d = (t && *t) ? t : "/tmp";
  if (d.back() != '/') d += '/';
  return d;
}

std::string ExtractProgramDir() { return ExtractFilePath(ParamStr(0)); }

// 0 is the program's full path; 1.. the command-line arguments; "" out of range.
std::string ParamStr(int index) {
  if (index == 0) return ReadLink("/proc/self/exe");
  if (index < 0) return {};
  std::ifstream f("/proc/self/cmdline", std::ios::binary);
  const std::string all((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
  size_t start = 0;
  for (int i = 0; start < all.size(); ++i) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    if (i == index) return all.substr(start, end - start);
    start = end + 1;
  }
  return {};
}

std::string SysErrorMessage(int error) {
  char buf[256];
  // The GNU strerror_r returns the text, which may or may not be in buf.
  const char* s = ::strerror_r(error, buf, sizeof buf);
  return s ? s : "";
}
