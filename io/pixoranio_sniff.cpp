#include "io/pixoranio_sniff.h"

#include <array>
#include <cstring>
#include <memory>
#include <string>

#include "core/hypxutils_streams.h"
#include "core/pxsettings.h"
#include "platform/rtl/SysUtils.h"

namespace {

// Reads up to N bytes at Pos and moves back to Pos; answers how many were read.
template <size_t N>
int32_t PeekAt(TStream* s, int64_t pos, std::array<uint8_t, N>& buf) {
  buf.fill(0);
  s->Seek(pos, soBeginning);
  int32_t got = 0;
  try {
    got = s->Read(buf.data(), static_cast<int32_t>(N));
  } catch (...) {
    s->Seek(pos, soBeginning);
    throw;
  }
  s->Seek(pos, soBeginning);
  return got;
}

// The first bytes as text up to the first zero byte, at most MaxLen characters.
std::string_view TextOf(const uint8_t* b, size_t maxLen) {
  size_t n = 0;
  while (n < maxLen && b[n] != 0) ++n;
  return {reinterpret_cast<const char*>(b), n};
}

bool IsByteOrderMark(const uint8_t* b) { return (b[0] == 'M' && b[1] == 'M') || (b[0] == 'I' && b[1] == 'I'); }

// A TIFF header: "II*\0" or "MM\0*".
bool IsTiffHeader(const uint8_t* b) {
  return (b[0] == 'I' && b[1] == 'I' && b[2] == 42 && b[3] == 0) || (b[0] == 'M' && b[1] == 'M' && b[2] == 0 && b[3] == 42);
}

// Whether the bytes start with the signature of a format the registry knows; a JPEG start found
// further on (a JPEG-compressed TIFF strip, an embedded preview) does not make such a file JPEG.
bool StartsWithKnownSignature(const uint8_t* b, int32_t Got) {
  static const std::string_view kSignatures[] = {
      {"II*\0", 4},
      {"MM\0*", 4},
      {"II\xBC", 3},                    // HD Photo
      {"\x89PNG\r\n\x1A\n", 8},
      {"GIF8", 4},
      {"8BPS", 4},                       // Photoshop
      {"RIFF", 4},
      {"\0\0\0\x0CjP  \r\n\x87\n", 12},  // JPEG 2000 file
      {"\xFF\x4F\xFF\x51", 4},             // JPEG 2000 code stream
      {"\xD7\xCD\xC6\x9A", 4},             // placeable metafile
      {"\xB1\x68\xDE\x3A", 4},             // DCX
  };
  for (std::string_view sig : kSignatures)
    if (Got >= static_cast<int32_t>(sig.size()) && std::memcmp(b, sig.data(), sig.size()) == 0) return true;
  return false;
}

// One content test of the row of type at pos (false where the row has none); the stream is left
// at pos.
bool RowSignatureTest(TPXFileType type, TStream* s, int64_t pos, TPXSignatureProc TPXFormatRow::*Test) {
  const TPXFormatRow* row = FormatRow(type);
  if (!row || !(row->*Test)) return false;
  s->Seek(pos, soBeginning);
  const bool yes = (row->*Test)(s);
  s->Seek(pos, soBeginning);
  return yes;
}

bool RowTest(TPXFileType type, TStream* s, int64_t pos) {
  return RowSignatureTest(type, s, pos, &TPXFormatRow::Signature);
}

bool RowAltTest(TPXFileType type, TStream* s, int64_t pos) {
  return RowSignatureTest(type, s, pos, &TPXFormatRow::AltSignature);
}

// A JPEG start of image (FF D8 FF) at Pos or within the 149 bytes after it: the JPEG codec's
// own test when it has registered one, else this scan.
bool HasJpegStart(TStream* s, int64_t pos) {
  const TPXFormatRow* row = FormatRow(pxftJPEG);
  if (row && row->AltSignature) return RowAltTest(pxftJPEG, s, pos);
  std::array<uint8_t, 152> buf;
  const int32_t got = PeekAt(s, pos, buf);
  for (int32_t i = 0; i + 2 < got && i < 150; ++i)
    if (buf[i] == 0xFF && buf[i + 1] == 0xD8 && buf[i + 2] == 0xFF) return true;
  return false;
}

TPXFileType Sniff(TStream* s, int64_t pos, int64_t size) {
  // The size from the position on; 64-bit throughout.
  const int64_t avail = size - pos;
  {
    std::array<uint8_t, 128> b;
    if (avail > 12) {
      PeekAt(s, pos, b);
      if (TextOf(b.data(), 5) == "JFIF") return pxftJPEG;
    }
    if (avail > 13) {
      PeekAt(s, pos, b);
      if (b[0] == 'G' && b[1] == 'I' && b[2] == 'F') return pxftGIF;
    }
    if (avail > 12) {
      PeekAt(s, pos, b);
      if (TextOf(b.data(), 5) == "PCX2") return pxftPCX;
    }
    if (avail > 4) {
      PeekAt(s, pos, b);
      if (TextOf(b.data(), 4) == "PCX") return pxftPCX;
    }
    if (avail > 14) {
      PeekAt(s, pos, b);
      if (b[0] == 'B' && b[1] == 'M') return pxftBMP;
    }
    if (avail > 128) {
      PeekAt(s, pos, b);
      if (b[0] == 10 && b[1] <= 5) return pxftPCX;
    }
    if (avail > 12) {
      PeekAt(s, pos, b);
      if (TextOf(b.data(), 5) == "TIFF") return pxftTIFF;
    }
  }
  std::array<uint8_t, 16> head;
  const int32_t headGot = PeekAt(s, pos, head);
  // A TIFF header makes TIFF whatever follows it, unless the TIFF codec takes the file for
  // camera raw data.
  const bool tiffHeader = headGot >= 4 && IsTiffHeader(head.data());
  if (RowTest(pxftHDP, s, pos)) return pxftHDP;
  if ((tiffHeader || RowTest(pxftTIFF, s, pos)) && !RowAltTest(pxftTIFF, s, pos)) {
    s->Seek(pos, soBeginning);
    return IsCameraRawHeader(s) ? pxftRAW : pxftTIFF;
  }
  if (avail > 8 && RowTest(pxftPNG, s, pos)) return pxftPNG;
  for (TPXFileType t : {pxftDICOM, pxftICO, pxftCUR, pxftTGA, pxftPXM, pxftJP2, pxftJ2K}) {
    if (RowTest(t, s, pos)) return t;
  }
  s->Seek(pos, soBeginning);
  if (HasAviSignature(s)) return pxftAVI;
  for (TPXFileType t : {pxftDCX, pxftWMF, pxftEMF, pxftPSD, pxftPXV, pxftPXN, pxftALL}) {
    if (RowTest(t, s, pos)) return t;
  }
  s->Seek(pos, soBeginning);
  if (!IsCameraRawHeader(s) && !StartsWithKnownSignature(head.data(), headGot) && HasJpegStart(s, pos))
    return pxftJPEG;

  const int32_t n = FileFormatCount();
  for (int32_t i = 0; i < n; ++i) {
    TPXFileFormatInfo* info = FileFormatAt(i);
    if (!info || !info->TryFunction) continue;
    s->Seek(pos, soBeginning);
    if (info->TryFunction(s, info->FileType)) return info->FileType;
  }
  s->Seek(pos, soBeginning);
  // The camera raw engine answers through the RAW row's second test (which asks whether the
  // engine is ready); then the imaging component, unless its extension list is "-".
  if (RowAltTest(pxftRAW, s, pos)) return pxftRAW;
  if (const TPXPixoranGlobalSettings* settings = GlobalSettingsAssigned(); !settings || settings->FWICExtensions != "-")
    for (const TPXFileType t : {pxftDDS, pxftHEIF, pxftWEBP, pxftWIC})
      if (RowTest(t, s, pos)) return t;
  s->Seek(pos, soBeginning);
  // Camera raw data in a TIFF container, with no raw engine to read it, is no type.
  return tiffHeader && !RowAltTest(pxftTIFF, s, pos) ? pxftTIFF : pxftUnknown;
}

}  // namespace

