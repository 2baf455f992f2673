#include <atomic>
#include <chrono>
#include <thread>

#include "platform/rtl/SysUtils.h"

namespace {
std::atomic<TTickSource> g_tick_source{nullptr};
}  // namespace

void SetTickSource(TTickSource source) { g_tick_source.store(source); }

uint64_t GetTickCount64() {
  if (TTickSource s = g_tick_source.load()) return s();
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint32_t GetTickCount() { return static_cast<uint32_t>(GetTickCount64()); }

void Sleep(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
