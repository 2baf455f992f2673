// The undo and redo stores: limits, restoring with the format, moving entries between the
// stores, the callback, entry information, temporary files and the layer-record walk.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/pxsettings.h"
#include "core/pxxBitmaps.h"
#include "proc/pixoranproc.h"
#include "tests/common/TestSupport.h"
#include "tests/proc/ProcFakeHost.h"

namespace {

// A framed operation that turns the picture into px24RGB and sets its first pixel's blue.
void Stamp(TPixoranProc& P, uint8_t Value, int32_t Code = 50, const std::string& Caption = "Stamp") {
  int32_t x1, y1, x2, y2;
  TPXBitmap* work = nullptr;
  TPXMask* mask = nullptr;
  if (!P.BeginOperation({px24RGB}, x1, y1, x2, y2, Caption, work, mask, Code, false)) return;
  work->Scanline(0)[0] = Value;
  P.EndOperation(work, mask);
}

uint8_t FirstByte(TPXBitmap* B) { return B->Scanline(0)[0]; }

int CountFiles(const std::string& Folder) {
  int n = 0;
  for (const auto& e : std::filesystem::directory_iterator(Folder)) n += e.is_regular_file() ? 1 : 0;
  return n;
}

class UndoStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedTemp_ = GlobalSettingsInstance()->FTempDirectory;
    GlobalSettingsInstance()->FTempDirectory = temp_.Path();
    bmp_.Allocate(4, 3, px8g);
    bmp_.Fill(10);
    proc_ = new TPixoranProc(&owner_);  // freed by its owner
    proc_->SetAttachedBitmap(&bmp_);
    proc_->SetOnSaveUndo(TPXSaveUndoEvent([this](TObject*, TPXUndoSource s) { saves_.push_back(s); }));
  }
  void TearDown() override { GlobalSettingsInstance()->FTempDirectory = savedTemp_; }

  TestTempDir temp_;
  std::string savedTemp_;
  TPXBitmap bmp_;
  TComponent owner_{nullptr};
  TPixoranProc* proc_ = nullptr;
  std::vector<TPXUndoSource> saves_;
};

TEST_F(UndoStoreTest, LimitsBoundTheStore) {
  Stamp(*proc_, 1, 50, "First");
  Stamp(*proc_, 2, 51, "Second");
  EXPECT_EQ(proc_->UndoCount(), 1);  // limit 1: the second replaces the first
  EXPECT_EQ(proc_->UndoCaptions(0), "Second");
  EXPECT_EQ(saves_.size(), 2u);
  // The replacing copy holds the state before the second operation, alpha channel included.
  bmp_.GetAlphaChannel()->Fill(60);
  Stamp(*proc_, 4, 52, "Third");
  bmp_.GetAlphaChannel()->Fill(255);
  Stamp(*proc_, 5, 53, "Fourth");
  proc_->Undo(false);
  EXPECT_EQ(FirstByte(&bmp_), 4);
  EXPECT_EQ(bmp_.GetAlpha(1, 1), 255);
  proc_->SetUndoLimit(2);
  Stamp(*proc_, 6);
  bmp_.GetAlphaChannel()->Fill(70);
  Stamp(*proc_, 7);
  Stamp(*proc_, 8);
  proc_->UndoAt(1, false);
  EXPECT_EQ(FirstByte(&bmp_), 6);
  EXPECT_EQ(bmp_.GetAlpha(1, 1), 70);
  proc_->SetUndoLimit(1);

  proc_->ClearAllUndo();
  proc_->SetUndoLimit(0);
  const size_t events = saves_.size();
  Stamp(*proc_, 3);
  EXPECT_EQ(proc_->UndoCount(), 0);
  EXPECT_EQ(saves_.size(), events);  // no event either
  proc_->SetUndoLimit(-4);
  EXPECT_EQ(proc_->UndoLimit(), 0);
}

TEST_F(UndoStoreTest, TinyAndEmptyPictures) {
  // A 1 x 1 picture is saved like any other.
  bmp_.Allocate(1, 1, px8g);
  bmp_.Fill(77);
  Stamp(*proc_, 5);
  EXPECT_EQ(proc_->UndoCount(), 1);
  proc_->Undo(true);
  EXPECT_EQ(bmp_.PixelFormat(), px8g);
  EXPECT_EQ(bmp_.GetPixel8(0, 0), 77);

  // An empty picture stores nothing (the event still fires) and leaves the redo store alone.
  ASSERT_EQ(proc_->RedoCount(), 1);
  TPXBitmap empty;
  proc_->SetAttachedBitmap(&empty);
  saves_.clear();
  proc_->SaveUndo(pxuImage, true);
  EXPECT_EQ(proc_->UndoCount(), 0);
  EXPECT_EQ(proc_->RedoCount(), 1);
  EXPECT_EQ(saves_.size(), 1u);
}

