#include "gtk/LoadFailed.h"

namespace gtk {

LoadFailed::LoadFailed(const char* symbolText) {
  setMessageF("failed to load %s", symbolText ? symbolText : "");
}

} // namespace gtk
