// The RTF reader and writer of the rich text document.
#include "platform/forms/RichTextDoc.h"

#include <iconv.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>

#include "platform/rtl/SysUtils.h"

std::u16string TRichDocument::PlainText() const {
  std::u16string out;
  for (size_t p = 0; p < Paragraphs.size(); ++p) {
    if (p > 0) out.push_back(u'\n');
    for (const TRichRun& r : Paragraphs[p].Runs)
      for (char16_t u : r.Text) out.push_back(u == u'\v' ? u'\n' : u);
  }
  return out;
}

bool TRichDocument::Empty() const {
  for (const TRichParagraph& p : Paragraphs)
    for (const TRichRun& r : p.Runs)
      if (!r.Text.empty()) return false;
  return true;
}

namespace {

// ---- code pages ----

// Decodes bytes of a code page to UTF-16: 1252 (and unknown pages iconv lacks) by our table,
// others through iconv.
class TCodePageDecoder {
 public:
  ~TCodePageDecoder() { Close(); }
  void SetCodePage(int32_t CodePage) {
    if (CodePage == codePage_) return;
    Close();
    codePage_ = CodePage;
    if (CodePage != 1252 && CodePage > 0 && CodePage < 100000) {
      const std::string name = "CP" + std::to_string(CodePage);
      cd_ = iconv_open("UTF-16LE", name.c_str());
    }
  }
  std::u16string Decode(std::string_view Bytes) {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) {
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
      std::string in(Bytes), out(Bytes.size() * 4 + 8, '\0');
      char* ip = in.data();
      size_t il = in.size();
      char* op = out.data();
      size_t ol = out.size();
      std::u16string result;
      while (il > 0) {
        if (iconv(cd_, &ip, &il, &op, &ol) == static_cast<size_t>(-1)) {
          // An undecodable or cut sequence: one replacement character, then go on after it.
          const size_t done = static_cast<size_t>(op - out.data());
          for (size_t k = 0; k + 1 < done; k += 2)
            result.push_back(static_cast<char16_t>(uint8_t(out[k]) | (uint8_t(out[k + 1]) << 8)));
          result.push_back(u'\uFFFD');
          op = out.data();
          ol = out.size();
          ++ip;
          --il;
          iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
      }
      const size_t done = static_cast<size_t>(op - out.data());
      for (size_t k = 0; k + 1 < done; k += 2)
        result.push_back(static_cast<char16_t>(uint8_t(out[k]) | (uint8_t(out[k + 1]) << 8)));
      return result;
    }
    return Utf8ToUtf16(Windows1252ToUtf8(Bytes));
  }

 private:
  void Close() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
    cd_ = reinterpret_cast<iconv_t>(-1);
  }
  int32_t codePage_ = -1;
  iconv_t cd_ = reinterpret_cast<iconv_t>(-1);
};

// ---- reader ----

enum class TDest : uint8_t { Text, FontTable, ColorTable, Skip, FieldResult };

struct TState {
  TDest Dest = TDest::Text;
  TRichCharFormat Char;
  TRichParaFormat Para;
  int32_t UnicodeSkip = 1;  // \ucN
  int32_t FontIndex = -1;   // the font table entry being read
  bool Numbering = false;   // inside an old-style numbering group
};

struct TFontEntry {
  std::string Name;  // bytes of the table's code page
  uint8_t Charset = 0;
};

class TRtfReader {
 public:
  TRtfReader(std::string_view Data, TRichDocument& Doc) : d_(Data), doc_(Doc) {}

  void Run() {
    decoder_.SetCodePage(1252);
    states_.push_back(TState{});
    size_t depth = 0;
    while (pos_ < d_.size()) {
      const char c = d_[pos_];
      if (c == '{') {
        ++pos_;
        skipFallback_ = 0;
        FlushBytes();
        if (depth >= static_cast<size_t>(RtfMaxGroupDepth)) {
          SkipGroup();  // deeper groups are left out whole
          continue;
        }
        ++depth;
        states_.push_back(states_.back());
        if (states_.back().Dest == TDest::FontTable) states_.back().FontIndex = -1;
      } else if (c == '}') {
        ++pos_;
        skipFallback_ = 0;
        FlushBytes();
        if (depth == 0) continue;  // unbalanced: ignored
        EndGroup();
        --depth;
      } else if (c == '\\') {
        ++pos_;
        ControlWord();
      } else if (c == '\r' || c == '\n') {
        ++pos_;
      } else {
        ++pos_;
        PlainByte(c);
      }
    }
    FlushBytes();
    EndParagraph(true);
  }

