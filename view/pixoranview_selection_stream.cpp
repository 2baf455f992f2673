// The selection stream of the image view (what undo, redo and layer switching keep a selection
// in), the selection stack and the mask refresh from the polygons.
//
// Layout, little-endian: version 100001, mask width and height, point count and points, the
// polygons' bounds, the value count and values, the presence byte, the current layer's position,
// the kind, the mask depth, bounding box and full flag, and the mask rows as the mask keeps them.
// The older layout starts with the mask width (no version, no values, no kind).
#include <algorithm>
#include <cstring>

#include "core/pxxBitmaps_mask.h"
#include "view/pixoranview.h"

namespace {

constexpr int32_t kSelectionStreamVersion = 100001;

// Reads Count bytes when they are there.
bool ReadExact(TStream* Stream, void* Buffer, int64_t Count) { return Stream->Read(Buffer, Count) == Count; }

template <class T>
bool ReadValue(TStream* Stream, T& Value) {
  return ReadExact(Stream, &Value, sizeof(T));
}

template <class T>
void WriteValue(TStream* Stream, const T& Value) {
  Stream->WriteBuffer(&Value, sizeof(T));
}

// Everything a selection stream holds, read and checked before anything is applied.
struct TSelectionRecord {
  int32_t Version = 0;
  int32_t Width = 0, Height = 0;
  std::vector<TPoint> Points;
  int32_t Bounds[4] = {0, 0, 0, 0};
  std::vector<int32_t> Values;
  uint8_t Present = 0;
  int32_t PosX = 0, PosY = 0;
  int32_t Kind = 0;
  int32_t Depth = 1;
  int32_t Box[4] = {0, 0, 0, 0};
  uint8_t Full = 0;
  std::vector<uint8_t> Rows;
  int64_t RowLen = 0;
};

int32_t CountSubPolygons(const std::vector<TPoint>& Points) {
  int32_t n = 0;
  for (size_t i = 0; i < Points.size(); ++i)
    if (IsPolygonSeparator(Points[i]) || i + 1 == Points.size()) ++n;
  return n;
}

bool ReadSelectionRecord(TStream* Stream, TSelectionRecord& R) {
  const int64_t start = Stream->Position();
  const int64_t size = Stream->Size();
  const auto left = [&] { return size - Stream->Position(); };
  int32_t first = 0;
  if (!ReadValue(Stream, first)) return false;
  if (first >= 100000 && first <= 101001) {
    R.Version = first;
  } else {
    R.Version = 0;
    Stream->SetPosition(start);
  }
  int32_t n = 0;
  if (!ReadValue(Stream, R.Width) || !ReadValue(Stream, R.Height) || !ReadValue(Stream, n)) return false;
  if (R.Width < 0 || R.Height < 0 || n < 0 || int64_t{n} * 8 > left()) return false;
  R.Points.resize(static_cast<size_t>(n));
  if (n > 0 && !ReadExact(Stream, R.Points.data(), int64_t{n} * 8)) return false;
  if (!ReadExact(Stream, R.Bounds, 16)) return false;
  if (R.Version >= 100001) {
    int32_t m = 0;
    if (!ReadValue(Stream, m) || m < 0 || int64_t{m} * 4 > left()) return false;
    R.Values.resize(static_cast<size_t>(m));
    if (m > 0 && !ReadExact(Stream, R.Values.data(), int64_t{m} * 4)) return false;
  } else {
    // Every stored sub-polygon adds.
    R.Values.assign(static_cast<size_t>(CountSubPolygons(R.Points)), 1);
  }
  if (!ReadValue(Stream, R.Present) || !ReadValue(Stream, R.PosX) || !ReadValue(Stream, R.PosY)) return false;
  if (R.Version >= 100001 && !ReadValue(Stream, R.Kind)) return false;
  if (!ReadValue(Stream, R.Depth) || (R.Depth != 1 && R.Depth != 8)) return false;
  if (!ReadExact(Stream, R.Box, 16) || !ReadValue(Stream, R.Full)) return false;
  R.RowLen = (int64_t{R.Width} * R.Depth + 31) / 32 * 4;
  // A width without rows still names a mask of that size; its rows cost nothing, but the mask
  // is allocated at that size later, so it is held to what a picture may be.
  if (R.Height == 0 && R.Width > 65536 * 4) return false;
  if (R.Height > 0 && R.RowLen > left() / R.Height) return false;
  R.Rows.resize(static_cast<size_t>(R.RowLen * R.Height));
  if (!R.Rows.empty() && !ReadExact(Stream, R.Rows.data(), static_cast<int64_t>(R.Rows.size()))) return false;
  return true;
}

}  // namespace

TPoint TPixoranView::GetSelectionPoint(int32_t Index) const {
  if (Index < 0 || Index >= FSelPolygons->PointCount) return TPoint{0, 0};
  return FSelPolygons->Points[static_cast<size_t>(Index)];
}

void TPixoranView::RefreshSelectionMask() {
  FSelPolygons->RenderToMask(FSelMask.get());
  if (FSelMask->IsEmpty()) {
    FSelectionPresent = false;
    FSelPolygons->Clear();
  }
}

