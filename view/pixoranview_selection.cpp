#include "view/pixoranview_selection.h"

TPXVectorizedSelection::TPXVectorizedSelection(TCanvas* Canvas, TBitmap* PixelBitmap, void* PixelData)
    : OutlineCanvas(Canvas), PixelData(PixelData), PixelBitmap(PixelBitmap) {}
