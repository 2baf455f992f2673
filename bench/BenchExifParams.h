// A camera-like EXIF group for the metadata benchmarks: about 60 tags over the page, the EXIF
// directory, GPS and Interoperability, and a 600-byte maker note kept as raw bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "io/pxxBitmaps_params.h"

inline void FillCameraGroup(TIOParams& p) {
  p.EXIF_HasEXIFData = true;
  p.EXIF_ImageDescription = "Harbour at dusk";
  p.EXIF_Make = "Camera Maker";
  p.EXIF_Model = "Model X Mark II";
  p.SetExifOrientation(1);
  p.EXIF_XResolution = 300;
  p.EXIF_YResolution = 300;
  p.EXIF_Software = "Firmware 1.2.3";
  p.EXIF_DateTime = "2021:06:01 19:04:11";
  p.EXIF_Artist = "A. Painter";
  p.EXIF_Copyright = "(c) A. Painter";
  p.EXIF_YCbCrPositioning = 2;
  p.EXIF_Rating = 4;
  p.EXIF_XPTitle = "Harbour";
  p.SetExifExposureTime(1.0 / 250);
  p.SetExifFNumber(5.6);
  p.SetExifExposureProgram(2);
  p.SetExifIsoSpeedRatings(0, 200);
  p.EXIF_ExifVersion = "0231";
  p.EXIF_DateTimeOriginal = "2021:06:01 19:04:11";
  p.EXIF_DateTimeDigitized = "2021:06:01 19:04:11";
  p.SetExifShutterSpeedValue(7.97);
  p.SetExifApertureValue(4.97);
  p.SetExifBrightnessValue(3.2);
  p.SetExifExposureBiasValue(-0.33);
  p.SetExifMaxApertureValue(2.97);
  p.SetExifSubjectDistance(12.5);
  p.SetExifMeteringMode(5);
  p.SetExifLightSource(0);
  p.SetExifFlash(16);
  p.SetExifFocalLength(35);
  p.EXIF_SubsecTime = "42";
  p.EXIF_SubsecTimeOriginal = "42";
  p.EXIF_SubsecTimeDigitized = "42";
  p.EXIF_ImageUniqueID = "0123456789ABCDEF0123456789ABCDEF";
  p.EXIF_CameraOwnerName = "A. Painter";
  p.EXIF_FlashPixVersion = "0100";
  p.SetExifColorSpace(1);
  p.SetExifPixelXDimension(6000);
  p.SetExifPixelYDimension(4000);
  p.SetExifFocalPlaneXResolution(6034.5);
  p.SetExifFocalPlaneYResolution(6034.5);
  p.SetExifFocalPlaneResolutionUnit(3);
  p.SetExifSensingMethod(2);
  p.SetExifFileSource(3);
  p.SetExifSceneType(1);
  p.EXIF_ExposureMode = 0;
  p.EXIF_WhiteBalance = 0;
  p.EXIF_DigitalZoomRatio = 1;
  p.EXIF_FocalLengthIn35mmFilm = 35;
  p.EXIF_SceneCaptureType = 0;
  p.EXIF_BodySerialNumber = "123456789";
  p.EXIF_LensMake = "Lens Maker";
  p.EXIF_LensModel = "24-70mm F2.8";
  p.EXIF_LensSerialNumber = "987654";
  p.EXIF_UserComment = "a comment";
  p.EXIF_UserCommentCode = std::string("ASCII\0\0\0", 8);
  std::vector<uint8_t> note(600);
  for (size_t i = 0; i < note.size(); ++i) note[i] = uint8_t(i * 7);
  p.EXIF_MakerNote.SetRawData(note.data(), int32_t(note.size()));
  p.EXIF_GPSVersionID = "2.3.0.0";
  p.EXIF_GPSLatitudeRef = "N";
  p.EXIF_GPSLatitude = {48, 51, 29.5};
  p.EXIF_GPSLongitudeRef = "E";
  p.EXIF_GPSLongitude = {2, 17, 40.2};
  p.EXIF_GPSAltitudeRef = "0";
  p.EXIF_GPSAltitude = 35.5;
  p.EXIF_GPSTimeStamp = {17, 4, 11};
  p.EXIF_GPSSatellites = "7";
  p.EXIF_GPSMapDatum = "WGS-84";
  p.EXIF_GPSDateStamp = "2021:06:01";
  p.EXIF_InteropIndex = "R98";
  p.EXIF_InteropVersion = "0100";
}
