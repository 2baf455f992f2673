// The layer base: defaults, identity, alignment codes, rotation, change notification and the
// cache drop, natural size, kind names, mask inversion, selection and groups.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <string>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers.h"
#include "tests/layers/FakeLayerOwner.h"

namespace {

TEST(LayerBase, ConstructionDefaultsAndIdentity) {
  FakeLayerOwner owner;
  auto* image = owner.Add(TPXImageLayer::CreateSized(&owner, 10, 10));
  auto* shape = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  EXPECT_TRUE(owner.ImageChanges.empty());
  EXPECT_FALSE(image->Modified());

  EXPECT_EQ(image->Kind(), pxlkImage);
  EXPECT_EQ(image->BorderColor(), clNone);
  EXPECT_EQ(image->BorderWidth(), 1);
  EXPECT_EQ(image->ImageResampleFilter(), rfFastLinear);
  EXPECT_FALSE(image->ImageUseResampleFilter());
  EXPECT_FALSE(image->MagnifierEnabled());
  EXPECT_EQ(image->MagnifierZoom(), 2.0);
  EXPECT_EQ(image->MagnifierShape(), 0);
  EXPECT_EQ(image->MagnifierSource(), 1);
  for (TPXLayer* l : {static_cast<TPXLayer*>(image), static_cast<TPXLayer*>(shape)}) {
    EXPECT_TRUE(l->Visible() && l->VisibleBox() && l->Selectable() && l->AntiAlias());
    EXPECT_FALSE(l->Locked() || l->Cropped() || l->IsMask() || l->MaskInverted() || l->DrawOuter());
    EXPECT_FALSE(l->Selected() || l->AspectRatioLocked() || l->CacheValid());
    EXPECT_EQ(l->Transparency(), 255);
    EXPECT_EQ(l->Opacity(), 1.0);
    EXPECT_EQ(l->FillOpacity(), 1.0);
    EXPECT_EQ(l->Rotate(), 0.0);
    EXPECT_EQ(l->RotateCenterX(), 0.5);
    EXPECT_EQ(l->RotateCenterY(), 0.5);
    EXPECT_EQ(l->GroupIndex(), 0);
    EXPECT_EQ(l->AlphaEdgeFeathering(), 0);
    EXPECT_EQ(l->UserDataLen(), 0);
    EXPECT_EQ(l->UserData(), nullptr);
    EXPECT_EQ(l->StoredAspectRatio(), 0.0);
    EXPECT_EQ(l->SoftShadow()->Enabled, 0);
    EXPECT_EQ(l->SoftShadow()->Radius, 3.0);
    EXPECT_EQ(l->SoftShadow()->OffsetX, 0);
    EXPECT_EQ(l->SoftShadow()->OffsetY, 0);
    EXPECT_EQ(l->SoftShadow()->Intensity, 100);
    EXPECT_EQ(l->SoftShadow()->Color, (TRGB{0, 0, 0}));
  }

  // Every layer its own random version-4 GUID.
  std::set<std::string> seen;
  for (int i = 0; i < 64; ++i) {
    TPXImageLayer l(nullptr);
    const TGUID& g = l.GUID();
    EXPECT_EQ(g.D3 >> 12, 4);
    EXPECT_EQ(g.D4[0] & 0xC0, 0x80);
    seen.insert(std::string(reinterpret_cast<const char*>(&g), sizeof g));
  }
  EXPECT_EQ(seen.size(), 64u);
}

TEST(LayerBase, PositionAlignmentCodes) {
  struct Case {
    int32_t Value;
    double WithOwner;
    double WithoutOwner;
  };
  // A 100-pixel layer over a 301-pixel layer 0 at x 0; the layer starts at 7.5.
  const Case cases[] = {
      {42, 42, 42},
      {0x7FFFFFF3, 0x7FFFFFF3, 0x7FFFFFF3},
      {PXLayerAlignLeft, 0, 0},
      {PXLayerAlignCenter, 100, 0},
      {PXLayerAlignRight, 201, 0},
      {0x7FFFFFF7, 7.5, 0},
      {0x7FFFFFFF, 7.5, 0},
  };
  for (const Case& c : cases) {
    FakeLayerOwner owner;
    owner.Add(TPXImageLayer::CreateSized(&owner, 301, 50));
    auto* layer = owner.Add(TPXImageLayer::CreateSized(&owner, 100, 20));
    layer->SetPosXD(7.5);
    layer->SetPosX(c.Value);
    EXPECT_EQ(layer->GetPosXD(), c.WithOwner) << c.Value;

    auto free = TPXImageLayer::CreateSized(nullptr, 100, 20);
    free->SetPosXD(7.5);
    free->SetPosX(c.Value);
    EXPECT_EQ(free->GetPosXD(), c.WithoutOwner) << c.Value;
  }
  // Vertical codes use tops and heights.
  FakeLayerOwner owner;
  auto* base = owner.Add(TPXImageLayer::CreateSized(&owner, 10, 301));
  base->SetPosYD(10);
  auto* layer = owner.Add(TPXImageLayer::CreateSized(&owner, 10, 100));
  layer->SetPosY(PXLayerAlignCenter);
  EXPECT_EQ(layer->GetPosY(), 110);
  layer->SetPosY(PXLayerAlignRight);
  EXPECT_EQ(layer->GetPosY(), 211);
}

TEST(LayerBase, RotationIsNormalised) {
  const std::pair<double, double> cases[] = {{720, 0},      {370.5, 10.5}, {-725, -5},  {360, 0},
                                             {-360.5, -0.5}, {359.5, 359.5}, {1080.25, 0.25}, {HUGE_VAL, 0}};
  for (auto [in, out] : cases) {
    TestOnlyLayer l(nullptr);
    l.SetRotate(30);
    l.SetRotate(in);
    EXPECT_DOUBLE_EQ(l.Rotate(), out) << in;
  }
  // The current value fires nothing; a new one drops the cache and notifies.
  FakeLayerOwner owner;
  auto* l = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  l->SetRotate(720);
  EXPECT_TRUE(owner.ImageChanges.empty());
  l->MarkCacheValid();
  l->SetRotate(10);
  EXPECT_EQ(owner.ImageChanges, std::vector<int32_t>{3});
  EXPECT_FALSE(l->CacheValid());
}

TEST(LayerBase, SubPixelMovesReachTheKindExactlyButNotifyFromHalfAPixel) {
  FakeLayerOwner owner;
  auto* l = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  l->SetPosXD(0.3);
  l->SetPosXD(0.8);  // 0.5 rounds to even: still no notification
  EXPECT_EQ(l->GetPosXD(), 0.8);
  EXPECT_TRUE(owner.ImageChanges.empty());
  // The kind follows every change by its exact difference, so its outline stays with the box.
  ASSERT_EQ(l->MovedX.size(), 2u);
  EXPECT_DOUBLE_EQ(l->MovedX[0], 0.3);
  EXPECT_DOUBLE_EQ(l->MovedX[1], 0.5);
  l->SetPosXD(0.8);  // unchanged: nothing
  EXPECT_EQ(l->MovedX.size(), 2u);
  l->SetPosXD(2.4);
  EXPECT_EQ(owner.ImageChanges, std::vector<int32_t>{3});
  EXPECT_DOUBLE_EQ(l->MovedX.back(), 1.6);
  l->SetPosYD(-0.2);
  ASSERT_EQ(l->MovedY.size(), 1u);
  EXPECT_DOUBLE_EQ(l->MovedY[0], -0.2);
  EXPECT_EQ(owner.ImageChanges.size(), 1u);
}

TEST(LayerBase, SettersNotifyAndDropTheCacheAsTabled) {
  struct Case {
    const char* Name;
    std::function<void(TPXLayer&)> Set;
    bool DropsCache;
  };
  const Case cases[] = {
      {"Visible", [](TPXLayer& l) { l.SetVisible(false); }, false},
      {"VisibleBox", [](TPXLayer& l) { l.SetVisibleBox(false); }, false},
      {"Selectable", [](TPXLayer& l) { l.SetSelectable(false); }, false},
      {"Cropped", [](TPXLayer& l) { l.SetCropped(true); }, false},
      {"Locked", [](TPXLayer& l) { l.SetLocked(true); }, false},
      {"Operation", [](TPXLayer& l) { l.SetOperation(3); }, false},
      {"Transparency", [](TPXLayer& l) { l.SetTransparency(100); }, false},
      {"Opacity", [](TPXLayer& l) { l.SetOpacity(0.5); }, false},
      {"Name", [](TPXLayer& l) { l.SetName("x"); }, false},
      {"Tag", [](TPXLayer& l) { l.SetTag(7); }, false},
      {"UserData", [](TPXLayer& l) { l.SetUserData("ab", 2); }, false},
      {"AlphaEdgeFeathering", [](TPXLayer& l) { l.SetAlphaEdgeFeathering(4); }, false},
      {"GroupIndex", [](TPXLayer& l) { l.SetGroupIndex(2); }, false},
      {"PosX", [](TPXLayer& l) { l.SetPosX(5); }, false},
      {"PosY", [](TPXLayer& l) { l.SetPosY(5); }, false},
      {"AspectRatioLocked", [](TPXLayer& l) { l.SetAspectRatioLocked(true); }, false},
      {"FillOpacity", [](TPXLayer& l) { l.SetFillOpacity(0.5); }, true},
      {"IsMask", [](TPXLayer& l) { l.SetIsMask(true); }, true},
      {"RotateCenterX", [](TPXLayer& l) { l.SetRotateCenterX(0.2); }, true},
      {"RotateCenterY", [](TPXLayer& l) { l.SetRotateCenterY(0.2); }, true},
      {"FillColor2", [](TPXLayer& l) { l.SetFillColor2(5); }, true},
      {"FillGradient", [](TPXLayer& l) { l.SetFillGradient(2); }, true},
      {"BorderColor", [](TPXLayer& l) { l.SetBorderColor(5); }, true},
      {"BorderWidth", [](TPXLayer& l) { l.SetBorderWidth(3); }, true},
      {"FillColor", [](TPXLayer& l) { l.SetFillColor(5); }, true},
      {"Width", [](TPXLayer& l) { l.SetWidth(50); }, true},
      {"Height", [](TPXLayer& l) { l.SetHeightD(50); }, true},
      {"Rotate", [](TPXLayer& l) { l.SetRotate(45); }, true},
      {"MaskInverted", [](TPXLayer& l) { l.SetMaskInverted(true); }, true},
  };
  for (const Case& c : cases) {
    FakeLayerOwner owner;
    auto* l = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
    l->MarkCacheValid();
    c.Set(*l);
    EXPECT_EQ(owner.ImageChanges, std::vector<int32_t>{3}) << c.Name;
    EXPECT_EQ(l->CacheValid(), !c.DropsCache) << c.Name;
    EXPECT_TRUE(l->Modified()) << c.Name;

    // Nothing is notified while Updating is set.
    FakeLayerOwner quiet;
    auto* q = quiet.Add(std::make_unique<TestOnlyLayer>(&quiet));
    q->MarkCacheValid();
    q->SetUpdating(true);
    c.Set(*q);
    EXPECT_TRUE(quiet.ImageChanges.empty()) << c.Name;
    EXPECT_TRUE(q->CacheValid()) << c.Name;
    EXPECT_FALSE(q->Modified()) << c.Name;
  }
}

TEST(LayerBase, UserDataKeepsBlockAndLengthTogether) {
  TestOnlyLayer l(nullptr);
  l.SetUserData("abc", 3);
  ASSERT_EQ(l.UserDataLen(), 3);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(l.UserData()), 3), "abc");
  l.SetUserData(nullptr, 5);  // a length without a block is no block
  EXPECT_EQ(l.UserDataLen(), 0);
  EXPECT_EQ(l.UserData(), nullptr);
}

