#include "rfb/ManagedPixelBuffer.h"

#include "plat/Assert.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

static plat::LogWriter vlog("ManagedPixelBuffer");

namespace rfb {

ManagedPixelBuffer::ManagedPixelBuffer()
    : capacity_(0), ownColourMap_(false), keepContents_(false) {
  allocate();
}

ManagedPixelBuffer::ManagedPixelBuffer(const PixelLayout& pf, int width, int height, ColourMap* cm)
    : FullFramePixelBuffer(pf, width, height, cm), capacity_(0), ownColourMap_(false),
      keepContents_(false) {
  allocate();
}

ManagedPixelBuffer::ManagedPixelBuffer(const PixelLayout& pf, const Rect& r, ColourMap* cm)
    : FullFramePixelBuffer(pf, r, cm), capacity_(0), ownColourMap_(false), keepContents_(false) {
  allocate();
}

ManagedPixelBuffer::~ManagedPixelBuffer() {
  delete[] data_;
  if (ownColourMap_)
    delete colourMap_;
}

size_t ManagedPixelBuffer::sizeBytes() const {
  if (width_ < 0 || height_ < 0)
    throw plat::ExceptionFmt("invalid pixel buffer size %d x %d", width_, height_);
  size_t pixels, bytes;
  if (__builtin_mul_overflow(size_t(width_), size_t(height_), &pixels) ||
      __builtin_mul_overflow(pixels, size_t(format_.bpp / 8), &bytes))
    throw plat::ExceptionFmt("pixel buffer of %d x %d at %d bpp is too large", width_, height_,
                             format_.bpp);
  return bytes;
}

void ManagedPixelBuffer::allocate() {
  size_t size = sizeBytes();
  // Pixels are addressed with ptrdiff_t offsets from the data pointer.
  if (size > size_t(PTRDIFF_MAX))
    throw plat::ExceptionFmt("pixel buffer of %d x %d at %d bpp is too large", width_, height_,
                             format_.bpp);
  stride_ = width_;
  if (size == 0) {
    delete[] data_;
    data_ = nullptr;
    capacity_ = 0;
    return;
  }
  if (size <= capacity_)
    return;
  uint8_t* memory = new uint8_t[size];
  delete[] data_;
  data_ = memory;
  capacity_ = size;
}

// A layout or size that cannot be allocated leaves the buffer as it was, so
// that its rectangle never describes more than the memory it holds.
void ManagedPixelBuffer::setPF(const PixelLayout& pf) {
  PixelLayout old = format_;
  format_ = pf;
  try {
    allocate();
  } catch (...) {
    format_ = old;
    throw;
  }
}

void ManagedPixelBuffer::setSize(int width, int height) {
  if (width == width_ && height == height_)
    return;
  if (width < 0 || height < 0)
    throw plat::ExceptionFmt("invalid pixel buffer size %d x %d", width, height);
  int oldWidth = width_, oldHeight = height_;
  if (!keepContents_) {
    width_ = width;
    height_ = height;
    try {
      allocate();
    } catch (...) {
      width_ = stride_ = oldWidth;
      height_ = oldHeight;
      throw;
    }
    return;
  }
  Rect oldRect = getRect();
  uint8_t* old = data_;
  size_t oldCapacity = capacity_;
  data_ = nullptr;
  capacity_ = 0;
  width_ = width;
  height_ = height;
  try {
    allocate();
  } catch (...) {
    data_ = old;
    capacity_ = oldCapacity;
    width_ = stride_ = oldWidth;
    height_ = oldHeight;
    throw;
  }
  try {
    if (data_)
      memset(data_, 0, sizeBytes());
    if (old)
      imageRect(oldRect, old, oldWidth);
  } catch (...) {
    delete[] old;
    throw;
  }
  delete[] old;
}

void ManagedPixelBuffer::setColourMap(ColourMap* cm, bool owned) {
  if (ownColourMap_ && colourMap_ != cm)
    delete colourMap_;
  colourMap_ = cm;
  ownColourMap_ = owned;
}

void ManagedPixelBuffer::setData(uint8_t* memory, size_t capacityBytes) {
  if (memory != data_)
    delete[] data_;
  data_ = memory;
  capacity_ = capacityBytes;
  stride_ = width_;
  PLAT_ASSERT(capacity_ >= sizeBytes());
}

void ManagedPixelBuffer::setData(uint8_t* memory, size_t capacityBytes, const Rect& r) {
  origin_ = r.tl;
  width_ = r.width();
  height_ = r.height();
  setData(memory, capacityBytes);
}

uint8_t* ManagedPixelBuffer::detachData() {
  uint8_t* memory = data_;
  data_ = nullptr;
  width_ = height_ = stride_ = 0;
  capacity_ = 0;
  return memory;
}

} // namespace rfb
