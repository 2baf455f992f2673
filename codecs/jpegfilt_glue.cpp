#include "codecs/jpegfilt_glue.h"

#include <jerror.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <vector>

#include "codecs/jpegfilt.h"
#include "core/hypxutils_streams.h"
#include "io/pxicc.h"
#include "io/pxmarkers.h"
#include "io/pxxBitmaps_params.h"

namespace {

constexpr int32_t kStreamBufferSize = 65536;
// More scans than any encoder writes: a progressive file beyond it is taken as hostile (each
// scan costs a pass over the whole coefficient buffer).
constexpr int kMaxScans = 1000;

// ---------------------------------------------------------------------------------------------
// Messages

struct TMessage {
  int Code;
  const char* Text;
};

// The library's error texts by symbol; "?" stands for a parameter.
const TMessage kMessages[] = {
    {JMSG_NOMESSAGE, "Bogus message code ?"},
    {JERR_ARITH_NOTIMPL, "Sorry, there are legal restrictions on arithmetic coding"},
    {JERR_BAD_ALIGN_TYPE, "ALIGN_TYPE is wrong, please fix"},
    {JERR_BAD_ALLOC_CHUNK, "MAX_ALLOC_CHUNK is wrong, please fix"},
    {JERR_BAD_BUFFER_MODE, "Bogus buffer control mode"},
    {JERR_BAD_COMPONENT_ID, "Invalid component ID ? in SOS"},
    {JERR_BAD_DCT_COEF, "DCT coefficient out of range"},
    {JERR_BAD_DCTSIZE, "IDCT output block size ? not supported"},
    {JERR_BAD_HUFF_TABLE, "Bogus Huffman table definition"},
    {JERR_BAD_IN_COLORSPACE, "Bogus input colorspace"},
    {JERR_BAD_J_COLORSPACE, "Bogus JPEG colorspace"},
    {JERR_BAD_LENGTH, "Bogus marker length"},
    {JERR_BAD_LIB_VERSION, "Wrong JPEG library version: library is ?, caller expects ?"},
    {JERR_BAD_MCU_SIZE, "Sampling factors too large for interleaved scan"},
    {JERR_BAD_POOL_ID, "Invalid memory pool code ?"},
    {JERR_BAD_PRECISION, "Unsupported JPEG data precision ?"},
    {JERR_BAD_PROGRESSION, "Invalid progressive parameters Ss=? Se=? Ah=? Al=?"},
    {JERR_BAD_PROG_SCRIPT, "Invalid progressive parameters at scan script entry ?"},
    {JERR_BAD_SAMPLING, "Bogus sampling factors"},
    {JERR_BAD_SCAN_SCRIPT, "Invalid scan script at entry ?"},
    {JERR_BAD_STATE, "Improper call to JPEG library in state ?"},
    {JERR_BAD_STRUCT_SIZE, "JPEG parameter struct mismatch: library thinks size is ?, caller expects ?"},
    {JERR_BAD_VIRTUAL_ACCESS, "Bogus virtual array access"},
    {JERR_BUFFER_SIZE, "Buffer passed to JPEG library is too small"},
    {JERR_CANT_SUSPEND, "Suspension not allowed here"},
    {JERR_CCIR601_NOTIMPL, "CCIR601 sampling not implemented yet"},
    {JERR_COMPONENT_COUNT, "Too many color components: ?, max ?"},
    {JERR_CONVERSION_NOTIMPL, "Unsupported color conversion request"},
    {JERR_DAC_INDEX, "Bogus DAC index ?"},
    {JERR_DAC_VALUE, "Bogus DAC value 0x?"},
    {JERR_DHT_INDEX, "Bogus DHT index ?"},
    {JERR_DQT_INDEX, "Bogus DQT index ?"},
    {JERR_EMPTY_IMAGE, "Empty JPEG image (DNL not supported)"},
    {JERR_EMS_READ, "Read from EMS failed"},
    {JERR_EMS_WRITE, "Write to EMS failed"},
    {JERR_EOI_EXPECTED, "Didn't expect more than one scan"},
    {JERR_FILE_READ, "Input file read error"},
    {JERR_FILE_WRITE, "Output file write error --- out of disk space?"},
    {JERR_FRACT_SAMPLE_NOTIMPL, "Fractional sampling not implemented yet"},
    {JERR_HUFF_CLEN_OVERFLOW, "Huffman code size table overflow"},
    {JERR_HUFF_MISSING_CODE, "Missing Huffman code table entry"},
    {JERR_IMAGE_TOO_BIG, "Maximum supported image dimension is ? pixels"},
    {JERR_INPUT_EMPTY, "Empty input file"},
    {JERR_INPUT_EOF, "Premature end of input file"},
    {JERR_MISMATCHED_QUANT_TABLE, "Cannot transcode due to multiple use of quantization table ?"},
    {JERR_MISSING_DATA, "Scan script does not transmit all data"},
    {JERR_MODE_CHANGE, "Invalid color quantization mode change"},
    {JERR_NOTIMPL, "Not implemented yet"},
    {JERR_NOT_COMPILED, "Requested feature was omitted at compile time"},
    {JERR_NO_BACKING_STORE, "Backing store not supported"},
    {JERR_NO_HUFF_TABLE, "Huffman table was not defined"},
    {JERR_NO_IMAGE, "JPEG datastream contains no image"},
    {JERR_NO_QUANT_TABLE, "Quantization table was not defined"},
    {JERR_NO_SOI, "Not a JPEG file: starts with ?"},
    {JERR_OUT_OF_MEMORY, "Insufficient memory (case ?)"},
    {JERR_QUANT_COMPONENTS, "Cannot quantize more than ? color components"},
    {JERR_QUANT_FEW_COLORS, "Cannot quantize to fewer than ? colors"},
    {JERR_QUANT_MANY_COLORS, "Cannot quantize to more than ? colors"},
    {JERR_SOF_DUPLICATE, "Invalid JPEG file structure: two SOF markers"},
    {JERR_SOF_NO_SOS, "Invalid JPEG file structure: missing SOS marker"},
    {JERR_SOF_UNSUPPORTED, "Unsupported JPEG process: SOF type ?"},
    {JERR_SOI_DUPLICATE, "Invalid JPEG file structure: two SOI markers"},
    {JERR_SOS_NO_SOF, "Invalid JPEG file structure: SOS before SOF"},
    {JERR_TFILE_CREATE, "Failed to create temporary file ?"},
    {JERR_TFILE_READ, "Read failed on temporary file"},
    {JERR_TFILE_SEEK, "Seek failed on temporary file"},
    {JERR_TFILE_WRITE, "Write failed on temporary file --- out of disk space?"},
    {JERR_TOO_LITTLE_DATA, "Application transferred too few scanlines"},
    {JERR_UNKNOWN_MARKER, "Unsupported marker type ?"},
    {JERR_VIRTUAL_BUG, "Virtual array controller messed up"},
    {JERR_WIDTH_OVERFLOW, "Image too wide for this implementation"},
    {JERR_XMS_READ, "Read from XMS failed"},
    {JERR_XMS_WRITE, "Write to XMS failed"},
    {JMSG_COPYRIGHT, ""},
    {JMSG_VERSION, ""},
};

// How the parameters of a message are written where the library would print them in hex.
std::string Hex2(int32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "0x%02x", static_cast<unsigned>(v) & 0xFFu);
  return b;
}

