// INI files: one parser and editor of the text (TIniDocument) behind TIniFile and TMemIniFile.
#include "platform/rtl/IniFiles.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "platform/rtl/TypInfo.h"

PX_CLASS_INFO(TCustomIniFile, TObject)
PX_CLASS_INFO(TIniFile, TCustomIniFile)
PX_CLASS_INFO(TMemIniFile, TCustomIniFile)

namespace {

// Values are read through a buffer of 2048 characters.
constexpr size_t MaxValueChars = 2047;
// Section key names are read through a buffer of 16384 characters (each name and the list
// terminated by a NUL).
constexpr size_t KeyNamesBufferChars = 16384;

// Drops one matching pair of enclosing quotation marks.
std::string_view Dequote(std::string_view v) {
  if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// The first MaxValueChars characters (code points) of UTF-8 text.
std::string CutValue(std::string_view v) {
  size_t chars = 0, i = 0;
  for (; i < v.size(); ++i) {
    if ((static_cast<unsigned char>(v[i]) & 0xC0) == 0x80) continue;  // continuation byte
    if (chars == MaxValueChars) break;
    ++chars;
  }
  return std::string(v.substr(0, i));
}

// Line breaks would start lines of their own in the file.
std::string OneLine(std::string_view s) {
  std::string out(s);
  std::replace(out.begin(), out.end(), '\r', ' ');
  std::replace(out.begin(), out.end(), '\n', ' ');
  return out;
}

enum class FileRead { Ok, Missing, Failed };

// Reads a whole file.
FileRead ReadFileBytes(const std::string& name, std::string& out) {
  out.clear();
  std::string native = name;
  std::replace(native.begin(), native.end(), '\\', '/');
  if (native.empty() || native.find('\0') != std::string::npos) return FileRead::Failed;
  const int fd = ::open(native.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? FileRead::Missing : FileRead::Failed;
  char buf[65536];
  bool ok = true;
  for (;;) {
    const ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;  // also a folder
    if (n <= 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  if (!ok) out.clear();
  return ok ? FileRead::Ok : FileRead::Failed;
}

void FillStrings(TStrings* Strings, const std::vector<std::string>& items) {
  if (!Strings) return;
  Strings->BeginUpdate();
  try {
    Strings->Clear();
    for (const std::string& s : items) Strings->Add(s);
  } catch (...) {
    Strings->EndUpdate();
    throw;
  }
  Strings->EndUpdate();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// TIniDocument: the lines of the file, each kept with its own line break, so that an edit
// rewrites only the lines it concerns.

class TIniDocument {
 public:
  void Parse(std::string_view bytes) {
    lines_.clear();
    const std::string text = DecodeTextBytes(bytes, &encoding_);
    eol_.clear();
    size_t p = 0;
    while (p < text.size()) {
      const size_t e = std::min(text.find_first_of("\r\n", p), text.size());
      size_t next = e;
      if (next < text.size() && text[next] == '\r') ++next;
      if (next < text.size() && text[next] == '\n') ++next;
      Line line;
      line.text = text.substr(p, e - p);
      line.eol = text.substr(e, next - e);
      if (eol_.empty()) eol_ = line.eol;
      Classify(line);
      lines_.push_back(std::move(line));
      p = next;
    }
    if (eol_.empty()) eol_ = "\r\n";
    Reindex();
  }

  std::string Serialize() const {
    std::string text;
    for (const Line& l : lines_) {
      text += l.text;
      text += l.eol;
    }
    return EncodeTextBytes(text, encoding_ == teWindows1252 ? teUtf8 : encoding_);
  }

  // Lines of text without their line breaks.
  std::vector<std::string> Lines() const {
    std::vector<std::string> out;
    out.reserve(lines_.size());
    for (const Line& l : lines_) out.push_back(l.text);
    return out;
  }

  void Clear() { Parse({}); }

  bool HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

  // The first value of the key in the first section of that name.
  const std::string* FindValue(std::string_view section, std::string_view key) const {
    const Section* s = FindSection(section);
    if (!s) return nullptr;
    const size_t i = FindKey(*s, key);
    return i == npos ? nullptr : &lines_[i].value;
  }

  std::vector<std::string> Keys(std::string_view section) const {
    std::vector<std::string> out;
    for (auto& kv : KeyValues(section)) out.push_back(std::move(kv.first));
    return out;
  }

  // The section's keys (each once, in file order) with their first values.
  std::vector<std::pair<std::string, std::string>> KeyValues(std::string_view section) const {
    std::vector<std::pair<std::string, std::string>> out;
    const Section* s = FindSection(section);
    if (!s) return out;
    std::unordered_set<std::string> seen;
    for (size_t i = s->header + 1; i < s->end; ++i)
      if (lines_[i].kind == Kind::Key && seen.insert(UpperCase(lines_[i].name)).second)
        out.emplace_back(lines_[i].name, lines_[i].value);
    return out;
  }

  std::vector<std::string> SectionNames() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < sections_.size(); ++i)
      if (FindSection(sections_[i].name) == &sections_[i]) out.push_back(sections_[i].name);
    return out;
  }

  void Set(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sec = OneLine(section), k = OneLine(key), v = OneLine(value);
    const Section* s = FindSection(sec);
    if (!s) {
      Append(lines_.size(), "[" + sec + "]");
      Append(lines_.size(), k + "=" + v);
      Reindex();
      return;
    }
    const size_t i = FindKey(*s, k);
    if (i != npos) {
      Line& l = lines_[i];
      l.text = l.name + "=" + v;
      Classify(l);
    } else {
      // After the section's last line that is neither blank nor a comment.
      size_t at = s->header + 1;
      for (size_t j = s->header + 1; j < s->end; ++j)
        if (lines_[j].kind != Kind::Blank && lines_[j].kind != Kind::Comment) at = j + 1;
      Append(at, k + "=" + v);
    }
    Reindex();
  }

  // Removes every line of the key in the first section of that name.
  void DeleteKey(std::string_view section, std::string_view key) {
    const Section* s = FindSection(section);
    if (!s) return;
    const size_t from = s->header + 1, to = s->end;
    size_t out = from;
    for (size_t i = from; i < to; ++i) {
      if (lines_[i].kind == Kind::Key && SameText(lines_[i].name, key)) continue;
      if (out != i) lines_[out] = std::move(lines_[i]);
      ++out;
    }
    lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(out), lines_.begin() + static_cast<ptrdiff_t>(to));
    Reindex();
  }

  // Removes every section of that name with its lines.
  void EraseSection(std::string_view section) {
    bool any = false;
    for (auto it = sections_.rbegin(); it != sections_.rend(); ++it) {
      if (!SameText(it->name, section)) continue;
      lines_.erase(lines_.begin() + static_cast<ptrdiff_t>(it->header), lines_.begin() + static_cast<ptrdiff_t>(it->end));
      any = true;
    }
    if (any) Reindex();
  }

 private:
  static constexpr size_t npos = static_cast<size_t>(-1);
  enum class Kind : uint8_t { Blank, Comment, Section, Key, Other };
  struct Line {
    std::string text;
    std::string eol;
    Kind kind = Kind::Other;
    std::string name;   // section or key name, trimmed
    std::string value;  // a key's value, trimmed and unquoted
  };
  struct Section {
    std::string name;
    size_t header;  // index of the "[name]" line
    size_t end;     // index of the next section's header (or the line count)
  };

  static void Classify(Line& l) {
    l.name.clear();
    l.value.clear();
    const std::string t = TrimLeft(l.text);
    if (t.empty()) {
      l.kind = Kind::Blank;
    } else if (t[0] == ';') {
      l.kind = Kind::Comment;
    } else if (t[0] == '[' && t.find(']') != std::string::npos) {
      l.kind = Kind::Section;
      l.name = Trim(std::string_view(t).substr(1, t.find(']') - 1));
    } else if (const size_t eq = t.find('='); eq != std::string::npos && !Trim(t.substr(0, eq)).empty()) {
      l.kind = Kind::Key;
      l.name = Trim(t.substr(0, eq));
      l.value = std::string(Dequote(Trim(std::string_view(t).substr(eq + 1))));
    } else {
      l.kind = Kind::Other;
    }
  }

  // Inserts a new line at index at; the line before it gets a line break if it had none.
  void Append(size_t at, std::string text) {
    if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = eol_;
    Line l;
    l.text = std::move(text);
    l.eol = eol_;
    Classify(l);
    lines_.insert(lines_.begin() + static_cast<ptrdiff_t>(at), std::move(l));
  }

  void Reindex() {
    sections_.clear();
    first_.clear();
    for (size_t i = 0; i < lines_.size(); ++i) {
      if (lines_[i].kind != Kind::Section) continue;
      if (!sections_.empty()) sections_.back().end = i;
      sections_.push_back(Section{lines_[i].name, i, lines_.size()});
      first_.emplace(UpperCase(lines_[i].name), sections_.size() - 1);  // keeps the first
    }
  }

  const Section* FindSection(std::string_view name) const {
    auto it = first_.find(UpperCase(name));
    return it == first_.end() ? nullptr : &sections_[it->second];
  }

  size_t FindKey(const Section& s, std::string_view key) const {
    for (size_t i = s.header + 1; i < s.end; ++i)
      if (lines_[i].kind == Kind::Key && SameText(lines_[i].name, key)) return i;
    return npos;
  }

  std::vector<Line> lines_;
  std::vector<Section> sections_;
  std::unordered_map<std::string, size_t> first_;  // upper-case name -> first section
  TTextEncoding encoding_ = teUtf8;
  std::string eol_ = "\r\n";
};

// ---------------------------------------------------------------------------------------------
// TCustomIniFile

TCustomIniFile::~TCustomIniFile() = default;

void TCustomIniFile::RaiseWriteError() const { throw EIniFileException(Format("Unable to write to %s", file_name_)); }

bool TCustomIniFile::SectionExists(std::string_view Section) {
  TStringList keys;
  ReadSections(&keys);
  return keys.IndexOf(Section) >= 0;
}

bool TCustomIniFile::ValueExists(std::string_view Section, std::string_view Ident) {
  TStringList keys;
  ReadSection(Section, &keys);
  return keys.IndexOf(Ident) >= 0;
}

int32_t TCustomIniFile::ReadInteger(std::string_view Section, std::string_view Ident, int32_t Default) {
  const std::string s = ReadString(Section, Ident, "");
  return s.empty() ? Default : StrToIntDef(s, Default);
}

void TCustomIniFile::WriteInteger(std::string_view Section, std::string_view Ident, int32_t Value) {
  WriteString(Section, Ident, IntToStr(Value));
}

bool TCustomIniFile::ReadBool(std::string_view Section, std::string_view Ident, bool Default) {
  return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(std::string_view Section, std::string_view Ident, bool Value) {
  WriteString(Section, Ident, Value ? "1" : "0");
}

double TCustomIniFile::ReadFloat(std::string_view Section, std::string_view Ident, double Default) {
  const std::string s = ReadString(Section, Ident, "");
  double v;
  return !s.empty() && TryStrToFloat(s, v) ? v : Default;
}

void TCustomIniFile::WriteFloat(std::string_view Section, std::string_view Ident, double Value) {
  WriteString(Section, Ident, FloatToStr(Value));
}

// ---------------------------------------------------------------------------------------------
// TIniFile

TIniFile::~TIniFile() = default;

TIniDocument TIniFile::Load(bool ForWriting) const {
  TIniDocument doc;
  std::string bytes;
  // A file that exists but cannot be read is never overwritten with what little is known.
  if (ReadFileBytes(FileName(), bytes) == FileRead::Failed && ForWriting) RaiseWriteError();
  doc.Parse(bytes);
  return doc;
}

void TIniFile::Save(const TIniDocument& doc) {
  const std::string bytes = doc.Serialize();
  try {
    SaveBytesToFile(FileName(), bytes.data(), static_cast<int64_t>(bytes.size()));
  } catch (const Exception&) {
    RaiseWriteError();
  }
}

bool TIniFile::SectionExists(std::string_view Section) { return Load().HasSection(Section); }

bool TIniFile::ValueExists(std::string_view Section, std::string_view Ident) {
  return Load().FindValue(Section, Ident) != nullptr;
}

std::string TIniFile::ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) {
  const TIniDocument doc = Load();
  const std::string* v = doc.FindValue(Section, Ident);
  return v ? CutValue(*v) : std::string(Default);
}

void TIniFile::WriteString(std::string_view Section, std::string_view Ident, std::string_view Value) {
  TIniDocument doc = Load(true);
  doc.Set(Section, Ident, Value);
  Save(doc);
}

namespace {
// The names that fit into the platform's key-name buffer.
std::vector<std::string> FitKeyNames(std::vector<std::string> keys) {
  size_t used = 1;  // the list's final NUL
  for (size_t i = 0; i < keys.size(); ++i) {
    used += Utf8ToUtf16(keys[i]).size() + 1;
    if (used > KeyNamesBufferChars) {
      keys.resize(i);
      break;
    }
  }
  return keys;
}
}  // namespace

void TIniFile::ReadSection(std::string_view Section, TStrings* Strings) {
  FillStrings(Strings, FitKeyNames(Load().Keys(Section)));
}

void TIniFile::ReadSections(TStrings* Strings) { FillStrings(Strings, Load().SectionNames()); }

void TIniFile::ReadSectionValues(std::string_view Section, TStrings* Strings) {
  const auto pairs = Load().KeyValues(Section);
  std::vector<std::string> names;
  for (const auto& kv : pairs) names.push_back(kv.first);
  const size_t fit = FitKeyNames(std::move(names)).size();
  std::vector<std::string> lines;
  for (size_t i = 0; i < fit; ++i) lines.push_back(pairs[i].first + "=" + CutValue(pairs[i].second));
  FillStrings(Strings, lines);
}

void TIniFile::EraseSection(std::string_view Section) {
  TIniDocument doc = Load(true);
  if (!doc.HasSection(Section)) return;
  doc.EraseSection(Section);
  Save(doc);
}

void TIniFile::DeleteKey(std::string_view Section, std::string_view Ident) {
  TIniDocument doc = Load(true);
  if (!doc.FindValue(Section, Ident)) return;
  doc.DeleteKey(Section, Ident);
  Save(doc);
}

// ---------------------------------------------------------------------------------------------
// TMemIniFile

TMemIniFile::TMemIniFile(std::string_view FileName)
    : TCustomIniFile(FileName), doc_(std::make_unique<TIniDocument>()) {
  std::string bytes;
  ReadFileBytes(this->FileName(), bytes);
  doc_->Parse(bytes);
}

TMemIniFile::~TMemIniFile() = default;

bool TMemIniFile::SectionExists(std::string_view Section) { return doc_->HasSection(Section); }

bool TMemIniFile::ValueExists(std::string_view Section, std::string_view Ident) {
  return doc_->FindValue(Section, Ident) != nullptr;
}

std::string TMemIniFile::ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) {
  const std::string* v = doc_->FindValue(Section, Ident);
  return v ? CutValue(*v) : std::string(Default);
}

void TMemIniFile::WriteString(std::string_view Section, std::string_view Ident, std::string_view Value) {
  doc_->Set(Section, Ident, Value);
}

void TMemIniFile::ReadSection(std::string_view Section, TStrings* Strings) { FillStrings(Strings, doc_->Keys(Section)); }

void TMemIniFile::ReadSections(TStrings* Strings) { FillStrings(Strings, doc_->SectionNames()); }

void TMemIniFile::ReadSectionValues(std::string_view Section, TStrings* Strings) {
  std::vector<std::string> lines;
  for (const auto& [key, value] : doc_->KeyValues(Section)) lines.push_back(key + "=" + CutValue(value));
  FillStrings(Strings, lines);
}

void TMemIniFile::EraseSection(std::string_view Section) { doc_->EraseSection(Section); }

void TMemIniFile::DeleteKey(std::string_view Section, std::string_view Ident) { doc_->DeleteKey(Section, Ident); }

void TMemIniFile::UpdateFile() {
  const std::string bytes = doc_->Serialize();
  try {
    SaveBytesToFile(FileName(), bytes.data(), static_cast<int64_t>(bytes.size()));
  } catch (const Exception&) {
    RaiseWriteError();
  }
}

void TMemIniFile::Clear() { doc_->Clear(); }

void TMemIniFile::GetStrings(TStrings* List) { FillStrings(List, doc_->Lines()); }

void TMemIniFile::SetStrings(TStrings* List) {
  std::string text;
  if (List)
    for (int32_t i = 0; i < List->Count(); ++i) {
      text += List->Strings(i);
      text += "\r\n";
    }
  doc_->Parse(text);
}
