// TIOParams::Assign of a fully populated record (every group, markers, IPTC datasets, a parsed
// XMP packet in the dictionary, EXIF fields and tags, a maker note) against the memberwise copy
// of a plain struct holding the same values in standard containers (the dictionary as a tree of
// vectors with the same nodes). The reported time is ours;
// x_plain = our time / the plain copy's (goal <= 3).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "io/pxxBitmaps_params.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// A dictionary tree in plain containers: text values and nested entries.
struct PlainNode {
  std::string Text;
  std::vector<std::pair<std::string, PlainNode>> Children;
};

PlainNode ToPlain(TPXDictionary& D) {
  PlainNode n;
  TPXStrStrEnumerator e;
  while (D.Next(e)) {
    TObject* v = e.Current->Value.get();
    if (auto* d = dynamic_cast<TPXDictionary*>(v)) n.Children.emplace_back(e.Current->Key, ToPlain(*d));
    else n.Children.emplace_back(e.Current->Key, PlainNode{D.GetString(e.Current->Key), {}});
  }
  return n;
}

// The same content as a record, in plain containers.
struct PlainParams {
  TIOParamsValues Values;
  TIOParamsExif Exif;
  std::vector<uint16_t> ExifTags;
  std::vector<std::pair<uint8_t, std::vector<uint8_t>>> Markers;
  struct Iptc {
    int32_t Record, DataSet;
    std::vector<uint8_t> Data;
  };
  std::vector<Iptc> IptcItems;
  PlainNode Dictionary;
  std::vector<uint8_t> MakerNote;
  std::vector<uint8_t> Annotation;
};

const char kXmp[] =
    "<x:xmpmeta><rdf:RDF><rdf:Description><dc:title>Harbour at dusk</dc:title><dc:creator>A. Painter"
    "</dc:creator><xmp:Rating>4</xmp:Rating><xmp:CreateDate>2021-06-01T19:04:11</xmp:CreateDate>"
    "</rdf:Description></rdf:RDF></x:xmpmeta>";

void Fill(TIOParams& p, PlainParams& q) {
  p.FileName = "/home/user/Pictures/2021/harbour-at-dusk.jpg";
  p.SetImageIndex(0);
  p.OriginalWidth = 4000;
  p.OriginalHeight = 3000;
  p.TIFF_ImageDescription = "Harbour at dusk";
  p.TIFF_DocumentName = "harbour";
  p.GIF_Comments = {"made with care", "second comment"};
  p.PNG_TextKeys = {"Title", "Author", "Software"};
  p.PNG_TextValues = {"Harbour", "A. Painter", "Quillane"};
  p.PXM_Comments = {"CREATOR: test"};
  p.TGA_Author = "A. Painter";
  p.PDF_Title = "Harbour";
  p.RAW_CameraName = "Camera Maker Model X";
  std::vector<TRGB> pal(256);
  for (int i = 0; i < 256; ++i) pal[i] = TRGB{uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)};
  p.SetColorMap(pal.data(), 256);
  p.TIFF_PhotoshopResources.assign(600, 0x42);

  std::vector<uint8_t> jfif = {'J', 'F', 'I', 'F', 0, 1, 2, 1, 0, 72, 0, 72, 0, 0};
  std::vector<uint8_t> exif(6000, 0x11);
  std::copy_n("Exif\0\0", 6, exif.begin());
  std::vector<uint8_t> icc(3000, 0x22);
  std::copy_n("ICC_PROFILE\0\1\1", 14, icc.begin());
  std::vector<uint8_t> app13(1200, 0x33);
  for (auto* m : {&jfif, &exif, &icc, &app13}) {
    const uint8_t type = m == &jfif ? 0xE0 : m == &exif ? 0xE1 : m == &icc ? 0xE2 : 0xED;
    p.JPEG_Markers.AddMarker(type, m->data(), static_cast<int32_t>(m->size()));
    q.Markers.emplace_back(type, *m);
  }
  const std::vector<std::pair<int, std::string>> iptc = {
      {5, "Harbour at dusk"}, {25, "harbour"}, {25, "boats"}, {80, "A. Painter"}, {120, std::string(400, 'c')}};
  for (const auto& [ds, text] : iptc) {
    p.IPTC_Info.AddItem(2, ds, static_cast<int32_t>(text.size()), text.data());
    q.IptcItems.push_back({2, ds, std::vector<uint8_t>(text.begin(), text.end())});
  }
  p.SetXmpInfo(kXmp);
  q.Dictionary = ToPlain(p.Dictionary);

  p.EXIF_Make = "Camera Maker";
  p.EXIF_Model = "Model X";
  p.EXIF_DateTimeOriginal = "2021:06:01 19:04:11";
  p.EXIF_Software = "Firmware 1.2";
  p.EXIF_Copyright = "A. Painter";
  p.EXIF_UserComment = "a comment";
  p.EXIF_GPSLatitudeRef = "N";
  p.EXIF_GPSLatitude = {48, 51, 29.5};
  p.EXIF_GPSLongitudeRef = "E";
  p.EXIF_GPSLongitude = {2, 17, 40.2};
  p.EXIF_LensModel = "24-70mm";
  p.SetExifOrientation(6);
  p.SetExifExposureTime(0.004);
  p.SetExifFNumber(5.6);
  p.SetExifExposureProgram(2);
  p.SetExifFlash(16);
  p.SetExifFocalLength(35);
  p.SetExifColorSpace(1);
  p.SetExifPixelXDimension(4000);
  p.SetExifPixelYDimension(3000);
  p.SetExifIsoSpeedRatings(0, 200);
  std::vector<uint8_t> note(900, 0x5A);
  p.EXIF_MakerNote.SetRawData(note.data(), static_cast<int32_t>(note.size()));
  q.MakerNote = note;
  p.PixoranAnnot.LoadFromBuffer(std::string("PIXORANANNOT" + std::string(500, 'v')).data(), 512);
  q.Annotation.assign(500, 'v');

  q.Values = p;
  q.Exif = p;
  q.ExifTags = p.EXIF_Tags();
}

void BM_Assign(benchmark::State& state) {
  TIOParams source;
  PlainParams plainSource;
  Fill(source, plainSource);
  TIOParams dest;
  PlainParams plainDest;
  double tOurs = 0, tPlain = 0;
  for (auto _ : state) {
    const auto a = Clock::now();
    plainDest = plainSource;
    benchmark::DoNotOptimize(&plainDest);
    const auto b = Clock::now();
    dest.Assign(&source);
    benchmark::DoNotOptimize(&dest);
    const auto c = Clock::now();
    tPlain += Seconds(a, b);
    tOurs += Seconds(b, c);
    state.SetIterationTime(Seconds(b, c));
  }
  if (dest.JPEG_Markers.GetCount() != 4 || dest.IPTC_Info.GetCount() != 5 || dest.EXIF_Make != source.EXIF_Make)
    std::abort();
  state.counters["x_plain"] = tOurs / tPlain;
}

BENCHMARK(BM_Assign)->UseManualTime()->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
