// The program's main block.
#pragma once

#include <functional>

// Starts the libraries, creates the main window FrmQuillane, runs the message loop until the
// window closes and tears everything down again; answers the exit code. Started (when given)
// runs once the window exists, before the loop starts (the screenshot test drives the window
// from there).
int QuillaneMain(const std::function<void()>& Started = {});
