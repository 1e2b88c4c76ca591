// A full-frame pixel buffer that owns its pixel memory (one block, stride =
// width) and, when told so, its colour map. Memory grows to the size needed
// and is kept when the buffer shrinks. Byte sizes are computed in size_t and
// a size that does not fit throws plat::Exception.
#pragma once

#include "rfb/FullFramePixelBuffer.h"

#include <cstddef>

namespace rfb {

class ManagedPixelBuffer : public FullFramePixelBuffer {
public:
  ManagedPixelBuffer();
  ManagedPixelBuffer(const PixelLayout& pf, int width, int height, ColourMap* cm = nullptr);
  ManagedPixelBuffer(const PixelLayout& pf, const Rect& r, ColourMap* cm = nullptr);
  ~ManagedPixelBuffer() override;
  ManagedPixelBuffer(const ManagedPixelBuffer&) = delete;
  ManagedPixelBuffer& operator=(const ManagedPixelBuffer&) = delete;

  // Takes the layout and reallocates for its size; pixels are not converted.
  void setPF(const PixelLayout& pf);
  // With keep-contents set, the overlapping old pixels stay and the rest is
  // zeroed; otherwise the contents are unspecified.
  void setSize(int width, int height);
  void setKeepContents(bool keep) { keepContents_ = keep; }
  // Deletes a previously owned map (unless it is the new one) first.
  void setColourMap(ColourMap* cm, bool owned);
  // Hands the buffer memory allocated with new[], which it then owns; the
  // capacity must hold the buffer's size.
  void setData(uint8_t* memory, size_t capacityBytes);
  void setData(uint8_t* memory, size_t capacityBytes, const Rect& r);
  // Gives up the memory (the caller delete[]s it); the buffer is left 0 x 0.
  uint8_t* detachData();

  // width x height x bpp / 8.
  size_t sizeBytes() const;
  size_t capacity() const { return capacity_; }

private:
  void allocate();

  size_t capacity_;
  bool ownColourMap_;
  bool keepContents_;
};

} // namespace rfb
