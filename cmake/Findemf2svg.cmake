# Finds libemf2svg as the imported target emf2svg::emf2svg.
include(${CMAKE_CURRENT_LIST_DIR}/PxPlainLibrary.cmake)
px_find_plain_library(emf2svg emf2svg.h)
