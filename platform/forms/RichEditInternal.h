// The rich edit document's state behind the curtain, shared by its source files.
#pragma once

#include <QTextCursor>
#include <QTextDocument>

#include "platform/forms/RichEdit.h"

// Block properties of a paragraph's list: 0 none, 1 bullets, 2 numbers; the first number; the
// number's style (PFNS_* bits).
constexpr int kNumberingProperty = QTextFormat::UserProperty + 10;
constexpr int kNumberingStartProperty = QTextFormat::UserProperty + 11;
constexpr int kNumberingStyleProperty = QTextFormat::UserProperty + 12;
// A list paragraph's first-line indent (twips): its label goes there and its first line starts
// at the left indent, so Qt's own text indent is 0 for it.
constexpr int kListFirstIndentProperty = QTextFormat::UserProperty + 13;

// Text units of the document: U+2029 ends a paragraph, U+2028 is a line break.
QString DocumentText(std::u16string_view T);
// Builds d from Doc (its undo steps are not cleared).
void FillRichDocument(QTextDocument& d, const TRichDocument& Doc);
TRichDocument ReadRichDocument(const QTextDocument& d, const TRichCharFormat& Default);

struct TRichEditDocument::TImpl {
  QTextDocument Doc;
  TRichCharFormat Default;
  QTextCursor Cursor{&Doc};
  int32_t UndoLimit = 100;
  bool HasInsertFormat = false;
  QTextCharFormat InsertFormat;

  void ApplyDefault() {
    QFont f(QString::fromStdString(Default.FaceName));
    f.setPointSizeF(Default.Twips / 20.0);
    Doc.setDefaultFont(f);
  }
  int32_t Length() const { return std::max(0, Doc.characterCount() - 1); }
  // Before an undoable edit: with a limit of 1 only the newest edit can be undone.
  void BeforeEdit() {
    if (UndoLimit == 1) Doc.clearUndoRedoStacks(QTextDocument::UndoAndRedoStacks);
  }
};

