// Automatic undo switched off while one operation runs others.
#pragma once

#include "proc/pixoranproc.h"

// Switches AutoUndo off for inner operations and back when the scope ends.
class TPXUndoPause {
 public:
  explicit TPXUndoPause(TPixoranProc* Proc) : FProc(Proc), FWas(Proc->AutoUndo()) { Proc->SetAutoUndo(false); }
  ~TPXUndoPause() { FProc->SetAutoUndo(FWas); }
  TPXUndoPause(const TPXUndoPause&) = delete;
  TPXUndoPause& operator=(const TPXUndoPause&) = delete;

 private:
  TPixoranProc* FProc;
  bool FWas;
};
