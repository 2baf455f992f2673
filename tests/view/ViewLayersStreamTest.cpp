// The layers stream: its header, round trips of a stack in both raw encodings, the older
// layout, loading through the I/O component, and hostile streams that leave the view as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "io/pixoranio_registry.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes_streams.h"
#include "proc/pixoranproc.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/KindRecordSupport.h"
#include "tests/view/ViewTestSupport.h"

namespace {

std::string BytesOf(TMemoryStream& S) {
  return std::string(static_cast<const char*>(S.Memory()), static_cast<size_t>(S.Size()));
}

int32_t IntAt(const std::string& B, size_t At) {
  int32_t v = 0;
  std::memcpy(&v, B.data() + At, 4);
  return v;
}

void PutInt(std::string& B, int32_t V) { B.append(reinterpret_cast<const char*>(&V), 4); }

// Three layers: a gradient background with alpha, a grouped selected layer, and its mask.
void BuildStack(TPixoranView& View) {
  View.GetPXBitmap()->AssignFrom(ViewTest::Gradient(30, 20).get(), false);
  TPXBitmap* alpha = View.GetPXBitmap()->GetAlphaChannel();
  for (int32_t y = 0; y < 20; ++y)
    for (int32_t x = 0; x < 30; ++x) alpha->Scanline(y)[x] = static_cast<uint8_t>(x * 8);
  alpha->FFull = 0;
  View.Layers(0)->SetName("background");
  View.LayersAppend(pxlkImage, 4, 5, 10, 8, nullptr, false, false, false, true);
  View.CurrentLayer()->SetName("grouped");
  View.CurrentLayer()->SetOpacity(0.25);
  View.CurrentLayer()->SetGroupIndex(7);
  View.GetPXBitmap()->Fill(static_cast<double>(clRed));
  View.LayersAppend(pxlkImage, 6, 7, 4, 4, nullptr, false, false, false, true);
  View.CurrentLayer()->SetName("mask");
  View.CurrentLayer()->SetIsMask(true);
  View.GetPXBitmap()->Fill(static_cast<double>(0x808080));
  View.SetLayersCurrent(0);
  View.Layers(1)->SetSelectedFlag(true);
  View.Layers(2)->SetSelectedFlag(false);
}

std::string Describe(TPixoranView& View) {
  std::string s = std::to_string(View.LayersCount()) + "|";
  for (int32_t i = 0; i < View.LayersCount(); ++i) {
    TPXLayer* l = View.Layers(i);
    TPXBitmap* b = dynamic_cast<TPXImageLayer*>(l)->Bitmap();
    s += l->Name() + " " + std::to_string(l->GetPosX()) + "," + std::to_string(l->GetPosY()) + " " +
         std::to_string(b->Width()) + "x" + std::to_string(b->Height()) + " g" + std::to_string(l->GroupIndex()) +
         (l->Selected() ? " sel" : "") + (l->IsMask() ? " mask" : "") + " o" + std::to_string(l->Opacity());
    for (int32_t y = 0; y < b->Height(); y += 3)
      for (int32_t x = 0; x < b->Width(); x += 5) {
        const TRGB p = b->GetPixelRGB(x, y);
        s += " " + std::to_string(p.r + p.g * 3 + p.b * 7);
        if (b->HasAlphaChannel()) s += "a" + std::to_string(b->GetAlpha(x, y));
      }
    s += ";";
  }
  return s;
}

}  // namespace

