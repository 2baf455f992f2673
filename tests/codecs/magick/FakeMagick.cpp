// A stand-in for the imaging suite's libraries: the tests copy it under the suite's file names.
// It exports the wand environment's start and end, and appends what happens to it (start, end,
// unloading) to the file named by PX_FAKE_MAGICK_LOG, each line prefixed with the name it was
// loaded under.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void Log(const char* What) {
  const char* file = std::getenv("PX_FAKE_MAGICK_LOG");
  if (!file) return;
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&Log), &info);
  const char* name = info.dli_fname ? std::strrchr(info.dli_fname, '/') : nullptr;
  name = name ? name + 1 : "?";
  if (FILE* f = std::fopen(file, "a")) {
    std::fprintf(f, "%s %s\n", name, What);
    std::fclose(f);
  }
}

__attribute__((destructor)) void Unloaded() { Log("unload"); }

}  // namespace

extern "C" __attribute__((visibility("default"))) void MagickWandGenesis() { Log("genesis"); }
extern "C" __attribute__((visibility("default"))) void MagickWandTerminus() { Log("terminus"); }
