// DownloadURL against a bare libcurl transfer of the same address: 64 MB served on 127.0.0.1 by
// a small server thread of this program (one connection at a time, the body sent from memory,
// so the server costs both sides the same). Ours appends into a TMemoryStream, the peer into a
// std::vector, with default libcurl options (peer "default") or tuned (peer "tuned"). Each iteration times ours, then the peer (wall
// clock: the transfer waits on the socket); ratio = ours / peer over the fastest call of each
// (the goal is at most 1.1).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "io/pixoranio_web.h"
#include "platform/rtl/Classes.h"

namespace {

constexpr size_t kBodySize = size_t{64} << 20;

// Serves kBodySize bytes with a Content-Length to every GET, then closes the connection.
class LoopbackServer {
 public:
  LoopbackServer() : body_(kBodySize) {
    for (size_t i = 0; i < body_.size(); ++i) body_[i] = static_cast<char>((i * 2654435761u) >> 13);
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = 0;  // a free port
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 8) != 0)
      return;
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~LoopbackServer() {
    stop_ = true;
    if (listen_ >= 0) {
      shutdown(listen_, SHUT_RDWR);
      close(listen_);
    }
    if (thread_.joinable()) thread_.join();
  }
  int Port() const { return port_; }

 private:
  void Run() {
    while (!stop_) {
      const int c = accept(listen_, nullptr, nullptr);
      if (c < 0) {
        if (stop_) break;
        continue;
      }
      Serve(c);
      close(c);
    }
  }
  void Serve(int c) {
    std::string request;
    char buf[4096];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const ssize_t n = recv(c, buf, sizeof buf, 0);
      if (n <= 0) return;
      request.append(buf, static_cast<size_t>(n));
    }
    const std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
                             std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n";
    if (!SendAll(c, head.data(), head.size())) return;
    SendAll(c, body_.data(), body_.size());
  }
  static bool SendAll(int c, const char* p, size_t n) {
    while (n > 0) {
      const ssize_t w = send(c, p, n, MSG_NOSIGNAL);
      if (w <= 0) return false;
      p += w;
      n -= static_cast<size_t>(w);
    }
    return true;
  }

  std::vector<char> body_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

size_t AppendToVector(char* data, size_t size, size_t count, void* user) {
  auto& v = *static_cast<std::vector<char>*>(user);
  v.insert(v.end(), data, data + size * count);
  return size * count;
}

// The bare transfer, the body appended to a vector: default options, or tuned (64 KB blocks as
// ours, the vector reserved to the full size, so no copy on growth).
size_t BareCurl(const std::string& url, bool tuned) {
  std::vector<char> body;
  if (tuned) body.reserve(kBodySize);
  CURL* c = curl_easy_init();
  curl_easy_setopt(c, CURLOPT_URL, url.c_str());
  if (tuned) curl_easy_setopt(c, CURLOPT_BUFFERSIZE, 65536L);
  curl_easy_setopt(c, CURLOPT_PROXY, "");
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &AppendToVector);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
  const CURLcode rc = curl_easy_perform(c);
  curl_easy_cleanup(c);
  return rc == CURLE_OK ? body.size() : 0;
}

size_t Ours(const std::string& url) {
  TMemoryStream stream;
  std::string hint;
  TPXAbortFlag abort{false};
  const TPXProgressEvent none;
  if (!DownloadURL(url, &stream, "", hint, &abort, nullptr, none, "", "")) return 0;
  return static_cast<size_t>(stream.Size());
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

void BM_IODownload(benchmark::State& state) {
  const bool tuned = state.range(0) != 0;
  LoadWinInet();
  LoopbackServer server;
  if (server.Port() == 0) {
    state.SkipWithError("no loopback server");
    return;
  }
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/body.bin";
  if (Ours(url) != kBodySize || BareCurl(url, tuned) != kBodySize) {
    state.SkipWithError("transfer failed");
    return;
  }
  double best_ours = 1e30, best_peer = 1e30;
  for (auto _ : state) {
    auto t0 = Clock::now();
    benchmark::DoNotOptimize(Ours(url));
    auto t1 = Clock::now();
    benchmark::DoNotOptimize(BareCurl(url, tuned));
    auto t2 = Clock::now();
    best_ours = std::min(best_ours, Seconds(t0, t1));
    best_peer = std::min(best_peer, Seconds(t1, t2));
  }
  state.counters["ours_ms"] = best_ours * 1e3;
  state.counters["curl_ms"] = best_peer * 1e3;
  state.counters["ratio"] = best_ours / best_peer;
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * 2 * static_cast<int64_t>(kBodySize));
}
BENCHMARK(BM_IODownload)->ArgName("tuned_peer")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(20)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
