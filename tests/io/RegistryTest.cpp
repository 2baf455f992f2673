#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/pxsettings.h"
#include "io/pixoranio_registry.h"
#include "tests/common/TestSupport.h"

namespace {

void FakeGifDecode(TStream*, int32_t, int32_t, uint8_t*, bool) {}
void FakeGifEncode(TStream*, int32_t, int32_t, int32_t, const uint8_t*, bool) {}

// Each test starts and ends with the registry and the GIF coder hooks as start-up leaves them.
class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    gifDecode_ = s->FGIFLZWDecompress;
    gifEncode_ = s->FGIFLZWCompress;
    RegisterFileFormats();
  }
  void TearDown() override {
    TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
    s->FGIFLZWDecompress = gifDecode_;
    s->FGIFLZWCompress = gifEncode_;
    RegisterFileFormats();
  }

 private:
  TPXGifLzwDecompressProc gifDecode_ = nullptr;
  TPXGifLzwCompressProc gifEncode_ = nullptr;
};

const std::string kAllImagesPrefix = "All Image Files (*.jpeg;*.jpg;*.gif;*.bmp;*.tiff...)|";
const std::string kJpeg = "JPEG Image (*.jpg;*.jpeg;*.jpe;*.jif)|*.jpg;*.jpeg;*.jpe;*.jif";

}  // namespace

TEST_F(Registry, BuiltInEntriesInOrder) {
  const std::vector<TPXFileType> expected = {1, 2, 3, 4, 5, 21, 6, 7, 8, 28, 9, 10, 11, 12, 16, 13, 14,
                                             17, 18, 19, 20, 24, 25, 27, 26, 29, 31, 32, 33, 34, 99};
  ASSERT_EQ(FileFormatCount(), 31);  // the imaging component's five entries included
  for (int32_t i = 0; i < 31; ++i) {
    TPXFileFormatInfo* info = FileFormatAt(i);
    EXPECT_EQ(info->FileType, expected[static_cast<size_t>(i)]) << i;
    EXPECT_TRUE(info->InternalFormat);
    EXPECT_TRUE(info->TryFunction);
    EXPECT_FALSE(info->TryFunction(nullptr, info->FileType));
  }
  EXPECT_EQ(FileFormatAt(31), nullptr);
  EXPECT_EQ(FileFormatByType(29)->FullName, "Microsoft HD Photo");
  EXPECT_EQ(FileFormatByType(0), nullptr);
  EXPECT_EQ(FileFormatByType(15), nullptr);

  TPXFileFormatInfo* raw = FileFormatByType(pxftBMPRAW);
  EXPECT_EQ(raw->Extensions, "");
  EXPECT_EQ(raw->SuitableExtension, "");
  EXPECT_EQ(FileFormatByType(pxftTGA)->DialogPage, 256);
  EXPECT_EQ(FileFormatByType(pxftTGA)->SuitableExtension, "targa");
  EXPECT_FALSE(FileFormatByType(pxftCUR)->WriteFunction);
  EXPECT_FALSE(FileFormatByType(pxftPS)->ReadFunction);
  EXPECT_EQ(FileFormatByType(pxftSVG)->FullName, "Scalable Vector Graphics");
}

