// The type test of GObject instances, answering false where the type library
// cannot be bound.
#pragma once

#include "gtk/Types.h"

namespace gtk {

// False for a null instance or one without class; true when the instance's
// own class has exactly that type; otherwise whether it derives from it.
bool isInstanceOf(const void* instance, GType type);

} // namespace gtk
