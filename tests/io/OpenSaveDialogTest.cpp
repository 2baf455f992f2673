// The library's open and save dialogs under scripted answers: the folder rule, the filter built
// from the registry and the entry preselected from a name, the default extension of the entry
// shown, the save dialog's attached parameters (followed while open, put back on cancel), the
// extension swap on a change of entry, the pane's named controls and the stored form.
#include <gtest/gtest.h>

#include <fstream>

#include "io/pixoranio.h"
#include "io/pxopensavedlg.h"
#include "io/pxxBitmaps_params.h"
#include "platform/forms/ExtCtrls.h"
#include "platform/forms/FormLoader.h"
#include "platform/forms/FormsTesting.h"
#include "platform/forms/StdCtrls.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/DialogTestSupport.h"

namespace {

class OpenSaveDialogTest : public ScriptedDialogTest {
 protected:
  void SetUp() override {
    ScriptedDialogTest::SetUp();
    TestClock::Install(50000);
  }
  void TearDown() override {
    TestClock::Remove();
    ScriptedDialogTest::TearDown();
  }
  // The entry whose pattern list starts with Pattern, found without the dialog's own search.
  static int32_t EntryOf(const TOpenDialog& d, const std::string& Pattern) {
    const auto entries = d.FilterEntries();
    for (size_t i = 0; i < entries.size(); ++i)
      if (entries[i].second.front() == Pattern) return static_cast<int32_t>(i + 1);
    return 0;
  }
  // Lets the dialog's 100 ms timer run once.
  static void Tick() {
    TestClock::Advance(100);
    ProcessPending();
  }
  static TOpenDialog* Open(TCommonDialog* d) { return static_cast<TOpenDialog*>(d); }
};

TEST_F(OpenSaveDialogTest, InitialDirKeepsNoTrailingDelimiter) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {{"/pictures/", "/pictures"}, {"/a/b//", "/a/b"}, {"/", "/"}, {"x", "x"}, {"", ""}, {"/a/b", "/a/b"}};
  TSavePixoranDialog d(nullptr);
  for (const auto& c : cases) {
    d.SetInitialDir(c.in);
    EXPECT_EQ(d.InitialDir(), c.out) << c.in;
    // The same through the published property, as a form description or a language file sets it.
    SetStrProp(&d, "InitialDir", c.in);
    EXPECT_EQ(d.InitialDir(), c.out) << c.in;
  }
}

TEST_F(OpenSaveDialogTest, OpenDialogRunsInItsFolderWithTheRegistryFilter) {
  TOpenPixoranDialog d(nullptr);
  EXPECT_EQ(d.Filter(), BuildDialogFilter(false, pxsfImagesAndVideos, -1, "", false));
  EXPECT_EQ(d.Options(), TOpenOptions{ofHideReadOnly});
  EXPECT_EQ(d.FilterIndex(), 1);
  d.SetTitle("Open a picture");
  d.SetInitialDir(dir.Path());
  Touch("a.png");

  TDialogAnswer pick = TDialogAnswer::ChooseFiles({"a.png"});
  std::string folderShown;
  pick.WhileOpen = [&](TCommonDialog* c) { folderShown = Open(c)->CurrentFolder(); };
  TDialogScript::Push(pick);
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(folderShown, ExcludeTrailingPathDelimiter(dir.Path()));
  EXPECT_EQ(d.FileName(), dir.File("a.png"));
  EXPECT_EQ(d.SelectedFrame(), 0);
  ASSERT_EQ(TDialogScript::Shown().size(), 1u);
  EXPECT_EQ(TDialogScript::Shown()[0].Kind, "TOpenDialog");
  EXPECT_EQ(TDialogScript::Shown()[0].Title, "Open a picture");

  // Cancelled: the name stays, the list of chosen files is emptied.
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_FALSE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("a.png"));
  EXPECT_EQ(d.Files()->Count(), 0);
}

TEST_F(OpenSaveDialogTest, EntryPreselectedFromTheNameOrTheDefaultType) {
  TSavePixoranDialog save(nullptr);
  const int32_t png = EntryOf(save, "*.png"), bmp = EntryOf(save, "*.bmp");
  ASSERT_GT(png, 1);
  ASSERT_GT(bmp, 1);
  struct Case {
    const char* name;
    TPXFileType filterDefault;
    int32_t preset, expected;
  } cases[] = {
      {"", -1, 3, 3},             // nothing to go by: the caller's entry
      {"old.png", -1, 3, png},    // the name's extension wins
      {"old.PNG", -1, 3, png},
      {"old.xyz", -1, 3, 1},      // an extension no entry lists gives the first entry
      {"", pxftBMP, 3, bmp},      // FilterDefault with no name
      {"old.png", pxftBMP, 3, png},
      {"old.bmp", pxftBMP, 3, bmp},
      {"", -1, 0, 1},             // entry 0 means the first
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.name << " " << c.filterDefault);
    save.SetFileName(c.name[0] ? dir.File(c.name) : "");
    save.SetFilterDefault(c.filterDefault);
    save.SetFilterIndex(c.preset);
    int32_t shown = -1;
    TDialogAnswer cancel = TDialogAnswer::Cancelled();
    cancel.WhileOpen = [&](TCommonDialog* d) { shown = Open(d)->FilterIndex(); };
    TDialogScript::Push(cancel);
    EXPECT_FALSE(save.Execute());
    EXPECT_EQ(shown, c.expected);
  }
  // The open dialog passes over its entry of all pictures for a default type.
  TOpenPixoranDialog open(nullptr);
  EXPECT_EQ(open.FilterIndexOfType(pxftPNG), EntryOf(open, "*.png"));
  EXPECT_EQ(open.FilterIndexOf(".png", false), 1);  // the first match is the all-pictures entry
}

