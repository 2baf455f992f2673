#include "io/pixoranio_web.h"

#include <curl/curl.h>

#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>

#include "platform/rtl/SysUtils.h"
#include "platform/rtl/System.h"

namespace {

std::mutex g_curl_lock;
bool g_curl_started = false;

constexpr long kBlockSize = 65536;

struct CurlDeleter {
  void operator()(CURL* c) const { curl_easy_cleanup(c); }
};
struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};

// State of one transfer, shared with the callbacks.
struct TTransfer {
  TStream* Stream = nullptr;
  TPXAbortFlag* Abort = nullptr;
  TObject* Sender = nullptr;
  const TPXProgressEvent* OnProgress = nullptr;
  CURL* Curl = nullptr;
  bool IsHttp = false;
  int64_t Received = 0;
  int64_t Declared = -1;  // -1: not known yet or none
  bool LengthQueried = false;
  bool Aborted = false;
  bool TooLarge = false;
  bool StreamFailed = false;
};

bool AbortSet(const TTransfer& t) { return t.Abort && t.Abort->load(); }

// The declared length, once the headers are in.
void QueryLength(TTransfer& t) {
  if (t.LengthQueried) return;
  t.LengthQueried = true;
  curl_off_t len = -1;
  if (t.IsHttp && curl_easy_getinfo(t.Curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &len) == CURLE_OK && len > 0)
    t.Declared = len;
}

size_t WriteBlock(char* data, size_t size, size_t count, void* user) {
  TTransfer& t = *static_cast<TTransfer*>(user);
  const size_t bytes = size * count;
  QueryLength(t);
  if (t.Declared > PXMaxDownloadSize || t.Received + static_cast<int64_t>(bytes) > PXMaxDownloadSize) {
    t.TooLarge = true;
    return 0;
  }
  try {
    t.Stream->WriteBuffer(data, static_cast<int64_t>(bytes));
  } catch (...) {
    t.StreamFailed = true;
    return 0;
  }
  t.Received += static_cast<int64_t>(bytes);
  if (t.Declared > 0 && t.OnProgress && *t.OnProgress) {
    const double per = static_cast<double>(t.Received) * (100.0 / static_cast<double>(t.Declared));
    (*t.OnProgress)(t.Sender, static_cast<int32_t>(Round(per)));
  }
  if (AbortSet(t)) {
    t.Aborted = true;
    return 0;  // stops the transfer after this block
  }
  return bytes;
}

// Also asked while no data flows, so an abort does not wait for the next block.
int OnTransferInfo(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  TTransfer& t = *static_cast<TTransfer*>(user);
  if (AbortSet(t)) {
    t.Aborted = true;
    return 1;
  }
  return 0;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && LowerCase(s.substr(0, prefix.size())) == prefix;
}

}  // namespace

void LoadWinInet() {
  std::lock_guard guard(g_curl_lock);
  if (g_curl_started) return;
  g_curl_started = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
}

void FreeWinInet() {
  std::lock_guard guard(g_curl_lock);
  if (!g_curl_started) return;
  curl_global_cleanup();
  g_curl_started = false;
}

bool WinInetLoaded() {
  std::lock_guard guard(g_curl_lock);
  return g_curl_started;
}

bool SplitDownloadURL(std::string_view URL, TPXUrlParts& Parts) {
  Parts = TPXUrlParts{};
  std::string_view rest;
  int32_t defaultPort = 0;
  if (StartsWithNoCase(URL, "http://")) {
    Parts.Scheme = "http";
    defaultPort = 80;
    rest = URL.substr(7);
  } else if (StartsWithNoCase(URL, "https://")) {
    Parts.Scheme = "https";
    defaultPort = 443;
    rest = URL.substr(8);
  } else if (StartsWithNoCase(URL, "ftp://")) {
    Parts.Scheme = "ftp";
    defaultPort = 21;
    rest = URL.substr(6);
  } else {
    return false;
  }
  const size_t slash = rest.find('/');
  if (slash == std::string_view::npos) return false;
  std::string_view server = rest.substr(0, slash);
  Parts.Path = std::string(rest.substr(slash));
  // Credentials: user ":" password "@"; the last "@" ends them, so a password may hold one.
  const size_t at = server.rfind('@');
  if (at != std::string_view::npos) {
    const std::string_view credentials = server.substr(0, at);
    const size_t colon = credentials.find(':');
    if (colon == std::string_view::npos) return false;
    Parts.User = std::string(credentials.substr(0, colon));
    Parts.Password = std::string(credentials.substr(colon + 1));
    server = server.substr(at + 1);
  }
  const size_t colon = server.find(':');
  if (colon != std::string_view::npos) {
    const std::string digits(server.substr(colon + 1));
    int32_t port = 0;
    bool number = !digits.empty() && digits.size() <= 5;
    for (char c : digits) {
      if (c < '0' || c > '9') {
        number = false;
        break;
      }
      if (number) port = port * 10 + (c - '0');
    }
    Parts.Port = number && port > 0 && port <= 65535 ? port : 80;
    Parts.Host = std::string(server.substr(0, colon));
  } else {
    Parts.Port = defaultPort;
    Parts.Host = std::string(server);
  }
  return !Parts.Host.empty();
}

