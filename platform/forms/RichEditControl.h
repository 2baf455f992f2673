// The class library's rich edit control: a window editing a TRichEditDocument, answering the
// rich edit's EM_* messages and telling its owner of changes, selection changes, size requests
// and links through EN_* notifications (reflected to itself as CN_NOTIFY).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/Controls.h"
#include "platform/forms/RichEdit.h"

// ---- more messages and records of the rich edit
enum : UINT {
  EM_REQUESTRESIZE = 0x0441, EM_SETTARGETDEVICE = 0x0448, EM_GETTEXTMODE = 0x045A, EM_GETUNDONAME = 0x0456,
  EM_SETTYPOGRAPHYOPTIONS = 0x04CA, EM_GETTYPOGRAPHYOPTIONS = 0x04CB, EM_GETBIDIOPTIONS = 0x04C9,
  EM_SETBIDIOPTIONS = 0x04C8
};
enum : UINT { EN_REQUESTRESIZE = 0x0701, EN_SELCHANGE = 0x0702, EN_PROTECTED = 0x0704, EN_LINK = 0x070B };
enum : DWORD {
  ENM_CHANGE = 0x00000001, ENM_SELCHANGE = 0x00080000, ENM_REQUESTRESIZE = 0x00040000, ENM_PROTECTED = 0x00200000,
  ENM_LINK = 0x04000000
};
// EM_SETOPTIONS operations and options.
enum : UINT { ECOOP_SET = 1, ECOOP_OR = 2, ECOOP_AND = 3, ECOOP_XOR = 4 };
enum : DWORD { ECO_AUTOWORDSELECTION = 0x00000001, ECO_READONLY = 0x00000800, ECO_SELECTIONBAR = 0x01000000 };
// EM_SETLANGOPTIONS bits.
enum : DWORD { IMF_AUTOKEYBOARD = 0x0001, IMF_AUTOFONT = 0x0002, IMF_IMECANCELCOMPLETE = 0x0004,
               IMF_IMEALWAYSSENDNOTIFY = 0x0008 };
// EM_SETTEXTMODE bits.
enum : DWORD { TM_PLAINTEXT = 1, TM_RICHTEXT = 2, TM_SINGLELEVELUNDO = 4, TM_MULTILEVELUNDO = 8 };
// EM_SETTYPOGRAPHYOPTIONS.
enum : DWORD { TO_ADVANCEDTYPOGRAPHY = 1 };
// Window styles of the rich edit.
enum : DWORD { ES_SAVESEL = 0x00008000, ES_SELECTIONBAR = 0x01000000, ES_NOOLEDRAGDROP = 0x00000008,
               ES_DISABLENOSCROLL = 0x00002000 };

// What EM_FORMATRANGE lays out and draws: rectangles in twips of the target device.
struct FORMATRANGE {
  HDC hdc = nullptr;
  HDC hdcTarget = nullptr;
  TRect rc;
  TRect rcPage;
  CHARRANGE chrg;
};
struct TEXTRANGEW {
  CHARRANGE chrg;
  char16_t* lpstrText = nullptr;  // room for the range and a NUL
};
struct ENLINK {
  NMHDR nmhdr;
  UINT msg = 0;
  WPARAM wParam = 0;
  LPARAM lParam = 0;
  CHARRANGE chrg;
};
struct SELCHANGE {
  NMHDR nmhdr;
  CHARRANGE chrg;
  WORD seltyp = 0;
};
struct REQRESIZE {
  NMHDR nmhdr;
  TRect rc;
};

class TCustomRichEdit : public TWinControl {
  PX_CLASS(TCustomRichEdit)
 public:
  explicit TCustomRichEdit(TComponent* AOwner);
  ~TCustomRichEdit() override;

  // The text as UTF-8 with paragraphs ended by CR LF.
  std::string GetText() const override;
  void SetText(const std::string& Value) override;
  // The document (the window's content, kept also without a window).
  TRichEditDocument& Doc() { return *FDoc; }
  const TRichEditDocument& Doc() const { return *FDoc; }
  // The whole content as RTF, and RTF (or plain text) loaded in its place.
  std::string SaveRtf() const;
  void LoadRtf(std::string_view Value);