TEST_F(OpenSaveDialogTest, TypedNameGetsTheShownEntrysExtension) {
  TSavePixoranDialog d(nullptr);
  d.SetAutoSetFilter(false);
  d.SetFilter("Alpha (*.aa)|*.aa|Bee (*.bb;*.b2)|*.bb;*.b2|Anything|*.*");
  d.SetInitialDir(dir.Path());
  d.SetOptions(TOpenOptions{ofOverwritePrompt, ofHideReadOnly});
  // The automatic filter is off: Execute keeps the caller's.
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"first"}));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.Filter(), "Alpha (*.aa)|*.aa|Bee (*.bb;*.b2)|*.bb;*.b2|Anything|*.*");
  EXPECT_EQ(d.FileName(), dir.File("first.aa"));
  EXPECT_TRUE(d.DefaultExt().empty()) << "the caller's DefaultExt is kept";

  // The overwrite question names the file that would be written, extension included.
  d.SetFileName("");
  Touch("taken.bb");
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"taken"}, 2));
  TDialogScript::Push(TDialogAnswer::PressButton(IDNO));
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_FALSE(d.Execute());
  std::string asked;
  for (const TDialogShown& shown : TDialogScript::Shown())
    if (shown.Kind == "MessageBox") asked += shown.Text;
  EXPECT_NE(asked.find("taken.bb already exists"), std::string::npos) << asked;

  // An entry of wildcards adds nothing; a caller's DefaultExt wins over the entry.
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"plain"}, 3));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("plain"));
  d.SetDefaultExt("zz");
  d.SetFileName("");
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"mine"}, 2));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("mine.zz"));
}

TEST_F(OpenSaveDialogTest, ExtensionFollowsTheChosenEntry) {
  TSavePixoranDialog d(nullptr);
  const int32_t png = EntryOf(d, "*.png");
  ASSERT_GT(png, 0);
  struct Case {
    const char* typed;
    const char* after;
  } cases[] = {
      {"shot.jpg", "shot.png"},
      {"shot.JPG", "shot.png"},
      {"/tmp/x/shot.tif", "/tmp/x/shot.png"},  // a typed folder stays
      {"notes.xyz", "notes.xyz"},              // unknown to the registry: as typed
      {"noext", "noext"},
      {"", ""},
  };
  d.SetInitialDir(dir.Path());
  std::string after;
  d.SetOnTypeChange(TNotifyEvent([&](TObject*) { after = d.FileNameText(); }));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    d.SetFileName("");
    d.SetFilterIndex(1);
    // The user types a name, then picks the PNG entry.
    TDialogAnswer choose = TDialogAnswer::ChooseFiles({}, png);
    choose.WhileOpen = [&](TCommonDialog* dlg) { Open(dlg)->SetFileNameText(c.typed); };
    TDialogScript::Push(choose);
    if (!c.typed[0]) TDialogScript::Push(TDialogAnswer::Cancelled());  // no name to confirm
    EXPECT_EQ(d.Execute(), c.typed[0] != 0);
    EXPECT_EQ(after, c.after);
  }
  EXPECT_EQ(ExtensionOfPattern("*.jpg;*.jpeg"), ".jpg");
  EXPECT_EQ(ExtensionOfPattern("*.png"), ".png");
  EXPECT_EQ(ExtensionOfPattern("*.*"), "");
  EXPECT_EQ(ExtensionOfPattern(""), "");
}

