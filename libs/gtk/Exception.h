// A failure reported by the desktop toolkit libraries through an error record.
// The message is the record's text (cut to 255 characters), or "no error"
// when there is none. The exception owns the record only while it is being
// built: the constructor frees it when the library's free function is there.
#pragma once

#include "gtk/Types.h"
#include "plat/Exception.h"

namespace gtk {

class Exception : public plat::Exception {
public:
  explicit Exception(GError* error);
};

} // namespace gtk