  int32_t SelStart();
  void SetSelStart(int32_t Value);
  int32_t SelLength();
  void SetSelLength(int32_t Value);
  std::string SelText();
  void SetSelText(const std::string& Value);
  void SelectAll();
  void ClearSelection();
  void CutToClipboard();
  void CopyToClipboard();
  void PasteFromClipboard();
  void Undo();
  void ClearUndo();
  bool Modified() const { return FDoc->Modified(); }
  void SetModified(bool Value) { FDoc->SetModified(Value); }

  bool ReadOnly() const { return FReadOnly; }
  virtual void SetReadOnly(bool Value);
  bool WordWrap() const { return FWordWrap; }
  void SetWordWrap(bool Value);
  bool WantReturns() const { return FWantReturns; }
  void SetWantReturns(bool Value) { FWantReturns = Value; }
  bool WantTabs() const { return FWantTabs; }
  void SetWantTabs(bool Value) { FWantTabs = Value; }
  TScrollStyle ScrollBars() const { return FScrollBars; }
  void SetScrollBars(TScrollStyle Value);
  bool HideSelection() const { return FHideSelection; }
  void SetHideSelection(bool Value);
  bool PlainText() const { return FPlainText; }
  void SetPlainText(bool Value) { FPlainText = Value; }
  int32_t MaxLength() const { return FMaxLength; }
  void SetMaxLength(int32_t Value);
  TBorderStyle BorderStyle() const { return FBorderStyle; }
  void SetBorderStyle(TBorderStyle Value);

  const TNotifyEvent& OnChange() const { return FOnChange; }
  void SetOnChange(const TNotifyEvent& Value) { FOnChange = Value; }
  const TNotifyEvent& OnSelectionChange() const { return FOnSelectionChange; }
  void SetOnSelectionChange(const TNotifyEvent& Value) { FOnSelectionChange = Value; }

  // The link ranges found by automatic address detection.
  const std::vector<CHARRANGE>& Links() const { return FLinks; }

  void DefaultHandler(TMessage& Message) override;
  void Dispatch(TMessage& Message) override;

 protected:
  void CreateParams(TCreateParams& Params) override;
  void CreateWnd() override;
  void PaintWindow(HDC DC) override;
  void Resize() override;
  // EN_CHANGE, EN_SELCHANGE and EN_REQUESTRESIZE as they reach the control.
  virtual void Change();
  virtual void SelectionChange();
  virtual void RequestSize(const TRect& Rect);
  // Other notifications (EN_LINK...).
  virtual void CNNotify(TWMNotify& Message);

 private:
  struct TState;
  void Edited();
  void SelChanged();
  void Notify(UINT Code, NMHDR& Header);
  // Client area where the text goes, and the layout width in document pixels.
  TRect TextArea() const;
  double Scale() const;
  void Relayout();
  void ScrollToCaret();
  void UpdateScrollBar();
  void UpdateCaret();
  int32_t PosFromPoint(int32_t X, int32_t Y);
  TPoint PointFromPos(int32_t Pos);
  void DetectLinks();
  int32_t LinkAt(int32_t X, int32_t Y, CHARRANGE& Range);
  void KeyDownDefault(uint16_t Key, TShiftState Shift);
  void TypeUnits(std::u16string_view Units);
  void MoveTo(int32_t Pos, bool Extend);
  LRESULT FormatRange(BOOL Render, FORMATRANGE* Range);
  void SetTextMode(DWORD Mode);

  std::unique_ptr<TRichEditDocument> FDoc;
  std::unique_ptr<TState> FState;
  std::vector<CHARRANGE> FLinks;
  bool FReadOnly = false;
  bool FWordWrap = true;
  bool FWantReturns = true;
  bool FWantTabs = false;
  TScrollStyle FScrollBars = ssBoth;
  bool FHideSelection = true;
  bool FPlainText = false;
  int32_t FMaxLength = 0;
  TBorderStyle FBorderStyle = bsSingle;
  TNotifyEvent FOnChange;
  TNotifyEvent FOnSelectionChange;
};