bool HasAviSignature(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  std::array<uint8_t, 12> b;
  bool yes = false;
  try {
    yes = PeekAt(Stream, pos, b) == 12 && std::memcmp(b.data(), "RIFF", 4) == 0 &&
          std::memcmp(b.data() + 8, "AVI ", 4) == 0;
  } catch (...) {
    Stream->Seek(pos, soBeginning);
    return false;
  }
  return yes;
}

bool IsCameraRawHeader(TStream* Stream) {
  if (!Stream) return false;
  const int64_t pos = Stream->Position();
  try {
    if (Stream->Size() - pos <= 16) return false;
    std::array<uint8_t, 16> b;
    if (PeekAt(Stream, pos, b) < 16) return false;
    const std::string_view text = TextOf(b.data(), 16);
    const bool order = IsByteOrderMark(b.data());
    if (text.size() >= 4 && order) {
      const std::string_view mark = text.substr(2, 2);
      if (mark == "RO" || mark == "OR" || mark == "RS") return true;
    }
    if (text.size() >= 8 && text.substr(0, 8) == "FUJIFILM") return true;
    if (text.size() >= 4 && text.substr(1, 3) == "MRM") return true;
    if (order && b[8] == 'C' && b[9] == 'R') return true;
    if (order && b[6] == 'H' && b[11] == 'C' && b[12] == 'D' && b[13] == 'R') return true;
  } catch (...) {
    Stream->Seek(pos, soBeginning);
  }
  return false;
}

