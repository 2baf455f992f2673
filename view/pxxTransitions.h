// The transition effects engine of the views: a TPXTransitionEffects object holds the picture
// a transition starts from, the one it ends on and the frame being composed, and on every tick
// of a 20 ms timer draws the frame for the current progress (0..1024) onto its owner view. The
// image view creates one on the first write of a transition event and stops a running
// transition when it is resized or blanked.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/gdi/Graphics.h"

class TPXBitmap;
class TPXView;
class TPXTransitionEffects;

enum class TPXTransitionType : uint8_t {
  pxttNone, pxttCrossDissolve, pxttFadeOut, pxttFadeIn, pxttFadeOutIn, pxttLeftRight1, pxttLeftRight2,
  pxttRightLeft1, pxttRightLeft2, pxttUpDown1, pxttUpDown2, pxttDownUp1, pxttDownUp2, pxttFromUpLeft,
  pxttFromUpRight, pxttFromBottomLeft, pxttFromBottomRight, pxttMoveLeftRight1, pxttMoveLeftRight2,
  pxttMoveRightLeft1, pxttMoveRightLeft2, pxttMoveUpDown1, pxttMoveUpDown2, pxttMoveDownUp1, pxttMoveDownUp2,
  pxttRandomPoints, pxttRandomBoxes, pxttCenter1, pxttCenter2, pxttCenterZoom1, pxttCenterZoom2,
  pxttExpandFromLeft, pxttExpandFromRight, pxttExpandFromTop, pxttExpandFromBottom, pxttExpandFromTopLeft,
  pxttExpandFromTopRight, pxttExpandFromBottomLeft, pxttExpandFromBottomRight, pxttExpandInFromLeft,
  pxttExpandInFromRight, pxttExpandInFromTop, pxttExpandInFromBottom, pxttExpandInToVerticalCenter,
  pxttExpandInToHorizon, pxttExpandInFromSides, pxttExpandInFromTopAndBottom, pxttExpandOutFromHorizon,
  pxttExpandOutFromVerticalCenter, pxttWipeFromTopLeft, pxttWipeFromTopRight, pxttWipeFromBottomLeft,
  pxttWipeFromBottomRight, pxttWipeInFromTopAndBottom, pxttWipeFromHorizon, pxttWipeInFromSides,
  pxttWipeOutFromVerticalCenter, pxttBuildUpFromLeft, pxttBuildUpFromRight, pxttBuildUpFromTop,
  pxttBuildUpFromBottom, pxttUnrollFromLeft, pxttUnrollFromRight, pxttUnrollFromTop, pxttUnrollFromBottom,
  pxttSlideInFromLeft, pxttSlideInFromRight, pxttSlideInFromTop, pxttSlideInFromBottom, pxttShrinkToTopLeft,
  pxttShrinkToTopRight, pxttShrinkToBottomLeft, pxttShrinkToBottomRight, pxttShrinkToCenter,
  pxttQuartersWipeInToCenter, pxttQuartersExpandToCenter, pxttQuartersSlideInToCenter,
  pxttCurvedWipeFromLeft, pxttCurvedWipeFromRight, pxttCurvedWipeFromTop, pxttCurvedWipeFromBottom,
  pxttCurvedWipeFromTopLeft, pxttCurvedWipeFromTopRight, pxttCurvedWipeFromBottomLeft,
  pxttCurvedWipeFromBottomRight, pxttBarsInFromLeft, pxttBarsInFromRight, pxttBarsFromTop,
  pxttBarsFromBottom, pxttBarsLeftThenRight, pxttBarsRightThenLeft, pxttBarsTopThenBottom,
  pxttBarsBottomThenTop, pxttBarsFromBothSides, pxttBarsFromTopAndBottom, pxttShreddedFromLeft,
  pxttShreddedFromRight, pxttShreddedFromTop, pxttShreddedFromBottom, pxttShreddedFromTopAndLeft,
  pxttShreddedFromTopAndRight, pxttShreddedFromBottomAndLeft, pxttShreddedFromBottomAndRight,
  pxttShreddedFromHorizonAndLeft, pxttShreddedFromHorizonAndRight, pxttShreddedFromTopAndVerticalCenter,
  pxttShreddedFromBottomAndVerticalCenter, pxttShreddedFromCenter, pxttShreddedToCenter,
  pxttShreddedInToHorizon, pxttShreddedInToVerticalCenter, pxttShreddedOutFromHorizon,
  pxttShreddedOutFromVerticalCenter, pxttExpandingRectangles, pxttExpandingTriangles, pxttExpandingCircles,
  pxttExpandingDiamonds, pxttCircularWipeFromCenter, pxttCircularWipeToCenter, pxttCrisscrossWipeFromTopLeft,
  pxttCrisscrossWipeFromTopRight, pxttCrisscrossWipeFromBottomLeft, pxttCrisscrossWipeFromBottomRight,
  pxttCrisscrossWipeBounceFromTopLeft, pxttCrisscrossWipeBounceFromTopRight,
  pxttCrisscrossWipeBounceFromBottomLeft, pxttCrisscrossWipeBounceFromBottomRight,
  pxttCrisscrossWipeFromLeftRightAndTop, pxttCrisscrossWipeFromLeftRightAndBottom,
  pxttCrisscrossWipeFromLeftTopAndBottom, pxttCrisscrossWipeFromTopLeftRightAndBottom,
  pxttCrisscrossWipeFromRightTopAndBottom, pxttCrisscrossWipeFromBottomLeftTopRight,
  pxttWipeDiagonalFromTopLeft, pxttWipeDiagonalFromTopRight, pxttWipeDiagonalFromBottomLeft,
  pxttWipeDiagonalFromBottomRight, pxttDiagonalSweepClockwise, pxttDiagonalSweepCounterClockwise,
  pxttSweepClockwise, pxttSweepCounterClockwise, pxttStarburstClockwiseFromCenter,
  pxttStarburstCounterClockwiseFromCenter, pxttRotationalRectangle, pxttRotationalRectangleCounterClockwise,
  pxttRotationalStar, pxttRotationalStarCounterClockwise, pxttSpeckledWipeFromLeft,
  pxttSpeckledWipeFromRight, pxttSpeckledWipeFromTop, pxttSpeckledWipeFromBottom, pxttPushLeftAndSlideOut,
  pxttPushRightAndSlideOut, pxttPushUpAndSlideOut, pxttPushDownAndSlideOut, pxttPushAndSqueezeLeft,
  pxttPushAndSqueezeRight, pxttPushAndSqueezeUp, pxttPushAndSqueezeDown, pxttHorizontalBlinds,
  pxttVerticalBlinds, pxttUnevenBlindsFromLeft, pxttUnevenBlindsFromRight, pxttUnevenBlindsFromTop,
  pxttUnevenBlindsFromBottom, pxttRectanglesFromTheLeft, pxttRectanglesFromTheRight,
  pxttRectanglesFromTheTop, pxttRectanglesFromTheBottom, pxttSpirallingRectangleClockwise,
  pxttSpirallingRectangleCounterClockwise, pxttArrowWipeFromLeft, pxttArrowWipeFromRight,
  pxttArrowWipeFromTop, pxttArrowWipeFromBottom, pxttHorizontalBowTieWipe, pxttVerticalBowTieWipe,
  pxttDiagonalCrossFromCenter, pxttDiagonalCrossToCenter, pxttZigzagWipeFromHorizon,
  pxttZigzagWipeFromVerticalCenter, pxttDiamondWipeFromCenter, pxttDiamondWipeToCenter, pxttDiagonalBoxWipe,
  pxttTriangularWipe, pxttRandomBigBoxes, pxttPageFlip, pxttPageFlip2, pxttReversePageFlip,
  pxttReversePageFlip2, pxttZigzagWipeToHorizon, pxttZigzagWipeToVerticalCenter, pxttRandomHearts,
  pxttRandomStar5s, pxttRandomStar6s, pxttRandomExplosions, pxttExpandingHearts, pxttExpandingStar5,
  pxttExpandingStar6, pxttExpandingExplosions, pxttExpandingLightningBolts, pxttHeartWipeOut,
  pxttHeartWipeIn, pxttStar5WipeOut, pxttStar5WipeIn, pxttStar6WipeOut, pxttStar6WipeIn,
  pxttExplosionWipeOut, pxttExplosionWipeIn, pxttCrossWipeOut, pxttCrossWipeIn, pxttHeartWipeInAndOut,
  pxttStar5WipeInAndOut, pxttStar6WipeInAndOut, pxttExplosionWipeInAndOut, pxttCubeRotateFromLeft,
  pxttCubeRotateFromRight, pxttCubeRotateFromTop, pxttCubeRotateFromBottom, pxttSoftWipeFromLeft,
  pxttSoftWipeFromRight, pxttSoftWipeFromTop, pxttSoftWipeFromBottom, pxttAngledTwistIn, pxttAngledTwistOut,
  pxttMultipleAngledTwistIn, pxttMultipleAngledTwistOut, pxttRandomPuzzlePieces, pxttPacmanFromLeft,
  pxttPacmanFromRight, pxttPacman3Row, pxttPacman4Row, pxttPacman2SimRow, pxttPacman4SimRow,
  pxttPacman6SimRow, pxttFullSweepClockwise, pxttExpandingSweepClockwise, pxttCubeRotateFromLeft2,
  pxttCubeRotateFromRight2, pxttCubeRotateFromTop2, pxttCubeRotateFromBottom2, pxttRandomBoxesWithWord,
  pxttRandomWord, pxttExpandingWord, pxttWordWipeOut, pxttWordWipeIn, pxttWordWipeInAndOut,
  pxttWordHalfSweep, pxttWordFullSweep, pxttWordFullExpandingSweep, pxttPanZoom,
};
using enum TPXTransitionType;

