// A text with its environment variables expanded: $NAME (letters and '_')
// and ${NAME}. Names are looked up in an optional map first, then in the
// environment; an unknown name throws plat::Exception
// "unknown environment variable: <name>". A '$' not followed by a name stays.
#pragma once

#include "plat/DString.h"

#include <map>
#include <string>

namespace plat {

class EnvExpandedString : public DString {
public:
  using Variables = std::map<std::string, std::string>;
  explicit EnvExpandedString(const char* text, const Variables* variables = nullptr);
};

} // namespace plat
