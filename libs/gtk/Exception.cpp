#include "gtk/Exception.h"

#include "gtk/Functions.h"

namespace gtk {

Exception::Exception(GError* error) {
  if (!error) {
    setMessageF("no error");
    return;
  }
  setMessageF("%s", error->message ? error->message : "");
  if (GErrorFree freeError = g_error_free_optional())
    freeError(error);
}

} // namespace gtk