TEST_F(OpenSaveDialogTest, AttachedParametersFollowTheTypeAndComeBackOnCancel) {
  TSavePixoranDialog d(nullptr);
  TPixoranIO io(nullptr);
  TIOParams* params = io.GetParams();
  params->JPEG_Quality = 55;
  params->FileType = pxftGIF;

  // Only an I/O component is taken; nil and other components leave the attachment.
  TComponent other(nullptr);
  d.SetAttachedPixoranIO(&other);
  EXPECT_EQ(d.AttachedPixoranIO(), nullptr);
  d.SetAttachedPixoranIO(&io);
  d.SetAttachedPixoranIO(nullptr);
  EXPECT_EQ(d.AttachedPixoranIO(), &io);

  d.SetInitialDir(dir.Path());
  d.SetAutoSetFilter(false);
  d.SetFilter("Tagged (*.tif)|*.tif|Other (*.qqq)|*.qqq");
  // Names typed while the dialog shows, under each entry; a name that tells nothing falls back
  // on the entry's (last) pattern.
  struct Round {
    int32_t entry;
    std::vector<std::pair<const char*, TPXFileType>> names;
  } rounds[] = {
      {2, {{"x.tif", pxftTIFF}, {"x.TIFF", pxftTIFF}, {"y.pcx", pxftPCX}, {"x.zzz", pxftUnknown}, {"x", pxftUnknown}}},
      {1, {{"x.zzz", pxftTIFF}, {"x.bmp", pxftBMP}}},
  };
  for (const Round& r : rounds) {
    d.SetFilterIndex(r.entry);
    TDialogAnswer cancel = TDialogAnswer::Cancelled();
    cancel.WhileOpen = [&](TCommonDialog* dlg) {
      params->JPEG_Quality = 10;  // as a parameters dialog would
      for (const auto& [name, type] : r.names) {
        Open(dlg)->SetFileNameText(name);
        Tick();
        EXPECT_EQ(params->FileType, type) << name;
      }
    };
    TDialogScript::Push(cancel);
    EXPECT_FALSE(d.Execute());
    EXPECT_EQ(params->JPEG_Quality, 55);
    EXPECT_EQ(params->FileType, pxftGIF);
  }

  // Confirmed: the parameters keep what the dialog made of them (the type follows the change of
  // entry at once); once closed the timer no longer touches them.
  d.SetFilterIndex(2);
  TDialogScript::Push(TDialogAnswer::ChooseFiles({"out"}, 1));
  ASSERT_TRUE(d.Execute());
  EXPECT_EQ(d.FileName(), dir.File("out.tif"));
  EXPECT_EQ(params->FileType, pxftTIFF);
  params->FileType = pxftBMP;
  Tick();
  Tick();
  EXPECT_EQ(params->FileType, pxftBMP);

  // A freed component is forgotten.
  {
    TPixoranIO gone(nullptr);
    d.SetAttachedPixoranIO(&gone);
  }
  EXPECT_EQ(d.AttachedPixoranIO(), nullptr);
  TDialogScript::Push(TDialogAnswer::Cancelled());
  EXPECT_FALSE(d.Execute());
}

TEST_F(OpenSaveDialogTest, PaneControlsAreFoundByName) {
  for (bool save : {false, true}) {
    std::unique_ptr<TOpenPixoranDialog> d =
        save ? std::make_unique<TSavePixoranDialog>(nullptr) : std::make_unique<TOpenPixoranDialog>(nullptr);
    auto* info = dynamic_cast<TPanel*>(d->FindComponent("InfoPanel"));
    auto* picture = dynamic_cast<TPanel*>(d->FindComponent("PicturePanel"));
    auto* check = dynamic_cast<TCheckBox*>(d->FindComponent("PreviewCheck"));
    ASSERT_TRUE(info && picture && check);
    EXPECT_EQ(info, d->InfoPanel());
    EXPECT_EQ(check->Caption(), "Preview");
    // Not shown anywhere yet.
    EXPECT_EQ(info->Parent(), nullptr);
    EXPECT_EQ(picture->Parent(), nullptr);
    EXPECT_FALSE(check->Visible());
    TFont font;
    font.SetName("Tahoma");
    font.SetHeight(-11);
    check->Font()->Assign(&font);
    EXPECT_EQ(check->Font()->Name(), "Tahoma");
  }
}

TEST_F(OpenSaveDialogTest, StoredInAFormDescription) {
  TComponent root(nullptr);
  root.SetName("Root");
  LoadFormFromText(&root, R"(object Root: TComponent
  object Open1: TOpenPixoranDialog
    Title = 'Open it'
  end
  object Save1: TSavePixoranDialog
    AutoSetFilter = False
    Filter = 'PNG (*.png)|*.png|BMP (*.bmp)|*.bmp'
    FilterIndex = 2
    InitialDir = '/tmp/'
    Options = [ofOverwritePrompt, ofHideReadOnly]
    Title = 'Save it'
  end
end
)");
  auto* open = dynamic_cast<TOpenPixoranDialog*>(root.FindComponent("Open1"));
  auto* save = dynamic_cast<TSavePixoranDialog*>(root.FindComponent("Save1"));
  ASSERT_TRUE(open && save);
  EXPECT_EQ(open->Title(), "Open it");
  EXPECT_TRUE(open->AutoSetFilter());
  EXPECT_FALSE(save->AutoSetFilter());
  EXPECT_EQ(save->Filter(), "PNG (*.png)|*.png|BMP (*.bmp)|*.bmp");
  EXPECT_EQ(save->FilterIndex(), 2);
  EXPECT_EQ(save->InitialDir(), "/tmp");
  EXPECT_EQ(save->Options(), (TOpenOptions{ofOverwritePrompt, ofHideReadOnly}));
  // Written back: the registry's filter is not stored, the caller's is.
  const std::string text = WriteComponentToText(&root);
  EXPECT_EQ(text.find("Filter = 'All"), std::string::npos) << text;
  EXPECT_NE(text.find("Filter = 'PNG (*.png)"), std::string::npos) << text;
}

}  // namespace