 private:
  TState& S() { return states_.back(); }

  void SkipGroup() {
    // Skips to the brace closing the group just opened (nested groups and escapes counted).
    int32_t level = 1;
    while (pos_ < d_.size() && level > 0) {
      const char c = d_[pos_++];
      if (c == '\\') {
        if (pos_ < d_.size()) ++pos_;
      } else if (c == '{') {
        ++level;
      } else if (c == '}') {
        --level;
      }
    }
  }

  void EndGroup() {
    TState closing = states_.back();
    if (closing.Dest == TDest::FontTable && closing.FontIndex >= 0) CommitFont(closing);
    states_.pop_back();
    if (states_.empty()) states_.push_back(TState{});
    // Paragraph properties of a group stay with the paragraph being written.
    if (closing.Dest == TDest::Text && S().Dest == TDest::Text) S().Para = closing.Para;
  }

  void CommitFont(TState& St) {
    if (St.FontIndex < 0) return;
    std::string name = pendingFontName_;
    while (!name.empty() && (name.back() == ';' || name.back() == ' ')) name.pop_back();
    TFontEntry& e = fonts_[St.FontIndex];
    if (!name.empty()) e.Name = name;
    pendingFontName_.clear();
  }

  void PlainByte(char C) {
    TState& st = S();
    switch (st.Dest) {
      case TDest::Text:
      case TDest::FieldResult:
        if (skipFallback_ > 0) --skipFallback_;  // the fallback of a \uN
        else bytes_.push_back(C);
        break;
      case TDest::FontTable:
        if (C == ';') {
          CommitFont(st);
          st.FontIndex = -1;
        } else if (st.FontIndex >= 0 && pendingFontName_.size() < 256) {
          pendingFontName_.push_back(C);
        }
        break;
      case TDest::ColorTable:
        if (C == ';') {
          if (colors_.size() < static_cast<size_t>(RtfMaxTableEntries)) colors_.push_back(colorDefined_ ? color_ : -1);
          color_ = 0;
          colorDefined_ = false;
        }
        break;
      case TDest::Skip: break;
    }
  }

  void FlushBytes() {
    if (bytes_.empty()) return;
    AddText(decoder_.Decode(bytes_));
    bytes_.clear();
  }

  void AddText(std::u16string_view In) {
    if (S().Dest != TDest::Text && S().Dest != TDest::FieldResult) return;
    // Control characters other than tab and line break are not part of rich text.
    std::u16string T;
    for (char16_t u : In)
      if (u >= 32 || u == u'\t' || u == u'\v') T.push_back(u);
    if (T.empty()) return;
    if (!runs_.empty() && runs_.back().Format == S().Char) {
      runs_.back().Text.append(T);
    } else {
      runs_.push_back(TRichRun{std::u16string(T), S().Char});
    }
  }

  void EndParagraph(bool AtEnd) {
    FlushBytes();
    if (AtEnd && runs_.empty()) return;
    doc_.Paragraphs.push_back(TRichParagraph{S().Para, std::move(runs_)});
    runs_.clear();
  }

  // Reads "\word[-]digits[ ]" or a control symbol after the backslash.
  void ControlWord() {
    if (pos_ >= d_.size()) return;
    const char c = d_[pos_];
    if (!IsAlpha(c)) {
      ++pos_;
      Symbol(c);
      return;
    }
    std::string word;
    while (pos_ < d_.size() && IsAlpha(d_[pos_])) {
      if (word.size() < 32) word.push_back(d_[pos_]);
      ++pos_;
    }
    bool hasParam = false;
    bool negative = false;
    int64_t value = 0;
    if (pos_ < d_.size() && d_[pos_] == '-' && pos_ + 1 < d_.size() && IsDigit(d_[pos_ + 1])) {
      negative = true;
      ++pos_;
    }
    while (pos_ < d_.size() && IsDigit(d_[pos_])) {
      hasParam = true;
      // Parameters are 32-bit: longer digit runs saturate.
      if (value < (int64_t{1} << 32)) value = value * 10 + (d_[pos_] - '0');
      ++pos_;
    }
    if (pos_ < d_.size() && d_[pos_] == ' ') ++pos_;
    if (negative) value = -value;
    const int32_t param = static_cast<int32_t>(std::clamp<int64_t>(value, INT32_MIN, INT32_MAX));
    Word(word, hasParam, param, hasParam ? value : 0);
  }

