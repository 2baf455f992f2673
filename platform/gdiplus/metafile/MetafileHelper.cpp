// The metafile helper program: converts one metafile, read from standard input, into SVG on
// standard output. It runs the converters, which are not written for hostile input, in a process
// of its own with limited memory and CPU time, so that whatever goes wrong in them ends this
// process only and the program reports the file as unreadable.
//
// Arguments: those of PxConvertMetafile.
// Output: the line "OK <width> <height> <emfplus>" and the SVG; exit status 0. Exit status 1
// when the metafile cannot be read.
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/gdiplus/metafile/MetafileConvert.h"

namespace {

constexpr rlim_t kMemoryLimit = rlim_t(2) << 30;  // address space, bytes
constexpr rlim_t kCpuSeconds = 10;

void Limit(int Resource, rlim_t Value) {
  const rlimit r{Value, Value};
  setrlimit(Resource, &r);
}

bool ReadAll(int Fd, std::vector<uint8_t>& Out) {
  uint8_t buf[1 << 16];
  for (;;) {
    const ssize_t got = read(Fd, buf, sizeof buf);
    if (got == 0) return true;
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (Out.size() + size_t(got) > PxMaxMetafileBytes) return false;
    Out.insert(Out.end(), buf, buf + got);
  }
}

bool WriteAll(int Fd, const char* Data, size_t Size) {
  while (Size > 0) {
    const ssize_t put = write(Fd, Data, Size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    Data += put;
    Size -= size_t(put);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  Limit(RLIMIT_AS, kMemoryLimit);
  Limit(RLIMIT_CPU, kCpuSeconds);
  Limit(RLIMIT_CORE, 0);
  Limit(RLIMIT_FSIZE, 0);  // the converters write to memory only

  std::vector<uint8_t> data;
  if (!ReadAll(STDIN_FILENO, data)) return 1;
  TPxMetafileSvg svg;
  const bool ok = PxConvertMetafile(std::vector<std::string>(argv + 1, argv + argc), data.data(), data.size(), svg);
  if (!ok) return 1;
  char head[128];
  const int n = std::snprintf(head, sizeof head, "OK %.9g %.9g %d\n", double(svg.Width), double(svg.Height),
                              svg.EmfPlus ? 1 : 0);
  return WriteAll(STDOUT_FILENO, head, size_t(n)) && WriteAll(STDOUT_FILENO, svg.Svg.data(), svg.Svg.size()) ? 0 : 1;
}