TEST_F(Registry, LookupsByExtension) {
  for (const char* ext : {"JPE", ".jpe", "jPe", ".JIF"}) {
    ASSERT_NE(FileFormatByExtension(ext), nullptr) << ext;
    EXPECT_EQ(FileFormatByExtension(ext)->FileType, pxftJPEG) << ext;
  }
  EXPECT_EQ(FileFormatByExtension(""), nullptr);
  EXPECT_EQ(FileFormatByExtension("."), nullptr);
  EXPECT_EQ(FileFormatByExtension("xyz"), nullptr);

  const std::pair<const char*, TPXFileType> types[] = {
      {".mpg", 23}, {".MPEG", 23}, {".mpe", 23}, {".wmv", 22}, {".avi", 0}, {".pix", 11}, {".xif", 1},
      {".nef", 20}, {".lyr", 26}, {"", 0},
  };
  for (auto [ext, type] : types) EXPECT_EQ(FileTypeFromExtension(ext), type) << ext;
  EXPECT_EQ(FileTypeFromFileName("/a/b.c/picture.Tiff"), pxftTIFF);
  EXPECT_EQ(FileTypeFromFileName("noext"), 0);

  EXPECT_EQ(GetExtensionCount(pxftJPEG), 4);
  EXPECT_EQ(GetExtensionOfType(pxftJPEG, 2), "JPE");
  EXPECT_EQ(GetExtensionOfType(pxftJPEG, 4), "");
  EXPECT_EQ(GetExtensionOfType(pxftJPEG, -1), "");
  EXPECT_EQ(GetExtensionOfType(77, 0), "");
  EXPECT_EQ(GetExtensionCount(pxftBMPRAW), 0);

  EXPECT_TRUE(IsLoadableExtension("a.png", false));
  EXPECT_FALSE(IsLoadableExtension("a.eps", true));  // written only
  EXPECT_TRUE(IsLoadableExtension("a.AVI", true));
  EXPECT_FALSE(IsLoadableExtension("a.wmv", false));
  EXPECT_FALSE(IsLoadableExtension("a.unknown", true));
}

TEST_F(Registry, PluginEntriesRegisterAndUnregister) {
  auto info = std::make_unique<TPXFileFormatInfo>();
  info->FileType = 8196;
  info->FullName = "Plug-in Format";
  info->Extensions = "QQA;QQB";
  info->InternalFormat = false;
  TPXFileFormatInfo* added = TPXFileFormatInfo::Register(std::move(info));
  ASSERT_NE(added, nullptr);
  EXPECT_EQ(added->SuitableExtension, "qqa");
  EXPECT_EQ(FileFormatCount(), 32);
  EXPECT_EQ(FileFormatByExtension("qqb"), added);
  UnregisterFileFormat(8196);
  EXPECT_EQ(FileFormatCount(), 31);
  EXPECT_EQ(FileFormatByExtension("qqb"), nullptr);
  UnregisterFileFormat(8196);  // absent: nothing happens
  EXPECT_EQ(FileFormatCount(), 31);

  FreeFileFormats();
  EXPECT_EQ(GlobalSettingsInstance()->FFileFormats, nullptr);
  EXPECT_EQ(FileFormatCount(), 0);
  EXPECT_EQ(FileFormatByExtension("jpg"), nullptr);
  EXPECT_EQ(FileTypeFromExtension("jpg"), 0);
}

TEST_F(Registry, OpenFilterForImages) {
  const std::string f = BuildDialogFilter(false, pxsfImagesOnly, 0, "", false);
  ASSERT_EQ(f.rfind(kAllImagesPrefix, 0), 0u) << f;
  const std::string rest = f.substr(kAllImagesPrefix.size());
  // The list of every extension, in registry order, without its last ";".
  EXPECT_EQ(rest.rfind("*.tif;*.tiff;*.fax;*.g3n;*.g3f;*.xif;*.gif;*.jpg;*.jpeg;*.jpe;*.jif;*.pcx;*.bmp;", 0), 0u) << rest;
  EXPECT_NE(f.find("|All Files (*.*)|*.*|" + kJpeg + "|TIFF Image (*.tif;*.tiff;*.fax;*.g3n;*.g3f;*.xif)|"),
            std::string::npos)
      << f;
  EXPECT_NE(f.find("|Camera Raw Image (*.cr2;*.crw;*.dng;*.nef;*.raw;*.orf;*.nrw...)|*.crw;*.cr2;*.dng;"),
            std::string::npos);
  EXPECT_EQ(f.find("avi"), std::string::npos);
  EXPECT_NE(f.find("|GIF Image (*.gif)|*.gif"), std::string::npos);  // the GIF coders are registered
  EXPECT_EQ(f.find("PostScript"), std::string::npos);  // not readable
  EXPECT_EQ(f.find("||"), std::string::npos);
  // Ends with the last readable entry's patterns (the catch-all entry has none until the
  // settings give it extensions).
  EXPECT_EQ(f.substr(f.size() - 15), "(*.webp)|*.webp");
  EXPECT_NE(f.find("|Pixoran Layers (*.pxn;*.pixoran;*.lyr)|*.pxn;*.pixoran;*.lyr"), std::string::npos);
}