  void Symbol(char C) {
    switch (C) {
      case '\\': case '{': case '}': PlainByte(C); break;
      case '~': FlushBytes(); AddText(u"\u00A0"); break;
      case '_': FlushBytes(); AddText(u"\u2011"); break;
      case '*': starPending_ = true; break;
      case '\'': {
        // Two hex digits; a cut or bad pair is dropped.
        if (pos_ + 2 <= d_.size() && IsHex(d_[pos_]) && IsHex(d_[pos_ + 1])) {
          const char b = static_cast<char>(Hex(d_[pos_]) * 16 + Hex(d_[pos_ + 1]));
          pos_ += 2;
          if (skipFallback_ > 0) {
            --skipFallback_;
          } else if (S().Dest == TDest::FontTable) {
            PlainByte(b);
          } else {
            bytes_.push_back(b);
          }
        } else {
          while (pos_ < d_.size() && IsHex(d_[pos_]) && pos_ < d_.size()) ++pos_;
        }
        break;
      }
      case '\r': case '\n': Word("par", false, 0, 0); break;
      default: break;
    }
  }

  void Word(const std::string& W, bool HasParam, int32_t P, int64_t Raw) {
    TState& st = S();
    const bool star = starPending_;
    starPending_ = false;
    // Destinations.
    if (W == "fonttbl") { FlushBytes(); st.Dest = TDest::FontTable; return; }
    if (W == "colortbl") { FlushBytes(); st.Dest = TDest::ColorTable; color_ = 0; colorDefined_ = false; return; }
    if (W == "fldrslt") { FlushBytes(); st.Dest = TDest::FieldResult; return; }
    if (W == "stylesheet" || W == "info" || W == "pict" || W == "fldinst" || W == "header" || W == "footer" ||
        W == "footnote" || W == "object" || W == "pntext" || W == "listtext" || W == "listtable" ||
        W == "listoverridetable" || W == "generator" || W == "themedata" || W == "colorschememapping" ||
        W == "latentstyles" || W == "datastore" || W == "xmlnstbl" || W == "rsidtbl" || W == "mmathPr" ||
        W == "headerl" || W == "headerr" || W == "footerl" || W == "footerr" || W == "filetbl" ||
        W == "revtbl" || W == "bkmkstart" || W == "bkmkend" || W == "nonshppict" || W == "shppict" ||
        W == "template" || W == "company" || W == "author" || W == "title") {
      FlushBytes();
      st.Dest = TDest::Skip;
      return;
    }
    if (W == "bin") {
      // Binary data: skipped, never past the end.
      const uint64_t n = HasParam && Raw > 0 ? static_cast<uint64_t>(Raw) : 0;
      pos_ += static_cast<size_t>(std::min<uint64_t>(n, d_.size() - pos_));
      return;
    }
    if (W == "pn") {
      // Old-style numbering of the paragraph: read its level words, skip its texts.
      FlushBytes();
      st.Dest = TDest::Skip;
      st.Para.Numbering = 1;
      st.Numbering = true;
      return;
    }
    if (star && st.Dest == TDest::Text) {
      FlushBytes();
      st.Dest = TDest::Skip;
      return;
    }
    if (st.Dest == TDest::FontTable) {
      if (W == "f" && HasParam) {
        CommitFont(st);
        if (P >= 0 && (fonts_.size() < static_cast<size_t>(RtfMaxTableEntries) || fonts_.count(P))) {
          st.FontIndex = P;
          fonts_[P];
        } else {
          st.FontIndex = -1;
        }
      } else if (W == "fcharset" && st.FontIndex >= 0) {
        fonts_[st.FontIndex].Charset = static_cast<uint8_t>(std::clamp(P, 0, 255));
      }
      return;
    }
    if (st.Dest == TDest::ColorTable) {
      const int32_t v = std::clamp(P, 0, 255);
      if (W == "red") { color_ = (color_ & 0xFFFF00) | v; colorDefined_ = true; }
      else if (W == "green") { color_ = (color_ & 0xFF00FF) | (v << 8); colorDefined_ = true; }
      else if (W == "blue") { color_ = (color_ & 0x00FFFF) | (v << 16); colorDefined_ = true; }
      return;
    }
    if (st.Dest == TDest::Skip) {
      if (st.Numbering) {
        if (W == "pnlvlblt") st.Para.Numbering = 1;
        else if (W == "pnlvlbody" || W == "pndec" || W == "pnlvlcont") st.Para.Numbering = W == "pnlvlcont" ? st.Para.Numbering : 2;
        else if (W == "pnstart" && HasParam) st.Para.NumberingStart = std::max(P, 0);
        // The numbering belongs to the paragraph being written, outside this group.
        if (states_.size() >= 2) {
          for (size_t k = states_.size() - 1; k-- > 0;) {
            if (states_[k].Dest == TDest::Text) {
              states_[k].Para.Numbering = st.Para.Numbering;
              states_[k].Para.NumberingStart = st.Para.NumberingStart;
              break;
            }
          }
        }
      }
      return;
    }
    // Text: the words that change the document.
    if (W == "par" || W == "sect") { EndParagraph(false); return; }
    if (W == "line") { FlushBytes(); AddText(u"\v"); return; }
    if (W == "tab") { FlushBytes(); AddText(u"\t"); return; }
    if (W == "u" && HasParam) {
      FlushBytes();
      // Signed 16-bit values map to their units; others lie outside UTF-16: their fallback shows.
      if (Raw >= -32768 && Raw <= 65535) {
        const char16_t u = static_cast<char16_t>(Raw < 0 ? Raw + 65536 : Raw);
        AddText(std::u16string_view(&u, 1));
        skipFallback_ = st.UnicodeSkip;
      }
      return;
    }
    if (W == "uc" && HasParam) { st.UnicodeSkip = std::clamp(P, 0, 10); return; }
    if (W == "ansicpg" && HasParam) { FlushBytes(); decoder_.SetCodePage(P); return; }
    if (W == "emdash") { FlushBytes(); AddText(u"\u2014"); return; }
    if (W == "endash") { FlushBytes(); AddText(u"\u2013"); return; }
    if (W == "bullet") { FlushBytes(); AddText(u"\u2022"); return; }
    if (W == "lquote") { FlushBytes(); AddText(u"\u2018"); return; }
    if (W == "rquote") { FlushBytes(); AddText(u"\u2019"); return; }
    if (W == "ldblquote") { FlushBytes(); AddText(u"\u201C"); return; }
    if (W == "rdblquote") { FlushBytes(); AddText(u"\u201D"); return; }
    FlushBytes();
    TRichCharFormat& ch = st.Char;
    const bool on = !HasParam || P != 0;
    if (W == "plain") { ch = TRichCharFormat{}; ApplyFont(ch, defaultFont_); }
    else if (W == "deff" && HasParam) defaultFont_ = P;
    else if (W == "f" && HasParam) ApplyFont(ch, P);
    else if (W == "fs" && HasParam) ch.Twips = std::clamp(P, 2, 3276) * 10;
    else if (W == "b") SetBit(ch.Effects, RTE_BOLD, on);
    else if (W == "i") SetBit(ch.Effects, RTE_ITALIC, on);
    else if (W == "ul") SetBit(ch.Effects, RTE_UNDERLINE, on);
    else if (W == "ulnone") SetBit(ch.Effects, RTE_UNDERLINE, false);
    else if (W == "strike") SetBit(ch.Effects, RTE_STRIKEOUT, on);
    else if (W == "cf" && HasParam) {
      // Entry 0 and entries outside the table are the automatic colour.
      if (P > 0 && P < static_cast<int32_t>(colors_.size()) && colors_[P] >= 0) {
        ch.AutoColor = false;
        ch.Color = colors_[P];
      } else {
        ch.AutoColor = true;
        ch.Color = 0;
      }
    } else if (W == "pard") {
      st.Para = TRichParaFormat{};
    } else if (W == "ql") st.Para.Alignment = 0;
    else if (W == "qr") st.Para.Alignment = 1;
    else if (W == "qc") st.Para.Alignment = 2;
    else if (W == "qj") st.Para.Alignment = 3;
    else if (W == "fi" && HasParam) st.Para.FirstIndent = P;
    else if (W == "li" && HasParam) st.Para.LeftIndent = P;
    else if (W == "ri" && HasParam) st.Para.RightIndent = P;
    else if (W == "tx" && HasParam) {
      if (static_cast<int32_t>(st.Para.Tabs.size()) < RtfMaxTabs) st.Para.Tabs.push_back(P);
    }
  }

