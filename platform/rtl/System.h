// The run-time's base: TObject and class references, rounding, and the random generator.
#pragma once

#include <cstdint>
#include <string>

struct TClassInfo;
// A class reference: the registered description of a class (see TypInfo.h).
using TClass = const TClassInfo*;

class TObject {
 public:
  TObject() = default;
  virtual ~TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;

  // The dynamic class name, e.g. "TStringList".
  std::string ClassName() const;
  // The most derived class that registered a class description.
  virtual TClass ClassType() const { return StaticClass(); }
  static TClass StaticClass();
  bool InheritsFrom(TClass c) const;
};

// Declares the class description of Self (defined with PX_CLASS_INFO in its .cpp).
#define PX_CLASS(Self)                                    \
 public:                                                  \
  static TClass StaticClass();                            \
  TClass ClassType() const override { return Self::StaticClass(); }

// Demangled name of a C++ type name as typeid reports it, without namespaces.
std::string DemangleClassName(const char* mangled);

// Round: halves to even (0.5 -> 0, 1.5 -> 2, 2.5 -> 2, -2.5 -> -2). NaN gives 0 and values
// outside the 64-bit range saturate.
int64_t Round(long double v);
// Trunc: towards zero; NaN gives 0, out of range saturates.
int64_t Trunc(long double v);
// 32-bit forms for the many callers that store into Integer fields (saturating).
int32_t Round32(long double v);
int32_t Trunc32(long double v);
// Rounding towards minus / plus infinity with the same guards.
int64_t Floor(long double v);
int64_t Ceil(long double v);

// The run-time's linear congruential generator:
//   RandSeed := RandSeed * 134775813 + 1 (mod 2^32)
//   Random(n) = (uint64(RandSeed) * n) >> 32, Random() = RandSeed / 2^32.
// The state is per process, as in the run-time.
extern uint32_t RandSeed;
int32_t Random(int32_t range);
double Random();
// Seeds from the clock.
void Randomize();