TEST_F(Registry, GifFollowsTheCoders) {
  TPXPixoranGlobalSettings* s = GlobalSettingsInstance();
  s->FGIFLZWDecompress = nullptr;
  s->FGIFLZWCompress = nullptr;
  EXPECT_EQ(BuildDialogFilter(true, pxsfImagesOnly, 0, "", false).find("GIF"), std::string::npos);
  EXPECT_EQ(BuildDialogFilter(false, pxsfImagesOnly, 0, "", false).find("GIF"), std::string::npos);
  s->FGIFLZWDecompress = &FakeGifDecode;
  const std::string open = BuildDialogFilter(false, pxsfImagesOnly, 0, "", false);
  EXPECT_NE(open.find("|GIF Image (*.gif)|*.gif"), std::string::npos);
  EXPECT_NE(open.find("*.tif;*.tiff;*.fax;*.g3n;*.g3f;*.xif;*.gif;*.jpg;"), std::string::npos);
  EXPECT_EQ(BuildDialogFilter(true, pxsfImagesOnly, 0, "", false).find("GIF"), std::string::npos);  // no encoder
  s->FGIFLZWCompress = &FakeGifEncode;
  EXPECT_NE(BuildDialogFilter(true, pxsfImagesOnly, 0, "", false).find("|GIF Image (*.gif)|*.gif"), std::string::npos);
  s->FGIFLZWDecompress = nullptr;
  s->FGIFLZWCompress = nullptr;
  EXPECT_EQ(BuildDialogFilter(false, pxsfImagesOnly, 0, "", false).find("GIF"), std::string::npos);
}

TEST_F(Registry, SaveFilters) {
  const std::string all = BuildDialogFilter(true, pxsfImagesOnly, 0, "", false);
  EXPECT_EQ(all.rfind(kJpeg + "|TIFF Image", 0), 0u) << all;
  EXPECT_NE(all.find("|GIF Image (*.gif)|*.gif"), std::string::npos);
  EXPECT_EQ(all.find("Windows Cursor"), std::string::npos);
  EXPECT_EQ(all.find("All Files"), std::string::npos);
  EXPECT_NE(all.find("|Scalable Vector Graphics (*.svg)|*.svg"), std::string::npos);
  EXPECT_EQ(all.find("Raw Bitmap"), std::string::npos);  // no extensions

  EXPECT_EQ(BuildDialogFilter(true, pxsfImagesOnly, pxftPNG, "", false), "Portable Network Graphics (*.png)|*.png");
  EXPECT_EQ(BuildDialogFilter(true, pxsfImagesOnly, pxftPNG, " Mine (*.mn)|*.mn ", false),
            "Portable Network Graphics (*.png)|*.png|Mine (*.mn)|*.mn");

  const std::string multi = BuildDialogFilter(true, pxsfImagesOnly, 0, "", true);
  EXPECT_EQ(multi,
            "TIFF Image (*.tif;*.tiff;*.fax;*.g3n;*.g3f;*.xif)|*.tif;*.tiff;*.fax;*.g3n;*.g3f;*.xif|GIF Image (*.gif)|*.gif"
            "|Windows Icon (*.ico)|*.ico|DICOM Medical Image (*.dcm;*.dic;*.dicom;*.v2)|*.dcm;*.dic;*.dicom;*.v2"
            "|PostScript (*.ps;*.eps)|*.ps;*.eps|Adobe PDF (*.pdf)|*.pdf|Multipage PCX (*.dcx)|*.dcx");

  const std::string videos = BuildDialogFilter(true, pxsfImagesAndVideos, 0, "", false);
  EXPECT_NE(videos.find("|Windows Video (*.avi)|*.avi"), std::string::npos);
  EXPECT_EQ(videos.find("MPEG"), std::string::npos);  // videos other than AVI are not written
}

