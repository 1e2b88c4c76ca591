// Presents a source pixel buffer in another pixel layout: reading a
// rectangle yields the source's pixels converted into this buffer's own
// layout. Lookup tables are built once whenever the source's layout, the
// output layout, the colour cube or the colour map changes; each pixel then
// costs one to three table lookups. The source and a cube given by the owner
// are not owned; the tables, the cube made for colour-mapped output and the
// scratch buffer behind getData are.
#pragma once

#include "rfb/ColourCube.h"
#include "rfb/ColourMapReceiver.h"
#include "rfb/ManagedPixelBuffer.h"
#include "rfb/PixelBuffer.h"

#include <cstdint>
#include <memory>

namespace rfb {

class TransPixelBuffer : public PixelBuffer {
public:
  // Converts height rows of width pixels; strides are in pixels.
  using TransFn = void (*)(const uint8_t* tables, const PixelLayout& inPF, const uint8_t* in,
                           int inStride, const PixelLayout& outPF, uint8_t* out, int outStride,
                           int width, int height);

  // preferThreeTables: 16-bit true-colour input uses three channel tables
  // instead of one table of 65536 entries.
  explicit TransPixelBuffer(bool preferThreeTables = false);
  ~TransPixelBuffer() override;
  TransPixelBuffer(const TransPixelBuffer&) = delete;
  TransPixelBuffer& operator=(const TransPixelBuffer&) = delete;

  // Takes over the source's size and origin (a null source: size 0) and
  // rebuilds the translation when its layout differs from the last one.
  void setSource(PixelBuffer* source);
  // The output layout; rebuilds when it changes and a source is set.
  void setPF(const PixelLayout& pf);
  // The colour map of a colour-mapped output (null: made here or the
  // source's); rebuilds when a source is set.
  void setColourCube(ColourMap* cube);
  // The colour map changed: rebuilds where the tables depend on it, and for
  // colour-mapped output tells the receiver (if any) which entries of the
  // output map to send (count 0: from first to the end of the map).
  void setColourMapEntries(int first, int count, ColourMapReceiver* receiver);
  // A true-colour layout whose channel precision limits every translated
  // colour from the next rebuild on; colour-mapped layouts are ignored.
  void setLimitPF(const PixelLayout& limit);

  // The rectangle (inside the source) translated into dest.
  void getImage(void* dest, const Rect& r, int destStride = 0) override;
  // The output colour map: the owner's cube, else the one made here, else
  // the source's.
  ColourMap* getColourMap() const override;
  // The rectangle translated into a scratch buffer (the source's own pixels
  // when no translation is needed); valid until the next call or a change of
  // layout.
  const uint8_t* getData(const Rect& r, int* stride) override;

  // Whether reading converts pixels (false: the source's pixels are used
  // as they are).
  bool translates() const { return translateFn_ != nullptr; }
  // The number of table entries built for the current translation.
  int tableEntries() const { return tableEntries_; }

private:
  void initTranslation();
  void buildTranslation();
  void makeOwnCube();

  bool preferThreeTables_;
  PixelBuffer* source_;
  PixelLayout sourceLayout_;
  std::unique_ptr<uint8_t[]> table_;
  int tableEntries_;
  TransFn translateFn_;
  std::unique_ptr<ColourCube> ownCube_;
  ColourMap* cube_;
  std::unique_ptr<ManagedPixelBuffer> scratch_;
  std::unique_ptr<PixelLayout> limitPF_;
  bool ready_;
};

} // namespace rfb
