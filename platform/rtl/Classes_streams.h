// Streams.
#pragma once

#include <cstddef>

// One resource compiled into the program (see cmake/EmbedResources.cmake).
struct TResourceEntry {
  const char* Name;   // upper case
  const char* Type;   // upper case, e.g. "RCDATA", "BITMAP", "CURSOR"
  const unsigned char* Data;
  size_t Size;
};
struct TResourceTable {
  const TResourceEntry* Entries;
  size_t Count;
};