TEST_F(Registry, OpenFiltersWithVideosLayersAndExtras) {
  const std::string v = BuildDialogFilter(false, pxsfImagesAndVideos, 0, "Mine (*.mn;*.mo)|*.mn;*.mo", false);
  EXPECT_NE(v.find(";*.avi;*.mpeg;*.mpg;*.wmv;*.mn;*.mo|All Files (*.*)|*.*|"), std::string::npos) << v;
  EXPECT_NE(v.find("|Windows Video (*.avi)|*.avi|MPEG Video (*.mpeg;*.mpg)|*.mpeg;*.mpg"
                   "|Windows Media Video (*.wmv)|*.wmv|Mine (*.mn;*.mo)|*.mn;*.mo"),
            std::string::npos);
  // A default entry goes first, then the all-pictures and all-files entries only.
  const std::string d = BuildDialogFilter(false, pxsfImagesAndVideos, pxftMPEG, "", false);
  EXPECT_EQ(d.rfind("MPEG Video (*.mpeg;*.mpg)|*.mpeg;*.mpg|" + kAllImagesPrefix, 0), 0u) << d;
  const std::string tail = "|All Files (*.*)|*.*";
  EXPECT_EQ(d.substr(d.size() - tail.size()), tail);
  EXPECT_EQ(d.find("|JPEG Image"), std::string::npos);

  const std::string videosOnly = BuildDialogFilter(false, pxsfVideosOnly, 0, "", false);
  EXPECT_EQ(videosOnly, kAllImagesPrefix + "*.avi;*.mpeg;*.mpg;*.wmv|All Files (*.*)|*.*"
                                           "|Windows Video (*.avi)|*.avi|MPEG Video (*.mpeg;*.mpg)|*.mpeg;*.mpg"
                                           "|Windows Media Video (*.wmv)|*.wmv");

  const std::string allOnly = BuildDialogFilter(false, pxsfAllOnly, 0, "", false);
  EXPECT_EQ(allOnly.rfind("All Files (*.*)|*.*|" + kJpeg, 0), 0u) << allOnly.substr(0, 80);

  // Layer formats first, in their own order; JPEG keeps its place.
  const std::string layers = BuildDialogFilter(false, pxsfLayerFormatsPriority, 0, "", false);
  const std::string head = "|All Files (*.*)|*.*|Pixoran Layers (*.pxn;*.pixoran;*.lyr)|*.pxn;*.pixoran;*.lyr"
                           "|Photoshop PSD (*.psd;*.psb)|*.psd;*.psb|TIFF Image";
  EXPECT_NE(layers.find(head), std::string::npos) << layers.substr(0, 300);
  EXPECT_EQ(layers.find("Pixoran Layers"), layers.rfind("Pixoran Layers"));
  EXPECT_LT(layers.find("TIFF Image"), layers.find("JPEG Image"));
  const std::string onlyLayers = BuildDialogFilter(true, pxsfLayerFormatsOnly, 0, "", false);
  EXPECT_EQ(onlyLayers,
            "Pixoran Layers (*.pxn;*.pixoran;*.lyr)|*.pxn;*.pixoran;*.lyr|Photoshop PSD (*.psd;*.psb)|*.psd;*.psb"
            "|Scalable Vector Graphics (*.svg)|*.svg|Adobe PDF (*.pdf)|*.pdf");
}

