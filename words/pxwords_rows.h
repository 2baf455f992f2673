// The rows of a language's word table as the build writes them from words/<Language>.txt: one
// (index, text) pair per word the language stores, indexes ascending, texts UTF-8 and never empty.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

struct TPXWordRow {
  uint16_t Index;
  std::string_view Text;
};

// Stores every row over the word table through SetLanguageWord.
void StoreWordRows(std::span<const TPXWordRow> Rows);