std::string ParamText(int32_t Code, int32_t Index, const int32_t* P, const char* S) {
  switch (Code) {
    case JERR_TFILE_CREATE:
      return S ? std::string(S) : std::string();
    case JERR_NO_SOI:
      return Hex2(P[0]) + " " + Hex2(P[1]);
    case JERR_SOF_UNSUPPORTED:
    case JERR_UNKNOWN_MARKER:
      return Hex2(P[Index]);
    case JERR_DAC_VALUE: {
      char b[16];
      std::snprintf(b, sizeof b, "%x", static_cast<unsigned>(P[Index]));
      return b;
    }
    case JERR_IMAGE_TOO_BIG:
      return std::to_string(static_cast<uint32_t>(P[Index]));
    default:
      return std::to_string(P[Index]);
  }
}

// ---------------------------------------------------------------------------------------------
// Error manager

void JpegErrorExit(j_common_ptr Info) {
  auto* e = reinterpret_cast<TPXJpegErrorMgr*>(Info->err);
  if (e->Aborting) e->Aborting->store(true);
  std::longjmp(e->Jump, 1);
}

void JpegEmitMessage(j_common_ptr Info, int Level) {
  if (Level != -1) return;
  auto* e = reinterpret_cast<TPXJpegErrorMgr*>(Info->err);
  ++e->Pub.num_warnings;
  e->LastWarning = e->Pub.msg_code;
}

