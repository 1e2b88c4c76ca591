// Sanitizer builds only: the file-transfer window starts the desktop
// toolkit's type system, whose tables live until the process ends; the
// leak checker is told so, and the libraries stay mapped so that it can
// name them.
#include "GtkLibraries.h"