TEST_F(UndoStoreTest, UndoRestoresFormatAndRedoReturnsTheEntry) {
  Stamp(*proc_, 200, 34, "Convert to Gray");
  ASSERT_EQ(bmp_.PixelFormat(), px24RGB);
  proc_->Undo(true);
  EXPECT_EQ(bmp_.PixelFormat(), px8g);
  EXPECT_EQ(bmp_.GetPixel8(0, 0), 10);
  EXPECT_EQ(proc_->UndoCount(), 0);
  EXPECT_EQ(proc_->RedoCount(), 1);
  EXPECT_EQ(proc_->RedoCaptions(0), "Convert to Gray");

  proc_->Redo(true);
  EXPECT_EQ(bmp_.PixelFormat(), px24RGB);
  EXPECT_EQ(FirstByte(&bmp_), 200);
  EXPECT_EQ(proc_->RedoCount(), 0);
  ASSERT_EQ(proc_->UndoCount(), 1);
  TPXUndoSource source;
  int32_t code = 0;
  proc_->GetUndoInfo(0, source, code);
  EXPECT_EQ(source, pxuImage);
  EXPECT_EQ(code, 34);
  EXPECT_EQ(proc_->UndoCaptions(0), "Convert to Gray");

  // Without RemoveEntry the entry is restored and stays; nothing moves.
  proc_->Undo(false);
  EXPECT_EQ(bmp_.PixelFormat(), px8g);
  EXPECT_EQ(proc_->UndoCount(), 1);
  EXPECT_EQ(proc_->RedoCount(), 0);
}

TEST_F(UndoStoreTest, UndoAtMovesThePassedStates) {
  proc_->SetUndoLimit(3);
  Stamp(*proc_, 1, 61, "A");  // entry: the px8g picture
  Stamp(*proc_, 2, 62, "B");  // entry: stamp 1
  Stamp(*proc_, 3, 63, "C");  // entry: stamp 2
  ASSERT_EQ(proc_->UndoCount(), 3);
  proc_->UndoAt(2, true);
  EXPECT_EQ(bmp_.PixelFormat(), px8g);
  EXPECT_EQ(proc_->UndoCount(), 0);
  ASSERT_EQ(proc_->RedoCount(), 3);
  EXPECT_EQ(proc_->RedoCaptions(0), "A");
  EXPECT_EQ(proc_->RedoCaptions(2), "C");  // the oldest redo entry: the state before the undo
  // Redo step by step: each entry gives the state after its operation.
  for (uint8_t expected : {1, 2, 3}) {
    proc_->Redo(true);
    EXPECT_EQ(FirstByte(&bmp_), expected);
  }
  EXPECT_EQ(proc_->UndoCount(), 3);
  EXPECT_EQ(proc_->UndoCaptions(0), "C");
}

TEST_F(UndoStoreTest, HandledCallbackSkipsTheRestore) {
  TFakeHost host;
  host.AddLayer(3, 3, px8g);
  proc_->SetAttachedPixoran(&host);
  Stamp(*proc_, 9);
  host.ImageChanges.clear();
  int calls = 0;
  proc_->SetUndoRedoCallback(TPXOnUndoRedoEvent(
      [&](TObject*, bool isUndo, TPXUndoSource source, TObject* obj, int32_t index, bool& handled) {
        ++calls;
        EXPECT_TRUE(isUndo);
        EXPECT_EQ(source, pxuImage);
        EXPECT_NE(dynamic_cast<TPXBitmap*>(obj), nullptr);
        EXPECT_EQ(index, -1);
        handled = true;
      }));
  proc_->Undo(true);
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(host.Layers[0].Bitmap->PixelFormat(), px24RGB);  // not restored
  EXPECT_EQ(proc_->UndoCount(), 0);
  EXPECT_EQ(host.ImageChanges, std::vector<int32_t>{2});
}