void JpegOutputMessage(j_common_ptr) {}
void JpegFormatMessage(j_common_ptr, char* Buffer) { Buffer[0] = 0; }

void JpegResetErrorMgr(j_common_ptr Info) {
  auto* e = reinterpret_cast<TPXJpegErrorMgr*>(Info->err);
  e->Pub.num_warnings = 0;
  e->Pub.msg_code = 0;
  e->LastWarning = 0;
}

void ScanLimit(j_common_ptr Info) {
  if (!Info->is_decompressor) return;
  if (reinterpret_cast<j_decompress_ptr>(Info)->input_scan_number > kMaxScans)
    ERREXIT1(Info, JERR_BAD_SCAN_SCRIPT, kMaxScans);
}

// ---------------------------------------------------------------------------------------------
// Source and destination managers

struct TPXJpegSource {
  jpeg_source_mgr Pub;
  TStream* Stream;
  TPXAbortFlag* Aborting;
  bool StartOfFile;
  JOCTET* Buffer;
};

void SourceInit(j_decompress_ptr D) { reinterpret_cast<TPXJpegSource*>(D->src)->StartOfFile = true; }

boolean SourceFill(j_decompress_ptr D) {
  auto* s = reinterpret_cast<TPXJpegSource*>(D->src);
  int32_t got = 0;
  try {
    got = s->Stream ? s->Stream->Read(s->Buffer, kStreamBufferSize) : 0;
  } catch (...) {
    got = 0;  // a failing stream ends the data
  }
  if (got <= 0) {
    if (s->StartOfFile && s->Aborting) s->Aborting->store(true);
    // Data cut short: a warning (the arithmetic decoder gives none of its own), then a fake end
    // of image, so that the library completes the picture.
    if (!s->StartOfFile) WARNMS(D, JWRN_JPEG_EOF);
    s->Buffer[0] = 0xFF;
    s->Buffer[1] = JPEG_EOI;
    got = 2;
  }
  s->Pub.next_input_byte = s->Buffer;
  s->Pub.bytes_in_buffer = static_cast<size_t>(got);
  s->StartOfFile = false;
  return TRUE;
}

void SourceSkip(j_decompress_ptr D, long Count) {
  if (Count < 1) return;
  auto* s = reinterpret_cast<TPXJpegSource*>(D->src);
  size_t n = static_cast<size_t>(Count);
  while (n > s->Pub.bytes_in_buffer) {
    n -= s->Pub.bytes_in_buffer;
    SourceFill(D);
  }
  s->Pub.next_input_byte += n;
  s->Pub.bytes_in_buffer -= n;
}

void SourceTerm(j_decompress_ptr) {}

struct TPXJpegDest {
  jpeg_destination_mgr Pub;
  TStream* Stream;
  TPXAbortFlag* Aborting;
  JOCTET* Buffer;
};

void WriteOut(TPXJpegDest* d, size_t Count) {
  int32_t written = 0;
  try {
    written = d->Stream->Write(d->Buffer, static_cast<int32_t>(Count));
  } catch (...) {
    written = 0;
  }
  if (written != static_cast<int32_t>(Count) && d->Aborting) d->Aborting->store(true);
}

