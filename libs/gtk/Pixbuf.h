// A gtk::Object holding a GdkPixbuf, made from pixel data, an icon of the
// theme or an image file, with the pixbuf's property getters.
#pragma once

#include "gtk/Object.h"

namespace gtk {

class IconInfo;

class Pixbuf : public Object {
public:
  Pixbuf() = default;
  explicit Pixbuf(GdkPixbuf* pixbuf) : Object(pixbuf) {}

  // A pixbuf over caller-owned RGB data, 8 bits per sample, rows of width
  // times 4 bytes with alpha or 3 without. The data is not copied and must
  // outlive the pixbuf.
  static Pixbuf fromData(const guchar* data, bool hasAlpha, int width, int height);
  // The icon of the given information; empty when it cannot be loaded.
  static Pixbuf loadIcon(const IconInfo& info);
  // An image file; throws gtk::Exception with the library's message.
  static Pixbuf fromFile(const char* fileName);

  GdkPixbuf* pixbuf() const { return static_cast<GdkPixbuf*>(get()); }
  guchar* getPixels() const;
  int getWidth() const;
  int getHeight() const;
  int getRowstride() const;
  int getNChannels() const;
  int getBitsPerSample() const;
  bool hasAlpha() const;
};

} // namespace gtk