TEST(LayerBase, SizeAndNaturalSize) {
  TestOnlyLayer l(nullptr);
  l.SetWidthD(0.4);
  EXPECT_EQ(l.GetWidth(), 1);
  l.SetWidthD(10.5);
  EXPECT_EQ(l.GetWidth(), 10);
  l.SetWidthD(11.5);
  EXPECT_EQ(l.GetWidth(), 12);
  l.SetPosXD(-3.7);
  EXPECT_EQ(l.GetPosX(), -3);

  auto image = TPXImageLayer::CreateSized(nullptr, 30, 20);
  EXPECT_TRUE(image->IsNaturalSize());
  EXPECT_EQ(image->GetWidth(), 30);
  EXPECT_EQ(image->GetHeight(), 20);
  EXPECT_EQ(image->GetOriginalWidth(), 30);
  image->SetHeight(40);
  EXPECT_FALSE(image->IsNaturalSize());
  EXPECT_EQ(image->GetWidth(), 30);
  EXPECT_EQ(image->GetHeight(), 40);
  EXPECT_EQ(image->GetOriginalHeight(), 20);
  image->RestoreSize();
  EXPECT_TRUE(image->IsNaturalSize());
  EXPECT_EQ(image->GetHeight(), 20);

  // Width changes within the same rounded value do not notify.
  FakeLayerOwner owner;
  auto* w = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  w->SetWidthD(10.2);
  owner.ClearRecords();
  w->SetWidthD(9.8);
  EXPECT_TRUE(owner.ImageChanges.empty());
  EXPECT_EQ(w->GetWidthD(), 9.8);
}