void DestInit(j_compress_ptr C) {
  auto* d = reinterpret_cast<TPXJpegDest*>(C->dest);
  d->Buffer = static_cast<JOCTET*>(
      (*C->mem->alloc_small)(reinterpret_cast<j_common_ptr>(C), JPOOL_IMAGE, kStreamBufferSize));
  d->Pub.next_output_byte = d->Buffer;
  d->Pub.free_in_buffer = kStreamBufferSize;
}

boolean DestEmpty(j_compress_ptr C) {
  auto* d = reinterpret_cast<TPXJpegDest*>(C->dest);
  WriteOut(d, kStreamBufferSize);
  d->Pub.next_output_byte = d->Buffer;
  d->Pub.free_in_buffer = kStreamBufferSize;
  return TRUE;
}

void DestTerm(j_compress_ptr C) {
  auto* d = reinterpret_cast<TPXJpegDest*>(C->dest);
  const size_t used = kStreamBufferSize - d->Pub.free_in_buffer;
  if (used > 0) WriteOut(d, used);
}

TPXJpegErrorMgr* ErrOf(j_common_ptr Info) { return reinterpret_cast<TPXJpegErrorMgr*>(Info->err); }

}  // namespace

// ---------------------------------------------------------------------------------------------
// Messages and managers

std::string JpegMessageText(int32_t Code, const int32_t* IntParams, const char* StrParam) {
  const char* text = nullptr;
  for (const TMessage& m : kMessages)
    if (m.Code == Code) {
      text = m.Text;
      break;
    }
  if (!text) return "Corrupted";
  static constexpr int32_t kNone[8] = {};
  const int32_t* p = IntParams ? IntParams : kNone;
  std::string out;
  int32_t index = 0;
  for (const char* c = text; *c; ++c) {
    if (*c == '?' && index < 8) out += ParamText(Code, index++, p, StrParam);
    else out += *c;
  }
  return out;
}

std::string JpegErrorText(const jpeg_error_mgr* Err) {
  int32_t params[8];
  for (int i = 0; i < 8; ++i) params[i] = Err->msg_parm.i[i];
  char s[JMSG_STR_PARM_MAX + 1];
  std::memcpy(s, Err->msg_parm.s, JMSG_STR_PARM_MAX);
  s[JMSG_STR_PARM_MAX] = 0;
  return JpegMessageText(Err->msg_code, params, s);
}

jpeg_error_mgr* CreateJpegErrorMgr(TPXJpegErrorMgr* Err, TPXAbortFlag* Aborting) {
  std::memset(static_cast<void*>(Err), 0, sizeof *Err);
  jpeg_std_error(&Err->Pub);
  Err->Pub.error_exit = JpegErrorExit;
  Err->Pub.emit_message = JpegEmitMessage;
  Err->Pub.output_message = JpegOutputMessage;
  Err->Pub.format_message = JpegFormatMessage;
  Err->Pub.reset_error_mgr = JpegResetErrorMgr;
  Err->Aborting = Aborting;
  return &Err->Pub;
}

void SetJpegStreamSource(j_decompress_ptr D, TStream* Stream, TPXAbortFlag* Aborting) {
  auto* s = reinterpret_cast<TPXJpegSource*>(D->src);
  if (!s) {
    auto common = reinterpret_cast<j_common_ptr>(D);
    s = static_cast<TPXJpegSource*>((*D->mem->alloc_small)(common, JPOOL_PERMANENT, sizeof(TPXJpegSource)));
    s->Buffer = static_cast<JOCTET*>((*D->mem->alloc_small)(common, JPOOL_PERMANENT, kStreamBufferSize));
    s->Pub.init_source = SourceInit;
    s->Pub.fill_input_buffer = SourceFill;
    s->Pub.skip_input_data = SourceSkip;
    s->Pub.resync_to_restart = jpeg_resync_to_restart;
    s->Pub.term_source = SourceTerm;
    D->src = &s->Pub;
  }
  s->Stream = Stream;
  s->Aborting = Aborting;
  s->StartOfFile = true;
  s->Pub.next_input_byte = nullptr;
  s->Pub.bytes_in_buffer = 0;
}

