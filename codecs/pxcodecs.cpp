#include "codecs/pxcodecs.h"

void RegisterCodecs() {
  // One call per codec unit, in type order.
  RegisterJpegCodec();
  RegisterBmpCodec();
  RegisterPngCodec();
  RegisterTgaCodec();
  RegisterPcxCodec();
  RegisterPxmCodecs();
}
