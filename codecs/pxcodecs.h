// The codec units' registration: each codec fills its rows of the I/O front end's format table
// (io/pixoranio_registry.h). The program and the test mains call RegisterCodecs once at start-up,
// before any picture is read or written.
#pragma once

// GIF (type 2).
void RegisterGifCodec();
// PNG (type 8).
void RegisterPngCodec();
// JPEG (type 3).
void RegisterJpegCodec();
// BMP, ICO and CUR (types 5, 6, 7).
void RegisterBmpCodec();
// PBM/PGM/PPM, WBMP, headerless raw pixels, WMF and EMF signatures (types 12, 16, 21, 9, 10).
void RegisterPxmCodecs();
// Targa (type 11).
void RegisterTgaCodec();
// PCX and DCX (types 4, 19).
void RegisterPcxCodec();

// The GIF and TIFF LZW coders (into the settings' hooks at the I/O start-up) and the CCITT
// tables (built and freed by the library's start-up and tear-down).
void RegisterCoders();

// Every codec of this folder, with the coders.
void RegisterCodecs();
