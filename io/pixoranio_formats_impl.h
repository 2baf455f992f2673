// Shared pieces of the I/O component's per-format members and entries (not a public header):
// a read-only window on a stream, the 12-byte stream headers, alpha channel <-> mask transfers,
// the GIF frame drawing, the JPEG save's metadata markers, the icon-size choice, opening a file
// for a load entry, the picture a plug-in writer gets, a 24-bit view of a picture and a scaled
// copy.
// Definitions: pixoranio_formats_support.cpp.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/hypxdefs.h"
#include "platform/rtl/Classes.h"

class TPXBitmap;
class TPXMask;
class TPXMarkerList;
class TIOParams;
class TPixoranIO;
class TPXWideFileStream;

// A read-only view of Length bytes of Source from Start: positions count from Start, the size is
// Length, reads stop at its end. Source is not owned.
class TPXWindowStream : public TStream {
 public:
  TPXWindowStream(TStream* Source, int64_t Start, int64_t Length);
  int32_t Read(void* Buffer, int32_t Count) override;
  int32_t Write(const void* Buffer, int32_t Count) override;  // writes nothing
  int64_t Seek(int64_t Offset, TSeekOrigin Origin) override;
  int64_t Size() override { return length_; }
  void SetSize(int64_t NewSize) override;  // ignored

 private:
  TStream* source_;
  int64_t start_;
  int64_t length_;
  int64_t position_ = 0;
};

// ---------------------------------------------------------------------------------------------
// Stream headers: tag (4 ASCII characters), 4 zero bytes, int32 length of the data that follows.

inline constexpr int32_t PXStreamHeaderSize = 12;

// Writes 12 zero bytes at the position; answers the position of the header.
int64_t WriteStreamHeaderPlaceholder(TStream* Stream);
// Seeks back to Start, writes Tag, 4 zero bytes and the length of what follows the header up to
// the current position, then returns to that position.
void FillStreamHeader(TStream* Stream, int64_t Start, std::string_view Tag);

struct TPXStreamHeaderRead {
  bool Complete = false;  // 12 bytes were there
  std::string Tag;        // the first five bytes as text up to the first zero byte
  int32_t Length = 0;     // the length field as stored
  int64_t Start = 0;      // position of the header
  int64_t Left = 0;       // bytes after the header
  // The length lies within what follows the header.
  bool LengthFits() const { return Complete && Length >= 0 && Length <= Left; }
};
// Reads 12 bytes at the position (the stream is left after them, or where a short read stopped).
TPXStreamHeaderRead ReadStreamHeader(TStream* Stream);

// ---------------------------------------------------------------------------------------------
// Alpha channel and masks

// An 8-bit mask holding the bitmap's alpha channel; nil when the bitmap has none.
std::unique_ptr<TPXMask> AlphaChannelToMask(TPXBitmap* Bitmap);
// The mask (1 or 8 bits) becomes the bitmap's alpha channel, over the common area; the rest of
// the channel is opaque.
void MaskToAlphaChannel(TPXMask* Mask, TPXBitmap* Bitmap);

// Draws Frame onto the 24-bit Canvas at (X, Y), blended by the frame's alpha (opaque without
// one), and combines the frame's alpha into the canvas's (the canvas gets one when missing).
// Clipped to the canvas.
void DrawFrameOnCanvas(TPXBitmap* Canvas, TPXBitmap* Frame, int32_t X, int32_t Y);

// ---------------------------------------------------------------------------------------------
// JPEG save markers

// Writes the resolution into the Photoshop resolution resource ("8BIM" 03 ED) of the first
// APP13 marker: only when the name, the size field and 16 bytes of data lie inside the marker
// and the size is at least 16. Answers whether it was written.
bool SetPhotoshopResolution(TPXMarkerList& Markers, int32_t DpiX, int32_t DpiY);
// The metadata steps of a JPEG save on Params' markers: resolution resource, user-changed IPTC,
// XMP packet, the library's own annotations. A block too large for a JPEG segment is left out.
void PrepareJpegSaveMarkers(TIOParams* Params);

// ---------------------------------------------------------------------------------------------
// Icons

// The number of icon sizes set in Params (leading pairs with a width above 0).
int32_t IcoSizeCount(const TIOParams* Params);

// ---------------------------------------------------------------------------------------------
// Load and save entries

// Bitmap itself when it is px24RGB, else a px24RGB copy held in Copy: the caller's picture keeps
// its format.
TPXBitmap* Bitmap24RGB(TPXBitmap* Bitmap, std::unique_ptr<TPXBitmap>& Copy);

// A Width x Height copy of Bitmap: where Resample, resampled with the settings' default filter
// into px24RGB (Bitmap must be px24RGB), else by nearest neighbour in Bitmap's format.
std::unique_ptr<TPXBitmap> ScaledBitmap(TPXBitmap* Bitmap, int32_t Width, int32_t Height, bool Resample);

// The picture a plug-in format's writer gets: Bitmap itself when empty, px24RGB or px1g, else a
// px24RGB copy held in Converted.
TPXBitmap* PluginWriteBitmap(TPXBitmap* Bitmap, std::unique_ptr<TPXBitmap>& Converted);

// Opens FileName for reading on behalf of a load entry of IO; where the open fails, finishes
// IO's operation (its Aborting, set by the caller, stays set) and lets the error propagate.
std::unique_ptr<TPXWideFileStream> OpenFileForLoad(TPixoranIO* IO, const std::string& FileName);
