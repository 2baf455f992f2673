// INI files with the platform's private-profile rules.
//
// Text is UTF-8 on disk (a UTF-8 or UTF-16 BOM is honoured; a file that is not valid UTF-8 is
// read as Windows-1252). A line "[name]" starts a section; "key=value" lines inside a section
// are its values; lines starting with ";" and lines without "=" are ignored. Section and key
// names compare without regard to ASCII case; blanks around keys and values are removed, and
// a value enclosed in a matching pair of " or ' loses them. The first of duplicate keys wins,
// and of duplicate sections the first holds. Values read are cut to 2047 characters.
// Writing keeps every other line of the file as it was and replaces the file through a
// temporary file; a failed write raises EIniFileException "Unable to write to %s".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "platform/rtl/System.h"

class TStrings;
class TIniDocument;

class TCustomIniFile : public TObject {
  PX_CLASS(TCustomIniFile)
 public:
  explicit TCustomIniFile(std::string_view FileName) : file_name_(FileName) {}
  ~TCustomIniFile() override;
  const std::string& FileName() const { return file_name_; }

  // True when the section's header is present.
  virtual bool SectionExists(std::string_view Section);
  virtual bool ValueExists(std::string_view Section, std::string_view Ident);
  virtual std::string ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) = 0;
  // Line breaks in the section, key or value would start new lines and are written as blanks.
  virtual void WriteString(std::string_view Section, std::string_view Ident, std::string_view Value) = 0;
  // Decimal, or hexadecimal after "$", "0x" or "0X"; a missing or malformed value gives Default.
  virtual int32_t ReadInteger(std::string_view Section, std::string_view Ident, int32_t Default);
  virtual void WriteInteger(std::string_view Section, std::string_view Ident, int32_t Value);
  // Read as an integer (any value but 0 is true); written as "1" or "0".
  virtual bool ReadBool(std::string_view Section, std::string_view Ident, bool Default);
  virtual void WriteBool(std::string_view Section, std::string_view Ident, bool Value);
  virtual double ReadFloat(std::string_view Section, std::string_view Ident, double Default);
  virtual void WriteFloat(std::string_view Section, std::string_view Ident, double Value);
  // The section's keys in file order (each once).
  virtual void ReadSection(std::string_view Section, TStrings* Strings) = 0;
  // The section names in file order (each once).
  virtual void ReadSections(TStrings* Strings) = 0;
  // "key=value" lines of the section, values as ReadString gives them.
  virtual void ReadSectionValues(std::string_view Section, TStrings* Strings) = 0;
  // Removes the section (every section of that name) with all its lines.
  virtual void EraseSection(std::string_view Section) = 0;
  virtual void DeleteKey(std::string_view Section, std::string_view Ident) = 0;
  virtual void UpdateFile() = 0;

 protected:
  [[noreturn]] void RaiseWriteError() const;

 private:
  std::string file_name_;
};

// Reads go to the file as it is on disk at the time; each write updates the file at once.
// As the platform reads a section's key names through a buffer of 16384 characters,
// ReadSection (and ReadSectionValues) see only the names that fit into it.
class TIniFile : public TCustomIniFile {
  PX_CLASS(TIniFile)
 public:
  explicit TIniFile(std::string_view FileName) : TCustomIniFile(FileName) {}
  ~TIniFile() override;

  bool SectionExists(std::string_view Section) override;
  bool ValueExists(std::string_view Section, std::string_view Ident) override;
  std::string ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) override;
  void WriteString(std::string_view Section, std::string_view Ident, std::string_view Value) override;
  void ReadSection(std::string_view Section, TStrings* Strings) override;
  void ReadSections(TStrings* Strings) override;
  void ReadSectionValues(std::string_view Section, TStrings* Strings) override;
  void EraseSection(std::string_view Section) override;
  void DeleteKey(std::string_view Section, std::string_view Ident) override;
  // Every write is already on disk.
  void UpdateFile() override {}

 private:
  // ForWriting: a file that exists but cannot be read raises instead of reading as empty.
  TIniDocument Load(bool ForWriting = false) const;
  void Save(const TIniDocument& doc);
};

// Reads the file once; reads and writes then work in memory until UpdateFile writes it back.
class TMemIniFile : public TCustomIniFile {
  PX_CLASS(TMemIniFile)
 public:
  explicit TMemIniFile(std::string_view FileName);
  ~TMemIniFile() override;

  bool SectionExists(std::string_view Section) override;
  bool ValueExists(std::string_view Section, std::string_view Ident) override;
  std::string ReadString(std::string_view Section, std::string_view Ident, std::string_view Default) override;
  void WriteString(std::string_view Section, std::string_view Ident, std::string_view Value) override;
  void ReadSection(std::string_view Section, TStrings* Strings) override;
  void ReadSections(TStrings* Strings) override;
  void ReadSectionValues(std::string_view Section, TStrings* Strings) override;
  void EraseSection(std::string_view Section) override;
  void DeleteKey(std::string_view Section, std::string_view Ident) override;
  void UpdateFile() override;

  // Empties the content (the file is untouched until UpdateFile).
  void Clear();
  // The content as lines of text, and replacing it by lines of text.
  void GetStrings(TStrings* List);
  void SetStrings(TStrings* List);

 private:
  std::unique_ptr<TIniDocument> doc_;
};
