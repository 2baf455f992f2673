// Arbitrary clipboard blocks pasted over a fake view: the raw format, "PNG" and DIBs from
// another program, into the picture, into a selection and as layers. A paste that answers False
// changes neither the picture, the layers nor the undo store.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/pxxBitmaps.h"
#include "core/pxxBitmaps_mask.h"
#include "fuzz/FuzzSupport.h"
#include "platform/forms/Clipbrd.h"
#include "platform/rtl/Startup.h"
#include "proc/pixoranproc.h"
#include "tests/proc/ProcFakeHost.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  RtlStartup();
  InitProcessingUnit();
  return 0;
}

namespace {

void PutRegistered(UINT Format, const uint8_t* Data, size_t Size) {
  if (!OpenClipboard(nullptr)) std::abort();
  EmptyClipboard();
  HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, Size);
  if (h && Size) std::memcpy(GlobalLock(h), Data, Size), GlobalUnlock(h);
  if (h && !SetClipboardData(Format, h)) GlobalFree(h);
  CloseClipboard();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
  if (Size < 2) return 0;
  const uint8_t kind = Data[0] % 4, target = Data[1] % 4;
  const uint8_t* body = Data + 2;
  const size_t n = Size - 2;
  switch (kind) {
    case 0: PutRegistered(PixoranRawClipboardFormat(), body, n); break;
    case 1: SetClipboardMimeData({{"image/png", std::string(reinterpret_cast<const char*>(body), n)}}); break;
    case 2: SetClipboardMimeData({{"image/bmp", std::string(reinterpret_cast<const char*>(body), n)}}); break;
    default: PutRegistered(PixoranLayerClipboardFormat(), body, n); break;
  }

  TFakeHost host;
  for (int i = 0; i < 2; ++i) {
    TFakeHost::TLayer& l = host.AddLayer(9, 7, px24RGB);
    l.Bitmap->Fill(0x102030 * (i + 1));
    l.Selected = i > 0;
  }
  host.Current = Data[1] & 4 ? 1 : 0;
  host.Mask.AllocateBits(9, 7, Data[1] & 8 ? 8 : 1);
  for (int y = 1; y < 6; ++y) host.Mask.FillSpan(200, 2, 7, y);
  host.SelActive = (Data[1] & 16) != 0;
  TComponent owner(nullptr);
  auto* proc = new TPixoranProc(&owner);  // owned by owner
  proc->SetUndoLocation(pxMemory);
  proc->SetAutoUndo(true);
  proc->SetUndoLimit(3);
  proc->SetAttachedPixoran(&host);
  auto before = TPXBitmap::CreateCopy(host.GetPXBitmap());
  const size_t layers = host.Layers.size();
  bool ok = false;
  try {
    ok = proc->ClipboardPaste(target, (Data[1] & 32) != 0, (Data[1] & 64) != 0, (Data[1] & 128) != 0);
  } catch (...) {
    std::abort();
  }
  if (!ok) {
    Check(host.Layers.size() == layers, __LINE__);
    Check(proc->UndoCount() == 0, __LINE__);
    TPXBitmap* now = host.GetPXBitmap();
    Check(now->Width() == before->Width() && now->Height() == before->Height(), __LINE__);
    for (int y = 0; y < now->Height(); ++y)
      Check(std::memcmp(now->Scanline(y), before->Scanline(y), static_cast<size_t>(now->Width()) * 3) == 0, __LINE__);
  }
  return 0;
}
