// The class library's core: persistent objects, lists, streams and, where present,
// components and threads.
#pragma once

#include "platform/rtl/Classes_persistent.h"
#include "platform/rtl/Classes_lists.h"
#include "platform/rtl/Classes_streams.h"
#if __has_include("platform/rtl/Classes_components.h")
#include "platform/rtl/Classes_components.h"
#endif
#if __has_include("platform/rtl/Classes_actions.h")
#include "platform/rtl/Classes_actions.h"
#endif
#if __has_include("platform/rtl/Classes_threads.h")
#include "platform/rtl/Classes_threads.h"
#endif
