// The compositing engine: a rectangle of a source pixel buffer is combined
// pixel by pixel with a rectangle of a destination buffer by a colour
// operation, across any pair of pixel layouts, with colours passed as
// ColourWithAlpha. Also the copy of raw pixels through a one-bit mask.
// Nothing here owns anything; buffers and colour maps belong to the callers.
#pragma once

#include "rfb/ColourMap.h"
#include "rfb/ColourWithAlpha.h"
#include "rfb/PixelLayout.h"
#include "rfb/Rect.h"

#include <cstdint>

namespace rfb {

class PixelBuffer;
class WritablePixelBuffer;

// Combines a source colour into a destination colour. The engine recognises
// srcCopy and compositeOver by identity.
using ColourOp = void (*)(const ColourWithAlpha& src, ColourWithAlpha* dest);

// dest = src, all four channels.
void srcCopy(const ColourWithAlpha& src, ColourWithAlpha* dest);
// dest's red, green and blue become the luma of src (weights summing to
// 65536); dest's alpha becomes src's.
void greyscale(const ColourWithAlpha& src, ColourWithAlpha* dest);
// Source over destination for premultiplied colours, each of the four
// channels rounded: ((255 - src alpha) x dest + 127) / 255 + src.
void compositeOver(const ColourWithAlpha& src, ColourWithAlpha* dest);
// dest's red, green and blue become src's multiplied by src's alpha
// (rounded); dest's alpha is not written.
void multiplyByAlpha(const ColourWithAlpha& src, ColourWithAlpha* dest);
// The inverse: src's channels divided by its alpha (rounded), 0 when the
// alpha is 0; dest's alpha is not written.
void divideByAlpha(const ColourWithAlpha& src, ColourWithAlpha* dest);

// The colour of a raw pixel value (as read from memory) of a layout: 8-bit
// channels scaled from the layout's maxima, alpha 255 without an alpha
// channel. A colour-mapped layout asks the map (red, green and blue are left
// as they were without one).
void pixelToColourWithAlpha(const PixelLayout& pf, uint32_t pixel, ColourMap* cm,
                            ColourWithAlpha* colour);
// The raw pixel value (as stored in memory) of a colour in a layout; no
// alpha bits without an alpha channel. Channels are not clamped.
uint32_t colourWithAlphaToPixel(const PixelLayout& pf, const ColourWithAlpha& colour,
                                ColourMap* cm);

// Combines src into each pixel of destRect in dest, clipped to dest. The
// source pixel for destination pixel p is srcPoint + p - destRect's
// top-left; the source area is not clipped: the caller keeps it inside src.
// Copies between equal layouts (and compositeOver of a source without alpha)
// copy raw rows.
void compositeRect(PixelBuffer* src, const Point& srcPoint, WritablePixelBuffer* dest,
                   const Rect& destRect, ColourOp op);
// Combines each pixel of r in pb with itself (for multiplyByAlpha and the
// like).
void compositeRectInPlace(WritablePixelBuffer* pb, const Rect& r, ColourOp op);

// Copies raw pixels (already in dest's layout) into r where the mask bit is
// 1. pixelStride is in pixels (0: r's width), maskStride in bytes (0: (r's
// width + 7) / 8); the mask's rows start maskBitOffset bits in, most
// significant bit first. Both are addressed as for the unclipped rectangle.
void maskedImageRect(WritablePixelBuffer* dest, const Rect& r, const void* pixels, const void* mask,
                     int pixelStride = 0, int maskStride = 0, int maskBitOffset = 0);

} // namespace rfb
