#include "codecs/pxcodecs.h"

#include "codecs/giflzw.h"
#include "codecs/pxdicom.h"
#include "codecs/pxj2000.h"
#include "codecs/pxmiscplugins.h"
#include "codecs/pxraw.h"
#include "codecs/pxwic.h"
#include "codecs/tifccitt.h"
#include "codecs/tiffilt.h"
#include "codecs/tiflzw.h"
#include "core/hypxutils_startup.h"
#include "io/pixoranio_registry.h"

void RegisterCoders() {
  TPXLzwCoders coders;
  coders.GifDecode = &GifLzwDecode;
  coders.GifEncode = &GifLzwEncode;
  coders.TiffDecode = &TiffLzwDecode;
  coders.TiffEncode = &TiffLzwEncode;
  RegisterLzwCoders(coders);
  RegisterLibrarySlot(lsInitCcittTables, &InitCcittTables);
  RegisterLibrarySlot(lsFreeCcittTables, &FreeCcittTables);
}

void RegisterCodecs() {
  // One call per codec unit, in type order.
  RegisterTiffCodec();
  RegisterGifCodec();
  RegisterJpegCodec();
  RegisterBmpCodec();
  RegisterPngCodec();
  RegisterTgaCodec();
  RegisterPcxCodec();
  RegisterPxmCodecs();
  RegisterJpeg2000Codec();
  RegisterDicomCodec();
  RegisterWICCodec();  // after TIFF: it keeps the HD Photo signature
  RegisterCameraRawCodec();
  RegisterMiscPlugins();
  RegisterCoders();
  RegisterDicomDictionary();
}
