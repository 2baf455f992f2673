// The outside imaging suite, opened at run time: the libraries are never linked, so a machine
// without them runs as before and one with them gains the suite's page count.
#include "codecs/pxmiscplugins.h"

#include <dlfcn.h>

#include <mutex>

#include "core/hypxutils_startup.h"
#include "core/hypxutils_system.h"
#include "platform/rtl/Classes.h"
#include "platform/rtl/SysUtils.h"

namespace {

using TWandProc = void (*)();

struct TSuiteState {
  std::recursive_mutex lock;
  void* wand = nullptr;
  void* core = nullptr;
  TWandProc genesis = nullptr;
  TWandProc terminus = nullptr;
  TPXModuleOpener opener;
};

TSuiteState& State() {
  static TSuiteState s;
  return s;
}

// The folder of the module that holds this code, when that module is a shared library; empty
// when the image library is part of the program itself.
std::string OwnModuleFolder() {
  Dl_info info{};
  static int anchor = 0;
  if (dladdr(&anchor, &info) == 0 || !info.dli_fname || !info.dli_fbase) return {};
  void* self = dlopen(nullptr, RTLD_NOW);
  void* own = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
  const bool program = own == nullptr || own == self;
  if (own) dlclose(own);
  if (self) dlclose(self);
  if (program) return {};
  const std::string name = info.dli_fname;
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

void* DefaultOpen(const std::string& Name) {
  const std::string folder = OwnModuleFolder();
  if (!folder.empty())
    if (void* h = dlopen((folder + Name).c_str(), RTLD_NOW | RTLD_LOCAL)) return h;
  return dlopen(Name.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* Open(TSuiteState& s, const std::string& Name) { return s.opener ? s.opener(Name) : DefaultOpen(Name); }

void UnloadLocked(TSuiteState& s) {
  if (s.core) dlclose(s.core);
  s.core = nullptr;
  if (s.wand) {
    if (!s.terminus) s.terminus = reinterpret_cast<TWandProc>(dlsym(s.wand, "MagickWandTerminus"));
    if (s.terminus) s.terminus();
    dlclose(s.wand);
  }
  s.wand = nullptr;
  s.genesis = nullptr;
  s.terminus = nullptr;
}

void LoadLocked(TSuiteState& s) {
  const auto& wands = TPXMiscPluginsImageMagick::WandLibraryNames();
  const auto& cores = TPXMiscPluginsImageMagick::CoreLibraryNames();
  size_t firstCore = 0;
  if (!s.wand) {
    firstCore = cores.size();  // no wand library: no core name is tried
    for (size_t i = 0; i < wands.size(); ++i) {
      s.wand = Open(s, wands[i]);
      if (!s.wand) continue;
      s.genesis = reinterpret_cast<TWandProc>(dlsym(s.wand, "MagickWandGenesis"));
      s.terminus = reinterpret_cast<TWandProc>(dlsym(s.wand, "MagickWandTerminus"));
      if (s.genesis) s.genesis();
      firstCore = i;
      break;
    }
  }
  if (!s.core)
    for (size_t i = firstCore; i < cores.size() && !s.core; ++i) s.core = Open(s, cores[i]);
}

const char* const kPhrase = "number of pages in the file: ";

}  // namespace

const std::vector<TPXMiscPluginsImageMagick_Format>& ImageMagickFormats() {
  static const std::vector<TPXMiscPluginsImageMagick_Format> table{
      {8193, "Flexible Image Transport System", "FITS;FTS", "fits", true},
      {8194, "Photo CD", "PCD;PCDS", "pcd", true},
      {8195, "Printer Control Language", "PCL", "pcl", true},
      {8196, "Portable Document Format", "PDF;PDFA;EPDF", "pdf", true},
      {8197, "Joint Bi-level Image experts Group interchange format", "BIE", "bie", true},
      {8198, "Cineon Image File", "CIN", "cin", true},
      {8199, "Microsoft DirectDraw Surface", "DDS", "dds", true},
      {8200, "Multi-face font package", "DFONT", "dfont", false},
      {8201, "SMPTE 268M-2003 (DPX 2.0)", "DPX", "dpx", true},
      {8202, "Joint Bi-level Image experts Group interchange format", "JBIG;JBG", "jbig", true},
      {8203, "JPEG Network Graphics", "JNG", "jng", true},
      {8204, "MPEG Video Stream", "M2V;MOV;MPEG;MPG", "m2v", true},
      {8205, "MATLAB level 5 image format", "MAT", "mat", true},
      {8206, "Magick Image File Format", "MIFF", "miff", true},
      {8207, "Multiple-image Network Graphics", "MNG", "mng", true},
      {8208, "MPEG-4 Video", "MP4;M4V", "mp4", true},
      {8209, "ImageMagick SVG renderer", "MSVG", "msvg", true},
      {8210, "Embrid Embroidery Format", "PES", "pes", false},
      {8211, "PostScript", "PS;EPS;EPSF;EPSI;EPI;EPT", "ps", true},
      {8212, "Adobe Large Document Format", "PSB", "psb", true},
      {8213, "Pyramid encoded TIFF", "PTIF", "ptif", true},
      {8214, "Scalable Vector Graphics", "SVG;SVGZ", "svg", true},
      {8215, "Tagged Image File Format (64-bit)", "TIFF64", "tiff64", true},
      {8216, "GIMP image", "XCF", "xcf", false},
      {8217, "Microsoft XML Paper Specification", "XPS", "xps", false},
  };
  return table;
}

const std::vector<std::string>& TPXMiscPluginsImageMagick::WandLibraryNames() {
  static const std::vector<std::string> names{"libMagickWand-6.Q16.so.6", "libMagickWand-6.Q16HDRI.so.6"};
  return names;
}

const std::vector<std::string>& TPXMiscPluginsImageMagick::CoreLibraryNames() {
  static const std::vector<std::string> names{"libMagickCore-6.Q16.so.6", "libMagickCore-6.Q16HDRI.so.6"};
  return names;
}

bool TPXMiscPluginsImageMagick::IsLoaded() {
  TSuiteState& s = State();
  std::lock_guard guard(s.lock);
  if (!s.wand || !s.core) LoadLocked(s);
  return s.wand && s.core;
}

void TPXMiscPluginsImageMagick::Load(bool Reload) {
  TSuiteState& s = State();
  std::lock_guard guard(s.lock);
  if (Reload) UnloadLocked(s);
  LoadLocked(s);
}

void TPXMiscPluginsImageMagick::Unload() {
  TSuiteState& s = State();
  std::lock_guard guard(s.lock);
  UnloadLocked(s);
}

void* TPXMiscPluginsImageMagick::WandHandle() {
  TSuiteState& s = State();
  std::lock_guard guard(s.lock);
  return s.wand;
}

void* TPXMiscPluginsImageMagick::CoreHandle() {
  TSuiteState& s = State();
  std::lock_guard guard(s.lock);
  return s.core;
}

void TPXMiscPluginsImageMagick::SetModuleOpener(TPXModuleOpener Opener) {
  TSuiteState& s = State();
  std::lock_guard guard(s.lock);
  s.opener = std::move(Opener);
}

int32_t ParseImageMagickPageCount(std::string_view Output) {
  const size_t at = Output.find(kPhrase);
  if (at == std::string_view::npos) return 0;
  const std::string_view rest = Output.substr(at + std::char_traits<char>::length(kPhrase));
  const size_t end = rest.find("\r\n");
  if (end == std::string_view::npos) return 0;
  return StrToIntDef(rest.substr(0, end), 0);
}

int32_t GetImageMagickPageCount(TStream* Stream) {
  auto* file = dynamic_cast<TFileStream*>(Stream);
  if (!file || file->FileName().empty()) return 0;
  if (!TPXMiscPluginsImageMagick::IsLoaded()) return 0;
  // The name goes as one argument, whatever characters it holds; the program runs in the root
  // folder, so the name is made absolute first.
  const std::string output =
      RunCommandCapture("identify", {ExpandFileName(file->FileName()) + "[999999999]"}, "/");
  return ParseImageMagickPageCount(output);
}

void RegisterMiscPlugins() { RegisterLibrarySlot(lsUnloadImageMagick, &TPXMiscPluginsImageMagick::Unload); }
