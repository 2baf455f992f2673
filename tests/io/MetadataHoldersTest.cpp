// The DICOM tag list's typed setters, sequences, search and stream form with the data dictionary;
// the own annotation's stream form; the PDF page count (checked against pdfinfo on PDFs Pillow
// writes); and the small routines of the metadata unit.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "codecs/pxdicom.h"
#include "core/hypxutils_streams.h"
#include "io/pxxBitmaps_meta.h"
#include "io/pxxBitmaps_params.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"
#include "tests/common/TestSupport.h"

namespace {

std::string Bytes(const TPXDicomTag* T) {
  return T ? std::string(reinterpret_cast<const char*>(T->Data.data()), size_t(T->DataLength)) : "(none)";
}

}  // namespace

TEST(DicomDictionary, TellingRowsAndOrder) {
  struct TRow {
    uint16_t G, E;
    int VR;
  };
  for (const TRow& r : {TRow{0x0000, 0x0000, 23}, TRow{0x0002, 0x0010, 22}, TRow{0x0008, 0x0016, 22},
                        TRow{0x0028, 0x0010, 26}, TRow{0x0028, 0x0106, 28}, TRow{0x0028, 0x1201, 14},
                        TRow{0x0028, 0x3110, 18}, TRow{0x7FE0, 0x0010, 14}, TRow{0xFFFE, 0xE000, 29},
                        TRow{0xFFFF, 0xFFFF, 28}}) {
    const TPXDicomDictEntry* e = FindDicomDictEntry(r.G, r.E);
    ASSERT_NE(e, nullptr) << std::hex << r.G << "," << r.E;
    EXPECT_EQ(e->VR, r.VR) << std::hex << r.G << "," << r.E;
  }
  EXPECT_EQ(FindDicomDictIndex(0x0028, 0xFFFF), -1);
  const int32_t n = DicomDictCount();
  const TPXDicomDictEntry* last = DicomDictRow(n - 1);
  EXPECT_TRUE(last->Group == 0xFFFF && last->Element == 0xFFFF && last->VR == 28);
  for (int32_t i = 0; i < n; ++i) {
    const TPXDicomDictEntry* e = DicomDictRow(i);
    if (i > 0) {
      const TPXDicomDictEntry* p = DicomDictRow(i - 1);
      ASSERT_LT((uint32_t(p->Group) << 16) | p->Element, (uint32_t(e->Group) << 16) | e->Element) << i;
    }
    ASSERT_EQ(FindDicomDictIndex(e->Group, e->Element), i);
  }
}

