// The codec units' registration: each codec fills its rows of the I/O front end's format table
// (io/pixoranio_registry.h). The program and the test mains call RegisterCodecs once at start-up,
// before any picture is read or written.
#pragma once

// PNG (type 8).
void RegisterPngCodec();
// JPEG (type 3).
void RegisterJpegCodec();

// BMP, ICO and CUR (types 5, 6, 7).
void RegisterBmpCodec();

// Every codec of this folder.
void RegisterCodecs();