void SetJpegStreamDest(j_compress_ptr C, TStream* Stream, TPXAbortFlag* Aborting) {
  auto* d = reinterpret_cast<TPXJpegDest*>(C->dest);
  if (!d) {
    d = static_cast<TPXJpegDest*>(
        (*C->mem->alloc_small)(reinterpret_cast<j_common_ptr>(C), JPOOL_PERMANENT, sizeof(TPXJpegDest)));
    d->Pub.init_destination = DestInit;
    d->Pub.empty_output_buffer = DestEmpty;
    d->Pub.term_destination = DestTerm;
    d->Buffer = nullptr;
    C->dest = &d->Pub;
  }
  d->Stream = Stream;
  d->Aborting = Aborting;
}

// ---------------------------------------------------------------------------------------------
// Library calls. Each sets the jump target of its own call; after a jump it only answers.

bool JpegCreateDecompress(j_decompress_ptr D) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(D))->Jump)) return false;
  jpeg_create_decompress(D);
  auto* monitor = static_cast<jpeg_progress_mgr*>(
      (*D->mem->alloc_small)(reinterpret_cast<j_common_ptr>(D), JPOOL_PERMANENT, sizeof(jpeg_progress_mgr)));
  std::memset(static_cast<void*>(monitor), 0, sizeof *monitor);
  monitor->progress_monitor = ScanLimit;
  D->progress = monitor;
  return true;
}

int JpegReadHeader(j_decompress_ptr D, bool RequireImage, bool Save) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(D))->Jump)) return -1;
  if (Save) {
    jpeg_save_markers(D, JPEG_COM, 0xFFFF);
    for (int m = 0; m < 16; ++m) jpeg_save_markers(D, JPEG_APP0 + m, 0xFFFF);
  }
  return jpeg_read_header(D, RequireImage ? TRUE : FALSE);
}

bool JpegStartDecompress(j_decompress_ptr D) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(D))->Jump)) return false;
  jpeg_start_decompress(D);
  return true;
}

int JpegReadRow(j_decompress_ptr D, uint8_t* Row) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(D))->Jump)) return -1;
  JSAMPROW rows[1] = {Row};
  return static_cast<int>(jpeg_read_scanlines(D, rows, 1));
}

bool JpegFinishDecompress(j_decompress_ptr D) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(D))->Jump)) return false;
  jpeg_finish_decompress(D);
  return true;
}

void JpegAbortDecompress(j_decompress_ptr D) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(D))->Jump)) return;
  jpeg_abort_decompress(D);
}

bool JpegCreateCompress(j_compress_ptr C) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(C))->Jump)) return false;
  jpeg_create_compress(C);
  return true;
}

bool JpegSetupCompress(j_compress_ptr C, const TPXJpegCompressSetup* S) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(C))->Jump)) return false;
  C->image_width = static_cast<JDIMENSION>(S->Width);
  C->image_height = static_cast<JDIMENSION>(S->Height);
  C->input_components = S->InComponents;
  C->in_color_space = S->InColorSpace;
  jpeg_set_defaults(C);
  jpeg_set_colorspace(C, S->FileColorSpace);
  C->density_unit = 1;
  C->X_density = static_cast<UINT16>(S->DpiX);
  C->Y_density = static_cast<UINT16>(S->DpiY);
  C->dct_method = S->DctMethod;
  C->optimize_coding = S->Optimize ? TRUE : FALSE;
  C->smoothing_factor = S->Smoothing;
  jpeg_set_quality(C, S->Quality, TRUE);
  if (S->FileColorSpace == JCS_YCbCr) {
    C->comp_info[0].h_samp_factor = S->LumaH;
    C->comp_info[0].v_samp_factor = S->LumaV;
    for (int i = 1; i < 3; ++i) {
      C->comp_info[i].h_samp_factor = 1;
      C->comp_info[i].v_samp_factor = 1;
    }
  }
  if (S->FileColorSpace == JCS_CMYK || S->FileColorSpace == JCS_YCCK) C->write_Adobe_marker = TRUE;
  if (S->Progressive) jpeg_simple_progression(C);
  return true;
}

