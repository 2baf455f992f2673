// Stream fields embedded in the library's binary formats, and stream copies.
#include <algorithm>
#include <bit>
#include <cstring>
#include <vector>

#include "core/hypxutils.h"

static_assert(std::endian::native == std::endian::little, "stream fields are read in place as little-endian");

namespace {

[[noreturn]] void ReadError() { throw EReadError("Stream read error"); }

// Bytes left after the position, or -1 when the stream cannot tell.
int64_t Remaining(TStream* Stream) {
  try {
    const int64_t pos = Stream->Position();
    const int64_t size = Stream->Size();
    if (pos < 0 || size < 0) return -1;
    return size > pos ? size - pos : 0;
  } catch (const Exception&) {
    return -1;
  }
}

int32_t ReadInt32(TStream* Stream) {
  int32_t v = 0;
  Stream->ReadBuffer(&v, sizeof v);
  return v;
}

void WriteInt32(TStream* Stream, int32_t V) { Stream->WriteBuffer(&V, sizeof V); }

// Reads Bytes bytes into Dest, checked against the stream before any allocation; a stream that
// cannot tell its size is read piecewise, so a lying length fails before memory is committed.
template <class S>
void ReadChecked(TStream* Stream, int64_t Bytes, S& Dest) {
  using C = typename S::value_type;
  if (Bytes < 0) ReadError();
  const int64_t left = Remaining(Stream);
  if (left >= 0) {
    if (Bytes > left) ReadError();
    Dest.resize(static_cast<size_t>(Bytes / sizeof(C)));
    Stream->ReadBuffer(Dest.data(), Bytes);
    return;
  }
  constexpr int64_t kPiece = 1 << 16;
  Dest.clear();
  int64_t done = 0;
  while (done < Bytes) {
    const int64_t n = std::min(kPiece, Bytes - done);
    Dest.resize(static_cast<size_t>((done + n) / sizeof(C)));
    Stream->ReadBuffer(reinterpret_cast<uint8_t*>(Dest.data()) + done, n);
    done += n;
  }
}

}  // namespace

void WriteAnsiStringToStream(TStream* Stream, std::string_view S) {
  WriteInt32(Stream, static_cast<int32_t>(S.size()));
  if (!S.empty()) Stream->WriteBuffer(S.data(), static_cast<int64_t>(S.size()));
}

std::string ReadAnsiStringFromStream(TStream* Stream) {
  const int32_t len = ReadInt32(Stream);
  std::string s;
  ReadChecked(Stream, len, s);
  return s;
}

void WriteWideStringToStream(TStream* Stream, std::u16string_view S) {
  WriteInt32(Stream, static_cast<int32_t>(S.size()));
  if (!S.empty()) Stream->WriteBuffer(S.data(), static_cast<int64_t>(S.size()) * 2);
}

std::u16string ReadWideStringFromStream(TStream* Stream) {
  const int32_t count = ReadInt32(Stream);
  if (count < 0) ReadError();
  std::u16string s;
  ReadChecked(Stream, static_cast<int64_t>(count) * 2, s);
  return s;
}

std::string ReadWideStringAsAnsi(TStream* Stream) { return Utf16ToUtf8(ReadWideStringFromStream(Stream)); }

void WriteStringListToStream(TStream* Stream, TStrings* List) {
  const int32_t count = List ? List->Count() : 0;
  WriteInt32(Stream, count);
  for (int32_t i = 0; i < count; ++i) WriteAnsiStringToStream(Stream, List->Strings(i));
}

void ReadStringListFromStream(TStream* Stream, TStrings* List) {
  const int32_t count = ReadInt32(Stream);
  if (count < 0) ReadError();
  const int64_t left = Remaining(Stream);
  if (left >= 0 && static_cast<int64_t>(count) * 4 > left) ReadError();
  List->Clear();
  for (int32_t i = 0; i < count; ++i) List->Add(ReadAnsiStringFromStream(Stream));
}

void WriteFontToStream(TStream* Stream, TFont* Font) {
  WriteWideStringToStream(Stream, Utf8ToUtf16(Font->Name()));
  const uint8_t charset = Font->Charset();
  Stream->WriteBuffer(&charset, 1);
  WriteInt32(Stream, Font->Color());
  WriteInt32(Stream, Font->Height());
  const TFontStyles st = Font->Style();
  const uint8_t style = static_cast<uint8_t>((st.Contains(TFontStyle::fsBold) ? 1 : 0) |
                                             (st.Contains(TFontStyle::fsItalic) ? 2 : 0) |
                                             (st.Contains(TFontStyle::fsUnderline) ? 4 : 0) |
                                             (st.Contains(TFontStyle::fsStrikeOut) ? 8 : 0));
  Stream->WriteBuffer(&style, 1);
}

void ReadFontFromStream(TStream* Stream, TFont* Font) {
  const std::string name = ReadWideStringAsAnsi(Stream);
  uint8_t charset = 0, style = 0;
  Stream->ReadBuffer(&charset, 1);
  const int32_t color = ReadInt32(Stream);
  const int32_t height = ReadInt32(Stream);
  Stream->ReadBuffer(&style, 1);
  Font->SetName(name);
  Font->SetCharset(charset);
  Font->SetColor(color);
  Font->SetHeight(height);
  TFontStyles st;
  if (style & 1) st.Include(TFontStyle::fsBold);
  if (style & 2) st.Include(TFontStyle::fsItalic);
  if (style & 4) st.Include(TFontStyle::fsUnderline);
  if (style & 8) st.Include(TFontStyle::fsStrikeOut);
  Font->SetStyle(st);
}

void StreamWriteChecked(TStream* Stream, bool& ErrorFlag, const void* Buffer, int64_t Count) {
  if (Count <= 0) return;
  const auto* p = static_cast<const uint8_t*>(Buffer);
  while (Count > 0) {
    const auto piece = static_cast<int32_t>(std::min<int64_t>(Count, 1 << 30));
    const int32_t written = Stream->Write(p, piece);
    if (written != piece) {
      ErrorFlag = true;
      return;
    }
    p += piece;
    Count -= piece;
  }
}

int64_t CopyStreamBytes(TStream* Dest, TStream* Source, int64_t Count) {
  if (Count == 0) {
    Source->SetPosition(0);
    Count = Source->Size();
  }
  const int64_t left = Remaining(Source);
  if (left >= 0) Count = std::min(Count, left);
  if (Count <= 0) return std::max<int64_t>(Count, 0);
  constexpr int64_t kPiece = 196607;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(Count, kPiece)));
  int64_t done = 0;
  while (done < Count) {
    const int64_t n = std::min<int64_t>(static_cast<int64_t>(buffer.size()), Count - done);
    Source->ReadBuffer(buffer.data(), n);
    Dest->WriteBuffer(buffer.data(), n);
    done += n;
  }
  return Count;
}