void TPixoranView::SaveSelectionToStream(TStream* Stream) {
  WriteValue(Stream, kSelectionStreamVersion);
  WriteValue(Stream, FSelMask->Width());
  WriteValue(Stream, FSelMask->Height());
  FSelPolygons->SaveToStream(Stream);
  WriteValue(Stream, static_cast<uint8_t>(FSelectionPresent ? 1 : 0));
  int32_t posX = 0, posY = 0;
  if (FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount()) {
    posX = FLayers[static_cast<size_t>(FLayersCurrent)]->GetPosX();
    posY = FLayers[static_cast<size_t>(FLayersCurrent)]->GetPosY();
  }
  WriteValue(Stream, posX);
  WriteValue(Stream, posY);
  WriteValue(Stream, FSelPolygons->Kind);
  WriteValue(Stream, FSelMask->BitsPerPixel());
  const int32_t box[4] = {FSelMask->FX1, FSelMask->FY1, FSelMask->FX2, FSelMask->FY2};
  Stream->WriteBuffer(box, 16);
  WriteValue(Stream, FSelMask->FFull);
  const int64_t bytes = FSelMask->RowLen() * FSelMask->Height();
  if (bytes > 0) Stream->WriteBuffer(FSelMask->GetBits(), bytes);
}

bool TPixoranView::LoadSelectionFromStream(TStream* Stream, int32_t Mode) {
  if (!Stream) return false;
  TSelectionRecord r;
  const int64_t start = Stream->Position();
  if (!ReadSelectionRecord(Stream, r)) {
    Stream->SetPosition(start);
    return false;
  }

  // The polygons and the mask as stored.
  TPXVectorizedSelection* sel = FSelPolygons.get();
  sel->Clear();
  sel->EnsureCapacity(static_cast<int32_t>(r.Points.size()));
  std::copy(r.Points.begin(), r.Points.end(), sel->Points.begin());
  sel->PointCount = static_cast<int32_t>(r.Points.size());
  sel->X1 = r.Bounds[0], sel->Y1 = r.Bounds[1], sel->X2 = r.Bounds[2], sel->Y2 = r.Bounds[3];
  sel->SubPolygonValues = std::move(r.Values);
  sel->Kind = r.Kind;
  FSelectionPresent = r.Present != 0;
  FSelMask->AllocateBits(r.Width, r.Height, r.Depth);
  FSelMaskDepth = r.Depth;
  FSelMask->FX1 = r.Box[0], FSelMask->FY1 = r.Box[1], FSelMask->FX2 = r.Box[2], FSelMask->FY2 = r.Box[3];
  FSelMask->FFull = r.Full;
  if (!r.Rows.empty()) std::memcpy(FSelMask->GetBits(), r.Rows.data(), r.Rows.size());
  // The stored box is a hint only; the pixels decide.
  FSelMask->UpdateBounds();

  LockUpdate();
  {
  struct TUnlock {
    TPixoranView* View;
    ~TUnlock() { View->UnlockUpdate(); }
  } unlock{this};
  const int32_t cw = GetCurrentImageWidth(), ch = GetCurrentImageHeight();
  if (Mode == 2) {
    // Only the mask survives, moved to where it lay on the canvas: a stored pixel (x, y) sat at
    // (x + PosX, y + PosY) on the canvas (the part left of or above the canvas origin is cut) and
    // lands at that point less the current layer's position.
    sel->Clear();
    int32_t lx = 0, ly = 0;
    if (FLayersCurrent >= 0 && FLayersCurrent < GetLayersCount()) {
      lx = FLayers[static_cast<size_t>(FLayersCurrent)]->GetPosX();
      ly = FLayers[static_cast<size_t>(FLayersCurrent)]->GetPosY();
    }
    TPXMask placed;
    placed.AllocateBits(cw, ch, r.Depth);
    if (!FSelMask->IsEmpty()) {
      const int64_t dx = int64_t{r.PosX} - lx, dy = int64_t{r.PosY} - ly;
      for (int32_t y = FSelMask->FY1; y <= FSelMask->FY2; ++y) {
        const int64_t ty = y + dy;
        if (y + int64_t{r.PosY} < 0 || ty < 0 || ty >= ch) continue;
        for (int32_t x = FSelMask->FX1; x <= FSelMask->FX2; ++x) {
          const int64_t tx = x + dx;
          if (x + int64_t{r.PosX} < 0 || tx < 0 || tx >= cw) continue;
          if (const int32_t v = FSelMask->GetPixel(x, y))
            placed.SetPixel(static_cast<int32_t>(tx), static_cast<int32_t>(ty), v);
        }
      }
    }
    FSelMask->AllocateBits(cw, ch, r.Depth);
    std::swap(FSelMask->FBits, placed.FBits);
    FSelMask->UpdateFull();
    FSelMask->UpdateBounds();
  } else if (r.Width != cw || r.Height != ch) {
    if (!FSelMask->IsEmpty()) {
      if (Mode == 1) {
        int32_t dx = 0, dy = 0;
        if (cw < FSelMask->FX2) dx = cw - (FSelMask->FX2 - FSelMask->FX1 + 1) - FSelMask->FX1;
        if (ch < FSelMask->FY2) dy = ch - (FSelMask->FY2 - FSelMask->FY1 + 1) - FSelMask->FY1;
        if (dx != 0 || dy != 0) MoveSelection(dx, dy, false);
      }
      FSelMask->Resize(cw, ch);
      FSelMask->UpdateFull();
      FSelMask->UpdateBounds();
    } else {
      FSelMask->Resize(cw, ch);
    }
  }
  if (FSelMask->IsEmpty()) Deselect();
  else FSelectionPresent = true;
  ShowSelection(true);
  }
  Update();
  return true;
}

void TPixoranView::PushSelection() {
  auto stream = std::make_unique<TMemoryStream>();
  SaveSelectionToStream(stream.get());
  FSelStack.push_back(std::move(stream));
}

bool TPixoranView::PopSelection(bool Remove, uint8_t Mode) {
  if (FSelStack.empty()) return false;
  TMemoryStream* stream = FSelStack.back().get();
  stream->SetPosition(0);
  const bool result = LoadSelectionFromStream(stream, Mode);
  if (Remove) FSelStack.pop_back();
  return result;
}