TEST_F(UndoStoreTest, EntryInformation) {
  TFakeHost host;
  host.AddLayer(3, 3, px8g);
  host.AddLayer(3, 3, px8g);
  host.Current = 1;
  proc_->SetAttachedPixoran(&host);
  proc_->SetUndoLimit(2);
  Stamp(*proc_, 1, 70, "Layer");
  proc_->SetUndoImageIndex(5);
  Stamp(*proc_, 2, 71, "Thumb");
  TPXUndoSource source;
  int32_t code = 0, item = 0;
  std::string caption;
  proc_->GetUndoInfo(0, source, code, caption, item);
  EXPECT_EQ(item, 5);
  EXPECT_EQ(caption, "Thumb");
  proc_->GetUndoInfo(1, source, code, caption, item);
  EXPECT_EQ(item, 1);  // the layer index
  EXPECT_EQ(code, 70);
  for (int32_t bad : {-1, 2, 99}) {
    caption = "kept";
    proc_->GetUndoInfo(bad, source, code, caption, item);
    EXPECT_EQ(source, pxuUnknown);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(item, -1);
    EXPECT_EQ(caption, "kept");
  }
  // An image entry saved from a layer view goes back into its layer.
  host.Current = 0;
  host.Fire(0);
  proc_->UndoAt(1, false);
  EXPECT_EQ(host.Layers[1].Bitmap->PixelFormat(), px8g);
  EXPECT_EQ(host.Layers[0].Bitmap->PixelFormat(), px8g);
}

TEST_F(UndoStoreTest, TemporaryFilesLiveWithTheirEntries) {
  bmp_.Allocate(64, 64, px24RGB);
  proc_->SetUndoLimit(2);
  const int before = CountFiles(temp_.Path());
  Stamp(*proc_, 1);
  EXPECT_EQ(CountFiles(temp_.Path()), before + 1);
  Stamp(*proc_, 2);
  Stamp(*proc_, 3);  // trims the oldest
  EXPECT_EQ(CountFiles(temp_.Path()), before + 2);
  proc_->ClearAllUndo();
  EXPECT_EQ(CountFiles(temp_.Path()), before);
  Stamp(*proc_, 4);
  proc_->Undo(true);  // the current state goes to the redo store, also in a file
  EXPECT_EQ(CountFiles(temp_.Path()), before + 1);
  {
    TPixoranProc other(nullptr);
    other.SetAttachedBitmap(&bmp_);
    other.SaveUndo(pxuImage, true);
    EXPECT_EQ(CountFiles(temp_.Path()), before + 2);
  }
  EXPECT_EQ(CountFiles(temp_.Path()), before + 1);  // freed with its component
  // Memory entries leave no file.
  proc_->ClearAllRedo();
  proc_->SetUndoLocation(pxMemory);
  Stamp(*proc_, 5);
  EXPECT_EQ(CountFiles(temp_.Path()), before);
}

TEST_F(UndoStoreTest, SelectionEntries) {
  TFakeHost host;
  host.AddLayer(3, 3, px8g);
  proc_->SetAttachedPixoran(&host);
  host.SelectionValue = 11;
  proc_->SaveUndo(pxuSelection, true);
  host.SelectionValue = 22;
  proc_->Undo(true);
  EXPECT_EQ(host.SelectionValue, 11);
  EXPECT_EQ(host.LastSelectionMode, 1);
  ASSERT_EQ(proc_->RedoCount(), 1);
  proc_->Redo(true);
  EXPECT_EQ(host.SelectionValue, 22);

  // Without a host nothing can be saved: an undo then leaves the redo record as it was.
  proc_->SetUndoLimit(2);
  proc_->SaveUndo(pxuSelection, true);
  proc_->Undo(true);  // redo store: one selection entry
  proc_->SaveUndo(pxuSelection, false);
  proc_->RedoStore()->SetCaption(0, "untouched");
  proc_->SetAttachedPixoran(nullptr);
  proc_->Undo(true);
  ASSERT_EQ(proc_->RedoCount(), 1);
  EXPECT_EQ(proc_->RedoCaptions(0), "untouched");
}

