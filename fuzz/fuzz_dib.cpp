// Arbitrary bytes as a packed DIB: the reader either refuses it or gives a surface of the
// header's size; an accepted DIB is also drawn with StretchDIBits and SetDIBitsToDevice onto a
// small surface. The first 20 bytes are the drawing parameters, the rest is the DIB, copied into
// a buffer of exactly its size so that any read past it is caught.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/gdi/Surface.h"
#include "platform/gdi/WinGdi.h"

namespace {

int32_t Rd16s(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }
uint32_t Rd32(const uint8_t* p) { return p[0] | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }

constexpr DWORD kRops[] = {SRCCOPY, SRCAND, SRCPAINT, SRCINVERT, MERGEPAINT, NOTSRCCOPY, PATCOPY, DSTINVERT};
constexpr int32_t kDepths[] = {1, 4, 8, 15, 16, 24, 32, 32};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 20) return 0;
  const uint8_t* prm = data;
  const uint8_t* dib = data + 20;
  const size_t n = size - 20;

  // Refused, or a surface of the header's size; both entry points agree.
  std::vector<uint8_t> copy(dib, dib + n);
  auto surface = SurfaceFromPackedDIB(copy.data(), copy.size());
  const size_t need = PackedDIBSize(copy.data(), copy.size());
  if (surface) {
    Check(need != 0 && need <= n);
    Check(surface->Width() > 0 && surface->Height() > 0);
    const uint32_t hdr = Rd32(dib);
    const int64_t w = hdr == 12 ? (dib[4] | (dib[5] << 8)) : static_cast<int32_t>(Rd32(dib + 4));
    const int64_t h = hdr == 12 ? (dib[6] | (dib[7] << 8)) : static_cast<int32_t>(Rd32(dib + 8));
    Check(surface->Width() == w && surface->Height() == (h < 0 ? -h : h));
  }
  if (!need) return 0;

  // The bits end the buffer: header, masks and table first, then exactly the image bytes.
  std::vector<uint8_t> packed(dib, dib + need);
  const uint32_t hdr = Rd32(packed.data());
  int64_t w, h, bpp;
  if (hdr == 12) {
    w = packed[4] | (packed[5] << 8);
    h = packed[6] | (packed[7] << 8);
    bpp = packed[10] | (packed[11] << 8);
  } else {
    w = static_cast<int32_t>(Rd32(packed.data() + 4));
    h = static_cast<int32_t>(Rd32(packed.data() + 8));
    bpp = packed[14] | (packed[15] << 8);
  }
  const size_t image = static_cast<size_t>(((w * bpp + 31) / 32) * 4 * (h < 0 ? -h : h));
  Check(image <= need);
  const void* bits = packed.data() + (need - image);
  const auto* bmi = reinterpret_cast<const BITMAPINFO*>(packed.data());

  TSurface target(24, 20, kDepths[prm[17] & 7]);
  if (target.BitCount() <= 8) {
    const int32_t entries = 1 << target.BitCount();
    for (int32_t i = 0; i < entries; ++i) {
      const auto g = static_cast<uint8_t>(i * 255 / (entries - 1));
      target.Palette().push_back({g, static_cast<uint8_t>(255 - g), g, 0});
    }
  }
  HDC dc = CreateSurfaceDC(&target);
  Check(dc != nullptr);
  SetStretchBltMode(dc, (prm[18] & 1) ? HALFTONE : COLORONCOLOR);
  const UINT usage = (prm[18] & 2) ? DIB_PAL_COLORS : DIB_RGB_COLORS;
  // Coordinates: small values, or (flag bit) the full range scaled up to reach the extremes.
  const int32_t scale = (prm[18] & 4) ? 65536 : 1;
  int32_t v[8];
  for (int i = 0; i < 8; ++i) v[i] = Rd16s(prm + 2 * i) * scale;
  StretchDIBits(dc, v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], bits, bmi, usage, kRops[prm[16] & 7]);
  SetDIBitsToDevice(dc, v[0], v[1], static_cast<DWORD>(v[2]), static_cast<DWORD>(v[3]), v[4], v[5],
                    prm[19] & 0x0F, static_cast<UINT>(prm[19] >> 4), bits, bmi, usage);
  DeleteDC(dc);
  return 0;
}