  void ApplyFont(TRichCharFormat& Ch, int32_t Index) {
    auto it = fonts_.find(Index);
    if (it == fonts_.end()) return;  // outside the table: the font stays
    Ch.FaceName = BytesToUtf8(it->second.Name);
    Ch.Charset = it->second.Charset;
  }

  static void SetBit(uint32_t& Bits, uint32_t Bit, bool On) { Bits = On ? (Bits | Bit) : (Bits & ~Bit); }
  static bool IsAlpha(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z'); }
  static bool IsDigit(char C) { return C >= '0' && C <= '9'; }
  static bool IsHex(char C) { return IsDigit(C) || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'); }
  static int Hex(char C) { return IsDigit(C) ? C - '0' : (C | 0x20) - 'a' + 10; }

  std::string_view d_;
  TRichDocument& doc_;
  size_t pos_ = 0;
  std::vector<TState> states_;
  std::vector<TRichRun> runs_;
  std::string bytes_;
  std::map<int32_t, TFontEntry> fonts_;
  std::vector<TColor> colors_;
  TColor color_ = 0;
  bool colorDefined_ = false;
  std::string pendingFontName_;
  int32_t defaultFont_ = 0;
  int32_t skipFallback_ = 0;
  bool starPending_ = false;
  TCodePageDecoder decoder_;
};

// ---- writer ----

// The Windows-1252 byte of a unit, -1 when it has none.
int Windows1252ByteOf(char16_t U) {
  if (U >= 0xA0 && U <= 0xFF) return U;
  static const char16_t k80[32] = {0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
                                   0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
                                   0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};
  for (int i = 0; i < 32; ++i)
    if (k80[i] != 0 && k80[i] == U) return 0x80 + i;
  return -1;
}

void AppendEscaped(std::string& Out, std::u16string_view Text) {
  for (size_t i = 0; i < Text.size(); ++i) {
    const char16_t u = Text[i];
    if (u == u'\\' || u == u'{' || u == u'}') {
      Out.push_back('\\');
      Out.push_back(static_cast<char>(u));
    } else if (u == u'\v') {
      Out += "\\line ";
    } else if (u == u'\t') {
      Out += "\\tab ";
    } else if (u >= 32 && u < 128) {
      Out.push_back(static_cast<char>(u));
    } else if (u < 32) {
      // Other control characters are not part of rich text.
    } else {
      // \uN as a signed 16-bit value, with the Windows-1252 byte (or "?") as fallback.
      Out += "\\u" + std::to_string(static_cast<int16_t>(u));
      const int b = Windows1252ByteOf(u);
      if (b >= 0x80) {
        static const char* hex = "0123456789abcdef";
        Out += "\\'";
        Out.push_back(hex[b >> 4]);
        Out.push_back(hex[b & 15]);
      } else {
        Out.push_back('?');
      }
    }
  }
}

std::string EscapeName(const std::string& Utf8) {
  std::string out;
  AppendEscaped(out, Utf8ToUtf16(Utf8));
  return out;
}

}  // namespace

bool ReadRtf(std::string_view Rtf, TRichDocument& Doc) {
  Doc.Paragraphs.clear();
  size_t start = 0;
  while (start < Rtf.size() && (Rtf[start] == ' ' || Rtf[start] == '\r' || Rtf[start] == '\n' || Rtf[start] == '\t'))
    ++start;
  if (Rtf.substr(start, 5) != "{\\rtf") return false;
  TRtfReader reader(Rtf.substr(start), Doc);
  reader.Run();
  return true;
}

std::string WriteRtf(const TRichDocument& Doc) {
  std::vector<std::string> fonts;
  std::vector<TColor> colors;
  auto fontIndex = [&](const std::string& Name) {
    auto it = std::find(fonts.begin(), fonts.end(), Name);
    if (it != fonts.end()) return static_cast<int32_t>(it - fonts.begin());
    fonts.push_back(Name);
    return static_cast<int32_t>(fonts.size() - 1);
  };
  auto colorIndex = [&](TColor C) {
    auto it = std::find(colors.begin(), colors.end(), C);
    if (it != colors.end()) return static_cast<int32_t>(it - colors.begin()) + 1;
    colors.push_back(C);
    return static_cast<int32_t>(colors.size());
  };
  std::string body;
  for (size_t p = 0; p < Doc.Paragraphs.size(); ++p) {
    const TRichParagraph& para = Doc.Paragraphs[p];
    const TRichParaFormat& pf = para.Format;
    body += "\\pard";
    static const char* kAlign[] = {"\\ql", "\\qr", "\\qc", "\\qj"};
    body += kAlign[std::min<uint8_t>(pf.Alignment, 3)];
    if (pf.FirstIndent) body += "\\fi" + std::to_string(pf.FirstIndent);
    if (pf.LeftIndent) body += "\\li" + std::to_string(pf.LeftIndent);
    if (pf.RightIndent) body += "\\ri" + std::to_string(pf.RightIndent);
    for (size_t t = 0; t < pf.Tabs.size() && t < static_cast<size_t>(RtfMaxTabs); ++t)
      body += "\\tx" + std::to_string(pf.Tabs[t]);
    bool group = false;
    if (pf.Numbering == 1) {
      group = true;
      body += "{\\*\\pn\\pnlvlblt\\pnf" + std::to_string(fontIndex("Symbol")) + "\\pnindent0{\\pntxtb\\'b7}}";
    } else if (pf.Numbering == 2) {
      group = true;
      body += "{\\*\\pn\\pnlvlbody\\pndec\\pnstart" + std::to_string(pf.NumberingStart) + "\\pnindent0{\\pntxta .}}";
    }
    if (!group) body += ' ';  // ends the last word; after a group a space would be text
    for (const TRichRun& r : para.Runs) {
      const TRichCharFormat& f = r.Format;
      body += "{\\f" + std::to_string(fontIndex(f.FaceName)) + "\\fs" + std::to_string(std::max(f.Twips / 10, 1));
      body += "\\cf" + std::to_string(f.AutoColor ? 0 : colorIndex(f.Color & 0xFFFFFF));
      if (f.Effects & RTE_BOLD) body += "\\b";
      if (f.Effects & RTE_ITALIC) body += "\\i";
      if (f.Effects & RTE_UNDERLINE) body += "\\ul";
      if (f.Effects & RTE_STRIKEOUT) body += "\\strike";
      body += ' ';
      AppendEscaped(body, r.Text);
      body += '}';
    }
    // Every paragraph but the last ends in \par; an empty last one too, or it would not read back.
    bool empty = true;
    for (const TRichRun& r : para.Runs) empty = empty && r.Text.empty();
    if (p + 1 < Doc.Paragraphs.size() || empty) body += "\\par\n";
  }
  if (fonts.empty()) fonts.push_back("Arial");
  std::string out = "{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl";
  for (size_t i = 0; i < fonts.size(); ++i)
    out += "{\\f" + std::to_string(i) + "\\fnil\\fcharset" + (fonts[i] == "Symbol" ? "2" : "0") + " " +
           EscapeName(fonts[i]) + ";}";
  out += "}\n{\\colortbl ;";
  for (TColor c : colors)
    out += "\\red" + std::to_string(c & 0xFF) + "\\green" + std::to_string((c >> 8) & 0xFF) + "\\blue" +
           std::to_string((c >> 16) & 0xFF) + ";";
  out += "}\n\\uc1 ";
  out += body;
  out += "}\n";
  return out;
}
