// The kind framework: the registry, a kind's record tail, property keys, Assign and
// SwapLayerContents through its hooks, and the property list of every kind.
#include <gtest/gtest.h>

#include "core/pxxBitmaps.h"
#include "layers/pxxLayers_recordio.h"
#include "platform/rtl/Classes_lists.h"
#include "tests/common/TestSupport.h"
#include "tests/layers/FakeLayerOwner.h"
#include "tests/layers/ProbeLayerKind.h"

namespace {

std::vector<std::string> PropertyLines(TPXLayer* Layer) {
  TStringList lines;
  LayerPropertiesToStrings(Layer, &lines);
  std::vector<std::string> v;
  for (int32_t i = 0; i < lines.Count(); ++i) v.push_back(lines.Strings(i));
  return v;
}

}  // namespace

TEST(LayerKinds, RegistryCreatesRegisteredKindsOnly) {
  FakeLayerOwner owner;
  EXPECT_EQ(MessageOf<Exception>([&] { NewLayerOfKind(static_cast<TPXLayerKind>(10), &owner); }),
            "Layer insertion error - Invalid Type: 10");
  ASSERT_NE(LayerKindFactory(pxlkImage), nullptr);
  EXPECT_EQ(NewLayerOfKind(pxlkImage, &owner)->Kind(), pxlkImage);
  {
    TProbeKindScope scope;
    auto layer = NewLayerOfKind(kProbeKind, &owner);
    EXPECT_EQ(layer->Kind(), kProbeKind);
    EXPECT_EQ(layer->Owner(), &owner);
    EXPECT_EQ(layer->GetWidth(), 40);
  }
  EXPECT_EQ(LayerKindFactory(kProbeKind), nullptr);
}

TEST(LayerKinds, RecordTailRoundTripsAndIsChecked) {
  FakeLayerOwner owner;
  TProbeLayer a(&owner);
  a.Flag = 3;
  a.Probe = -123456;
  a.SetName("probe");
  TMemoryStream first;
  a.SaveToStream(&first, false, -2);
  EXPECT_EQ(first.Size(), LayerRecordCommonSize(PXLayerRecordVersion) + 2 * 5 + 5);  // name: 5 UTF-16 units
  EXPECT_EQ(a.RecordSize(), first.Size());

  first.SetPosition(0);
  TProbeLayer b(&owner);
  b.LoadFromStream(&first);
  EXPECT_EQ(first.Position(), first.Size());
  EXPECT_EQ(b.Flag, 3);
  EXPECT_EQ(b.Probe, -123456);
  EXPECT_EQ(b.Name(), "probe");
  EXPECT_FALSE(b.Modified());
  EXPECT_FALSE(b.Updating());
  TMemoryStream second;
  b.SaveToStream(&second, false, -2);
  ASSERT_EQ(second.Size(), first.Size());
  EXPECT_EQ(std::memcmp(first.Memory(), second.Memory(), static_cast<size_t>(first.Size())), 0);

  // A record whose size leaves no room for the whole tail is refused, though the stream goes on.
  int32_t shorter = static_cast<int32_t>(first.Size()) - 2;
  std::memcpy(first.Memory(), &shorter, 4);
  first.SetPosition(0);
  TProbeLayer c(&owner);
  EXPECT_EQ(MessageOf<Exception>([&] { c.LoadFromStream(&first); }), "PXN File has been corrupted");
  EXPECT_FALSE(c.Updating());
}

TEST(LayerKinds, PropertyListsOfAKindReadBackAlike) {
  FakeLayerOwner owner;
  TProbeLayer a(&owner);
  a.Probe = 77;
  a.SetRotate(30);
  a.SetFillColor(clRed);
  a.SoftShadow()->Radius = 2.5;
  const auto lines = PropertyLines(&a);
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.front(), "PXLP_Width=40");
  EXPECT_EQ(lines[lines.size() - 2], "PXLP_SoftShadowColor=clBlack");
  EXPECT_EQ(lines.back(), "PXLP_Probe=77");
  for (const auto& l : lines) EXPECT_EQ(l.find("RotateCenter"), std::string::npos) << l;

  TProbeLayer b(&owner);
  TStringList list;
  LayerPropertiesToStrings(&a, &list);
  LayerPropertiesFromStrings(&b, &list);
  EXPECT_EQ(PropertyLines(&b), lines);

  // A kind's key that does not convert changes nothing; common keys it does not write still act.
  SetLayerPropertyByKey(&b, "pxlp_probe", "abc");
  EXPECT_EQ(b.Probe, 77);
  SetLayerPropertyByKey(&b, "PXLP_RotateCenterX", "0.25");
  EXPECT_EQ(b.RotateCenterX(), 0.25);

  // Image layers write their rotation centre and their own keys last.
  TPXImageLayer image(&owner, TPXBitmap::CreateAllocated(4, 4, px24RGB));
  const auto imageLines = PropertyLines(&image);
  ASSERT_GE(imageLines.size(), 2u);
  EXPECT_NE(std::find(imageLines.begin(), imageLines.end(), "PXLP_RotateCenterX=0.5"), imageLines.end());
  EXPECT_EQ(imageLines[imageLines.size() - 2], "PXLP_ImageResampleFilter=" +
                                                    std::to_string(static_cast<int32_t>(image.ImageResampleFilter())));
  EXPECT_EQ(imageLines.back(), "PXLP_ImageUseResampleFilter=False");
}

TEST(LayerKinds, AssignAndSwapReachTheKindsContent) {
  FakeLayerOwner owner;
  TProbeLayer a(&owner), b(&owner);
  a.Flag = 1;
  a.Probe = 5;
  a.SetName("a");
  b.Probe = 9;
  b.Assign(&a);
  EXPECT_EQ(b.Probe, 5);
  EXPECT_EQ(b.Flag, 1);
  EXPECT_EQ(b.Name(), "a");

  b.Probe = 8;
  b.SetName("b");
  SwapLayerContents(&a, &b);
  EXPECT_EQ(a.Probe, 8);
  EXPECT_EQ(b.Probe, 5);
  EXPECT_EQ(a.Name(), "b");

  // Between different kinds only the common properties go across.
  TPXImageLayer image(&owner, TPXBitmap::CreateAllocated(4, 4, px24RGB));
  image.SetName("img");
  a.Assign(&image);
  EXPECT_EQ(a.Name(), "img");
  EXPECT_EQ(a.Probe, 8);
  EXPECT_EQ(MessageOf<Exception>([&] { SwapLayerContents(&a, &image); }), "Layers must be of same type");
}