TEST(LayerBase, ImageLayerConstructors) {
  auto pattern = TPXBitmap::CreateAllocated(7, 5, px8g);
  auto like = TPXImageLayer::CreateLike(nullptr, pattern.get());
  EXPECT_EQ(like->Bitmap()->Width(), 7);
  EXPECT_EQ(like->Bitmap()->Height(), 5);
  EXPECT_EQ(like->Bitmap()->PixelFormat(), px8g);
  EXPECT_NE(like->Bitmap(), pattern.get());
  EXPECT_TRUE(like->OwnsBitmap());

  TPXBitmap* given = pattern.get();
  TPXImageLayer taking(nullptr, std::move(pattern));
  EXPECT_EQ(taking.Bitmap(), given);
  EXPECT_EQ(taking.GetBitmap(), given);

  TPXImageLayer empty(nullptr);
  ASSERT_NE(empty.Bitmap(), nullptr);
  EXPECT_TRUE(empty.Bitmap()->IsEmpty());
  EXPECT_EQ(empty.GetWidth(), 1);  // never below one pixel
}

TEST(LayerBase, KindNames) {
  struct Case {
    TPXLayerKind Kind;
    bool Mask;
    const char* Name;
  };
  const Case cases[] = {
      {pxlkShape, false, "Shape"},        {pxlkLine, false, "Line"},   {pxlkPolyline, false, "Polyline"},
      {pxlkText, false, "Text"},          {pxlkAngle, false, "Angle"}, {pxlkShape, true, "Mask (Shape)"},
      {pxlkText, true, "Mask (Text)"},
  };
  for (const Case& c : cases) {
    TestOnlyLayer l(nullptr, c.Kind);
    l.SetIsMask(c.Mask);
    EXPECT_EQ(l.GetKindName(), c.Name);
  }
  TPXImageLayer image(nullptr);
  EXPECT_EQ(image.GetKindName(), "Image");
  image.SetIsMask(true);
  EXPECT_EQ(image.GetKindName(), "Mask");
}

