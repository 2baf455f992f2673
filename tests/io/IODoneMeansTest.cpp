// The I/O component with the real PNG codec behind a web address: a picture served by a small
// HTTP server in a thread of this test (127.0.0.1, a free port) loads through LoadFromURL.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "core/pxxBitmaps.h"
#include "io/pixoranio.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"

namespace {

// Answers every request with Body as Type, then closes the connection.
class OneFileServer {
 public:
  OneFileServer(std::string Body, std::string Type) : body_(std::move(Body)), type_(std::move(Type)) {
    listen_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (listen_ < 0 || bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 4) != 0)
      return;
    socklen_t len = sizeof a;
    getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Run(); });
  }
  ~OneFileServer() {
    stop_ = true;
    if (listen_ >= 0) {
      shutdown(listen_, SHUT_RDWR);
      close(listen_);
    }
    if (thread_.joinable()) thread_.join();
  }
  OneFileServer(const OneFileServer&) = delete;
  OneFileServer& operator=(const OneFileServer&) = delete;
  std::string URL(const std::string& Path) const { return "http://127.0.0.1:" + std::to_string(port_) + Path; }
  bool Ready() const { return port_ != 0; }

 private:
  void Run() {
    while (!stop_) {
      const int c = accept(listen_, nullptr, nullptr);
      if (c < 0) continue;
      std::string request;
      char buf[1024];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const ssize_t n = recv(c, buf, sizeof buf, 0);
        if (n <= 0) break;
        request.append(buf, static_cast<size_t>(n));
      }
      const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: " + type_ + "\r\nContent-Length: " +
                                std::to_string(body_.size()) + "\r\nConnection: close\r\n\r\n" + body_;
      for (size_t at = 0; at < reply.size();) {
        const ssize_t w = send(c, reply.data() + at, reply.size() - at, MSG_NOSIGNAL);
        if (w <= 0) break;
        at += static_cast<size_t>(w);
      }
      close(c);
    }
  }

  std::string body_, type_;
  int listen_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace

TEST(IODoneMeans, LoadFromURLReadsAServedPng) {
  // A picture with a partly transparent alpha channel, written as PNG.
  TPXBitmap picture;
  picture.Allocate(7, 5, px24RGB);
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) {
      picture.SetPixel24(x, y, TRGB{uint8_t(30 * x), uint8_t(40 * y), uint8_t(x * y)});
      picture.GetAlphaChannel()->SetPixel8(x, y, uint8_t(x == 3 ? 0 : 255 - 20 * y));
    }
  picture.GetAlphaChannel()->FFull = 0;
  TMemoryStream png;
  {
    auto saver = TPixoranIO::CreateForBitmap(&picture);
    saver->SaveToStream(&png, pxftPNG);
    ASSERT_FALSE(saver->Aborting());
  }
  // No extension in the address: the content says PNG.
  OneFileServer server(std::string(static_cast<const char*>(png.Memory()), static_cast<size_t>(png.Size())),
                       "image/png");
  ASSERT_TRUE(server.Ready());

  TPXBitmap loaded;
  auto io = TPixoranIO::CreateForBitmap(&loaded);
  int finished = 0;
  io->SetOnFinishWork([&](TObject*) { ++finished; });
  ASSERT_TRUE(io->LoadFromURL(server.URL("/picture")));
  EXPECT_FALSE(io->Aborting());
  EXPECT_EQ(finished, 1);
  EXPECT_EQ(io->Params()->FileType, pxftPNG);
  ASSERT_EQ(loaded.Width(), 7);
  ASSERT_EQ(loaded.Height(), 5);
  ASSERT_TRUE(loaded.HasAlphaChannel());
  for (int32_t y = 0; y < 5; ++y)
    for (int32_t x = 0; x < 7; ++x) {
      EXPECT_EQ(loaded.GetPixelRGB(x, y), picture.GetPixelRGB(x, y)) << x << "," << y;
      EXPECT_EQ(loaded.GetAlpha(x, y), picture.GetAlpha(x, y)) << x << "," << y;
    }
}