TEST_F(ViewTest, LayersStreamRoundTripsAndItsHeader) {
  TPixoranView source(nullptr);
  BuildStack(source);
  for (int32_t compression : {-1, -2}) {
    SCOPED_TRACE(compression);
    TMemoryStream s;
    source.LayersSaveToStream(&s, compression, false, false, false, true, TPXProgressEvent());
    const std::string b = BytesOf(s);
    ASSERT_GT(b.size(), 45u);
    EXPECT_EQ(b.substr(0, 13), "DOZUROVAZERAR");
    EXPECT_EQ(IntAt(b, 13), 8006);
    EXPECT_EQ(IntAt(b, 17), compression);
    EXPECT_EQ(IntAt(b, 21), 3);
    EXPECT_EQ(IntAt(b, 25), 30);  // the extent
    EXPECT_EQ(IntAt(b, 29), 20);
    EXPECT_EQ(IntAt(b, 33), 0);   // no description
    EXPECT_EQ(b[37], 1);          // the background is included
    EXPECT_EQ(b[38], 0);          // no thumbnail

    TPixoranView loaded(nullptr);
    // Without multiple selection the load keeps the stored Selected flags.
    loaded.SetLayerOptions(loaded.LayerOptions() - loAllowMultiSelect);
    std::vector<int32_t> progress;
    s.SetPosition(0);
    ASSERT_TRUE(loaded.LayersLoadFromStream(&s, false, [&](TObject*, int32_t p) { progress.push_back(p); }));
    EXPECT_EQ(Describe(loaded), Describe(source));
    EXPECT_EQ(loaded.LayersCurrent(), 0);
    EXPECT_EQ(progress, (std::vector<int32_t>{0, 25, 50, 75}));
    EXPECT_EQ(loaded.IO()->Params()->Layers_HeaderValueA, compression);
    EXPECT_EQ(loaded.IO()->Params()->Layers_HeaderValueB, 3);
    EXPECT_EQ(loaded.IO()->Params()->Width, 30);

    // Appended: the records go on top; the last is current.
    s.SetPosition(0);
    ASSERT_TRUE(loaded.LayersLoadFromStream(&s, true, TPXProgressEvent()));
    EXPECT_EQ(loaded.LayersCount(), 6);
    EXPECT_EQ(loaded.LayersCurrent(), 5);
  }
  // Without the background the view keeps its layer 0 and takes every record above it.
  TMemoryStream skip;
  source.LayersSaveToStream(&skip, -2, false, true, false, false, TPXProgressEvent());
  EXPECT_EQ(BytesOf(skip)[37], 0);
  TPixoranView other(nullptr);
  other.Layers(0)->SetName("own");
  skip.SetPosition(0);
  ASSERT_TRUE(other.LayersLoadFromStream(&skip, false, TPXProgressEvent()));
  EXPECT_EQ(other.LayersCount(), 3);
  EXPECT_EQ(other.Layers(0)->Name(), "own");
  EXPECT_EQ(other.Layers(1)->Name(), "grouped");
}

// Every drawn kind keeps its record byte for byte through the layers stream and through the
// undo store's layer entry.
TEST_F(ViewTest, EveryLayerKindRoundTripsThroughTheStreamAndTheUndoStore) {
  TPixoranView view(nullptr);
  view.GetPXBitmap()->AssignFrom(ViewTest::Gradient(60, 40).get(), false);
  for (TPXLayerKind kind : kDrawnLayerKinds) {
    const int32_t i = view.LayersAdd(kind, 5, 6, 30, 20);
    ASSERT_EQ(view.Layers(i)->Kind(), kind);
    GiveKindContent(view.Layers(i));
  }
  // The records as the layers hold them; which layer is selected is the view's state, not theirs.
  auto records = [](TPixoranView& V) {
    std::vector<std::string> r;
    for (int32_t i = 0; i < V.LayersCount(); ++i) {
      V.Layers(i)->SetSelectedFlag(false);
      r.push_back(LayerRecordBytes(*V.Layers(i)));
    }
    return r;
  };
  const std::vector<std::string> before = records(view);
  ASSERT_EQ(before.size(), 6u);

  TMemoryStream s;
  view.LayersSaveToStream(&s, -2, false, false, false, false, TPXProgressEvent());
  TPixoranView loaded(nullptr);
  s.SetPosition(0);
  ASSERT_TRUE(loaded.LayersLoadFromStream(&s, false, TPXProgressEvent()));
  ASSERT_EQ(loaded.LayersCount(), 6);
  for (int32_t i = 1; i < 6; ++i) EXPECT_EQ(loaded.Layers(i)->Kind(), kDrawnLayerKinds[size_t(i - 1)]);
  EXPECT_EQ(records(loaded), before);

  view.Proc()->SaveUndo(pxuLayer, true);
  for (int32_t i = 1; i < 6; ++i) {
    TPXLayer* l = view.Layers(i);
    l->SetName("changed");
    l->SetPosX(33);
    l->SetRotate(90);
    if (auto* t = dynamic_cast<TPXTextLayer*>(l)) t->SetText("changed");
    if (auto* a = dynamic_cast<TPXAngleLayer*>(l)) a->InvertAngle();
  }
  view.Proc()->Undo(true);
  EXPECT_EQ(records(view), before);
}