TEST(DicomTags, TypedSetters) {
  TPXDicomTags t;
  // Texts: CS pads with a blank, UI with a zero byte; "" becomes two blanks.
  EXPECT_EQ(Bytes(t.GetTag(t.SetString(0x0008, 0x0060, false, "abc"))), "abc ");  // Modality, CS
  EXPECT_EQ(Bytes(t.GetTag(t.SetString(0x0008, 0x0060, true, ""))), "  ");
  EXPECT_EQ(Bytes(t.GetTag(t.SetString(0x0008, 0x0016, false, "1.2.3"))), std::string("1.2.3\0", 6));
  EXPECT_EQ(t.GetTag(t.IndexOf(0x0008, 0x0016))->DataLength, 6);
  // Numbers: "US or SS" by the sign, truncated toward zero.
  const int32_t ss = t.SetNumber(0x0028, 0x0106, false, -5.7);
  EXPECT_EQ(t.GetTag(ss)->VR, 19);
  EXPECT_EQ(t.GetTagText(ss), "-5");
  const int32_t us = t.SetNumber(0x0028, 0x0106, true, 5);
  EXPECT_EQ(t.GetTag(us)->VR, 26);
  EXPECT_EQ(t.GetTagText(us), "5");
  EXPECT_EQ(t.GetTag(t.SetNumber(0x0028, 0x0010, true, 512))->DataLength, 2);  // Rows, US
  EXPECT_EQ(t.GetTag(t.SetNumber(0x7777, 0x7777, true, 1.25))->VR, 7);         // no entry: FD
  // Bytes: OB only, padded to an even length.
  const int32_t ob = t.SetBytes(0x0009, 0x1234, false, 3, "xyz");
  EXPECT_EQ(t.GetTag(ob)->VR, 12);
  EXPECT_EQ(t.GetTag(ob)->DataLength, 4);

  const int32_t before = t.GetCount();
  EXPECT_EQ(MessageOf<EPXException>([&] { t.SetBytes(0x0028, 0x0010, false, 1, "a"); }),
            "Tag 0028,0010 cannot be a byte string");
  EXPECT_EQ(MessageOf<EPXException>([&] { t.SetNumber(0x0008, 0x0060, false, 1); }), "Tag 0008,0060 cannot be a number");
  EXPECT_EQ(MessageOf<EPXException>([&] { t.SetString(0x7FE0, 0x0010, false, "x"); }),
            "Tag 7FE0,0010 cannot be a string");
  EXPECT_EQ(t.GetCount(), before);

  // Order: sorted by number; without Replace a second element follows the first, with Replace
  // the element is replaced and its twins go.
  TPXDicomTags o;
  o.SetString(0x0010, 0x0020, false, "p1");
  o.SetString(0x0008, 0x0016, false, "1.2");
  o.SetString(0x0010, 0x0020, false, "p2");
  ASSERT_EQ(o.GetCount(), 3);
  EXPECT_EQ(o.GetTag(0)->Group, 0x0008);
  EXPECT_EQ(o.GetTagText(1), "p1");
  EXPECT_EQ(o.GetTagText(2), "p2");
  o.SetString(0x0010, 0x0020, true, "p3");
  ASSERT_EQ(o.GetCount(), 2);
  EXPECT_EQ(o.GetTagText(1), "p3");
  o.DeleteAt(5);
  o.DeleteAt(0);
  EXPECT_EQ(o.GetCount(), 1);

  // Values shorter than their VR's size show as empty texts.
  const float fl = 1.5f;
  t.AddTag(0x0028, 0x0030, nullptr, 4, &fl, 8);
  EXPECT_EQ(t.GetTagTextOf(0x0028, 0x0030), "1.500000");
  t.AddTag(0x0028, 0x0031, nullptr, 1, "x", 23);
  EXPECT_EQ(t.GetTagTextOf(0x0028, 0x0031), "");
}

namespace {

// One item holding (0050,0001) with Text as LO.
std::unique_ptr<TPXDicomItems> Items(const std::string& Text) {
  auto items = std::make_unique<TPXDicomItems>();
  auto list = std::make_unique<TPXDicomTags>();
  list->AddTag(0x0050, 0x0001, nullptr, int32_t(Text.size()), Text.data(), 10);
  items->push_back(std::move(list));
  return items;
}

// (0008,0060), a sequence whose item holds a sequence whose item holds (0050,0001) "deep", then
// (0050,0001) "outer"; then a top-level (0050,0001) "top".
void Nested(TPXDicomTags& t) {
  t.SetString(0x0008, 0x0060, false, "MR");
  auto outer = Items("outer");
  (*outer)[0]->AddTag(0x0040, 0x0260, Items("deep"), 0, nullptr, 18);
  t.AddTag(0x0040, 0x0275, std::move(outer), 0, nullptr, 18);
  t.AddTag(0x0050, 0x0001, nullptr, 3, "top", 10);
}

std::string Stream(const TPXDicomTags& T) {
  TMemoryStream s;
  T.SaveToStream(&s);
  return std::string(static_cast<const char*>(s.Memory()), size_t(s.Size()));
}

}  // namespace

TEST(DicomTags, SequencesAndSearch) {
  TPXDicomTags t;
  Nested(t);
  ASSERT_NE(t.GetChildren(0x0040, 0x0275), nullptr);
  EXPECT_EQ(t.GetChildren(0x0008, 0x0060), nullptr);
  EXPECT_EQ(t.GetChildrenAt(99), nullptr);
  int32_t index = 0;
  // The sequence's items are searched before the later top-level element.
  TPXDicomTags* in = t.FindTagDeep(0x0050, 0x0001, nullptr, index);
  ASSERT_NE(in, nullptr);
  EXPECT_EQ(in->GetTagText(index), "deep");
  TPXDicomItems* items = t.GetChildren(0x0040, 0x0275);
  EXPECT_EQ(t.FindTagDeep(0x0050, 0x0001, (*items)[0]->GetChildrenAt(1) ? (*(*items)[0]->GetChildrenAt(1))[0].get() : nullptr,
                          index)->GetTagText(index), "deep");
  EXPECT_EQ(t.FindTagDeep(0x1234, 0x5678, nullptr, index), nullptr);
  EXPECT_EQ(index, -1);
  EXPECT_EQ(TPXDicomTags::FindTagInItems(0x0050, 0x0001, items, index)->GetTagText(index), "deep");
  EXPECT_EQ(TPXDicomTags::FindTagInItems(0x0040, 0x0260, items, index)->GetCount(), 2);
}

