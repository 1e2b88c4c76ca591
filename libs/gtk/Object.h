// Owns one reference to a GObject of the desktop toolkit (null when empty).
// Taking an object that still has a floating reference sinks it; any other
// object is taken over with the reference its creator handed out, so that
// every object taken is released exactly once. Releasing an empty holder
// makes no library call.
#pragma once

#include "gtk/Types.h"

namespace gtk {

class Object {
public:
  Object() = default;
  explicit Object(void* object) { take(object); }
  ~Object() { release(); }
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  Object(Object&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  Object& operator=(Object&& other) noexcept;

  void* get() const { return object_; }
  bool empty() const { return object_ == nullptr; }

  // Releases the held object, then takes the given one.
  void reset(void* object = nullptr);
  // Drops the held reference.
  void release();

  // The icon names of the held GThemedIcon.
  const gchar* const* themedIconNames() const;

private:
  void take(void* object);

  void* object_ = nullptr;
};

} // namespace gtk
