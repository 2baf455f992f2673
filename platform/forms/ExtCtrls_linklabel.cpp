// TLinkLabel: parsing the caption's links, painting and clicking them.
#include "platform/forms/ExtCtrls_linklabel.h"

#include <algorithm>

#include "platform/forms/Forms.h"

namespace {

// The value of attribute Name in the inside of an <a ...> tag ("" when absent).
std::string Attribute(const std::string& Tag, const std::string& Name) {
  size_t p = 0;
  while ((p = Tag.find(Name, p)) != std::string::npos) {
    const bool starts = p == 0 || Tag[p - 1] == ' ' || Tag[p - 1] == '\t';
    size_t q = p + Name.size();
    while (q < Tag.size() && Tag[q] == ' ') ++q;
    if (starts && q < Tag.size() && Tag[q] == '=') {
      ++q;
      while (q < Tag.size() && Tag[q] == ' ') ++q;
      if (q < Tag.size() && (Tag[q] == '"' || Tag[q] == '\'')) {
        const char quote = Tag[q];
        const size_t e = Tag.find(quote, q + 1);
        return Tag.substr(q + 1, e == std::string::npos ? std::string::npos : e - q - 1);
      }
      size_t e = q;
      while (e < Tag.size() && Tag[e] != ' ') ++e;
      return Tag.substr(q, e - q);
    }
    p += Name.size();
  }
  return {};
}

bool StartsWithTag(const std::string& s, size_t p, const char* tag) {
  const std::string t(tag);
  if (s.size() - p < t.size()) return false;
  for (size_t i = 0; i < t.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[p + i])) != t[i]) return false;
  return true;
}

}  // namespace

PX_CLASS_INFO(TLinkLabel, TCustomControl, [](TPropertyBuilder<TLinkLabel>& b) {
  b.Redeclare("AutoSize").Default(true);
  b.Event("OnLinkClick", &TLinkLabel::OnLinkClick, &TLinkLabel::SetOnLinkClick);
})

TLinkLabel::TLinkLabel(TComponent* AOwner) : TCustomControl(AOwner) {
  SetControlStyle(ControlStyle() + TControlStyle{csSetCaption});
  SetBounds(Left(), Top(), 53, 17);
  TCustomControl::SetAutoSize(true);
}

TLinkLabel::~TLinkLabel() = default;

std::vector<TLinkLabel::TRun> TLinkLabel::Runs() {
  std::vector<TRun> runs;
  const std::string s = Caption();
  std::string plain;
  auto flush = [&] {
    if (plain.empty()) return;
    runs.push_back(TRun{plain, false, {}, sltURL});
    plain.clear();
  };
  size_t p = 0;
  while (p < s.size()) {
    if (s[p] == '<' && (StartsWithTag(s, p, "<a>") || StartsWithTag(s, p, "<a ") || StartsWithTag(s, p, "<a\t"))) {
      const size_t tagEnd = s.find('>', p);
      size_t close = tagEnd == std::string::npos ? std::string::npos : tagEnd + 1;
      while (close != std::string::npos && close < s.size() && !StartsWithTag(s, close, "</a>")) close = s.find('<', close + 1);
      if (tagEnd != std::string::npos && close != std::string::npos && close < s.size()) {
        flush();
        const std::string tag = s.substr(p + 2, tagEnd - p - 2);
        TRun run{s.substr(tagEnd + 1, close - tagEnd - 1), true, Attribute(tag, "href"), sltURL};
        if (run.Link.empty()) {
          run.LinkType = sltID;
          run.Link = Attribute(tag, "id");
          if (run.Link.empty()) run.Link = run.Text;
        }
        runs.push_back(run);
        p = close + 4;
        continue;
      }
    }
    plain.push_back(s[p++]);
  }
  flush();
  // Lay the runs out from the left edge.
  Canvas()->Font()->Assign(Font());
  int32_t x = 0;
  for (TRun& r : runs) {
    r.Left = x;
    x += Canvas()->TextWidth(r.Text);
    r.Right = x;
  }
  return runs;
}

TLinkLabel::TRun TLinkLabel::LinkAt(int32_t X, int32_t Y) {
  if (Y < 0 || Y >= Height()) return {};
  for (const TRun& r : Runs())
    if (r.IsLink && X >= r.Left && X < r.Right) return r;
  return {};
}

void TLinkLabel::AdjustBounds() {
  if (!AutoSize() || ComponentState().Contains(csLoading)) return;
  const std::vector<TRun> runs = Runs();
  const int32_t w = runs.empty() ? 0 : runs.back().Right;
  SetBounds(Left(), Top(), std::max(1, w), Canvas()->TextHeight("Ag") + 4);
}

void TLinkLabel::CMTextChanged(TWMNoParams& Message) {
  TCustomControl::CMTextChanged(Message);
  AdjustBounds();
  Invalidate();
}

void TLinkLabel::CMFontChanged(TWMNoParams& Message) {
  TCustomControl::CMFontChanged(Message);
  AdjustBounds();
  Invalidate();
}

void TLinkLabel::Paint() {
  TCanvas* c = Canvas();
  c->Brush()->SetColor(Color());
  c->Brush()->SetStyle(bsSolid);
  c->FillRect(ClientRect());
  c->Brush()->SetStyle(bsClear);
  const std::vector<TRun> runs = Runs();
  for (const TRun& r : runs) {
    c->Font()->Assign(Font());
    if (!Enabled()) {
      c->Font()->SetColor(clGrayText);
    } else if (r.IsLink) {
      c->Font()->SetColor(clHotLight);
      c->Font()->SetStyle(c->Font()->Style() + TFontStyles{fsUnderline});
    }
    c->TextOut(r.Left, 2, r.Text);
  }
}

void TLinkLabel::MouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseDown(Button, Shift, X, Y);
  if (Button != mbLeft) return;
  const TRun r = LinkAt(X, Y);
  pressed_ = r.IsLink;
  pressed_link_ = r.Link;
}

void TLinkLabel::MouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseUp(Button, Shift, X, Y);
  if (Button != mbLeft || !pressed_) return;
  pressed_ = false;
  // A click is a press and release on the same link.
  const TRun r = LinkAt(X, Y);
  if (r.IsLink && r.Link == pressed_link_ && on_link_click_) on_link_click_(this, r.Link, r.LinkType);
}

void TLinkLabel::MouseMove(TShiftState Shift, int32_t X, int32_t Y) {
  TCustomControl::MouseMove(Shift, X, Y);
  SetCursor(LinkAt(X, Y).IsLink ? crHandPoint : crDefault);
}
