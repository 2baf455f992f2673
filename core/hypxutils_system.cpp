#include "core/hypxutils_system.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <chrono>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

#include "platform/rtl/SysUtils.h"

extern char** environ;

namespace {

// Closes a descriptor once.
struct TFd {
  int fd = -1;
  ~TFd() { Close(); }
  void Close() {
    if (fd >= 0) close(fd);
    fd = -1;
  }
};

}  // namespace

std::string RunCommandCapture(const std::string& Program, const std::vector<std::string>& Args,
                              const std::string& Folder, uint32_t TimeoutMs) {
  if (Program.empty()) return {};
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  TFd readEnd{fds[0]}, writeEnd{fds[1]};

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return {};
  bool ok = posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, STDOUT_FILENO) == 0 &&
            posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, STDERR_FILENO) == 0;
  if (ok && !Folder.empty()) ok = posix_spawn_file_actions_addchdir_np(&actions, Folder.c_str()) == 0;

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(Program.c_str()));
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  if (ok) ok = posix_spawnp(&pid, Program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!ok) return {};
  writeEnd.Close();  // the child holds the only write end now: end of file when it is done

  std::string output;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(TimeoutMs);
  char buffer[4096];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      kill(pid, SIGKILL);  // over time: stop it, keep what it wrote
      break;
    }
    struct pollfd p {readEnd.fd, POLLIN, 0};
    const int r = poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) break;
    if (r == 0) continue;
    const ssize_t n = read(readEnd.fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(buffer, static_cast<size_t>(n));
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  return output;
}

bool HasMMX() {
#if defined(__x86_64__) || defined(__i386__)
  unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
  if (__get_cpuid(1, &eax, &ebx, &ecx, &edx)) return ((edx >> 23) & 1u) != 0;
#endif
  return false;
}

char DecimalSeparatorChar() { return FormatSettings().DecimalSeparator; }

void BitsAndSamplesFromPixelFormat(TPXPixelFormat Format, int32_t& BitsPerSample, int32_t& SamplesPerPixel) {
  switch (Format) {
    case px1g: BitsPerSample = 1; SamplesPerPixel = 1; break;
    case px8p:
    case px8g: BitsPerSample = 8; SamplesPerPixel = 1; break;
    case px16g: BitsPerSample = 16; SamplesPerPixel = 1; break;
    default: BitsPerSample = 8; SamplesPerPixel = 3; break;
  }
}

void BitsAndSamplesFromBitCount(int32_t BitCount, bool HasAlpha, int32_t& BitsPerSample, int32_t& SamplesPerPixel) {
  switch (BitCount) {
    case 1:
    case 4:
    case 8: BitsPerSample = BitCount; SamplesPerPixel = 1; break;
    case 15: BitsPerSample = 5; SamplesPerPixel = 3; break;
    case 32: BitsPerSample = 8; SamplesPerPixel = HasAlpha ? 4 : 3; break;
    default: BitsPerSample = 8; SamplesPerPixel = 3; break;
  }
}
