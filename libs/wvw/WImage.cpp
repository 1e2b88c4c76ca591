#include "wvw/WImage.h"

#include "wvw/IconFile.h"
#include "wvw/WinIcoFile.h"

#include "rfb/Composite.h"

#include "plat/Exception.h"

#include <cstddef>

namespace wvw {

WImage::WImage() = default;

WImage::WImage(const char* iconName, int size) {
  setIcon(iconName, size);
}

WImage::~WImage() = default;

void WImage::resizeImage(const rfb::PixelLayout& pf, int width, int height) {
  image_.setPF(pf);
  image_.setSize(width, height);
}

void WImage::setPixels(const void* data, int stride, bool premultiplied) {
  // Row by row, so that a negative stride (bottom-up rows) works too.
  const uint8_t* row = static_cast<const uint8_t*>(data);
  ptrdiff_t step = ptrdiff_t(stride) * image_.bytesPerPixel();
  for (int y = 0; y < image_.height(); y++, row += step)
    image_.imageRect(rfb::Rect(0, y, image_.width(), y + 1), row);
  if (!premultiplied)
    rfb::compositeRectInPlace(&image_, image_.getRect(), rfb::multiplyByAlpha);
  invalidate();
}

void WImage::setRgbPixels(const void* data, int width, int height) {
  rfb::PixelLayout pf(32, 24, false, true, 255, 255, 255, 0, 8, 16);
  resizeImage(pf, width, height);
  setPixels(data, width, true);
  setSize(width, height);
}

void WImage::setIcon(const char* name, int size) {
  IconFile icon = findIcon(name);
  if (icon.size == 0)
    throw plat::ExceptionFmt("Bad icon name '%s'", name ? name : "");
  zav::WinIcoFile file(icon.data, icon.size);
  int stride = 0;
  const uint8_t* rows = file.getImageRows(size, size, 32, &stride);
  resizeImage(zav::WinIcoFile::pixelLayout(), size, size);
  setPixels(rows, stride / 4, false);
  setSize(size, size);
}

std::unique_ptr<WImage> WImage::greyscaleCopy() {
  auto copy = std::make_unique<WImage>();
  copy->resizeImage(image_.getPF(), image_.width(), image_.height());
  rfb::compositeRect(&image_, rfb::Point(0, 0), &copy->image_, copy->image_.getRect(),
                     rfb::greyscale);
  return copy;
}

void WImage::draw(rfb::WritablePixelBuffer* pb) {
  rfb::Point at((width() - image_.width()) / 2, (height() - image_.height()) / 2);
  rfb::compositeRect(&image_, rfb::Point(0, 0), pb,
                     rfb::Rect::at(at, image_.width(), image_.height()), rfb::compositeOver);
}

void WImage::getPreferredSize(int* width, int* height) {
  *width = image_.width();
  *height = image_.height();
}

bool WImage::onEnabledChange(Widget* source) {
  if (source == this)
    invalidate();
  return Widget::onEnabledChange(source);
}

} // namespace wvw
