// Arbitrary bytes as a language file and as Options.ini, applied to the real main window
// (offscreen): every value either sets its property, is skipped or raises the conversion error;
// nothing crashes, and the window still shows its menu captions padded once.
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "app/UnitQuillane.h"
#include "platform/forms/Dialogs.h"
#include "platform/forms/FormsTesting.h"
#include "platform/forms/Menus.h"
#include "platform/rtl/Startup.h"
#include "platform/rtl/SysUtils.h"

namespace {

void Check(bool ok) {
  if (!ok) __builtin_trap();
}

struct TFuzzWindow {
  std::string Folder;
  TFrmQuillane* Form = nullptr;

  TFuzzWindow() {
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    std::string dir = GetTempDir() + "pxfuzz-lang-XXXXXX";
    if (!::mkdtemp(dir.data())) ::abort();
    Folder = dir + "/";
    if (::mkdir((Folder + "Languages").c_str(), 0700) != 0) ::abort();
    RtlStartup();
    QuillaneStartup();
    TDialogScript::Start();
    SetExceptionReporter([](const std::string&, const std::string&) {});
    AppDirOverride = Folder;
    Form = TCustomForm::Create<TFrmQuillane>(nullptr);
    Form->Show();
    ProcessPending();
    // Removed after the window has gone (registered before its construction ends).
    static const std::string folder = Folder;
    std::atexit([] {
      ::unlink((folder + "Options.ini").c_str());
      ::unlink((folder + "Languages/English.isl").c_str());
      ::rmdir((folder + "Languages").c_str());
      ::rmdir(folder.c_str());
    });
  }
  ~TFuzzWindow() {
    Form->Free();
    TDialogScript::Stop();
    QuillaneShutdown();
    RtlShutdown();
  }
  static TFuzzWindow& Window();
};

TFuzzWindow& TFuzzWindow::Window() {
  static TFuzzWindow window;
  return window;
}

void WriteFile(const std::string& Name, const std::string& Bytes) {
  FILE* f = std::fopen(Name.c_str(), "wb");
  if (!f) return;
  std::fwrite(Bytes.data(), 1, Bytes.size(), f);
  std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  TFuzzWindow& w = TFuzzWindow::Window();
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  // Sections named as the files' readers look for them, so that short inputs reach the setters.
  const std::string text = "[FrmQuillane]\n" + bytes + "\n[Messages]\n" + bytes + "\n[OPTIONS]\n" + bytes;
  WriteFile(w.Folder + "Languages/English.isl", text);
  WriteFile(w.Folder + "Options.ini", text);
  try {
    w.Form->LoadOptions();
  } catch (const Exception&) {
  }
  try {
    w.Form->ApplyLanguage(0);
  } catch (const EConvertError&) {
  }
  ProcessPending(2);
  // The menu shows each caption padded once, whatever the file did.
  const std::string files = w.Form->M_Files->Caption();
  Check(files == "  " + w.Form->FilesCaption() + "  ");
  return 0;
}
