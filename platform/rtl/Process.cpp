#include "platform/rtl/Process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <ctime>

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

// Keeps SIGPIPE blocked on this thread while it lives, so that writing to a program that has
// gone gives EPIPE instead of ending the caller; a SIGPIPE raised meanwhile is taken off.
class TNoSigPipe {
 public:
  TNoSigPipe() {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    sigset_t pending;
    sigpending(&pending);
    wasPending_ = sigismember(&pending, SIGPIPE) == 1;
    pthread_sigmask(SIG_BLOCK, &pipe, &old_);
  }
  ~TNoSigPipe() {
    if (!wasPending_) {
      sigset_t pipe;
      sigemptyset(&pipe);
      sigaddset(&pipe, SIGPIPE);
      const timespec zero{0, 0};
      while (sigtimedwait(&pipe, nullptr, &zero) > 0) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &old_, nullptr);
  }
  TNoSigPipe(const TNoSigPipe&) = delete;
  TNoSigPipe& operator=(const TNoSigPipe&) = delete;

 private:
  sigset_t old_;
  bool wasPending_ = false;
};

}  // namespace

TRunResult RunProgram(const std::string& Program, const std::vector<std::string>& Args, const TRunOptions& Options) {
  TRunResult result;
  if (Program.empty()) return result;
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return result;
  TFd readEnd{out[0]}, writeEnd{out[1]};
  TFd inRead, inWrite;
  if (Options.Input) {
    int in[2];
    if (pipe2(in, O_CLOEXEC) != 0) return result;
    inRead.fd = in[0];
    inWrite.fd = in[1];
    fcntl(inWrite.fd, F_SETFL, fcntl(inWrite.fd, F_GETFL) | O_NONBLOCK);
  }

  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return result;
  bool ok = posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, STDOUT_FILENO) == 0;
  if (ok && Options.MergeErrors) ok = posix_spawn_file_actions_adddup2(&actions, writeEnd.fd, STDERR_FILENO) == 0;
  if (ok && !Options.MergeErrors)
    ok = posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0) == 0;
  if (ok && Options.Input) ok = posix_spawn_file_actions_adddup2(&actions, inRead.fd, STDIN_FILENO) == 0;
  if (ok) ok = posix_spawn_file_actions_addclosefrom_np(&actions, STDERR_FILENO + 1) == 0;
  if (ok && !Options.Folder.empty()) ok = posix_spawn_file_actions_addchdir_np(&actions, Options.Folder.c_str()) == 0;

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(Program.c_str()));
  for (const std::string& a : Args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  pid_t pid = -1;
  if (ok) ok = posix_spawnp(&pid, Program.c_str(), &actions, nullptr, argv.data(), environ) == 0;
  posix_spawn_file_actions_destroy(&actions);
  if (!ok) return result;
  TNoSigPipe noSigPipe;  // after the spawn: the program gets the caller's signal mask
  result.Started = true;
  // The child holds the only other ends now: end of file when it is done.
  writeEnd.Close();
  inRead.Close();

  const std::string& input = Options.Input ? *Options.Input : std::string();
  size_t written = 0;
  if (Options.Input && input.empty()) inWrite.Close();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(Options.TimeoutMs);
  char buffer[1 << 16];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) {
      result.Killed = true;
      break;
    }
    pollfd p[2] = {{readEnd.fd, POLLIN, 0}, {inWrite.fd, POLLOUT, 0}};
    const nfds_t count = inWrite.fd >= 0 ? 2 : 1;
    const int r = poll(p, count, static_cast<int>(std::min<long long>(left, 1000)));
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) break;
    if (count == 2 && p[1].revents) {
      const ssize_t n = write(inWrite.fd, input.data() + written, input.size() - written);
      if (n > 0) written += static_cast<size_t>(n);
      if ((n < 0 && errno != EINTR && errno != EAGAIN) || written == input.size()) inWrite.Close();
    }
    if (p[0].revents) {
      const ssize_t n = read(readEnd.fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      if (result.Output.size() + static_cast<size_t>(n) > Options.MaxOutput) {
        result.Killed = true;
        break;
      }
      result.Output.append(buffer, static_cast<size_t>(n));
    }
  }
  // A program that closed its output may still run: it gets what is left of the time.
  if (!result.Killed) {
    TFd exited{static_cast<int>(syscall(SYS_pidfd_open, pid, 0))};
    while (exited.fd >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) {
        result.Killed = true;
        break;
      }
      pollfd p{exited.fd, POLLIN, 0};
      const int r = poll(&p, 1, static_cast<int>(std::min<long long>(left, 1000)));
      if (r > 0 || (r < 0 && errno != EINTR)) break;
    }
  }
  if (result.Killed) kill(pid, SIGKILL);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!result.Killed && WIFEXITED(status)) {
    result.Exited = true;
    result.ExitCode = WEXITSTATUS(status);
  }
  return result;
}
