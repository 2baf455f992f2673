// TPixoran: the image view as the application uses it, with its I/O and processing components
// made at construction.
#pragma once

#include "view/pixoranview.h"

class TPixoran : public TPixoranView {
  PX_CLASS(TPixoran)
 public:
  explicit TPixoran(TComponent* AOwner);
};

// Fills the library's start-up slots of every unit of the image library (drawing, I/O, codecs,
// processing, layers, view, the word tables of the further languages), as a program's main does before StaticInitialize.
void RegisterImageLibrary();
