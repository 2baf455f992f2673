// Named outlines ("shapes"): one hundred closed outlines, numbered 0 to 99, turned into polygons
// of integer points inside a box, with their display names, preferred width-to-height ratios,
// regions, a painter for shape pickers and the box fitting they need.
//
// Every outline is built in the unit square (x and y from 0 to 1, y downwards) as double points,
// then mirrored, exchanged or turned as the shape and the caller ask, scaled into the box and
// rounded. Arcs are sampled with Max(1, K div FShapeStepDivisor) steps for a nominal K-degree
// arc (the library settings' step divisor), and no outline has more than PXMaxShapePoints points.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/gdi/WinGdi.h"
#include "platform/rtl/Types.h"

class TCanvas;

// The shape number; values 100..255 are invalid.
enum TPXShape : uint8_t {
  pxshEllipse = 0,
  pxshHalfEllipse = 1,
  pxshQuarterEllipse = 2,
  pxshEllipseSegment = 3,
  pxshRectangle = 4,
  pxshRoundRectangle = 5,
  pxshTriangle = 6,
  pxshCorner = 7,
  pxshDiamond = 8,
  pxshPentagon = 9,
  pxshHexagon = 10,
  pxshHeptagon = 11,
  pxshOctagon = 12,
  pxshCustomShape = 13,
  pxsh5PointStar = 14,
  pxsh6PointStar = 15,
  pxshCustomStar = 16,
  pxshArrowLeft = 17,
  pxshArrowRight = 18,
  pxshArrowUp = 19,
  pxshArrowDown = 20,
  pxshArrowLeftandRight = 21,
  pxshArrowUpandDown = 22,
  pxshArrowNW = 23,
  pxshArrowNE = 24,
  pxshArrowSW = 25,
  pxshArrowSE = 26,
  pxshFatArrowLeft = 27,
  pxshFatArrowRight = 28,
  pxshFatArrowUp = 29,
  pxshFatArrowDown = 30,
  pxshShootingArrowNW = 31,
  pxshShootingArrowNE = 32,
  pxshShootingArrowSW = 33,
  pxshShootingArrowSE = 34,
  pxshLightningLeft = 35,
  pxshLightningRight = 36,
  pxshExplosion = 37,
  pxshCustomExplosion = 38,
  pxshCross = 39,
  pxshHeart = 40,
  pxshDoubleHeart = 41,
  pxshCloud = 42,
  pxshMoon = 43,
  pxshSmallLeftSpeechBubbleIn = 44,
  pxshSmallLeftSpeechBubbleOut = 45,
  pxshSmallRightSpeechBubbleIn = 46,
  pxshSmallRightSpeechBubbleOut = 47,
  pxshWideLeftSpeechBubbleIn = 48,
  pxshWideLeftSpeechBubbleOut = 49,
  pxshWideRightSpeechBubbleIn = 50,
  pxshWideRightSpeechBubbleOut = 51,
  pxshLeftThoughtBubble = 52,
  pxshRightThoughtBubble = 53,
  pxshShield = 54,
  pxshBadge = 55,
  pxshNamePlate = 56,
  pxshFrame = 57,
  pxshNarrowFrame = 58,
  pxshFatFrame = 59,
  pxshCircularFrame = 60,
  pxshPinLeft = 61,
  pxshPinRight = 62,
  pxshMarker = 63,
  pxshRainDrop = 64,
  pxshBanner = 65,
  pxshFemale = 66,
  pxshMale = 67,
  pxshMusic = 68,
  pxshPower = 69,
  pxshSmile = 70,
  pxshRainbow = 71,
  pxshCandy = 72,
  pxshSun = 73,
  pxshBrooch = 74,
  pxshCog = 75,
  pxshCog2 = 76,
  pxshCustomCog = 77,
  pxshAsterisk = 78,
  pxshCustomAsterisk = 79,
  pxshClover = 80,
  pxshFlower = 81,
  pxshFlower2 = 82,
  pxshCustomFlower = 83,
  pxshRadiance = 84,
  pxshCustomRadiance = 85,
  pxshCustomRadiance2 = 86,
  pxshSplat = 87,
  pxshCrown = 88,
  pxshEnvelope = 89,
  pxshHandPointingLeft = 90,
  pxshHandPointingRight = 91,
  pxshTagLeft = 92,
  pxshTagRight = 93,
  pxshTagUp = 94,
  pxshTagDown = 95,
  pxshShoppingTagLeft = 96,
  pxshShoppingTagRight = 97,
  pxshShoppingTagUp = 98,
  pxshShoppingTagDown = 99,
};

// The most points an outline has; callers pass arrays of this size (or more).
inline constexpr int32_t PXMaxShapePoints = 1000;

// Fills Points with the closed outline of Shape fitted into the box Left..Left+Width-1,
// Top..Top+Height-1 and sets PointCount (at most PXMaxShapePoints; never more than Points holds).
// Angle turns clockwise in degrees: exactly 90, 180 and 270 mirror and exchange, other values
// that are not multiples of 90 turn the points and stretch them back over the box (fitted and
// centred with KeepAspectWhenTurned). Modifier: sides, points, spikes, sweep or ray count of the
// custom shapes. AspectRatio exactly 1.0 stands for the box's own ratio. EPXException
// "Unexpected Shape" for 100..255, "Too many points to generate shape array (%d)" when Points
// is too short, and the builders' exceptions.
void GenerateShapePoints(std::span<TPoint> Points, int32_t& PointCount, TPXShape Shape, int32_t Left, int32_t Top,
                         int32_t Width, int32_t Height, int32_t Angle, bool KeepAspectWhenTurned, int32_t Modifier,
                         double AspectRatio);
// "Ellipse", "Half Ellipse" ... ; "" for 100..255.
std::string ShapeDisplayName(TPXShape Shape);
// The shape's preferred width / height, 0 when it has none.
double ShapePreferredAspectRatio(TPXShape Shape);
// Mode 0 nothing; 1 always fits (ratio 1.0 when the shape has none); 2 fits shapes with a
// preferred ratio. The ratio turned by Angle; the box becomes the largest centred box of it.
void FitShapeBoxToAspect(int32_t& Left, int32_t& Top, int32_t& Width, int32_t& Height, TPXShape Shape, uint8_t Mode,
                         int32_t Angle);
// The shape's region in the box, turned counter-clockwise by Angle, fitted by AspectMode
// (FitShapeBoxToAspect); the caller owns it. KeepAspect is not consulted.
HRGN CreateShapeRegion(TPXShape Shape, int32_t Left, int32_t Top, int32_t Width, int32_t Height, uint8_t AspectMode,
                       int32_t Angle, bool KeepAspect);
HRGN CreateShapeRegionInRect(TPXShape Shape, const TRect& Rect, uint8_t AspectMode, int32_t Angle, bool Flag);
// One item of a shape picker: the shape (filled with Color, no pen) and, with ShowName, its name;
// both in clGrayText when not Enabled.
void DrawShapeListItem(TCanvas* Canvas, const TRect& Rect, bool Enabled, TPXShape Shape, TColor Color, bool ShowName);
// The shape fitted into the box by AspectMode, drawn as one polygon with the pen (clNone or a
// width <= 0: none) and the brush (clNone: none).
void PaintShapeInBox(TCanvas* Canvas, TPXShape Shape, int32_t Left, int32_t Top, int32_t Width, int32_t Height,
                     uint8_t AspectMode, TColor PenColor, int32_t PenWidth, TColor BrushColor, int32_t Angle,
                     int32_t Modifier);
