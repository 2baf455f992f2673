// The selection model: the polygon list's operations, translation, the selection stream with
// its three load modes and hostile input, the selection stack, and the selection surviving a
// layer switch and the processing engine's undo.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "platform/rtl/Classes_streams.h"
#include "tests/view/SelectionTestSupport.h"

namespace {

std::vector<TPoint> PointsOf(const TPXVectorizedSelection& S) {
  return std::vector<TPoint>(S.Points.begin(), S.Points.begin() + S.PointCount);
}

// Builds a list from a compact script: 'b<v>' begins a sub-polygon with value v, 'p' adds the
// next point of a running sequence, 'd' drops the last point, 'r' removes the last sub-polygon.
void Play(TPXVectorizedSelection& S, const std::string& Script) {
  int32_t n = 0;
  for (size_t i = 0; i < Script.size(); ++i) {
    const char c = Script[i];
    if (c == 'b') S.BeginSubPolygon(Script[++i] - '0');
    else if (c == 'p') {
      ++n;
      S.AddPoint(10 * n, 5 * n);
    }
    else if (c == 'd') S.DropLastPoint();
    else if (c == 'r') S.RemoveLastSubPolygon();
  }
}

bool HasSeparator(const TPXVectorizedSelection& S) {
  for (const TPoint& p : PointsOf(S))
    if (IsPolygonSeparator(p)) return true;
  return false;
}

}  // namespace

TEST(SelectionList, OperationsTable) {
  struct TCase {
    const char* Script;
    int32_t Points, SubPolygons, Values;
    bool Separator;
  } cases[] = {
      {"", 0, 0, 0, false},
      {"b1b2", 0, 0, 1, false},          // the second call overwrites the first value
      {"b1ppp", 3, 1, 1, false},
      {"b1pppb0pp", 6, 2, 2, true},      // separator between the two
      {"b1pppb0ppr", 3, 1, 2, false},    // cut at the separator; the values keep their length
      {"b1pppr", 0, 0, 1, false},        // no separator: cleared
      {"b1pppb0pd", 3, 1, 2, false},     // dropping the last point also drops the separator
      {"b1pppb0", 4, 1, 2, true},        // a trailing separator counts as the end of one
  };
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.Script);
    TPXVectorizedSelection s(nullptr, nullptr, nullptr);
    Play(s, c.Script);
    EXPECT_EQ(s.PointCount, c.Points);
    EXPECT_EQ(s.SubPolygonCount(), c.SubPolygons);
    EXPECT_EQ(static_cast<int32_t>(s.SubPolygonValues.size()), c.Values);
    EXPECT_EQ(HasSeparator(s), c.Separator);
  }
  // Every list change resets the kind.
  for (const char* script : {"b1", "p", "d", "r"}) {
    TPXVectorizedSelection s(nullptr, nullptr, nullptr);
    Play(s, "b1pp");
    s.Kind = 2;
    Play(s, script);
    EXPECT_EQ(s.Kind, 0) << script;
  }
}

TEST(SelectionList, IsRectangleAndBounds) {
  struct TCase {
    std::vector<TPoint> Points;
    bool Rect;
  } cases[] = {
      {{{0, 0}, {10, 0}, {10, 5}, {0, 5}}, true},
      {{{0, 0}, {0, 5}, {10, 5}, {10, 0}}, true},
      {{{0, 0}, {10, 0}, {10, 0}, {0, 5}}, false},           // a zero-length edge
      {{{5, 0}, {10, 5}, {5, 10}, {0, 5}}, false},           // a rotated square
      {{{0, 0}, {10, 0}, {10, 5}}, false},
      {{{0, 0}, {10, 0}, {10, 5}, {0, 5}, {0, 0}}, false},
  };
  for (const TCase& c : cases) {
    TPXVectorizedSelection s(nullptr, nullptr, nullptr);
    for (const TPoint& p : c.Points) s.AddPoint(p.X, p.Y);
    EXPECT_EQ(s.IsRectangle(), c.Rect) << c.Points.size();
  }
  TPXVectorizedSelection s(nullptr, nullptr, nullptr);
  s.AddPoint(30, 40);
  EXPECT_EQ(s.X2, 0);  // the first point alone leaves the bounds
  s.AddPoint(10, 50);
  s.AddPoint(5, 45);
  EXPECT_EQ((std::vector<int32_t>{s.X1, s.Y1, s.X2, s.Y2}), (std::vector<int32_t>{5, 40, 30, 50}));
}

TEST(SelectionList, Translate) {
  // A box (80, 10)-(100, 30) touching the right edge of a 100 x 100 picture.
  const auto make = [] {
    auto s = std::make_unique<TPXVectorizedSelection>(nullptr, nullptr, nullptr);
    s->BeginSubPolygon(1);
    for (TPoint p : {TPoint{80, 10}, TPoint{100, 10}, TPoint{100, 30}, TPoint{80, 30}}) s->AddPoint(p.X, p.Y);
    return s;
  };
  auto s = make();
  s->Translate(10, 0, 100, 100, false);
  EXPECT_EQ(s->Points[0].X, 80);
  EXPECT_EQ(s->X2, 100);
  s = make();
  s->Translate(10, 0, 100, 100, true);
  EXPECT_EQ(s->Points[0].X, 90);
  EXPECT_EQ(s->Points[1].X, 100);  // piled up on the edge
  EXPECT_EQ(s->X1, 90);
  s = make();
  s->Translate(0, 0, 100, 100, true);
  EXPECT_EQ(s->Points[0].X, 80);
  s = make();
  s->Translate(-20, 5, 100, 100, false);
  EXPECT_EQ((std::vector<int32_t>{s->Points[0].X, s->Points[0].Y, s->X2}), (std::vector<int32_t>{60, 15, 80}));
}

