#include "gtk/InstanceType.h"

#include "gtk/Functions.h"
#include "gtk/LoadFailed.h"

namespace gtk {

bool isInstanceOf(const void* instance, GType type) {
  if (!instance)
    return false;
  auto* typed = static_cast<GTypeInstance*>(const_cast<void*>(instance));
  if (!typed->g_class)
    return false;
  if (typed->g_class->g_type == type)
    return true;
  try {
    return g_type_check_instance_is_a(typed, type) != 0;
  } catch (const LoadFailed&) {
    return false;
  }
}

} // namespace gtk
