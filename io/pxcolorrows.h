// One row of pixels from one colour layout into another (TPXICCFormat codes), through the
// picture's colour profile when colour management applies to loading, otherwise through the
// plain conversions. The I/O start-up installs it as the settings' FConvertColorRows.
#pragma once

#include <cstdint>

#include "io/pxicc.h"

class TIOParams;

// Converts Count pixels of Input (InFormat) into Output (OutFormat). The source profile is
// Params' input profile, or its default input profile when the input profile is missing or not
// open. With FColorProfileOnLoad set, an open source profile not yet applied, an open output
// profile and a layout the source profile's colour space can take, the row goes through the
// transform towards the output profile. Otherwise: RGB or BGR to BGR, BGR to CMYK, Lab, grey or
// 16-bit grey, CMYK, the six-byte CMYK or Lab or grey to BGR by plain arithmetic; 48-bit RGB
// (the high byte of each little-endian word, or the first byte of each big-endian one) and
// YCbCr (three-channel rows) to BGR; any other pair leaves Output untouched. Input is never
// changed.
void ConvertColorRow(const void* Input, TPXICCFormat InFormat, void* Output, TIOParams* Params, int32_t Count,
                     TPXICCFormat OutFormat);

// JFIF YCbCr to RGB, rounded and clamped.
TRGB YCbCrToRGB(uint8_t Y, uint8_t Cb, uint8_t Cr);