// ---------------------------------------------------------------------------------------------
// The stream

namespace {

void Put(std::string& B, int32_t V) { B.append(reinterpret_cast<const char*>(&V), 4); }

// A hand-made selection stream: Version 0 gives the older layout (no version, values or kind).
std::string SelectionStream(int32_t Version, int32_t W, int32_t H, const std::vector<TPoint>& Points,
                            const std::vector<int32_t>& Values, int32_t Depth, int32_t PosX = 0, int32_t PosY = 0,
                            int32_t Kind = 0, int32_t PointCountOverride = INT32_MIN) {
  std::string b;
  if (Version) Put(b, Version);
  Put(b, W), Put(b, H);
  Put(b, PointCountOverride != INT32_MIN ? PointCountOverride : int32_t(Points.size()));
  for (const TPoint& p : Points) Put(b, p.X), Put(b, p.Y);
  for (int i = 0; i < 4; ++i) Put(b, 0);
  if (Version >= 100001) {
    Put(b, int32_t(Values.size()));
    for (int32_t v : Values) Put(b, v);
  }
  b.push_back(1);
  Put(b, PosX), Put(b, PosY);
  if (Version >= 100001) Put(b, Kind);
  Put(b, Depth);
  Put(b, 2147483647), Put(b, 2147483647), Put(b, 0), Put(b, 0);
  b.push_back(0);
  const int64_t rowLen = (int64_t{W} * Depth + 31) / 32 * 4;
  if (W > 0 && H > 0) b.append(static_cast<size_t>(rowLen * H), 0);
  return b;
}

bool Load(TPixoranView* V, const std::string& Bytes, int32_t Mode) {
  TMemoryStream m;
  m.WriteBuffer(Bytes.data(), static_cast<int64_t>(Bytes.size()));
  m.SetPosition(0);
  return V->LoadSelectionFromStream(&m, Mode);
}

std::string Save(TPixoranView* V) {
  TMemoryStream m;
  V->SaveSelectionToStream(&m);
  return std::string(static_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
}

using SelectionStreamTest = SelectionViewTest;

}  // namespace

TEST_F(SelectionStreamTest, RoundTrips) {
  // Empty.
  ASSERT_TRUE(Load(view_, Save(view_), 0));
  EXPECT_FALSE(view_->SelectionPresent());
  EXPECT_EQ(view_->GetSelectionPointCount(), 0);

  // A rectangle keeps its kind, points and mask.
  view_->Select(10, 20, 40, 50, 0);
  ASSERT_TRUE(view_->SelectionPresent());
  const std::string saved = Save(view_);
  view_->Deselect();
  ASSERT_TRUE(Load(view_, saved, 0));
  EXPECT_TRUE(view_->SelectionPresent());
  EXPECT_EQ(view_->SelPolygons()->Kind, 1);
  ASSERT_EQ(view_->GetSelectionPointCount(), 4);
  EXPECT_EQ(view_->GetSelectionPoint(2), (TPoint{40, 50}));
  EXPECT_EQ(view_->GetSelectionPoint(4), (TPoint{0, 0}));
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{10, 20, 39, 49}));

  // Written as 100000: no kind, every value adds.
  std::string old = saved;
  int32_t v = 100000;
  std::memcpy(old.data(), &v, 4);
  // Drop the values block (after version, W, H, N, 4 points, bounds) and the kind.
  const size_t valuesAt = 4 + 8 + 4 + 32 + 16;
  int32_t m = 0;
  std::memcpy(&m, saved.data() + valuesAt, 4);
  old.erase(valuesAt, 4 + 4 * static_cast<size_t>(m));
  old.erase(valuesAt + 1 + 8, 4);
  view_->Deselect();
  ASSERT_TRUE(Load(view_, old, 0));
  EXPECT_EQ(view_->SelPolygons()->Kind, 0);
  EXPECT_EQ(view_->SelPolygons()->SubPolygonValues, (std::vector<int32_t>{1}));
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{10, 20, 39, 49}));
}

TEST_F(SelectionStreamTest, OlderLayoutReadsAsVersionZero) {
  // First int32 is the mask width (640): two sub-polygons, every one adds.
  const std::vector<TPoint> pts{{1, 1}, {5, 1}, {5, 5}, PolygonSeparator, {10, 10}, {20, 10}, {20, 20}};
  const std::string b = SelectionStream(0, 640, 4, pts, {}, 1);
  ASSERT_TRUE(Load(view_, b, 0));
  EXPECT_EQ(view_->SelPolygons()->SubPolygonValues, (std::vector<int32_t>{1, 1}));
  EXPECT_EQ(view_->SelPolygons()->Kind, 0);
}

