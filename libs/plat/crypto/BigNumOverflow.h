// A big number that does not fit the field it is written to or read from.
#pragma once

#include "plat/Exception.h"

namespace crypto {

class BigNumOverflow : public plat::Exception {
public:
  explicit BigNumOverflow(const char* text) : plat::Exception(text) {}
};

} // namespace crypto
