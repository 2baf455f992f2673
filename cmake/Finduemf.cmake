# Finds libuemf (the EMF record checks) as the imported target uemf::uemf.
include(${CMAKE_CURRENT_LIST_DIR}/PxPlainLibrary.cmake)
px_find_plain_library(uemf uemf_safe.h)
