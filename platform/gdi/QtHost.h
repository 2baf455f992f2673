// The process's Qt application object, which fonts and text need.
#pragma once

// Makes sure a Qt application object exists, creating a QGuiApplication when none does. Without a
// display (no DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM) the offscreen platform is chosen. Qt
// allows the object only on the main thread: a first call from another thread creates nothing and
// returns false. A program that needs a full widget application creates its own before any text is
// drawn; this then finds it and does nothing.
bool EnsureGuiApplication();
