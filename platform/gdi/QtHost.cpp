#include "platform/gdi/QtHost.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <mutex>

namespace {

bool OnMainThread() { return static_cast<pid_t>(syscall(SYS_gettid)) == getpid(); }

}  // namespace

bool EnsureGuiApplication() {
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  if (QCoreApplication::instance()) return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
  if (!OnMainThread()) return false;
  if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY"))
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char arg0[] = "quillane";
  static char* argv[] = {arg0, nullptr};
  // Kept for the life of the process and never destroyed: when static destructors run, Qt's
  // own global state is already gone and tearing the application down would crash.
  static QGuiApplication* const app = std::make_unique<QGuiApplication>(argc, argv).release();
  return app != nullptr;
}

// Fontconfig keeps the faces of application fonts behind encoded offsets that the leak checker
// of sanitized builds cannot follow; those allocations are fontconfig's own, not leaks of ours.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
