// Presents a source pixel buffer in another pixel layout: getImage writes a
// rectangle of the source translated into the output layout. Colour-mapped
// output takes its pixels from a colour cube (the nearest entry of each
// colour). Source pixels of 8 and 16 bits go through a table built when the
// source, the layouts or the colour maps change; wider pixels are translated
// one by one. The source and the cube are not owned.
#pragma once

#include "rfb/ColourMap.h"
#include "rfb/ImageGetter.h"
#include "rfb/PixelBuffer.h"
#include "rfb/PixelLayout.h"

#include <cstdint>
#include <vector>

namespace rfb {

class TransPixelBuffer : public ImageGetter {
public:
  TransPixelBuffer();
  ~TransPixelBuffer() override;

  void setSource(PixelBuffer* source);
  // The output layout.
  void setPF(const PixelLayout& pf);
  // The cube that colour-mapped output is taken from; null: the source's
  // colour-map indices are written unchanged.
  void setColourCube(ColourMap* cube);
  // The source's colour map changed from entry first on (count 0: all).
  void setColourMapEntries(int first, int count);

  // Writes the source's rectangle (inside the source) into dest, whose rows
  // are destStride output pixels apart (0: the rectangle's width).
  void getImage(void* dest, const Rect& r, int destStride = 0) override;

  PixelBuffer* getSource() const { return source_; }
  const PixelLayout& getPF() const { return outPF_; }

private:
  void rebuild();
  uint32_t translate(uint32_t pixel);
  Colour toColour(uint32_t pixel);
  uint32_t fromColour(const Colour& c);

  PixelBuffer* source_;
  PixelLayout outPF_;
  ColourMap* cube_;
  // Output pixel of every source pixel value (8 and 16-bit sources).
  std::vector<uint32_t> table_;
};

} // namespace rfb