enum class TPXTransitionTiming : uint8_t { pxtmLinear, pxtmExponential, pxtmLogarithmic };
using enum TPXTransitionTiming;

// Sender is the owner view.
PX_EVENT_TYPE(TPXTransitionStepEvent, void(TObject* Sender, int32_t Step));
PX_EVENT_TYPE(TPXOnTransitionPaint,
              void(TObject* Sender, TBitmap* Bitmap, TPXTransitionEffects* Transition, int32_t Step));

class TPXTransitionEffects : public TObject {
 public:
  // Owner: the view painted on (may be nil); EPXException "Invalid Owner" for another object.
  explicit TPXTransitionEffects(TObject* Owner);
  ~TPXTransitionEffects() override;

  // Ends a running transition: the timer stops, the three pictures shrink to 1 x 1, the owner's
  // paint lock taken by the run is released, the owner updates when the run asked for it, and
  // OnTransitionStop fires. Nothing when nothing runs.
  void Stop();
  void SetOnTransitionPaint(const TPXOnTransitionPaint& Value) { OnTransitionPaint = Value; }

  std::unique_ptr<TBitmap> SourceShot;
  std::unique_ptr<TBitmap> TargetShot;
  std::unique_ptr<TBitmap> CurrentFrame;
  TPXBitmap* PanZoomSource = nullptr;  // not owned
  std::vector<uint8_t*> FSourceRows;
  std::vector<uint8_t*> FTargetRows;
  std::vector<uint8_t*> FFrameRows;
  int32_t FrameWidth = 0;
  int32_t FrameHeight = 0;
  bool Running = false;
  TPXView* OwnerView = nullptr;  // not owned
  std::unique_ptr<TTimer> FTimer;  // its component owner is the owner view
  int32_t Step = 0;
  bool FFirstFrame = false;
  int32_t FDoneCount = 0;
  TPXTransitionType Transition = pxttNone;
  int32_t Duration = 1000;
  uint32_t FStartTick = 0;
  bool FUpdateOnStop = false;
  TRect PanZoomStart;
  TRect PanZoomEnd;
  TNotifyEvent OnTransitionStop;
  TPXTransitionStepEvent OnTransitionStep;
  TPXTransitionTiming Timing = pxtmLinear;
  TColor BackgroundColor = 0;
  int32_t PanZoomSmoothing = 0;
  int32_t FMinLeft = 0, FMaxLeft = 0, FMinTop = 0, FMaxTop = 0, FMinBottom = 0, FMaxBottom = 0, FMinRight = 0,
          FMaxRight = 0;
  TPXOnTransitionPaint OnTransitionPaint;
  int32_t FrameCount = 0;
};