TEST(DicomTags, StreamFormRoundTripsAndReadsOlderVersions) {
  TPXDicomTags t;
  Nested(t);
  const std::string s = Stream(t);
  EXPECT_EQ(uint8_t(s[0]), 3);
  TPXDicomTags r;
  TPXMemStream in(s.data(), int64_t(s.size()));
  r.LoadFromStream(&in);
  EXPECT_EQ(Stream(r), s);
  int32_t index = 0;
  ASSERT_NE(r.FindTagDeep(0x0040, 0x0260, nullptr, index), nullptr);

  // Version 0: nothing follows. Version 1: no item counts. Version 2: one-byte item counts.
  auto record = [](uint16_t g, uint16_t e, int32_t vr, const std::string& data) {
    std::string out(20, '\0');
    std::memcpy(out.data(), &g, 2);
    std::memcpy(out.data() + 2, &e, 2);
    std::memcpy(out.data() + 4, &vr, 4);
    const int32_t n = int32_t(data.size());
    std::memcpy(out.data() + 12, &n, 4);
    return out + data;
  };
  const std::string one(4, '\0');
  const std::string v1 = std::string("\x01") + std::string("\x01\0\0\0", 4) + record(0x0010, 0x0010, 15, "Doe ");
  const std::string v2 = std::string("\x02") + std::string("\x01\0\0\0", 4) + record(0x0040, 0x0275, 18, "") + "\x01" +
                         std::string("\x02") + std::string("\x01\0\0\0", 4) + record(0x0010, 0x0020, 10, "id") + std::string(1, '\0');
  for (const auto& [bytes, count] : {std::pair{std::string("\x00", 1), 0}, std::pair{v1, 1}, std::pair{v2, 1}}) {
    TPXDicomTags old;
    TPXMemStream os(bytes.data(), int64_t(bytes.size()));
    old.LoadFromStream(&os);
    EXPECT_EQ(old.GetCount(), count);
    EXPECT_EQ(os.Position(), os.Size());
  }
  TPXDicomTags v2list;
  TPXMemStream v2s(v2.data(), int64_t(v2.size()));
  v2list.LoadFromStream(&v2s);
  EXPECT_EQ(v2list.FindTagDeep(0x0010, 0x0020, nullptr, index)->GetTagText(index), "id");

  // Lengths and counts beyond the stream and nesting too deep raise; the list keeps its elements.
  TPXDicomTags keep;
  keep.SetString(0x0008, 0x0060, false, "CT");
  std::string deep;
  for (int k = 0; k < 70; ++k) deep += std::string("\x03") + std::string("\x01\0\0\0", 4) + record(0x0040, 0x0275, 18, "") + std::string("\x01\0\0\0", 4);
  for (const std::string& bad : {s.substr(0, s.size() - 3), std::string("\x03\xFF\xFF\xFF\x7F", 5),
                                 std::string("\x03\x01\0\0\0", 5) + record(1, 1, 3, "").substr(0, 12) + "\xFF\xFF\xFF\x7F" +
                                     std::string(4, '\0'),
                                 std::string("\x07", 1), deep}) {
    TPXMemStream bs(bad.data(), int64_t(bad.size()));
    EXPECT_THROW(keep.LoadFromStream(&bs), EReadError);
    EXPECT_EQ(keep.GetCount(), 1);
  }
}

