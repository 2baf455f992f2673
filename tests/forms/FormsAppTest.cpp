#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/rtl/Classes_streams.h"
#include "platform/rtl/Classes_threads.h"
#include "tests/common/TestSupport.h"
#include "tests/forms/TestHost.h"

namespace {

// A window that records the user messages it gets.
class TReceiver : public TCustomControl {
 public:
  using TCustomControl::TCustomControl;
  std::vector<std::string>* Log = nullptr;
  void Dispatch(TMessage& m) override {
    if (m.Msg >= WM_USER && m.Msg < WM_USER + 1000) {
      if (Log) Log->push_back(std::to_string(m.Msg - WM_USER));
      if (m.Msg == WM_USER + 999) throw EConvertError("posted handler failed");
      return;
    }
    TCustomControl::Dispatch(m);
  }
};

using FormsAppTest = FormsTest;

TEST_F(FormsAppTest, PostedMessagesFromAWorkerArriveInOrderWithQueuedCalls) {
  auto form = NewForm();
  auto* r = new TReceiver(form.get());  // owned by the form
  r->SetParent(form.get());
  std::vector<std::string> log;
  r->Log = &log;
  HWND h = r->Handle();
  std::thread worker([&] {
    for (int i = 1; i <= 50; ++i) {
      PostMessage(h, WM_USER + static_cast<UINT>(i), 0, 0);
      if (i % 10 == 0) TThread::Queue(nullptr, [&log, i] { log.push_back("q" + std::to_string(i)); });
    }
  });
  worker.join();
  Pump();
  std::vector<std::string> expected;
  for (int i = 1; i <= 50; ++i) {
    expected.push_back(std::to_string(i));
    if (i % 10 == 0) expected.push_back("q" + std::to_string(i));
  }
  EXPECT_EQ(log, expected);
}

TEST_F(FormsAppTest, MessagesForADestroyedWindowAreDropped) {
  auto form = NewForm();
  auto* r = new TReceiver(form.get());
  r->SetParent(form.get());
  std::vector<std::string> log;
  r->Log = &log;
  HWND h = r->Handle();
  EXPECT_TRUE(PostMessage(h, WM_USER + 1, 0, 0));
  delete r;  // a component: taken out of its owner
  Pump();
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(IsWindow(h));
  EXPECT_FALSE(PostMessage(h, WM_USER + 2, 0, 0));
  EXPECT_EQ(SendMessage(h, WM_USER + 3, 0, 0), 0);
}

TEST_F(FormsAppTest, SynchronizeWhileTheUIThreadServesItsLoop) {
  std::atomic<bool> done{false};
  int ranOn = 0;
  std::thread worker([&] {
    TThread::Synchronize(nullptr, [&] { ranOn = IsUIThread() ? 1 : 2; });
    done = true;
  });
  for (int i = 0; i < 2000 && !done; ++i) {
    Application()->ProcessMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  worker.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(ranOn, 1);
}

TEST_F(FormsAppTest, ExceptionsInHandlersAreReportedNotFatal) {
  auto form = NewForm();
  auto* r = new TReceiver(form.get());
  r->SetBounds(0, 0, 50, 50);
  r->SetParent(form.get());
  r->SetOnClick([](TObject*) { throw EConvertError("'x' is not a valid integer value"); });
  Pump();
  Click(r, 10, 10);
  PostMessage(r->Handle(), WM_USER + 999, 0, 0);
  Pump();
  ASSERT_EQ(Reports().size(), 2u);
  EXPECT_EQ(Reports()[0], "'x' is not a valid integer value.");
  EXPECT_EQ(Reports()[1], "posted handler failed.");
  // Still working: OnException takes the next one instead of the box, EAbort stays silent.
  std::string seen;
  Application()->SetOnException([&](TObject*, const Exception& e) { seen = e.Message(); });
  Click(r, 10, 10);
  EXPECT_EQ(seen, "'x' is not a valid integer value");
  r->SetOnClick([](TObject*) { Abort(); });
  Click(r, 10, 10);
  EXPECT_EQ(Reports().size(), 2u);
  EXPECT_EQ(seen, "'x' is not a valid integer value");
}

TEST_F(FormsAppTest, TimersFireOnTheInjectedClockInDueOrder) {
  std::vector<std::string> log;
  TTimer a(nullptr), b(nullptr);
  a.SetInterval(100);
  b.SetInterval(150);
  a.SetOnTimer([&](TObject*) { log.push_back("a@" + std::to_string(GetTickCount64() - 100000)); });
  b.SetOnTimer([&](TObject*) { log.push_back("b@" + std::to_string(GetTickCount64() - 100000)); });
  AdvanceTime(99);
  EXPECT_TRUE(log.empty());
  AdvanceTime(251);
  EXPECT_EQ(log, (std::vector<std::string>{"a@100", "b@150", "a@200", "a@300", "b@300"}));
  a.SetEnabled(false);
  b.SetOnTimer([](TObject*) { throw EInvalidOperation("timer failed"); });
  AdvanceTime(150);
  EXPECT_EQ(log.size(), 5u);
  EXPECT_EQ(Reports(), std::vector<std::string>{"timer failed."});
  // Window timers: WM_TIMER with the timer's id.
  auto form = NewForm();
  auto* r = new TReceiver(form.get());
  r->SetParent(form.get());
  std::vector<UINT_PTR> ids;
  r->SetWindowProc([&, r](TMessage& m) {
    if (m.Msg == WM_TIMER) ids.push_back(m.WParam);
    r->TCustomControl::WndProc(m);
  });
  SetTimer(r->Handle(), 7, 40, nullptr);
  AdvanceTime(100);
  KillTimer(r->Handle(), 7);
  AdvanceTime(100);
  EXPECT_EQ(ids, (std::vector<UINT_PTR>{7, 7}));
  r->SetWindowProc(nullptr);
}

TEST_F(FormsAppTest, ShowModalRunsANestedLoopAndDisablesTheOtherForms) {
  auto main = NewForm();
  auto dialog = std::make_unique<TForm>(nullptr);
  dialog->SetBounds(0, 0, 200, 100);
  bool mainDisabled = false;
  Application()->QueueCall([&] {
    mainDisabled = !IsWindowEnabled(main->Handle());
    dialog->SetModalResult(mrOk);
  });
  EXPECT_EQ(dialog->ShowModal(), mrOk);
  EXPECT_TRUE(mainDisabled);
  EXPECT_TRUE(IsWindowEnabled(main->Handle()));
  EXPECT_FALSE(dialog->Visible());
  // Closing a modal form answers mrCancel; OnCloseQuery can refuse once.
  int asked = 0;
  dialog->SetOnCloseQuery([&](TObject*, bool& can) {
    can = ++asked > 1;
    if (!can) Application()->QueueCall([&] { dialog->Close(); });  // the user tries again
  });
  Application()->QueueCall([&] { dialog->Close(); });
  EXPECT_EQ(dialog->ShowModal(), mrCancel);
  EXPECT_EQ(asked, 2);
}

TEST_F(FormsAppTest, CloseAsksThenHidesOrFrees) {
  TComponent owner(nullptr);
  auto* form = new TForm(&owner);  // owned by owner
  form->Show();
  Pump();
  bool can = false;
  std::vector<std::string> events;
  form->SetOnCloseQuery([&](TObject*, bool& c) { c = can; events.push_back("query"); });
  form->SetOnClose([&](TObject*, TCloseAction& a) { a = caFree; events.push_back("close"); });
  form->SetOnDestroy([&](TObject*) { events.push_back("destroy"); });
  form->Close();
  EXPECT_TRUE(form->Visible());
  can = true;
  SimulateUserClose(form->Handle());  // the desktop's close button
  EXPECT_EQ(owner.ComponentCount(), 1) << "freed after the current message";
  Pump();
  EXPECT_EQ(owner.ComponentCount(), 0);
  EXPECT_EQ(events, (std::vector<std::string>{"query", "query", "close", "destroy"}));
}

TEST_F(FormsAppTest, AltF4ClosesTheActiveForm) {
  auto form = NewForm();
  bool asked = false;
  form->SetOnCloseQuery([&](TObject*, bool& can) { asked = can = true; });
  SimulateKey(true, VK_MENU, "", {ssAlt});
  Press(VK_F4, "", {ssAlt});
  SimulateKey(false, VK_MENU);
  EXPECT_TRUE(asked);
  EXPECT_FALSE(form->Visible());
}

// A form with a stored description.
class TAppMainForm : public TForm {
  PX_CLASS(TAppMainForm)
 public:
  using TForm::TForm;
  std::vector<std::string> Log;
  void FormCreate(TObject*) {
    TControl* inner = dynamic_cast<TControl*>(FindComponent("Inner"));
    Log.push_back(std::string("create ") + (inner && inner->Parent() && inner->Parent()->Name() == "Outer" ? "loaded" : "empty"));
  }
  void InnerClick(TObject*) { Log.push_back("click"); }
};

class TAppTestPanel : public TCustomControl {
  PX_CLASS(TAppTestPanel)
 public:
  explicit TAppTestPanel(TComponent* AOwner) : TCustomControl(AOwner) {
    SetControlStyle(ControlStyle() + csAcceptsControls);
  }
};

}  // namespace

PX_CLASS_INFO(TAppMainForm, TForm, [](TPropertyBuilder<TAppMainForm>& b) {
  b.Method("FormCreate", &TAppMainForm::FormCreate);
  b.Method("InnerClick", &TAppMainForm::InnerClick);
})
PX_CLASS_INFO(TAppTestPanel, TCustomControl)

namespace {

const char kMainForm[] = R"(object AppMainForm: TAppMainForm
  Left = 10
  Top = 20
  Caption = 'Main'
  ClientWidth = 400
  ClientHeight = 300
  Color = clBtnFace
  Font.Style = [fsBold]
  Position = poScreenCenter
  OnCreate = FormCreate
  object Outer: TAppTestPanel
    Align = alRight
    Width = 120
    Cursor = crHandPoint
    object Inner: TAppTestPanel
      Left = 10
      Top = 10
      Width = 50
      Height = 40
      Anchors = [akRight, akBottom]
      Hint = 'Short|Long hint'
      OnClick = InnerClick
      TabOrder = 0
    end
  end
end
)";

TEST_F(FormsAppTest, CreateFormReadsTheStoredDescriptionThenFiresOnCreate) {
  static const TResourceEntry entries[] = {
      {"TAPPMAINFORM", "RCDATA", reinterpret_cast<const unsigned char*>(kMainForm), sizeof kMainForm - 1}};
  static const TResourceTable table{entries, 1};
  RegisterResourceTable(&table);
  RegisterClass(TAppTestPanel::StaticClass());
  TAppMainForm* form = nullptr;
  Application()->CreateForm(form);
  ASSERT_NE(form, nullptr);
  EXPECT_EQ(Application()->MainForm(), form);
  EXPECT_EQ(form->Log, std::vector<std::string>{"create loaded"});
  EXPECT_EQ(form->ClientWidth(), 400);
  EXPECT_EQ(form->Caption(), "Main");
  auto* outer = dynamic_cast<TAppTestPanel*>(form->FindComponent("Outer"));
  auto* inner = dynamic_cast<TAppTestPanel*>(form->FindComponent("Inner"));
  ASSERT_TRUE(outer && inner);
  EXPECT_EQ(outer->BoundsRect(), Bounds(280, 0, 120, 300));
  EXPECT_TRUE(inner->Font()->Style().Contains(fsBold)) << "the parent's font";
  EXPECT_EQ(outer->Cursor(), crHandPoint);
  form->Show();
  Pump();
  EXPECT_EQ(form->Left(), (GetSystemMetrics(SM_CXSCREEN) - form->Width()) / 2);
  Click(inner, 5, 5);
  EXPECT_EQ(form->Log.back(), "click");
  // The hint of the control under the mouse is the application's.
  MouseMove(inner, 6, 6);
  EXPECT_EQ(Application()->Hint(), "Long hint");
  form->Free();
  EXPECT_EQ(Application()->MainForm(), nullptr);
  UnRegisterClass(TAppTestPanel::StaticClass());
  UnregisterResourceTable(&table);
}

TEST_F(FormsAppTest, LoaderRejectsAnUnknownPropertyWithItsLine) {
  RegisterClass(TAppTestPanel::StaticClass());
  auto form = std::make_unique<TForm>(nullptr);
  const std::string text =
      "object F: TForm\n"
      "  object P: TAppTestPanel\n"
      "    Align = alTop\n"
      "    Colour = clRed\n"
      "  end\n"
      "end\n";
  EXPECT_EQ(MessageOf<EReadError>([&] { LoadFormFromText(form.get(), text); }),
            "Line 4: Error reading P.Colour: Property Colour does not exist");
  UnRegisterClass(TAppTestPanel::StaticClass());
}

TEST_F(FormsAppTest, ScreenCursorsFormsAndMonitors) {
  TScreen* s = Screen();
  for (TCursor c : {crArrow, crCross, crIBeam, crSizeAll, crHourGlass, crHandPoint, crNo, crHSplit})
    EXPECT_NE(s->Cursors(c), nullptr) << c;
  EXPECT_NE(s->Cursors(crIBeam), s->Cursors(crArrow));
  EXPECT_EQ(s->Cursors(crNone), nullptr);
  HCURSOR mine = CopyCursor(LoadCursor(0, IDC_CROSS));
  s->SetCursors(5, mine);
  EXPECT_EQ(s->Cursors(5), mine);
  s->SetCursors(5, nullptr);
  EXPECT_EQ(s->Cursors(5), s->Cursors(crArrow)) << "unknown ids give the default";
  EXPECT_EQ(StringToCursor("crHandPoint"), crHandPoint);
  EXPECT_EQ(CursorToString(crSizeAll), "crSizeAll");

  auto form = NewForm();
  EXPECT_EQ(s->ActiveForm(), form.get());
  EXPECT_EQ(s->Forms(0), form.get());
  ASSERT_GE(s->MonitorCount(), 1);
  TRect work = s->Monitors(0)->WorkareaRect(), bounds = s->Monitors(0)->BoundsRect();
  EXPECT_FALSE(bounds.IsEmpty());
  EXPECT_TRUE(work.Left >= bounds.Left && work.Right <= bounds.Right);
  EXPECT_EQ(s->MonitorFromWindow(form->Handle()), s->Monitors(0));
  EXPECT_EQ(s->PixelsPerInch(), 96);
  EXPECT_EQ(s->Width(), GetSystemMetrics(SM_CXSCREEN));
}

}  // namespace
