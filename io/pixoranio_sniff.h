// Content sniffing: the file type of a picture from its bytes, asking the front end's own tests
// and the signature tests of the format table in a fixed order.
#pragma once

#include <cstdint>
#include <string_view>

#include "io/pixoranio_registry.h"

// The type of the data at the stream's position, 0 when nothing matched. Never raises; the
// position on return is the position on entry, whatever happened.
TPXFileType FindStreamFormat(TStream* Stream);

// The type of a named file. Mode 0: content only; 1: content checked against the extension
// (a mismatch gives 0); 2: content, with the extension's type when the content says nothing.
// 0 for an empty name, a missing or unreadable file or a folder.
TPXFileType FindFileFormat(std::string_view FileName, int32_t Mode);

// "RIFF", a size, "AVI " at the position. Restores the position.
bool HasAviSignature(TStream* Stream);
// The header marks of camera raw files (Canon, Fuji, Minolta, ...) in the first 16 bytes of a
// stream longer than 16 bytes. Restores the position.
bool IsCameraRawHeader(TStream* Stream);

// The 12-byte stream header in front of TIFF, PCX and JPEG pictures saved to streams: the
// four-letter kind ("TIFF", "PCX2", "JFIF"), four zero bytes and the int32 length of the data
// that follows. ProbeStreamHeader reads it at the stream's position: with a matching kind it
// answers true and leaves the stream after the header, Length holding a length that lies
// within the rest of the stream (0 <= Length <= bytes left); a header whose length does not
// fit answers true with Valid false. Without a header the position is restored and the answer
// is false.
bool ProbeStreamHeader(TStream* Stream, std::string_view Kind, int64_t& Length, bool& Valid);
