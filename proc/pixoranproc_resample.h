// The processing engine's resamplers: the size rule, the bitmap-to-bitmap entry that routes by
// filter and pixel format, the nearest stretch, the kernel resampler whose two passes run in
// bands of destination rows, the fast linear, projection and 1-bit paths, the area-sampling resampler and
// speckle removal. Filters 14-17 (the imaging component's scaler modes) are served by the
// library's own paths of the same kind: 14 nearest, 15 and 17 bilinear area, 16 bicubic area.
//
// Where they are defined:
//   pixoranproc_resample.cpp          size rule, routing, nearest stretch, small helpers
//   pixoranproc_resample_filters.cpp  kernels, contributor lists, kernel paths, bands
//   pixoranproc_resample_fast.cpp     fast linear, projections, 1-bit linear and reduction
//   pixoranproc_resample_area.cpp     area-sampling bilinear and bicubic
//   pixoranproc_resample_noise.cpp    speckle removal on two-level pictures
//
// Packed colours are blue in bits 0-7, green 8-15, red 16-23. Rectangles handed to the fast
// linear paths are inclusive; (0, 0, -1, -1) or nil means the whole destination. Destinations
// must be allocated at the target size beforehand.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "core/hypxdefs.h"
#include "platform/rtl/Types.h"

class TPXBitmap;

// --- front ---------------------------------------------------------------------------------

// Resolves a requested size in place: -1 keeps the aspect ratio, 0 keeps the side, another
// negative value is taken as its absolute value; with Fit the source is fitted into the box.
// Both sides negative come back unchanged (callers refuse that request).
void CalcResampleSize(int32_t& Width, int32_t& Height, int32_t SrcWidth, int32_t SrcHeight, bool Fit);

// Resamples Src into Dst (allocated at its target size) and the alpha channel alongside, each by
// the routine that suits its pixel format and Filter; Dst's format may change to px24RGB or px1g.
void ResampleWithAlpha(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, const TPXProgressEvent& OnProgress,
                       TObject* Sender);

// Resamples Bitmap itself to NewWidth x NewHeight (both at least 1).
void ResampleInPlace(TPXBitmap* Bitmap, TResampleFilter Filter, int32_t NewWidth, int32_t NewHeight,
                     const TPXProgressEvent& OnProgress, TObject* Sender);

// Nearest-neighbour stretch; Dst has Src's pixel format and its target size. A px8p palette is
// carried over.
void StretchNearest(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress);

// px24RGB only: every pixel whose alpha is 0 takes the packed colour.
void FillTransparentPixels(TPXBitmap* Bitmap, uint32_t Color);

// Fills Dst with the colour of Src's pixel (0, 0).
void FillFromFirstPixel(TPXBitmap* Src, TPXBitmap* Dst);

// --- kernel resampler ------------------------------------------------------------------------

// The general resampler. SrcAlpha serves only the area-sampling path; Rect only the fast linear
// path. A source of another format than px24RGB, px8g or px16g goes through a px24RGB copy and
// Dst becomes px24RGB.
void ResampleBitmap(TPXBitmap* Src, TPXBitmap* Dst, TPXBitmap* SrcAlpha, TResampleFilter Filter,
                    const TPXProgressEvent& OnProgress, TObject* Sender, const TRect* Rect);
// 8-bit grey (every alpha channel goes through it); no progress.
void ResampleGray8(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, const TRect* Rect);
// 16-bit grey; no progress.
void ResampleGray16(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter);
// 1-bit source into a px24RGB grey Dst, or into px1g for the projections; no progress.
void ResampleMono(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter);

// One (source index, weight) pair of a contributor list; weights are kernel x 256.
struct TPXContributor {
  int32_t Index;
  int32_t Weight;
};
using TPXContributorList = std::vector<TPXContributor>;

// The contributor lists of one axis from SrcSize to DstSize for a kernel filter (1..8); a list
// whose every weight rounds to 0 gets finer weights of the same kernel.
std::vector<TPXContributorList> BuildContributors(int32_t SrcSize, int32_t DstSize, TResampleFilter Filter);
// Destination rows of the kernel path per band: (first row, row count); the last band takes the
// rest.
std::vector<std::pair<int32_t, int32_t>> ResampleBands(int32_t Rows, int32_t Bands);
// The band count for a px24RGB source: 1 for file-stored or virtual storage, else
// ChooseThreadCount.
int32_t ResampleBandCount(TPXBitmap* Src);
// The 24-bit kernel path with a given band count (ResampleBitmap uses ResampleBandCount).
void ResampleKernel24(TPXBitmap* Src, TPXBitmap* Dst, TResampleFilter Filter, const TPXProgressEvent& OnProgress,
                      TObject* Sender, int32_t Bands);

// --- fast linear, projections, 1-bit ---------------------------------------------------------

void ResampleFastLinear24(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                          const TRect* Rect);
void ResampleFastLinearGray8(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress,
                             const TRect* Rect);
void ResampleFastLinearGray16(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress);
// px24RGB to px1g keeping thin dark (WhiteOnBlack false) or light (true) strokes; Dst is made
// px1g at its size.
void ProjectToMono(TPXBitmap* Src, TPXBitmap* Dst, bool WhiteOnBlack, const TPXProgressEvent& OnProgress,
                   TObject* Sender);
void ProjectMonoToMono(TPXBitmap* Src, TPXBitmap* Dst, bool WhiteOnBlack, const TPXProgressEvent& OnProgress,
                       TObject* Sender);
// px1g to px24RGB grey by 17-bit fixed-point linear interpolation (area reduction when both
// axes shrink).
void ResampleMonoLinear(TPXBitmap* Src, TPXBitmap* Dst, TObject* Sender, const TPXProgressEvent& OnProgress);
// Reduces the inclusive source rectangle X1..X2, Y1..Y2 of a px1g Src into the whole px24RGB Dst
// as grey coverage.
void ResampleMonoToGray(TPXBitmap* Src, int32_t X1, int32_t Y1, int32_t X2, int32_t Y2, TPXBitmap* Dst);

// --- area sampling ---------------------------------------------------------------------------

// px8g or px24RGB on both sides; SrcAlpha (px8g of Src's size, may be nil) keeps transparent
// colours out of enlarged edges. Dst's alpha channel is not touched.
void ResampleBilinearBicubic(TPXBitmap* Src, TPXBitmap* Dst, TPXBitmap* SrcAlpha, bool Bicubic,
                             const TPXProgressEvent& OnProgress, TObject* Sender);
// px16g or pxRGB48 on both sides.
void ResampleBilinearBicubic16(TPXBitmap* Src, TPXBitmap* Dst, bool Bicubic, const TPXProgressEvent& OnProgress,
                               TObject* Sender);

// --- speckle removal -------------------------------------------------------------------------

// Removes isolated specks and small holes from a px8g or px1g picture in place (other formats
// are left alone): k x k windows, k from 3 to MaxWindow (at most 7), whose core holds no pixel of
// one colour while the ring is dominated by it get the core filled with it; passes alternate
// between background and foreground fills, at most MaxPasses of them. A px8g result holds only
// 0 and 255 inside; the outer rows and columns are not changed. Negate works on the negative.
void RemoveSpeckles(TPXBitmap* Bitmap, bool RequireOneGroup, bool OffNeedsFullRing, int32_t MaxPasses,
                    int32_t MaxWindow, bool Negate);
