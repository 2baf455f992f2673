#include "io/pxicc.h"

#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <mutex>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/Classes_streams.h"

namespace {

// Profiles and tag tables past these sizes are not worth parsing.
constexpr uint32_t kIccHeaderSize = 128;
constexpr uint32_t kMaxTagCount = 1000;
constexpr size_t kMaxText = 1000;

// Pixels per chunk when a row needs re-encoding around the engine (Lab, weighted CMYK).
constexpr int32_t kChunk = 256;

std::atomic<uint64_t> g_nextProfileId{0};

uint32_t ReadBE32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// One row of each layout: its size in bytes and its engine format (0 when unknown). Output
// formats exist only for the layouts the conversions produce.
struct TIccLayout {
  int32_t Bytes;
  cmsUInt32Number In;
  cmsUInt32Number Out;
};
constexpr cmsUInt32Number kCmyk6 = COLORSPACE_SH(PT_CMYK) | CHANNELS_SH(4) | BYTES_SH(1) | EXTRA_SH(2);
constexpr cmsUInt32Number kThreeChannel = CHANNELS_SH(3) | BYTES_SH(1);  // any 3-channel space
constexpr TIccLayout kLayouts[] = {
    {3, TYPE_RGB_8, 0},                       // iccfRGB
    {3, TYPE_BGR_8, TYPE_BGR_8},              // iccfBGR
    {4, TYPE_CMYK_8_REV, TYPE_CMYK_8_REV},    // iccfCMYK: 255 = no ink
    {6, kCmyk6, 0},                           // iccfCMYK6
    {3, TYPE_Lab_8, TYPE_Lab_8},              // iccfLab, a and b re-biased around the engine
    {1, TYPE_GRAY_8, TYPE_GRAY_8},            // iccfGray
    {2, TYPE_GRAY_16, TYPE_GRAY_16},          // iccfGray16
    {6, TYPE_RGB_16, TYPE_RGB_16},            // iccfRGB48
    {6, TYPE_RGB_16_SE, 0},                   // iccfRGB48BE
    {3, kThreeChannel, 0},                    // iccf3Channel
};
const TIccLayout* Layout(TPXICCFormat f) {
  return f >= 0 && f < static_cast<int32_t>(std::size(kLayouts)) ? &kLayouts[f] : nullptr;
}

// TCIELab keeps a* and b* as signed bytes; the engine's 8-bit Lab has them biased by 128.
void FlipLabSign(uint8_t* p, int32_t count) {
  for (int32_t i = 0; i < count; ++i, p += 3) {
    p[1] ^= 0x80;
    p[2] ^= 0x80;
  }
}

// Zero-terminated text of at most kMaxText - 1 bytes in [start, end); empty otherwise.
std::string TagText(const uint8_t* data, size_t start, size_t end) {
  if (start >= end) return {};
  const uint8_t* p = data + start;
  size_t avail = std::min(end - start, kMaxText);
  const void* nul = std::memchr(p, 0, avail);
  if (!nul) return {};
  return BytesToUtf8(std::string_view(reinterpret_cast<const char*>(p), static_cast<const uint8_t*>(nul) - p));
}

// Header and tag table lie inside the buffer and the header's size does not exceed it.
bool LooksLikeProfile(const std::vector<uint8_t>& d) {
  if (d.size() < kIccHeaderSize + 4) return false;
  uint32_t declared = ReadBE32(d.data());
  if (declared < kIccHeaderSize + 4 || declared > d.size()) return false;
  if (std::memcmp(d.data() + 36, "acsp", 4) != 0) return false;
  uint32_t count = ReadBE32(d.data() + kIccHeaderSize);
  if (count > kMaxTagCount || kIccHeaderSize + 4 + uint64_t(count) * 12 > declared) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* rec = d.data() + kIccHeaderSize + 4 + size_t(i) * 12;
    if (uint64_t(ReadBE32(rec + 4)) + ReadBE32(rec + 8) > declared) return false;
  }
  return true;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TPXICC

TPXICC::TPXICC() = default;

TPXICC::~TPXICC() { Clear(); }

void TPXICC::Clear() {
  FreeTransform();
  if (FProfileHandle) cmsCloseProfile(static_cast<cmsHPROFILE>(FProfileHandle));
  FProfileHandle = nullptr;
  FProfileId = 0;
  FProfileData.clear();
  FProfileData.shrink_to_fit();
  FApplied = false;
  FCprtText.clear();
  FDescriptionText.clear();
  FColorSpace.clear();
  FConnectionSpace.clear();
}

void TPXICC::LoadFromBuffer(const void* Data, int32_t Size) {
  // Copied before clearing: Data may be this profile's own bytes.
  std::vector<uint8_t> bytes;
  if (Data && Size > 0) bytes.assign(static_cast<const uint8_t*>(Data), static_cast<const uint8_t*>(Data) + Size);
  Clear();
  if (bytes.empty()) return;
  FProfileData = std::move(bytes);
  Open();
}

void TPXICC::Assign(const TPXICC* Source) {
  if (Source == this) return;
  Clear();
  if (Source && !Source->FProfileData.empty()) {
    FProfileData = Source->FProfileData;
    Open();
  }
}

void TPXICC::Open() {
  // The engine only sees profiles whose header and tag table fit the bytes we hold.
  if (LooksLikeProfile(FProfileData)) {
    FProfileHandle = cmsOpenProfileFromMem(FProfileData.data(), static_cast<cmsUInt32Number>(FProfileData.size()));
    if (FProfileHandle) FProfileId = ++g_nextProfileId;
  }
  ParseHeader();
}

void TPXICC::ParseHeader() {
  FCprtText.clear();
  FDescriptionText.clear();
  FColorSpace.clear();
  FConnectionSpace.clear();
  const size_t size = FProfileData.size();
  if (size <= kIccHeaderSize) return;
  const uint8_t* d = FProfileData.data();
  FColorSpace.assign(reinterpret_cast<const char*>(d + 16), 4);
  FConnectionSpace.assign(reinterpret_cast<const char*>(d + 20), 4);
  if (size < kIccHeaderSize + 4) return;
  uint32_t count = ReadBE32(d + kIccHeaderSize);
  if (count > kMaxTagCount) return;
  for (uint32_t i = 0; i < count; ++i) {
    size_t rec = kIccHeaderSize + 4 + size_t(i) * 12;
    if (rec + 12 > size) break;
    uint32_t offset = ReadBE32(d + rec + 4);
    uint32_t tagSize = ReadBE32(d + rec + 8);
    if (offset > size || tagSize > size || uint64_t(offset) + tagSize > size) break;
    const size_t end = size_t(offset) + tagSize;
    if (tagSize >= kMaxText) continue;
    if (std::memcmp(d + rec, "cprt", 4) == 0)
      FCprtText = TagText(d, size_t(offset) + 8, end);
    else if (std::memcmp(d + rec, "desc", 4) == 0)
      FDescriptionText = TagText(d, size_t(offset) + 12, end);
  }
}

void TPXICC::FreeTransform() {
  if (!FTransformHandle) return;
  cmsDeleteTransform(static_cast<cmsHTRANSFORM>(FTransformHandle));
  FTransformHandle = nullptr;
  FApplied = true;
}

bool TPXICC::PrepareTransform(const TPXICC* Dest, TPXICCFormat InFormat, int32_t X, int32_t Y,
                              TPXICCFormat OutFormat) {
  const TIccLayout* in = Layout(InFormat);
  const TIccLayout* out = Layout(OutFormat);
  if (!Dest || !IsValid() || !Dest->IsValid() || !in || !out || !out->Out) return false;
  if (FTransformHandle && FInFormat == InFormat && FOutFormat == OutFormat && FParamX == X &&
      FParamY == Y && FDestId == Dest->FProfileId)
    return true;
  FreeTransform();
  // Perceptual intent, high-resolution tables; no one-pixel cache, so one transform may serve
  // several threads at once.
  FTransformHandle = cmsCreateTransform(static_cast<cmsHPROFILE>(FProfileHandle), in->In,
                                        static_cast<cmsHPROFILE>(Dest->FProfileHandle), out->Out,
                                        INTENT_PERCEPTUAL, cmsFLAGS_HIGHRESPRECALC | cmsFLAGS_NOCACHE);
  FInFormat = InFormat;
  FOutFormat = OutFormat;
  FParamX = X;
  FParamY = Y;
  FDestId = Dest->FProfileId;
  return FTransformHandle != nullptr;
}

bool TPXICC::Transform(const TPXICC* Dest, TPXICCFormat InFormat, int32_t Count, void* Output,
                       const void* Input, int32_t X, int32_t Y, TPXICCFormat OutFormat) {
  if (!PrepareTransform(Dest, InFormat, X, Y, OutFormat)) return false;
  if (Count <= 0 || !Input || !Output) return true;
  auto xf = static_cast<cmsHTRANSFORM>(FTransformHandle);
  if (InFormat == iccfLab) {
    // Re-bias a* and b* in a scratch chunk, never in the caller's input.
    uint8_t scratch[kChunk * 3];
    const auto* src = static_cast<const uint8_t*>(Input);
    auto* dst = static_cast<uint8_t*>(Output);
    const int32_t outBytes = kLayouts[OutFormat].Bytes;
    for (int32_t done = 0; done < Count; done += kChunk) {
      int32_t n = std::min(kChunk, Count - done);
      std::memcpy(scratch, src + size_t(done) * 3, size_t(n) * 3);
      FlipLabSign(scratch, n);
      cmsDoTransform(xf, scratch, dst + size_t(done) * outBytes, static_cast<cmsUInt32Number>(n));
    }
  } else {
    cmsDoTransform(xf, Input, Output, static_cast<cmsUInt32Number>(Count));
  }
  if (OutFormat == iccfLab) FlipLabSign(static_cast<uint8_t*>(Output), Count);
  return true;
}

namespace {
void LoadBuiltIn(TPXICC& icc, const char* name) {
  const TResourceEntry* e = FindResourceData(name, "ICC");
  if (e) icc.LoadFromBuffer(e->Data, static_cast<int32_t>(e->Size));
  else icc.Clear();
}
}  // namespace

void TPXICC::LoadSRGB() { LoadBuiltIn(*this, "SRGB"); }
void TPXICC::LoadDefaultCMYK() { LoadBuiltIn(*this, "DEFAULTCMYK"); }
void TPXICC::LoadWideGamutRGB() { LoadBuiltIn(*this, "WIDEGAMUTRGB"); }

const TPXICC* SharedSRGBProfile() {
  // Parsing the profile costs about as much as decoding a small picture, so it is done once.
  struct TShared {
    TPXICC Profile;
    TShared() { Profile.LoadSRGB(); }
  };
  static const TShared shared;
  return &shared.Profile;
}

bool LoadColorManagement() { return true; }

void TPXICC::LoadFromStream(TStream* Stream, bool WholeStream) {
  Clear();
  if (!Stream) return;
  const int64_t left = std::max<int64_t>(Stream->Size() - Stream->Position(), 0);
  int64_t size = left;
  if (!WholeStream) {
    int32_t n = 0;
    Stream->ReadBuffer(&n, 4);
    size = n;
    if (size < 0 || size > left - 4) throw EReadError("Stream read error");
  }
  if (size > INT32_MAX) throw EReadError("Stream read error");
  if (size == 0) return;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  Stream->ReadBuffer(bytes.data(), static_cast<int32_t>(size));
  FProfileData = std::move(bytes);
  Open();
}

void TPXICC::SaveToStream(TStream* Stream, bool RawOnly) const {
  if (!Stream) return;
  const int32_t size = ProfileSize();
  if (!RawOnly) Stream->WriteBuffer(&size, 4);
  if (size > 0) Stream->WriteBuffer(FProfileData.data(), size);
}

bool TPXICC::IsCompatibleFormat(TPXICCFormat Format) const {
  if (Format < 0 || Format > iccf3Channel) return false;
  if (FColorSpace.empty()) return true;
  switch (Format) {
    case iccfCMYK:
    case iccfCMYK6:
      return FColorSpace == "CMYK";
    case iccfLab:
      return FColorSpace == "Lab ";
    case iccfGray:
    case iccfGray16:
      return FColorSpace == "GRAY";
    case iccf3Channel:
      return FColorSpace == "YCbr";
    default:  // RGB, BGR, RGB48, RGB48BE
      return FColorSpace == "RGB ";
  }
}

namespace {
TPXICCFormat IccFormatOf(TPXPixelFormat F) {
  switch (F) {
    case px8g: return iccfGray;
    case px16g: return iccfGray16;
    case px24RGB: return iccfBGR;
    case pxCMYK: return iccfCMYK;
    case pxRGB48: return iccfRGB48;
    case pxCIELab: return iccfLab;
    default: return -1;
  }
}
}  // namespace

bool TPXICC::ConvertBitmap(TPXBitmap* Bitmap, TPXPixelFormat NewPixelFormat, TPXICC* Dest) {
  if (!Bitmap || !Dest) return false;
  const TPXICCFormat in = IccFormatOf(Bitmap->PixelFormat()), out = IccFormatOf(NewPixelFormat);
  if (in < 0 || out < 0 || !PrepareTransform(Dest, in, 0, 0, out)) return false;
  const int32_t w = Bitmap->Width(), h = Bitmap->Height();
  TPXBitmap converted;
  if (!converted.Allocate(w, h, NewPixelFormat)) return false;
  for (int32_t y = 0; y < h; ++y)
    if (!Transform(Dest, in, w, converted.Scanline(y), Bitmap->Scanline(y), 0, 0, out)) return false;
  FreeTransform();
  std::unique_ptr<TPXBitmap> alpha;
  if (Bitmap->HasAlphaChannel()) {
    alpha = std::make_unique<TPXBitmap>();
    alpha->Assign(Bitmap->AlphaChannel());
  }
  Bitmap->Assign(&converted);
  if (alpha) Bitmap->AlphaChannel()->Assign(alpha.get());
  return true;
}

// ---------------------------------------------------------------------------------------------
// The shared CMYK and sRGB profiles

namespace {

struct TCmykProfiles {
  std::mutex Lock;
  // 0 not tried yet, 1 ready, 2 failed for good.
  std::atomic<int> State{0};
  std::unique_ptr<TPXICC> Cmyk;  // caches CMYK -> BGR towards Srgb
  std::unique_ptr<TPXICC> Srgb;  // caches BGR -> CMYK towards Cmyk
};

TCmykProfiles& CmykProfiles() {
  static TCmykProfiles shared;
  return shared;
}

bool UseCmykProfiles() {
  return GlobalSettingsInstance()->FCMYKProfileConversion != 0 && EnsureCmykProfiles();
}

}  // namespace

bool EnsureCmykProfiles() {
  TCmykProfiles& s = CmykProfiles();
  int state = s.State.load(std::memory_order_acquire);
  if (state != 0) return state == 1;
  std::lock_guard<std::mutex> guard(s.Lock);
  state = s.State.load(std::memory_order_relaxed);
  if (state != 0) return state == 1;
  auto cmyk = std::make_unique<TPXICC>();
  auto srgb = std::make_unique<TPXICC>();
  cmyk->LoadDefaultCMYK();
  bool ok = cmyk->IsValid();
  if (ok) {
    srgb->LoadSRGB();
    ok = srgb->IsValid() && cmyk->PrepareTransform(srgb.get(), iccfCMYK, 0, 0, iccfBGR) &&
         srgb->PrepareTransform(cmyk.get(), iccfBGR, 0, 0, iccfCMYK);
  }
  if (ok) {
    s.Cmyk = std::move(cmyk);
    s.Srgb = std::move(srgb);
  }
  s.State.store(ok ? 1 : 2, std::memory_order_release);
  return ok;
}

void FreeCmykProfiles() {
  TCmykProfiles& s = CmykProfiles();
  std::lock_guard<std::mutex> guard(s.Lock);
  s.Cmyk.reset();
  s.Srgb.reset();
  s.State.store(0, std::memory_order_release);
}

namespace {

TRGB CmykToRgbArith(const TCMYK& c) {
  TRGB r;
  r.r = static_cast<uint8_t>(c.c * c.k / 255);
  r.g = static_cast<uint8_t>(c.m * c.k / 255);
  r.b = static_cast<uint8_t>(c.y * c.k / 255);
  return r;
}

TCMYK RgbToCmykArith(const TRGB& rgb) {
  TCMYK c;
  int k = std::max({rgb.r, rgb.g, rgb.b});
  c.k = static_cast<uint8_t>(k);
  if (k == 0) {
    c.c = c.m = c.y = 255;
  } else {
    c.c = static_cast<uint8_t>(rgb.r * 255 / k);
    c.m = static_cast<uint8_t>(rgb.g * 255 / k);
    c.y = static_cast<uint8_t>(rgb.b * 255 / k);
  }
  return c;
}

uint8_t Mix(uint8_t out, uint8_t now, int32_t weight) {
  return static_cast<uint8_t>(out + ((int64_t(now) - out) * weight >> 18));
}

}  // namespace

TRGB CmykToRgbPixel(const TCMYK& Cmyk) {
  if (UseCmykProfiles()) {
    TCmykProfiles& s = CmykProfiles();
    TRGB r;
    if (s.Cmyk->Transform(s.Srgb.get(), iccfCMYK, 1, &r, &Cmyk, 0, 0, iccfBGR)) return r;
  }
  return CmykToRgbArith(Cmyk);
}

TCMYK RgbToCmykPixel(const TRGB& Rgb) {
  if (UseCmykProfiles()) {
    TCmykProfiles& s = CmykProfiles();
    TCMYK c;
    if (s.Srgb->Transform(s.Cmyk.get(), iccfBGR, 1, &c, &Rgb, 0, 0, iccfCMYK)) return c;
  }
  return RgbToCmykArith(Rgb);
}

void CmykToRgbRow(const TCMYK* Input, TRGB* Output, int32_t Count, const int32_t* Weights) {
  if (!Input || !Output || Count <= 0) return;
  const bool icc = UseCmykProfiles();
  TCmykProfiles& s = CmykProfiles();
  if (icc && !Weights && s.Cmyk->Transform(s.Srgb.get(), iccfCMYK, Count, Output, Input, 0, 0, iccfBGR))
    return;
  TRGB now[kChunk];
  for (int32_t done = 0; done < Count; done += kChunk) {
    const int32_t n = std::min(kChunk, Count - done);
    if (!icc || !s.Cmyk->Transform(s.Srgb.get(), iccfCMYK, n, now, Input + done, 0, 0, iccfBGR))
      for (int32_t i = 0; i < n; ++i) now[i] = CmykToRgbArith(Input[done + i]);
    TRGB* out = Output + done;
    if (!Weights) {
      std::copy_n(now, n, out);
      continue;
    }
    for (int32_t i = 0; i < n; ++i) {
      const int32_t w = Weights[done + i];
      out[i].r = Mix(out[i].r, now[i].r, w);
      out[i].g = Mix(out[i].g, now[i].g, w);
      out[i].b = Mix(out[i].b, now[i].b, w);
    }
  }
}

void RgbToCmykRow(const TRGB* Input, TCMYK* Output, int32_t Count) {
  if (!Input || !Output || Count <= 0) return;
  if (UseCmykProfiles()) {
    TCmykProfiles& s = CmykProfiles();
    if (s.Srgb->Transform(s.Cmyk.get(), iccfBGR, Count, Output, Input, 0, 0, iccfCMYK)) return;
  }
  for (int32_t i = 0; i < Count; ++i) Output[i] = RgbToCmykArith(Input[i]);
}
