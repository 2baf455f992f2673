#include "platform/rtl/Startup.h"

#include "platform/rtl/Classes_threads.h"

void RtlStartup() { px_detail::RecordMainThread(); }

void RtlShutdown() { px_detail::ReleaseMainThread(); }
