#include "gtk/Pixbuf.h"

#include "gtk/Exception.h"
#include "gtk/Functions.h"
#include "gtk/IconInfo.h"

namespace gtk {

Pixbuf Pixbuf::fromData(const guchar* data, bool hasAlpha, int width, int height) {
  int rowstride = width * (hasAlpha ? 4 : 3);
  return Pixbuf(gdk_pixbuf_new_from_data(data, GDK_COLORSPACE_RGB, hasAlpha ? 1 : 0, 8, width,
                                         height, rowstride, nullptr, nullptr));
}

Pixbuf Pixbuf::loadIcon(const IconInfo& info) {
  return Pixbuf(gtk_icon_info_load_icon(info.get(), nullptr));
}

Pixbuf Pixbuf::fromFile(const char* fileName) {
  GError* error = nullptr;
  GdkPixbuf* pixbuf = gdk_pixbuf_new_from_file(fileName, &error);
  if (!pixbuf)
    throw Exception(error);
  return Pixbuf(pixbuf);
}

guchar* Pixbuf::getPixels() const {
  return gdk_pixbuf_get_pixels(pixbuf());
}
int Pixbuf::getWidth() const {
  return gdk_pixbuf_get_width(pixbuf());
}
int Pixbuf::getHeight() const {
  return gdk_pixbuf_get_height(pixbuf());
}
int Pixbuf::getRowstride() const {
  return gdk_pixbuf_get_rowstride(pixbuf());
}
int Pixbuf::getNChannels() const {
  return gdk_pixbuf_get_n_channels(pixbuf());
}
int Pixbuf::getBitsPerSample() const {
  return gdk_pixbuf_get_bits_per_sample(pixbuf());
}
bool Pixbuf::hasAlpha() const {
  return gdk_pixbuf_get_has_alpha(pixbuf()) != 0;
}

} // namespace gtk
