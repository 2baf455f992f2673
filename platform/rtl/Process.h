// Running another program: posix_spawn with an argument vector (never a shell), its standard
// input fed from memory or inherited, its output collected, within a time limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TRunOptions {
  std::string Folder;                 // the working folder; empty: the current one
  std::optional<std::string> Input;   // written to standard input, then closed; none: inherited
  bool MergeErrors = false;           // error output joins the output; otherwise it is discarded
  uint32_t TimeoutMs = 60000;         // a program still running then is killed
  size_t MaxOutput = SIZE_MAX;        // a program writing more is killed
};

struct TRunResult {
  bool Started = false;
  bool Exited = false;  // it ended by itself, ExitCode holding its status (not by a signal)
  int ExitCode = -1;
  bool Killed = false;  // killed for the time limit or for writing too much
  std::string Output;   // what it wrote, also when it was killed
};

// Runs Program (looked up on the PATH when it has no "/") with Args as its arguments. Descriptors
// of the caller other than the standard ones are not passed on. Never raises.
TRunResult RunProgram(const std::string& Program, const std::vector<std::string>& Args,
                      const TRunOptions& Options = {});