bool JpegStartCompress(j_compress_ptr C) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(C))->Jump)) return false;
  jpeg_start_compress(C, TRUE);
  return true;
}

bool JpegWriteMarker(j_compress_ptr C, int Marker, const uint8_t* Data, unsigned Length) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(C))->Jump)) return false;
  jpeg_write_marker(C, Marker, Data, Length);
  return true;
}

bool JpegWriteRow(j_compress_ptr C, const uint8_t* Row) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(C))->Jump)) return false;
  JSAMPROW rows[1] = {const_cast<uint8_t*>(Row)};  // the library only reads input rows
  jpeg_write_scanlines(C, rows, 1);
  return true;
}

bool JpegFinishCompress(j_compress_ptr C) {
  if (setjmp(ErrOf(reinterpret_cast<j_common_ptr>(C))->Jump)) return false;
  jpeg_finish_compress(C);
  return true;
}

// ---------------------------------------------------------------------------------------------
// Start of image, stream length, ICC chunks

int64_t FindJpegStart(TStream* Stream, bool Scan) {
  if (!Stream) return -1;
  const int64_t entry = Stream->Position();
  uint8_t buf[152];
  int32_t got = 0;
  try {
    got = Stream->Read(buf, Scan ? static_cast<int32_t>(sizeof buf) : 3);
  } catch (...) {
    got = 0;
  }
  Stream->Seek(entry, soBeginning);
  const int32_t last = Scan ? 149 : 0;
  for (int32_t i = 0; i <= last && i + 2 < got; ++i)
    if (buf[i] == 0xFF && buf[i + 1] == 0xD8 && buf[i + 2] == 0xFF) return Scan ? entry + i : 0;
  return -1;
}

namespace {

// Byte-by-byte reader over a buffered stream; Next answers -1 at the end.
class TByteReader {
 public:
  explicit TByteReader(TStream* Stream) : FBuffered(Stream, kStreamBufferSize, false) {}
  int Next() {
    uint8_t b;
    return FBuffered.Read(&b, 1) == 1 ? b : -1;
  }
  // The segment's length field (which counts itself); -1 at the end.
  int32_t Length() {
    const int hi = Next();
    const int lo = Next();
    return (hi < 0 || lo < 0) ? -1 : (hi << 8) | lo;
  }
  // Skips Count bytes; false when the data ends first.
  bool Skip(int64_t Count) {
    if (Count <= 0) return true;
    const int64_t size = FBuffered.Size();
    const int64_t to = FBuffered.Position() + Count;
    if (to > size) {
      FBuffered.Seek(size, soBeginning);
      return false;
    }
    FBuffered.Seek(to, soBeginning);
    return true;
  }
  bool ReadBytes(uint8_t* Out, int32_t Count) { return FBuffered.Read(Out, Count) == Count; }
  int64_t Position() { return FBuffered.Position(); }

 private:
  TPXBufferedReadStream FBuffered;
};

bool IsSegmentMarker(int m) { return (m >= 0xC0 && m <= 0xCF) || (m >= 0xDA && m <= 0xFE); }

}  // namespace

int64_t GetJpegStreamLength(TStream* Stream) {
  if (!Stream) return 0;
  const int64_t entry = Stream->Position();
  int64_t length = 0;
  try {
    TByteReader r(Stream);
    const int64_t start = r.Position();
    int b = r.Next();
    while (b >= 0) {
      if (b != 0xFF) {
        b = r.Next();
        continue;
      }
      const int m = r.Next();
      if (m == 0xFF) {  // a fill byte: this one may start the marker
        b = m;
        continue;
      }
      if (m < 0 || m == 0xD9) break;
      if (IsSegmentMarker(m)) {
        const int32_t len = r.Length();
        if (len < 0 || !r.Skip(len - 2)) break;
      }
      b = r.Next();
    }
    length = r.Position() - start;
  } catch (...) {
    length = 0;
  }
  Stream->Seek(entry, soBeginning);
  return length;
}