TEST_F(ViewTest, LayersFileThroughTheIOComponent) {
  TestTempDir dir;
  TPixoran source(nullptr);
  BuildStack(source);
  source.IO()->SaveToFile(dir.File("stack.pxn"), pxftPXN);
  ASSERT_FALSE(source.IO()->Aborting());
  TPixoran loaded(nullptr);
  loaded.SetLayerOptions(loaded.LayerOptions() - loAllowMultiSelect);
  ASSERT_TRUE(loaded.IO()->LoadFromFile(dir.File("stack.pxn"), pxftPXN));
  EXPECT_EQ(Describe(loaded), Describe(source));
}

TEST_F(ViewTest, OlderVersionsFollowTheShortHeader) {
  // Version 6999: layer records straight after the 25-byte header.
  {
    TPixoranView source(nullptr);
    source.GetPXBitmap()->AssignFrom(Gradient(6, 4).get(), false);
    source.Layers(0)->SetName("records");
    TMemoryStream full;
    source.LayersSaveToStream(&full, -1, false, false, false, false, TPXProgressEvent());
    std::string stream = "DOZUROVAZERAR";
    PutInt(stream, 6999), PutInt(stream, -1), PutInt(stream, 1);
    stream += BytesOf(full).substr(39);
    TCustomMemoryStream s(stream.data(), static_cast<int64_t>(stream.size()));
    TPixoranView view(nullptr);
    view.IO();
    ASSERT_TRUE(view.LayersLoadFromStream(&s, false, TPXProgressEvent()));
    EXPECT_EQ(view.Layers(0)->Name(), "records");
    EXPECT_EQ(view.GetPXBitmap()->GetPixelRGB(5, 3).r, 5);
    EXPECT_EQ(view.IO()->Params()->Width, 6);
    EXPECT_EQ(view.IO()->Params()->Height, 4);
    EXPECT_EQ(view.IO()->Params()->Layers_Version, 6999);
  }
  // Below 6400 every record is an image layer of the older per-view layout.
  auto picture = Gradient(6, 4);
  TMemoryStream raw;
  picture->SaveRawToStream(nullptr, &raw, false);
  std::string fields;
  auto byte = [&](uint8_t v) { fields.push_back(static_cast<char>(v)); };
  auto dbl = [&](double v) { fields.append(reinterpret_cast<const char*>(&v), 8); };
  byte(1), byte(0), PutInt(fields, 255), dbl(1.0);         // visible, box, transparency, opacity
  PutInt(fields, 3), PutInt(fields, 2), byte(0), byte(1);  // position, cropped, locked
  byte(0), dbl(2.0), byte(0), byte(1), byte(0);            // magnifier, operation
  PutInt(fields, 0), PutInt(fields, 0);                     // natural size
  byte(0), byte(0), PutInt(fields, 3), fields += "old", PutInt(fields, 0), byte(0);
  byte(1), byte(0), PutInt(fields, 0), dbl(0.5), dbl(0.5), dbl(0), PutInt(fields, 0), byte(0);
  const int32_t pictureAt = 25 + static_cast<int32_t>(fields.size()) + 8;
  PutInt(fields, pictureAt), PutInt(fields, 0);
  std::string stream = "DOZUROVAZERAR";
  PutInt(stream, 9), PutInt(stream, -2), PutInt(stream, 1);
  stream += fields;
  PutInt(stream, static_cast<int32_t>(raw.Size()));
  stream += BytesOf(raw);
  TCustomMemoryStream s(stream.data(), static_cast<int64_t>(stream.size()));
  TPixoranView view(nullptr);
  view.IO();
  ASSERT_TRUE(view.LayersLoadFromStream(&s, false, TPXProgressEvent()));
  ASSERT_EQ(view.LayersCount(), 1);
  EXPECT_EQ(view.Layers(0)->Name(), "old");
  EXPECT_EQ(view.Layers(0)->GetPosX(), 3);
  EXPECT_EQ(view.GetPXBitmap()->Width(), 6);
  EXPECT_EQ(view.GetPXBitmap()->GetPixelRGB(5, 3).r, 5);
  EXPECT_EQ(view.IO()->Params()->Width, 6);
}

