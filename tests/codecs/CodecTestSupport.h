// Helpers shared by the codec tests: the oracle programs, whole files as bytes, and memory
// streams from and to bytes.
#pragma once

#include <cstdint>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "platform/rtl/Classes.h"

namespace codectest {

constexpr const char* kPython = "/usr/bin/python3";
constexpr const char* kConvert = "/usr/bin/convert";

inline std::string ReadFile(const std::string& Name) {
  std::ifstream in(Name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteFile(const std::string& Name, const std::string& Data) {
  std::ofstream out(Name, std::ios::binary);
  out.write(Data.data(), static_cast<std::streamsize>(Data.size()));
}

// A memory stream holding Data, positioned at its start.
inline std::unique_ptr<TMemoryStream> StreamOf(const std::string& Data) {
  auto s = std::make_unique<TMemoryStream>();
  if (!Data.empty()) s->WriteBuffer(Data.data(), static_cast<int64_t>(Data.size()));
  s->Seek(0, soBeginning);
  return s;
}

inline std::string BytesOf(TMemoryStream& S) {
  return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

}  // namespace codectest