TPXFileType FindStreamFormat(TStream* Stream) {
  if (!Stream) return pxftUnknown;
  int64_t pos = 0;
  try {
    pos = Stream->Position();
  } catch (...) {
    return pxftUnknown;
  }
  TPXFileType result = pxftUnknown;
  try {
    const int64_t size = Stream->Size();
    if (pos >= 0 && size > pos) result = Sniff(Stream, pos, size);
  } catch (...) {
    result = pxftUnknown;  // nothing was found before the failure could give a result
  }
  try {
    Stream->Seek(pos, soBeginning);
  } catch (...) {
  }
  return result;
}

TPXFileType FindFileFormat(std::string_view FileName, int32_t Mode) {
  if (FileName.empty() || !FileExists(FileName)) return pxftUnknown;
  TPXFileType content = pxftUnknown;
  try {
    TPXWideFileStream file(FileName, fmOpenRead | fmShareDenyWrite);
    content = FindStreamFormat(&file);
  } catch (...) {
    return pxftUnknown;
  }
  const std::string ext = ExtractFileExt(FileName);
  TPXFileFormatInfo* r = FileFormatByExtension(ext);
  if (r && r->FileType == pxftRAW && content == pxftTIFF) return pxftRAW;
  if (r && r->FileType == pxftRAW && content == pxftWIC && Mode != 0) return pxftRAW;
  if (r && !r->InternalFormat) return r->FileType;
  if (Mode == 1 && content != pxftUnknown) {
    if (r) {
      const bool iconPair = (content == pxftICO || content == pxftCUR) && (r->FileType == pxftICO || r->FileType == pxftCUR);
      if (iconPair) return r->FileType;
      return content == r->FileType ? content : pxftUnknown;
    }
    if (content == pxftAVI && LowerCase(ext) == ".avi") return pxftAVI;
    return pxftUnknown;
  }
  if (Mode == 2 && content == pxftUnknown && r) return r->FileType;
  return content;
}

bool ProbeStreamHeader(TStream* Stream, std::string_view Kind, int64_t& Length, bool& Valid) {
  Length = 0;
  Valid = false;
  if (!Stream || Kind.size() != 4) return false;
  int64_t pos = 0;
  try {
    pos = Stream->Position();
    const int64_t left = Stream->Size() - pos;
    if (left < 12) return false;
    std::array<uint8_t, 12> b;
    if (PeekAt(Stream, pos, b) < 12) return false;
    if (std::memcmp(b.data(), Kind.data(), 4) != 0 || b[4] != 0 || b[5] != 0 || b[6] != 0 || b[7] != 0) return false;
    const int32_t len = static_cast<int32_t>(static_cast<uint32_t>(b[8]) | (static_cast<uint32_t>(b[9]) << 8) |
                                             (static_cast<uint32_t>(b[10]) << 16) | (static_cast<uint32_t>(b[11]) << 24));
    Stream->Seek(pos + 12, soBeginning);
    if (len >= 0 && len <= left - 12) {
      Length = len;
      Valid = true;
    }
    return true;
  } catch (...) {
    try {
      Stream->Seek(pos, soBeginning);
    } catch (...) {
    }
    return false;
  }
}
