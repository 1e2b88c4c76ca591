// The receiver of a parsed user list "name[:letters],...", and the parser
// itself. The parser owns nothing it hands out: names are valid only during
// the call to entry().
#pragma once

#include "zav/Access.h"

namespace zav {
namespace Access {

class ParseCallback {
public:
  virtual ~ParseCallback() = default;
  // Called for every piece of the list, empty pieces included, in list
  // order. The parser ignores the result.
  virtual bool entry(const char* name, Rights& rights) = 0;
  // What parseList() returns once the list is done.
  virtual Rights result() { return NoAccess; }
};

// Splits list at "," and each piece at its first ":" into a name and rights:
// letters after the colon apply to NoAccess, a name alone gives Default, an
// empty piece gives an empty name with NoAccess. Nothing is trimmed. Returns
// callback.result(); an unknown letter throws Rights::BadAccessException
// unless ignoreErrors, leaving the pieces already passed to the callback.
Rights parseList(const char* list, ParseCallback& callback, bool ignoreErrors);

} // namespace Access
} // namespace zav