void ReadJpegIccProfile(TStream* Stream, TIOParams* Params) {
  if (!Stream || !Params) return;
  const int64_t entry = Stream->Position();
  try {
    TByteReader r(Stream);
    std::map<int, std::vector<uint8_t>> pieces;  // by 1-based sequence number
    int count = 0;                               // pieces the first chunk announced
    bool done = false;
    std::vector<uint8_t> payload;
    while (!done) {
      int b = r.Next();
      if (b < 0) break;
      if (b != 0xFF) continue;
      int m = r.Next();
      while (m == 0xFF) m = r.Next();  // fill bytes before a marker
      if (m < 0) break;
      if (m <= 0xBF || (m >= 0xD0 && m <= 0xD8)) continue;
      if (m == 0xE2) {
        const int32_t len = r.Length();
        if (len < 2) break;
        payload.resize(static_cast<size_t>(len - 2));
        if (!r.ReadBytes(payload.data(), len - 2)) break;
        if (len < 16 || std::memcmp(payload.data(), "ICC_PROFILE\0", 12) != 0) continue;
        const int seq = payload[12];
        const int total = payload[13];
        if (count == 0) count = total;
        if (total != count || seq < 1 || seq > count || pieces.count(seq)) continue;
        pieces.emplace(seq, std::vector<uint8_t>(payload.begin() + 14, payload.end()));
        if (static_cast<int>(pieces.size()) == count) done = true;
        continue;
      }
      if (m == 0xC4 || m == 0xC8 || m == 0xCC || (m >= 0xDA && m <= 0xFE)) {
        const int32_t len = r.Length();
        if (len < 0 || !r.Skip(len - 2)) break;
        continue;
      }
      break;  // a start of frame, the end of image or another marker: the chunks are behind us
    }
    // Joined only when every piece is there.
    if (count > 0 && static_cast<int>(pieces.size()) == count) {
      std::vector<uint8_t> profile;
      for (auto& [seq, data] : pieces) profile.insert(profile.end(), data.begin(), data.end());
      if (!profile.empty())
        Params->GetInputICCProfile()->LoadFromBuffer(profile.data(), static_cast<int32_t>(profile.size()));
    }
  } catch (...) {
    // a failing stream leaves the profile as it was
  }
  Stream->Seek(entry, soBeginning);
}

bool AddJpegIccChunks(TPXMarkerList* List, const TPXICC* Profile) {
  const int64_t size = Profile ? Profile->ProfileSize() : 0;
  if (!List) return false;
  // The chunks of the profile read stay out in every case: they are not the picture's profile.
  List->DeleteMarkersOfType(PX_JPEG_APP2);
  if (size > PXJpegIccMaxProfile) return false;  // a one-byte count cannot number them
  if (size <= 0) return true;
  const uint8_t* data = Profile->ProfileData();
  const int64_t count = (size + PXJpegIccChunkSize - 1) / PXJpegIccChunkSize;
  std::vector<uint8_t> chunk(PXJpegIccChunkSize + 14);
  std::memcpy(chunk.data(), "ICC_PROFILE\0", 12);
  for (int64_t k = 0; k < count; ++k) {
    const int64_t at = k * PXJpegIccChunkSize;
    const auto n = static_cast<int32_t>(std::min<int64_t>(PXJpegIccChunkSize, size - at));
    chunk[12] = static_cast<uint8_t>(k + 1);
    chunk[13] = static_cast<uint8_t>(count);
    std::memcpy(chunk.data() + 14, data + at, static_cast<size_t>(n));
    List->AddMarker(PX_JPEG_APP2, chunk.data(), n + 14);
  }
  return true;
}

void AddJpegIccMarkers(TIOParams* Params) {
  if (Params) AddJpegIccChunks(&Params->JPEG_Markers, Params->InputICC());
}