TEST(LayerBase, MaskInversion) {
  // A plain image layer keeps MaskInverted False.
  auto plain = TPXImageLayer::CreateSized(nullptr, 2, 1);
  plain->SetMaskInverted(true);
  EXPECT_FALSE(plain->MaskInverted());

  // An image mask's pixels are inverted at once, and back.
  auto mask = std::make_unique<TPXImageLayer>(nullptr, TPXBitmap::CreateAllocated(2, 1, px8g));
  mask->Bitmap()->Scanline(0)[0] = 10;
  mask->Bitmap()->Scanline(0)[1] = 200;
  mask->SetIsMask(true);
  mask->SetMaskInverted(true);
  EXPECT_TRUE(mask->MaskInverted());
  EXPECT_EQ(mask->Bitmap()->Scanline(0)[0], 245);
  EXPECT_EQ(mask->Bitmap()->Scanline(0)[1], 55);
  mask->SetMaskInverted(true);  // unchanged: no second inversion
  EXPECT_EQ(mask->Bitmap()->Scanline(0)[0], 245);
  mask->SetMaskInverted(false);
  EXPECT_EQ(mask->Bitmap()->Scanline(0)[0], 10);

  // Other kinds only store the flag.
  TestOnlyLayer shape(nullptr);
  shape.SetMaskInverted(true);
  EXPECT_TRUE(shape.MaskInverted());
}