TEST(PixoranAnnotStream, SizeThenBytesAndTheFormFromTheBytes) {
  TIOParams p;
  TPXPixoranAnnot a(&p);
  a.LoadFromBuffer("PIXORANANNOTPXV-objects", 23);
  TMemoryStream s;
  a.SaveToStream(&s);
  ASSERT_EQ(s.Size(), 4 + 11);
  int32_t size = 0;
  std::memcpy(&size, s.Memory(), 4);
  EXPECT_EQ(size, 11);

  TPXPixoranAnnot b(&p);
  b.IsVectorForm = false;
  s.Seek(0, soBeginning);
  b.LoadFromStream(&s);
  EXPECT_TRUE(b.IsVectorForm);
  EXPECT_EQ(b.ObjectStream()->Size(), 11);

  // A layers stream with one layer gives the layer form; with none the vector form.
  for (const int32_t layers : {1, 0}) {
    std::string body = "DOZUROVAZERAR" + std::string(8, '\0');
    body.append(reinterpret_cast<const char*>(&layers), 4);
    body += "rest";
    TMemoryStream l;
    const int32_t n = int32_t(body.size());
    l.WriteBuffer(&n, 4);
    l.WriteBuffer(body.data(), n);
    l.Seek(0, soBeginning);
    TPXPixoranAnnot c(&p);
    c.LoadFromStream(&l);
    EXPECT_EQ(c.IsVectorForm, layers == 0);
  }
  // A size beyond the stream raises.
  const std::string bad = std::string("\x10\0\0\0", 4) + "short";
  TPXMemStream bs(bad.data(), int64_t(bad.size()));
  EXPECT_THROW(b.LoadFromStream(&bs), EReadError);
}

namespace {

int32_t CountOf(const std::string& Text, int64_t At = 0) {
  TPXMemStream s(Text.data(), int64_t(Text.size()));
  s.Seek(At, soBeginning);
  const int32_t n = GetPdfPageCount(&s, "");
  EXPECT_EQ(s.Position(), At);
  return n;
}

}  // namespace

TEST(PdfPageCount, RootPageTree) {
  EXPECT_EQ(CountOf("%PDF-1.4\n1 0 obj << /Type /Pages /Kids [3 0 R] /Count 12 >> endobj", 5), 12);
  EXPECT_EQ(CountOf("<< /Type /Pages /Count 3\n/Kids [] >>"), 3);
  EXPECT_EQ(CountOf("<< /Type /Pages /Parent 1 0 R /Count 4 >> << /Type /Page /Parent 2 0 R /Count 2 >>"), 0);
  EXPECT_EQ(CountOf("<< /Type /Pages /Count 12>>"), 0);
  EXPECT_EQ(CountOf("<< /Type /Catalog >> << /Type /Pages /Count 7 /Kids [] "), 0);  // no ">>": the end ends it
  EXPECT_EQ(CountOf("<< /Type /Catalog /Pages 2 0 R >> << /Count 5 /Type /Pages >>"), 5);
  EXPECT_EQ(CountOf(""), 0);
  EXPECT_EQ(GetPdfPageCountOfFile("/nonexistent/file.pdf", ""), 0);
}

TEST(PdfPageCount, PillowPdfsAsPdfinfoCountsThem) {
  if (!ToolExists("/usr/bin/pdfinfo") || !ToolExists("/usr/bin/python3")) GTEST_SKIP() << "pdfinfo or python3 missing";
  TestTempDir dir;
  for (int pages : {1, 3, 12}) {
    SCOPED_TRACE(pages);
    const std::string pdf = dir.File(std::to_string(pages) + ".pdf");
    static const char* kScript =
        "import sys\n"
        "from PIL import Image\n"
        "n = int(sys.argv[2])\n"
        "ims = [Image.new('RGB', (20, 10), (i * 20, 0, 0)) for i in range(n)]\n"
        "ims[0].save(sys.argv[1], save_all=True, append_images=ims[1:])\n";
    ASSERT_EQ(RunTool({"/usr/bin/python3", "-c", kScript, pdf, std::to_string(pages)}, dir.File("py.out")), 0);
    ASSERT_EQ(RunTool({"/usr/bin/pdfinfo", pdf}, dir.File("info.txt")), 0);
    std::ifstream info(dir.File("info.txt"));
    std::string line;
    int expected = -1;
    while (std::getline(info, line))
      if (line.rfind("Pages:", 0) == 0) expected = std::stoi(line.substr(6));
    EXPECT_EQ(expected, pages);
    EXPECT_EQ(GetPdfPageCountOfFile(pdf, ""), expected);
  }
}

TEST(MetadataRoutines, SelectAndWriteLine) {
  EXPECT_EQ(SelectInteger(true, 1, 2), 1);
  EXPECT_EQ(SelectInteger(false, 1, 2), 2);
  EXPECT_EQ(SelectDouble(false, 1.5, 2.5), 2.5);
  TMemoryStream s;
  WriteLine(&s, "abc");
  WriteLine(&s, "");
  EXPECT_EQ(std::string(static_cast<const char*>(s.Memory()), size_t(s.Size())), "abc\r\n\r\n");
}
