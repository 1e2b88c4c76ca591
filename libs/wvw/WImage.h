// A widget that shows a picture with an alpha channel, composited over
// whatever its parent painted behind it and centred in the widget. The
// picture is filled from the caller's pixels or from a named icon of the
// icon registry; the widget owns its copy, held premultiplied.
#pragma once

#include "wvw/Widget.h"

#include "rfb/ManagedPixelBuffer.h"

#include <memory>

namespace wvw {

class WImage : public Widget {
public:
  WImage();
  // An image of a registered icon at size x size pixels; throws as setIcon.
  WImage(const char* iconName, int size);
  ~WImage() override;

  // The image takes the layout and size; pixels are not converted.
  void resizeImage(const rfb::PixelLayout& pf, int width, int height);
  // Copies the whole image from data (in the image's layout), rows stride
  // pixels apart (negative: bottom-up); unless premultiplied, each pixel is
  // then multiplied by its alpha.
  void setPixels(const void* data, int stride, bool premultiplied);
  // Sizes the image and the widget to width x height and copies in data:
  // premultiplied 32-bit pixels, bytes red, green, blue (as a little-endian
  // true-colour layout of depth 24), rows width pixels apart.
  void setRgbPixels(const void* data, int width, int height);
  // Loads the registered icon's 32-bit image of size x size pixels and sizes
  // the widget to it. Throws plat::Exception "Bad icon name '%s'" for a name
  // not registered, and the icon reader's errors for a damaged file or a
  // missing size; the image and the widget are then left as they were.
  void setIcon(const char* name, int size);
  // A new image widget of the same layout and size with the pixels greyed
  // (alpha kept). The caller owns it.
  std::unique_ptr<WImage> greyscaleCopy();

  // The premultiplied pixels.
  rfb::ManagedPixelBuffer& image() { return image_; }

  void draw(rfb::WritablePixelBuffer* pb) override;
  void getPreferredSize(int* width, int* height) override;
  bool acceptsFocus() override { return false; }
  bool onEnabledChange(Widget* source) override;

private:
  rfb::ManagedPixelBuffer image_;
};

} // namespace wvw
