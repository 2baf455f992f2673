// Setting layer properties by key: the common keys and those of image layers, their value forms
// and the failures that leave a layer as it was.
#include <gtest/gtest.h>

#include "layers/pxxLayers.h"
#include "layers/pxxLayers_props.h"
#include "platform/rtl/Classes_lists.h"
#include "tests/layers/FakeLayerOwner.h"

TEST(LayerProps, KeysValuesAndFailures) {
  FakeLayerOwner owner;
  TPXImageLayer* layer = owner.Add(std::make_unique<TPXImageLayer>(&owner, TPXBitmap::CreateAllocated(20, 10, px24RGB)));
  layer->SetVisible(false);
  SetLayerPropertyByKey(layer, " pxlp_visible ", "t");
  EXPECT_TRUE(layer->Visible());
  SetLayerPropertyByKey(layer, "PXLP_Visible", "yes");
  EXPECT_FALSE(layer->Visible());

  for (int32_t i = 0; i < 20; ++i) {
    SetLayerPropertyByKey(layer, "PXLP_FillColor", "-2");
    const TColor c = layer->FillColor();
    for (int32_t shift : {0, 8, 16}) {
      EXPECT_GE((c >> shift) & 255, 105);
      EXPECT_LE((c >> shift) & 255, 254);
    }
  }
  SetLayerPropertyByKey(layer, "PXLP_BorderColor", "clRed");
  EXPECT_EQ(layer->BorderColor(), clRed);
  SetLayerPropertyByKey(layer, "PXLP_BorderColor", "$00FF00");
  EXPECT_EQ(layer->BorderColor(), 0x00FF00);

  // A value that is not a number leaves the layer as it was and raises nothing.
  owner.ImageChanges.clear();
  EXPECT_NO_THROW(SetLayerPropertyByKey(layer, "PXLP_Width", "abc"));
  EXPECT_EQ(layer->GetWidth(), 20);
  EXPECT_TRUE(owner.ImageChanges.empty());
  // Unknown keys are ignored, but mark the layer changed.
  SetLayerPropertyByKey(layer, "PXLP_NoSuchKey", "1");
  EXPECT_EQ(owner.ImageChanges.size(), 1u);

  TStringList lines;
  lines.Add("PXLP_PosX=12");
  lines.Add("PXLP_Opacity=0.5");
  lines.Add("PXLP_Name=my layer");
  lines.Add("no separator");
  lines.Add("PXLP_ImageUseResampleFilter=True");
  lines.Add("PXLP_ImageResampleFilter=5");
  lines.Add("PXLP_SoftShadowColor=$0000FF");
  LayerPropertiesFromStrings(layer, &lines);
  EXPECT_EQ(layer->GetPosX(), 12);
  EXPECT_EQ(layer->Opacity(), 0.5);
  EXPECT_EQ(layer->Name(), "my layer");
  EXPECT_TRUE(layer->ImageUseResampleFilter());
  EXPECT_EQ(layer->ImageResampleFilter(), rfLanczos3);
  EXPECT_EQ(layer->SoftShadow()->Color.r, 255);
}
