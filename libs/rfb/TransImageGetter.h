// The translator of an X image: presents the image's own pixels in the
// display's native layout. It adds nothing to TransPixelBuffer but its type.
#pragma once

#include "rfb/TransPixelBuffer.h"

namespace rfb {

class TransImageGetter : public TransPixelBuffer {};

} // namespace rfb
