// TPixoran: the image view as the application uses it, with its I/O and processing components
// made at construction.
#pragma once

#include "view/pixoranview.h"

class TPixoran : public TPixoranView {
  PX_CLASS(TPixoran)
 public:
  explicit TPixoran(TComponent* AOwner);
};