TEST(LayerBase, FeatheringGivesAnImageLayerAnAlphaChannel) {
  auto image = TPXImageLayer::CreateSized(nullptr, 4, 4);
  ASSERT_FALSE(image->Bitmap()->HasAlphaChannel());
  image->SetAlphaEdgeFeathering(2);
  EXPECT_TRUE(image->Bitmap()->HasAlphaChannel());
}

TEST(LayerBase, SelectionNeedsMultiSelect) {
  FakeLayerOwner owner;
  owner.Add(TPXImageLayer::CreateSized(&owner, 10, 10));
  auto* l = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  l->SetSelected(true);
  EXPECT_FALSE(l->Selected());
  EXPECT_TRUE(owner.SelectionChangeSenders.empty());

  owner.Options.Include(loAllowMultiSelect);
  l->SetSelected(true);
  EXPECT_TRUE(l->Selected());
  EXPECT_TRUE(l->IsSelected());
  EXPECT_EQ(owner.SelectionChangeSenders, std::vector<TObject*>{l});
  EXPECT_EQ(owner.BitmapChangeCodes, std::vector<int32_t>{0});
  EXPECT_EQ(owner.Updates, 1);
  l->SetSelected(true);  // unchanged: nothing more
  EXPECT_EQ(owner.SelectionChangeSenders.size(), 1u);

  // Without multi-select the current layer is the selected one.
  owner.Options.Exclude(loAllowMultiSelect);
  owner.Current = 0;
  EXPECT_FALSE(l->IsSelected());
  owner.Current = 1;
  EXPECT_TRUE(l->IsSelected());
  TestOnlyLayer free(nullptr);
  EXPECT_FALSE(free.IsSelected());
}

TEST(LayerBase, GroupsSelectTogether) {
  FakeLayerOwner owner;
  owner.Options.Include(loAllowMultiSelect);
  owner.Add(TPXImageLayer::CreateSized(&owner, 10, 10));
  auto* a = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  auto* b = owner.Add(std::make_unique<TestOnlyLayer>(&owner));
  a->SetSelected(true);
  owner.ClearRecords();

  // A selected layer selects its whole group through the owner.
  a->SetGroupIndex(5);
  EXPECT_EQ(owner.GroupSelections, (std::vector<std::pair<int32_t, bool>>{{5, true}}));
  EXPECT_EQ(owner.Updates, 1);
  EXPECT_EQ(owner.ImageChanges, std::vector<int32_t>{3});

  // A layer joining a selected group becomes selected itself.
  b->SetGroupIndex(5);
  EXPECT_TRUE(b->Selected());
  EXPECT_EQ(owner.GroupSelections.size(), 1u);

  // Group 0 is no group.
  owner.ClearRecords();
  b->SetGroupIndex(0);
  EXPECT_TRUE(owner.GroupSelections.empty());
  EXPECT_EQ(owner.Updates, 0);
}

TEST(LayerBase, IndexAndMaskLayer) {
  FakeLayerOwner owner;
  auto* base = owner.Add(TPXImageLayer::CreateSized(&owner, 10, 10));
  auto* mask = owner.Add(TPXImageLayer::CreateSized(&owner, 10, 10));
  EXPECT_EQ(base->GetIndex(), 0);
  EXPECT_EQ(mask->GetIndex(), 1);
  EXPECT_EQ(base->GetMaskIndex(), -1);
  mask->SetIsMask(true);
  EXPECT_EQ(base->GetMaskIndex(), 1);
  EXPECT_EQ(base->GetMaskLayer(), mask);
  EXPECT_EQ(mask->GetMaskIndex(), -1);  // nothing above it
  auto free = TPXImageLayer::CreateSized(nullptr, 1, 1);
  EXPECT_EQ(free->GetIndex(), -1);
  EXPECT_EQ(free->GetMaskIndex(), -1);
  EXPECT_EQ(free->GetMaskLayer(), nullptr);
}

}  // namespace
