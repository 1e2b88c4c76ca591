// The translating buffer under the name the X11 host toolkit uses for the
// getter of each X image: one table for 16-bit input.
#pragma once

#include "rfb/TransPixelBuffer.h"

namespace rfb {

class TransImageGetter : public TransPixelBuffer {
public:
  TransImageGetter() : TransPixelBuffer(false) {}
};

} // namespace rfb