TEST_F(Registry, FormatTableRows) {
  // Works on the PNG row with the codec's own row set aside and put back afterwards.
  const TPXFormatRow* codecRow = FormatRow(pxftPNG);
  const TPXFormatRow saved = codecRow ? *codecRow : TPXFormatRow{};
  struct Restore {
    const TPXFormatRow& Row;
    ~Restore() { RegisterFormatRow(pxftPNG, Row); }
  } restore{saved};
  UnregisterFormatRow(pxftPNG);
  EXPECT_EQ(FormatRow(pxftPNG), nullptr);
  EXPECT_FALSE(FormatCanRead(pxftPNG));
  TPXFormatRow row;
  row.Signature = [](TStream*) { return true; };
  row.Rules.AlphaMaskOnSave = true;
  RegisterFormatRow(pxftPNG, row);
  ASSERT_NE(FormatRow(pxftPNG), nullptr);
  EXPECT_TRUE(FormatRow(pxftPNG)->Rules.AlphaMaskOnSave);
  EXPECT_FALSE(FormatCanRead(pxftPNG));
  EXPECT_FALSE(FormatCanWrite(pxftPNG));
  row.Encode = [](TStream*, TPXBitmap*, TIOParams*, TPXMask*, TPXProgressRecord&) {};
  RegisterFormatRow(pxftPNG, row);
  EXPECT_TRUE(FormatCanWrite(pxftPNG));
  RegisterFormatRow(pxftPNG, TPXFormatRow{});  // an empty row removes it
  EXPECT_EQ(FormatRow(pxftPNG), nullptr);
  RegisterFormatRow(pxftPNG, row);
  UnregisterFormatRow(pxftPNG);
  EXPECT_EQ(FormatRow(pxftPNG), nullptr);

  EXPECT_TRUE(FileTypeIsMultiPage(pxftGIF));
  EXPECT_TRUE(FileTypeIsMultiPage(8222));
  EXPECT_FALSE(FileTypeIsMultiPage(pxftJPEG));
}

TEST_F(Registry, PageCountsOfFiles) {
  TestTempDir dir;
  auto write = [&](const char* name, const std::string& data) {
    std::ofstream(dir.File(name), std::ios::binary) << data;
    return dir.File(name);
  };
  const std::string tiff = write("a.tif", std::string("II*\0", 4) + std::string(40, '\0'));
  const std::string gif = write("a.gif", "GIF89a" + std::string(40, '\0'));
  const std::string bmp = write("a.bmp", "BM" + std::string(40, '\0'));
  const std::string unknown = write("a.qqq", std::string(40, 'u'));
  const std::string avi = write("a.avi", std::string("RIFF\0\0\0\0AVI ", 12) + std::string(40, '\0'));

  // Without the TIFF codec's counter: TIFF is not even recognised by content, its extension says
  // it. The GIF counter finds no frame in the header alone.
  EXPECT_EQ(GetImageCountOfFile(tiff), 0);
  EXPECT_EQ(GetImageCountOfFile(gif), 0);
  EXPECT_EQ(GetImageCountOfFile(bmp), 1);
  EXPECT_EQ(GetImageCountOfFile(unknown), 0);
  EXPECT_EQ(GetImageCountOfFile(avi), 0);
  EXPECT_EQ(GetImageCountOfFile(dir.File("missing.tif")), 0);

  TPXFormatRow tiffRow;
  tiffRow.PageCount = [](TStream* s) { return static_cast<int32_t>(s->Size()); };
  RegisterFormatRow(pxftTIFF, tiffRow);
  const TPXFormatRow* realGif = FormatRow(pxftGIF);
  const std::optional<TPXFormatRow> savedGif = realGif ? std::optional<TPXFormatRow>(*realGif) : std::nullopt;
  TPXFormatRow gifRow;
  gifRow.PageCount = [](TStream*) -> int32_t { throw EPXException("broken GIF"); };
  RegisterFormatRow(pxftGIF, gifRow);
  EXPECT_EQ(GetImageCountOfFile(tiff), 44);
  EXPECT_EQ(GetGifFrameCountOfFile(gif), 0);
  EXPECT_EQ(GetGifFrameCountOfFile(dir.File("missing.gif")), 0);
  EXPECT_THROW(GetTiffPageCountOfFile(dir.File("missing.tif")), EFOpenError);
  EXPECT_EQ(GetDcxPageCountOfFile(bmp), 0);
  UnregisterFormatRow(pxftTIFF);
  if (savedGif) RegisterFormatRow(pxftGIF, *savedGif);
  else UnregisterFormatRow(pxftGIF);
}