TEST_F(SelectionStreamTest, Mode1MovesIntoANarrowerPicture) {
  // A 60-wide selection ending at column 89 of a 100-wide picture, loaded into a 70-wide one.
  TPixoranView* other = NewView(200, 150);
  other->SetSelectionBase(pxsbBitmap);
  SetPicture(other, 100, 80);
  other->SelMask()->AllocateBits(100, 80, 1);
  for (int32_t y = 10; y < 20; ++y) other->SelMask()->FillSpan(1, 30, 89, y);
  other->SelMask()->UpdateBounds();
  // A mask-only selection (as a wand fill leaves it).
  TMemoryStream s;
  other->SaveSelectionToStream(&s);
  std::string bytes(static_cast<const char*>(s.Memory()), static_cast<size_t>(s.Size()));
  SetPicture(view_, 70, 80);
  ASSERT_TRUE(Load(view_, bytes, 1));
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{10, 10, 69, 19}));
  // Mode 0 crops instead.
  ASSERT_TRUE(Load(view_, bytes, 0));
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{30, 10, 69, 19}));
}

TEST_F(SelectionStreamTest, Mode2ReplacesForTheCurrentLayerAndLayerSwitchKeepsThePlace) {
  SetPicture(view_, 200, 150);
  view_->Select(100, 50, 120, 60, 0);  // on layer 0 at (0, 0)
  const std::string saved = Save(view_);
  view_->LayersAppend(pxlkImage, 100, 50, 60, 40, nullptr, false, false, false, false);
  // Switching layers carries the selection over: same place on the canvas, mask only.
  view_->SetLayersCurrentEx(1, false, false, false);
  EXPECT_EQ(view_->SelMask()->Width(), 60);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{0, 0, 19, 9}));
  EXPECT_EQ(view_->GetSelectionPointCount(), 0);
  EXPECT_TRUE(view_->SelectionPresent());
  view_->Deselect();
  ASSERT_TRUE(Load(view_, saved, 2));
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{0, 0, 19, 9}));
  view_->SetLayersCurrentEx(0, false, false, false);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{100, 50, 119, 59}));
  // What lies left of the layer is cut.
  view_->Select(90, 55, 110, 65, 0);
  view_->SetLayersCurrentEx(1, false, false, false);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{0, 5, 9, 14}));
}

TEST_F(SelectionStreamTest, StackAndUndo) {
  EXPECT_FALSE(view_->PopSelection(true, 0));
  view_->Select(10, 10, 30, 30, 0);
  view_->PushSelection();
  view_->Select(50, 50, 60, 60, 0);
  ASSERT_TRUE(view_->PopSelection(false, 0));
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{10, 10, 29, 29}));
  EXPECT_EQ(view_->SelStackCount(), 1);
  ASSERT_TRUE(view_->PopSelection(true, 0));
  EXPECT_EQ(view_->SelStackCount(), 0);

  // The processing engine's undo entry for selections restores one.
  TPixoranProc* proc = view_->GetProc();
  proc->StoreUndoState("sel", pxuSelection, true, 0);
  view_->Select(50, 50, 60, 60, 0);
  proc->Undo(true);
  EXPECT_EQ(MaskBox(view_), (std::vector<int32_t>{10, 10, 29, 29}));
  EXPECT_EQ(view_->GetSelectionPointCount(), 4);
}

TEST_F(SelectionStreamTest, HostileStreamsLeaveTheSelection) {
  view_->Select(10, 10, 30, 30, 0);
  const std::string before = Save(view_);
  const std::vector<TPoint> pts{{1, 1}, {5, 1}, {5, 5}};
  std::string truncated = SelectionStream(100001, 100, 80, pts, {1}, 1);
  truncated.resize(truncated.size() - 10);
  std::string bigValues = SelectionStream(100001, 100, 80, pts, {1}, 1);
  const int32_t huge = 0x7FFFFFF0;
  std::memcpy(bigValues.data() + 4 + 8 + 4 + 24 + 16, &huge, 4);
  const struct {
    const char* Name;
    std::string Bytes;
  } cases[] = {
      {"negative points", SelectionStream(100001, 100, 80, pts, {1}, 1, 0, 0, 0, -5)},
      {"too many points", SelectionStream(100001, 100, 80, pts, {1}, 1, 0, 0, 0, 1 << 28)},
      {"too many values", bigValues},
      {"depth 4", SelectionStream(100001, 100, 80, pts, {1}, 4)},
      {"negative width", SelectionStream(100001, -3, 80, pts, {1}, 1)},
      {"negative height", SelectionStream(100001, 100, -80, pts, {1}, 1)},
      {"rows beyond the end", truncated},
      {"huge mask", SelectionStream(100001, 1 << 30, 0, pts, {1}, 1)},
      {"short", std::string("\xA1\x86\x01\x00", 4)},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(Load(view_, c.Bytes, 0)) << c.Name;
    EXPECT_EQ(Save(view_), before) << c.Name;
  }
}
