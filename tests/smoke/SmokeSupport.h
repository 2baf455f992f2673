// What the screenshot programs share.
#pragma once

#include <functional>

#include "platform/forms/Forms.h"
#include "platform/rtl/SysUtils.h"

// Processes messages until Seen answers true or 5 seconds passed; answers Seen's last word.
inline bool WaitFor(const std::function<bool()>& Seen) {
  const uint64_t start = GetTickCount64();
  while (GetTickCount64() - start < 5000) {
    Application()->ProcessMessages();
    if (Seen()) return true;
    Sleep(20);
  }
  return Seen();
}
