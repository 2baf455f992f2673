// Web download: the bytes behind an http, https or ftp address, fetched with libcurl into a
// stream, through a named proxy when one is given.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "core/hypxdefs.h"
#include "platform/rtl/Classes.h"

// Starts and stops the transfer library for the process (the I/O support's start-up and
// tear-down call them). DownloadURL fails while it is not started.
void LoadWinInet();
void FreeWinInet();
bool WinInetLoaded();

// Largest body DownloadURL accepts, declared or delivered.
inline constexpr int64_t PXMaxDownloadSize = int64_t{1} << 30;

// Appends the bytes behind URL to Stream at its position. Addresses: "http://", "https://",
// "ftp://" + [user ":" password "@"] host [":" port] "/" path; a port that is not a number
// means 80 whatever the scheme. With a ProxyAddress the transfer goes through that proxy with
// ProxyUser and ProxyPassword, and credentials in the URL are not sent. Redirects are followed
// and certificates verified (the CA bundle named by the environment's CURL_CA_BUNDLE when set,
// else the system's). OnProgress gets the per cent done after each block when the length is
// known; setting *AbortFlag stops the transfer after the current block.
// True only for a complete transfer: false for a malformed address, a failed connection, a
// status outside 2xx, a transport error, an abort, a body shorter than its declared length and
// a body (or declared length) above PXMaxDownloadSize. ExtensionHint receives ".<subtype>" of
// the content type for http(s), the path's extension for ftp.
bool DownloadURL(std::string_view URL, TStream* Stream, std::string_view ProxyAddress, std::string& ExtensionHint,
                 TPXAbortFlag* AbortFlag, TObject* Sender, const TPXProgressEvent& OnProgress,
                 std::string_view ProxyPassword, std::string_view ProxyUser);

// The parts of a download address as DownloadURL reads them; false when it is malformed.
struct TPXUrlParts {
  std::string Scheme;  // "http", "https" or "ftp"
  std::string Host;
  int32_t Port = 0;
  std::string Path;  // from the first "/" after the server part on
  std::string User;
  std::string Password;
};
bool SplitDownloadURL(std::string_view URL, TPXUrlParts& Parts);