TEST_F(UndoStoreTest, LayerEntriesWalkRecordsByGuid) {
  TFakeHost host;
  for (int i = 0; i < 3; ++i) host.AddLayer(2, 2, px8g).Value = 10 + i;
  proc_->SetAttachedPixoran(&host);
  host.Current = 1;
  proc_->SaveUndo(pxuFullLayer, true);
  EXPECT_EQ(host.LastCompression, -2);
  for (auto& l : host.Layers) l.Value = 0;
  host.Layers[1].Bitmap->Scanline(0)[0] = 99;
  host.Layers.erase(host.Layers.begin());  // layer 0 deleted since
  host.AddLayer(2, 2, px8g).Value = 7;     // a layer added since
  host.Current = 0;
  host.Fire(0);  // the host's picture changed with its layers
  proc_->Undo(false);
  ASSERT_EQ(host.Layers.size(), 3u);
  EXPECT_EQ(host.Layers[0].Value, 11);
  EXPECT_EQ(host.Layers[0].Bitmap->Scanline(0)[0], 0);  // the picture of the saved current layer
  EXPECT_EQ(host.Layers[1].Value, 12);
  EXPECT_EQ(host.Layers[2].Value, 7);
  EXPECT_EQ(host.LayerLoads, 2);
  EXPECT_GE(host.Updates, 1);
}

TEST_F(UndoStoreTest, FullLayerEntriesGoToTemporaryFiles) {
  TFakeHost host;
  host.AddLayer(2, 2, px8g);
  proc_->SetAttachedPixoran(&host);
  const int before = CountFiles(temp_.Path());
  proc_->SaveUndo(pxuLayer, true);  // properties only: memory
  EXPECT_EQ(CountFiles(temp_.Path()), before);
  proc_->SaveUndo(pxuFullLayer, true);
  EXPECT_EQ(CountFiles(temp_.Path()), before + 1);
  proc_->UndoRemove();
  EXPECT_EQ(CountFiles(temp_.Path()), before);
}

// The reflection's steps on a host with two image layers: one entry, in a file, after each.
TEST_F(UndoStoreTest, ReflectionStepsKeepOneFileEntry) {
  TFakeHost host;
  TPXBitmap* source = host.AddLayer(40, 30, px24RGB).Bitmap.get();
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) source->SetPixel24(x, y, {static_cast<uint8_t>(x * 6), 90, 200});
  TPXBitmap* reflection = host.AddLayer(40, 30, px24RGB).Bitmap.get();
  reflection->Assign(source);
  proc_->SetAttachedPixoran(&host);
  const int before = CountFiles(temp_.Path());
  auto check = [&](const char* step) {
    EXPECT_EQ(proc_->UndoCount(), 1) << step;
    EXPECT_EQ(CountFiles(temp_.Path()), before + 1) << step;
    auto* copy = dynamic_cast<TPXBitmap*>(proc_->UndoStore()->Object(0));
    ASSERT_NE(copy, nullptr) << step;
    EXPECT_EQ(copy->Location(), pxFile) << step;
  };
  proc_->ResizeCanvas(80, 30, 2, 2, 0);
  check("resize");
  EXPECT_EQ(source->Width(), 80);
  EXPECT_EQ(source->GetAlpha(0, 0), 0);
  host.Current = 1;
  host.Fire(0);
  proc_->Flip(0);
  check("flip");
  EXPECT_EQ(reflection->GetPixelRGB(0, 0).b, 39 * 6);
  proc_->ConvertToMonochrome();
  check("monochrome");
  EXPECT_EQ(reflection->PixelFormat(), px1g);
  proc_->Wave(10, 30, 0, false);
  check("wave");
  EXPECT_EQ(reflection->PixelFormat(), px8g);
  proc_->Undo(true);
  EXPECT_EQ(reflection->PixelFormat(), px1g);
}

TEST_F(UndoStoreTest, CorruptLayerRecordsStopTheWalk) {
  TFakeHost host;
  host.AddLayer(2, 2, px8g);
  const TGUID guid = host.Layers[0].Guid;
  for (int32_t size : {0, -5, 12, 1000}) {
    TMemoryStream stream;
    TFakeHost::WriteRecord(&stream, guid, 1, -1, size);
    EXPECT_EQ(MessageOf<EPXException>([&] { RestoreLayerRecords(&host, &stream); }), "PXN File has been corrupted")
        << size;
  }
  // A truncated head after a good record.
  TMemoryStream stream;
  TFakeHost::WriteRecord(&stream, guid, 5, -1);
  stream.WriteBuffer("abc", 3);
  EXPECT_EQ(MessageOf<EPXException>([&] { RestoreLayerRecords(&host, &stream); }), "PXN File has been corrupted");
  EXPECT_EQ(host.Layers[0].Value, 5);
}

}  // namespace
