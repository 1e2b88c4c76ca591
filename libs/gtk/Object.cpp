#include "gtk/Object.h"

#include "gtk/Functions.h"
#include "gtk/LoadFailed.h"

namespace gtk {

Object& Object::operator=(Object&& other) noexcept {
  if (this != &other) {
    release();
    object_ = other.object_;
    other.object_ = nullptr;
  }
  return *this;
}

void Object::reset(void* object) {
  release();
  take(object);
}

void Object::release() {
  if (!object_)
    return;
  void* object = object_;
  object_ = nullptr;
  // Objects of GIO can be had where GTK, through which the release is bound,
  // cannot be loaded: such an object cannot be released, and a holder that
  // goes must not throw.
  try {
    g_object_unref(object);
  } catch (const LoadFailed&) {
  }
}

void Object::take(void* object) {
  if (!object)
    return;
  // A floating reference (new widgets and menus) becomes ours by sinking it;
  // the objects of other kinds (pixbufs, icon themes, icons) come with a
  // full reference already ours: adding one there would never be dropped.
  if (g_object_is_floating(object))
    g_object_ref_sink(object);
  object_ = object;
}

const gchar* const* Object::themedIconNames() const {
  return g_themed_icon_get_names(static_cast<GThemedIcon*>(object_));
}

} // namespace gtk