bool DownloadURL(std::string_view URL, TStream* Stream, std::string_view ProxyAddress, std::string& ExtensionHint,
                 TPXAbortFlag* AbortFlag, TObject* Sender, const TPXProgressEvent& OnProgress,
                 std::string_view ProxyPassword, std::string_view ProxyUser) {
  TPXUrlParts parts;
  if (!Stream || !SplitDownloadURL(URL, parts)) return false;
  if (!WinInetLoaded()) return false;
  std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
  if (!curl) return false;
  CURL* c = curl.get();

  const bool isFtp = parts.Scheme == "ftp";
  // The address rebuilt without credentials: they go through their own options.
  const std::string target = parts.Scheme + "://" + parts.Host + ":" + std::to_string(parts.Port) + parts.Path;
  curl_easy_setopt(c, CURLOPT_URL, target.c_str());
  curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https,ftp");
  curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(c, CURLOPT_USERAGENT, "Mozilla/4.*");
  curl_easy_setopt(c, CURLOPT_BUFFERSIZE, kBlockSize);
  curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT, 30L);
  // A transfer that stalls below one byte a second for a minute ends rather than hangs.
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(c, CURLOPT_LOW_SPEED_TIME, 60L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(c, CURLOPT_SSL_VERIFYHOST, 2L);
  if (const char* bundle = std::getenv("CURL_CA_BUNDLE"); bundle && *bundle)
    curl_easy_setopt(c, CURLOPT_CAINFO, bundle);
  const std::string proxy(ProxyAddress), proxyUser(ProxyUser), proxyPassword(ProxyPassword);
  if (!proxy.empty()) {
    curl_easy_setopt(c, CURLOPT_PROXY, proxy.c_str());
    if (!proxyUser.empty() || !proxyPassword.empty()) {
      curl_easy_setopt(c, CURLOPT_PROXYUSERNAME, proxyUser.c_str());
      curl_easy_setopt(c, CURLOPT_PROXYPASSWORD, proxyPassword.c_str());
    }
  } else {
    curl_easy_setopt(c, CURLOPT_PROXY, "");  // direct, whatever the environment says
    if (!parts.User.empty() || !parts.Password.empty()) {
      curl_easy_setopt(c, CURLOPT_USERNAME, parts.User.c_str());
      curl_easy_setopt(c, CURLOPT_PASSWORD, parts.Password.c_str());
    }
  }
  if (isFtp) {
    curl_easy_setopt(c, CURLOPT_TRANSFERTEXT, 0L);
  } else {
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(c, CURLOPT_HTTP_VERSION, CURL_HTTP_VERSION_1_1);
  }
  curl_easy_setopt(c, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(PXMaxDownloadSize));

  TTransfer t;
  t.Stream = Stream;
  t.Abort = AbortFlag;
  t.Sender = Sender;
  t.OnProgress = &OnProgress;
  t.Curl = c;
  t.IsHttp = !isFtp;
  curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &WriteBlock);
  curl_easy_setopt(c, CURLOPT_WRITEDATA, &t);
  curl_easy_setopt(c, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(c, CURLOPT_XFERINFOFUNCTION, &OnTransferInfo);
  curl_easy_setopt(c, CURLOPT_XFERINFODATA, &t);
  if (AbortSet(t)) return false;

  const CURLcode rc = curl_easy_perform(c);

  if (isFtp) {
    ExtensionHint = ExtractFileExt(parts.Path);
  } else {
    char* type = nullptr;
    if (curl_easy_getinfo(c, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type) {
      std::string_view ct(type);
      ct = ct.substr(0, ct.find(';'));
      const size_t slash = ct.find('/');
      if (slash != std::string_view::npos) {
        std::string hint = Trim(ct.substr(slash + 1));
        if (hint.empty() || hint.front() != '.') hint.insert(0, ".");
        ExtensionHint = hint;
      }
    }
  }
  if (rc != CURLE_OK || t.Aborted || t.TooLarge || t.StreamFailed) return false;
  if (!isFtp) {
    long status = 0;
    curl_easy_getinfo(c, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) return false;
    QueryLength(t);
    if (t.Declared >= 0 && t.Received != t.Declared) return false;
  }
  return true;
}