TEST_F(ViewTest, HostileLayersStreamsLeaveTheViewAsItWas) {
  TPixoranView source(nullptr);
  BuildStack(source);
  TMemoryStream good;
  source.LayersSaveToStream(&good, -2, false, false, false, false, TPXProgressEvent());
  const std::string valid = BytesOf(good);
  const size_t records = 39;
  struct Row {
    const char* What;
    std::function<std::string()> Make;
    bool Raises;
  };
  auto patched = [&](size_t At, int32_t V) {
    std::string b = valid;
    std::memcpy(b.data() + At, &V, 4);
    return b;
  };
  const std::vector<Row> rows = {
      {"empty", [] { return std::string(); }, false},
      {"other magic", [&] { return "DOZUROVAZERAX" + valid.substr(13); }, false},
      {"version 0", [&] { return patched(13, 0); }, false},
      {"negative count", [&] { return patched(21, -1); }, false},
      {"count past the bytes", [&] { return patched(21, 1 << 28); }, false},
      {"description longer than the stream", [&] { return patched(33, 1 << 30); }, false},
      {"negative description", [&] { return patched(33, -3); }, false},
      {"thumbnail size below 4",
       [&] {
         std::string b = valid.substr(0, 38) + '\1';
         PutInt(b, 2);
         return b + valid.substr(records);
       },
       false},
      {"thumbnail past the end",
       [&] {
         std::string b = valid.substr(0, 38) + '\1';
         PutInt(b, 1 << 30);
         return b + valid.substr(records);
       },
       false},
      {"truncated record", [&] { return valid.substr(0, valid.size() - 40); }, true},
      {"record size past the end", [&] { return patched(records, 1 << 30); }, true},
      {"record of an unknown kind", [&] { return patched(records + 8, 9); }, true},
      {"record of a newer version", [&] { return patched(records + 4, 8007); }, true},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.What);
    TPixoranView view(nullptr);
    BuildStack(view);
    view.Layers(0)->SetName("mine");
    const std::string before = Describe(view);
    const std::string bytes = r.Make();
    TCustomMemoryStream s(bytes.data(), static_cast<int64_t>(bytes.size()));
    bool result = true;
    bool raised = false;
    try {
      result = view.LayersLoadFromStream(&s, false, TPXProgressEvent());
    } catch (const Exception&) {
      raised = true;
    }
    EXPECT_EQ(raised, r.Raises);
    if (!raised) {
      EXPECT_FALSE(result);
    }
    EXPECT_EQ(Describe(view), before);
    EXPECT_EQ(view.UpdateLockCount(), 0);
  }
}
