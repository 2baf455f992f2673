// A stand-in for the optional companion library: exports the creation function and reports
// the expected version. Its objects are static; references are counted so tests can check
// that the loader releases what it takes.
#include "mview/dovevodi.h"

namespace {

int g_references = 0;

class FakeInfo final : public TPXLibInfo {
 public:
  int32_t QueryInterface(const void*, void**) override { return -1; }
  uint32_t AddRef() override { return static_cast<uint32_t>(++g_references); }
  uint32_t Release() override { return static_cast<uint32_t>(--g_references); }
  void Reserved1() override {}
  void Reserved2() override {}
  void Reserved3() override {}
  void Reserved4() override {}
  void Reserved5() override {}
  void Reserved6() override {}
  void Reserved7() override {}
  void Reserved8() override {}
  void Reserved9() override {}
  int32_t GetVersion(const char** Text) override {
    *Text = "5.1.1.0";
    return 0;
  }
};

class FakeLib final : public TPXLib {
 public:
  int32_t QueryInterface(const void*, void**) override { return -1; }
  uint32_t AddRef() override { return static_cast<uint32_t>(++g_references); }
  uint32_t Release() override { return static_cast<uint32_t>(--g_references); }
  void Reserved1() override {}
  void Reserved2() override {}
  void Reserved3() override {}
  void Reserved4() override {}
  int32_t GetInfo(int32_t Kind, TPXLibInfo** Info) override {
    if (Kind != 1) return -1;
    info_.AddRef();
    *Info = &info_;
    return 0;
  }

 private:
  FakeInfo info_;
};

FakeLib g_lib;

}  // namespace

extern "C" __attribute__((visibility("default"))) void pxv_PXLib_create(TPXLib** Lib) {
  g_lib.AddRef();
  *Lib = &g_lib;
}

extern "C" __attribute__((visibility("default"))) int pxfake_references() { return g_references; }
