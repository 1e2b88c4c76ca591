#include "rfb/Composite.h"

#include "rfb/PixelAccess.h"
#include "rfb/WritablePixelBuffer.h"

#include "plat/LogWriter.h"

#include <cstddef>
#include <cstring>

#ifdef __SSE2__
#include <immintrin.h>
#endif

static plat::LogWriter vlog("Composite");

namespace rfb {

// All divisions below are int divisions that truncate, as the operations are
// defined; nothing clamps, since callers pass premultiplied colours.

void srcCopy(const ColourWithAlpha& s, ColourWithAlpha* d) {
  *d = s;
}

void greyscale(const ColourWithAlpha& s, ColourWithAlpha* d) {
  int y = (19661 * s.red + 38666 * s.green + 7209 * s.blue) >> 16;
  d->red = d->green = d->blue = y;
  d->alpha = s.alpha;
}

void compositeOver(const ColourWithAlpha& s, ColourWithAlpha* d) {
  int inv = 255 - s.alpha;
  d->red = (inv * d->red + 127) / 255 + s.red;
  d->green = (inv * d->green + 127) / 255 + s.green;
  d->blue = (inv * d->blue + 127) / 255 + s.blue;
  d->alpha = (inv * d->alpha + 127) / 255 + s.alpha;
}

void multiplyByAlpha(const ColourWithAlpha& s, ColourWithAlpha* d) {
  d->red = (s.alpha * s.red + 127) / 255;
  d->green = (s.alpha * s.green + 127) / 255;
  d->blue = (s.alpha * s.blue + 127) / 255;
}

void divideByAlpha(const ColourWithAlpha& s, ColourWithAlpha* d) {
  if (s.alpha == 0) {
    d->red = d->green = d->blue = 0;
    return;
  }
  d->red = (s.alpha / 2 + 255 * s.red) / s.alpha;
  d->green = (s.alpha / 2 + 255 * s.green) / s.alpha;
  d->blue = (s.alpha / 2 + 255 * s.blue) / s.alpha;
}

static inline int scaleTo255(int c, int max) {
  return max == 0 ? 0 : (max / 2 + c * 255) / max;
}

void pixelToColourWithAlpha(const PixelLayout& pf, uint32_t v, ColourMap* cm, ColourWithAlpha* c) {
  v = swapForLayout(v, pf.bpp, pf.bigEndian);
  if (!pf.trueColour) {
    if (cm) {
      Colour rgb(c->red, c->green, c->blue);
      cm->lookup(int(v), &rgb);
      c->red = rgb.r;
      c->green = rgb.g;
      c->blue = rgb.b;
    }
    c->alpha = 255;
    return;
  }
  c->red = int((v >> pf.redShift) & pf.redMax);
  c->green = int((v >> pf.greenShift) & pf.greenMax);
  c->blue = int((v >> pf.blueShift) & pf.blueMax);
  if (pf.redMax != 255 || pf.greenMax != 255 || pf.blueMax != 255) {
    c->red = scaleTo255(c->red, pf.redMax);
    c->green = scaleTo255(c->green, pf.greenMax);
    c->blue = scaleTo255(c->blue, pf.blueMax);
  }
  int a = int((v >> pf.alphaShift) & pf.alphaMax);
  if (pf.alphaMax == 255)
    c->alpha = a;
  else if (pf.alphaMax == 0)
    c->alpha = 255;
  else
    c->alpha = (pf.alphaMax / 2 + a * 255) / pf.alphaMax;
}

uint32_t colourWithAlphaToPixel(const PixelLayout& pf, const ColourWithAlpha& c, ColourMap* cm) {
  uint32_t v;
  if (pf.trueColour) {
    int r = c.red, g = c.green, b = c.blue, a = c.alpha;
    if (pf.redMax != 255 || pf.greenMax != 255 || pf.blueMax != 255) {
      r = (pf.redMax * r + 127) / 255;
      g = (pf.greenMax * g + 127) / 255;
      b = (pf.blueMax * b + 127) / 255;
    }
    if (pf.alphaMax != 255)
      a = (pf.alphaMax * a + 127) / 255;
    v = uint32_t(r) << pf.redShift | uint32_t(g) << pf.greenShift | uint32_t(b) << pf.blueShift |
        uint32_t(a) << pf.alphaShift;
  } else {
    v = cm ? uint32_t(cm->lookupRGB(Colour(c.red, c.green, c.blue))) : 0;
  }
  return swapForLayout(v, pf.bpp, pf.bigEndian);
}

namespace {

// One combining pass over a clipped rectangle: pointers at the first pixels,
// strides in pixels.
struct Pass {
  const uint8_t* src;
  int srcStride;
  uint8_t* dest;
  int destStride;
  int width;
  int height;
  const PixelLayout* srcPF;
  const PixelLayout* destPF;
  ColourMap* srcCM;
  ColourMap* destCM;
  ColourOp op;
};

template <int DestBpp, int SrcBpp> void combine(const Pass& p) {
  const int sBytes = SrcBpp / 8, dBytes = DestBpp / 8;
  const uint8_t* s = p.src;
  uint8_t* d = p.dest;
  for (int y = 0; y < p.height; y++) {
    for (int x = 0; x < p.width; x++) {
      ColourWithAlpha sc, dc;
      pixelToColourWithAlpha(*p.srcPF, readPixelAt<SrcBpp>(s), p.srcCM, &sc);
      pixelToColourWithAlpha(*p.destPF, readPixelAt<DestBpp>(d), p.destCM, &dc);
      p.op(sc, &dc);
      writePixelAt<DestBpp>(d, colourWithAlphaToPixel(*p.destPF, dc, p.destCM));
      s += sBytes;
      d += dBytes;
    }
    s += ptrdiff_t(p.srcStride - p.width) * sBytes;
    d += ptrdiff_t(p.destStride - p.width) * dBytes;
  }
}

template <int DestBpp> void combineFrom(const Pass& p) {
  switch (p.srcPF->bpp) {
  case 8:
    combine<DestBpp, 8>(p);
    break;
  case 16:
    combine<DestBpp, 16>(p);
    break;
  case 24:
    combine<DestBpp, 24>(p);
    break;
  case 32:
    combine<DestBpp, 32>(p);
    break;
  }
}

void combineAny(const Pass& p) {
  switch (p.destPF->bpp) {
  case 8:
    combineFrom<8>(p);
    break;
  case 16:
    combineFrom<16>(p);
    break;
  case 24:
    combineFrom<24>(p);
    break;
  case 32:
    combineFrom<32>(p);
    break;
  }
}

// Source-over between 32-bit layouts whose channels are whole bytes in the
// same places: every byte lane follows the same rule, so four pixels are
// combined at once. The destination's alpha lane reads as 255 when it has no
// alpha channel (fill) and is then stored as 0 (keep).
struct OverLanes {
  int alphaLane;
  uint32_t fill;
  uint32_t keep;
};

bool byteChannel(int max, int shift) {
  return max == 255 && shift % 8 == 0 && shift <= 24;
}

bool overLanes(const PixelLayout& s, const PixelLayout& d, OverLanes* lanes) {
  if (s.bpp != 32 || d.bpp != 32 || !s.trueColour || !d.trueColour || !s.isNativeEndian() ||
      !d.isNativeEndian())
    return false;
  if (!byteChannel(s.redMax, s.redShift) || !byteChannel(s.greenMax, s.greenShift) ||
      !byteChannel(s.blueMax, s.blueShift) || !byteChannel(s.alphaMax, s.alphaShift))
    return false;
  int used =
      1 << s.redShift / 8 | 1 << s.greenShift / 8 | 1 << s.blueShift / 8 | 1 << s.alphaShift / 8;
  if (used != 15)
    return false;
  if (d.redMax != 255 || d.greenMax != 255 || d.blueMax != 255 || d.redShift != s.redShift ||
      d.greenShift != s.greenShift || d.blueShift != s.blueShift)
    return false;
  uint32_t alphaBits = 0xffu << s.alphaShift;
  if (d.alphaMax == 255 && d.alphaShift == s.alphaShift) {
    lanes->fill = 0;
    lanes->keep = ~0u;
  } else if (d.alphaMax == 0) {
    lanes->fill = alphaBits;
    lanes->keep = ~alphaBits;
  } else {
    return false;
  }
  lanes->alphaLane = s.alphaShift / 8;
  return true;
}

inline uint32_t overPixel(uint32_t s, uint32_t d, int alphaShift) {
  uint32_t inv = 255 - ((s >> alphaShift) & 255);
  uint32_t out = 0;
  for (int k = 0; k < 32; k += 8) {
    uint32_t t = ((d >> k) & 255) * inv + 128;
    t = (t + (t >> 8)) >> 8;
    out |= (t + ((s >> k) & 255)) << k;
  }
  return out;
}

#ifdef __SSE2__
template <int Lane> inline __m128i alphaOf(__m128i s16) {
  __m128i a = _mm_shufflelo_epi16(s16, _MM_SHUFFLE(Lane, Lane, Lane, Lane));
  return _mm_shufflehi_epi16(a, _MM_SHUFFLE(Lane, Lane, Lane, Lane));
}

// t = (255 - a) x d + 128, then the rounding division by 255 as
// t x 257 >> 16 (equal to (x + 127) / 255 for every x up to 255 x 255),
// plus s.
inline __m128i over16(__m128i s16, __m128i d16, __m128i a16) {
  const __m128i ff = _mm_set1_epi16(0xff);
  __m128i t = _mm_add_epi16(_mm_mullo_epi16(d16, _mm_xor_si128(a16, ff)), _mm_set1_epi16(0x80));
  return _mm_add_epi16(_mm_mulhi_epu16(t, _mm_set1_epi16(0x0101)), s16);
}

template <int Lane> void overRows(const Pass& p, const OverLanes& l) {
  const __m128i zero = _mm_setzero_si128();
  const __m128i fill = _mm_set1_epi32(int(l.fill));
  const __m128i keep = _mm_set1_epi32(int(l.keep));
  const __m128i alphaMask = _mm_set1_epi32(int(0xffu << (Lane * 8)));
  for (int y = 0; y < p.height; y++) {
    const uint8_t* s = p.src + ptrdiff_t(y) * p.srcStride * 4;
    uint8_t* d = p.dest + ptrdiff_t(y) * p.destStride * 4;
    int x = 0;
    for (; x + 4 <= p.width; x += 4, s += 16, d += 16) {
      __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
      __m128i sa = _mm_and_si128(sv, alphaMask);
      int opaque = _mm_movemask_epi8(_mm_cmpeq_epi32(sa, alphaMask));
      if (opaque == 0xffff) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_and_si128(sv, keep));
        continue;
      }
      __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(d));
      // Clear source pixels leave the destination as it is (apart from an
      // alpha lane it has no channel for).
      if (_mm_movemask_epi8(_mm_cmpeq_epi32(sv, zero)) == 0xffff) {
        if (l.keep != ~0u)
          _mm_storeu_si128(reinterpret_cast<__m128i*>(d), _mm_and_si128(dv, keep));
        continue;
      }
      dv = _mm_or_si128(dv, fill);
      __m128i sLo = _mm_unpacklo_epi8(sv, zero), sHi = _mm_unpackhi_epi8(sv, zero);
      __m128i dLo = _mm_unpacklo_epi8(dv, zero), dHi = _mm_unpackhi_epi8(dv, zero);
      __m128i rLo = over16(sLo, dLo, alphaOf<Lane>(sLo));
      __m128i rHi = over16(sHi, dHi, alphaOf<Lane>(sHi));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(d),
                       _mm_and_si128(_mm_packus_epi16(rLo, rHi), keep));
    }
    for (; x < p.width; x++, s += 4, d += 4) {
      uint32_t sv = readPixelAt<32>(s), dv = readPixelAt<32>(d) | l.fill;
      writePixelAt<32>(d, overPixel(sv, dv, Lane * 8) & l.keep);
    }
  }
}

// The same eight pixels at a time, on processors that have AVX2 (chosen at
// run time). Unpacking and packing stay within each 128-bit half, so the
// pixel order is kept.
template <int Lane>
__attribute__((target("avx2"), always_inline)) inline __m256i over16Avx2(__m256i s16, __m256i d16) {
  __m256i a = _mm256_shufflelo_epi16(s16, _MM_SHUFFLE(Lane, Lane, Lane, Lane));
  a = _mm256_shufflehi_epi16(a, _MM_SHUFFLE(Lane, Lane, Lane, Lane));
  __m256i t =
      _mm256_add_epi16(_mm256_mullo_epi16(d16, _mm256_xor_si256(a, _mm256_set1_epi16(0xff))),
                       _mm256_set1_epi16(0x80));
  return _mm256_add_epi16(_mm256_mulhi_epu16(t, _mm256_set1_epi16(0x0101)), s16);
}

template <int Lane>
__attribute__((target("avx2"))) void overRowsAvx2(const Pass& p, const OverLanes& l) {
  const __m256i zero = _mm256_setzero_si256();
  const __m256i fill = _mm256_set1_epi32(int(l.fill));
  const __m256i keep = _mm256_set1_epi32(int(l.keep));
  const __m256i alphaMask = _mm256_set1_epi32(int(0xffu << (Lane * 8)));

  for (int y = 0; y < p.height; y++) {
    const uint8_t* s = p.src + ptrdiff_t(y) * p.srcStride * 4;
    uint8_t* d = p.dest + ptrdiff_t(y) * p.destStride * 4;
    int x = 0;
    for (; x + 8 <= p.width; x += 8, s += 32, d += 32) {
      __m256i sv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s));
      __m256i sa = _mm256_and_si256(sv, alphaMask);
      if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sa, alphaMask)) == -1) {
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_and_si256(sv, keep));
        continue;
      }
      __m256i dv = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(d));
      if (_mm256_movemask_epi8(_mm256_cmpeq_epi32(sv, zero)) == -1) {
        if (l.keep != ~0u)
          _mm256_storeu_si256(reinterpret_cast<__m256i*>(d), _mm256_and_si256(dv, keep));
        continue;
      }
      dv = _mm256_or_si256(dv, fill);
      __m256i lo = over16Avx2<Lane>(_mm256_unpacklo_epi8(sv, zero), _mm256_unpacklo_epi8(dv, zero));
      __m256i hi = over16Avx2<Lane>(_mm256_unpackhi_epi8(sv, zero), _mm256_unpackhi_epi8(dv, zero));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(d),
                          _mm256_and_si256(_mm256_packus_epi16(lo, hi), keep));
    }
    if (x < p.width) {
      Pass rest = p;
      rest.src = s;
      rest.dest = d;
      rest.width = p.width - x;
      rest.height = 1;
      overRows<Lane>(rest, l);
    }
  }
}

template <int Lane> void overRowsBest(const Pass& p, const OverLanes& l) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  if (avx2)
    overRowsAvx2<Lane>(p, l);
  else
    overRows<Lane>(p, l);
}
#endif

void overFast(const Pass& p, const OverLanes& l) {
#ifdef __SSE2__
  switch (l.alphaLane) {
  case 0:
    overRowsBest<0>(p, l);
    return;
  case 1:
    overRowsBest<1>(p, l);
    return;
  case 2:
    overRowsBest<2>(p, l);
    return;
  case 3:
    overRowsBest<3>(p, l);
    return;
  }
#else
  for (int y = 0; y < p.height; y++) {
    const uint8_t* s = p.src + ptrdiff_t(y) * p.srcStride * 4;
    uint8_t* d = p.dest + ptrdiff_t(y) * p.destStride * 4;
    for (int x = 0; x < p.width; x++, s += 4, d += 4) {
      uint32_t sv = readPixelAt<32>(s), dv = readPixelAt<32>(d) | l.fill;
      writePixelAt<32>(d, overPixel(sv, dv, l.alphaLane * 8) & l.keep);
    }
  }
#endif
}

bool supportedBpp(int bpp) {
  return bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

} // namespace

void compositeRect(PixelBuffer* src, const Point& srcPoint, WritablePixelBuffer* dest,
                   const Rect& destRect, ColourOp op) {
  const PixelLayout& spf = src->getPF();
  const PixelLayout& dpf = dest->getPF();
  if (!supportedBpp(spf.bpp) || !supportedBpp(dpf.bpp))
    return;
  if (op == compositeOver && spf.alphaMax == 0)
    op = srcCopy;

  Rect clipped = destRect.intersect(dest->getRect());
  if (clipped.isEmpty())
    return;
  Rect srcRect = clipped.translate(srcPoint.subtract(destRect.tl));

  int srcStride = 0;
  const uint8_t* srcData = src->getData(srcRect, &srcStride);
  if (op == srcCopy && spf.equal(dpf)) {
    int destStride = 0;
    // Copying a rectangle onto itself changes nothing.
    if (srcData != dest->getDataRW(clipped, &destStride))
      dest->imageRect(clipped, srcData, srcStride);
    return;
  }

  Pass p;
  p.src = srcData;
  p.srcStride = srcStride;
  p.dest = dest->getDataRW(clipped, &p.destStride);
  p.width = clipped.width();
  p.height = clipped.height();
  p.srcPF = &spf;
  p.destPF = &dpf;
  p.srcCM = src->getColourMap();
  p.destCM = dest->getColourMap();
  p.op = op;
  if (!p.src || !p.dest)
    return;

  OverLanes lanes;
  if (op == compositeOver && overLanes(spf, dpf, &lanes)) {
    overFast(p, lanes);
    return;
  }
  combineAny(p);
}

void compositeRectInPlace(WritablePixelBuffer* pb, const Rect& r, ColourOp op) {
  compositeRect(pb, r.tl, pb, r, op);
}

void maskedImageRect(WritablePixelBuffer* dest, const Rect& r, const void* pixels, const void* mask,
                     int pixelStride, int maskStride, int maskBitOffset) {
  Rect clipped = r.intersect(dest->getRect());
  if (clipped.isEmpty())
    return;
  int bytes = dest->bytesPerPixel();
  if (!supportedBpp(dest->getPF().bpp))
    return;
  int dx = clipped.tl.x - r.tl.x, dy = clipped.tl.y - r.tl.y;
  if (pixelStride == 0)
    pixelStride = r.width();
  if (maskStride == 0)
    maskStride = (r.width() + 7) / 8;
  const uint8_t* s =
      static_cast<const uint8_t*>(pixels) + (ptrdiff_t(dy) * pixelStride + dx) * bytes;
  const uint8_t* m = static_cast<const uint8_t*>(mask) + ptrdiff_t(dy) * maskStride;
  int destStride = 0;
  uint8_t* d = dest->getDataRW(clipped, &destStride);
  int w = clipped.width();
  for (int y = 0; y < clipped.height(); y++) {
    for (int c = 0; c < w; c++) {
      int k = maskBitOffset + dx + c;
      if (m[k / 8] & (0x80 >> (k % 8)))
        memcpy(d + ptrdiff_t(c) * bytes, s + ptrdiff_t(c) * bytes, size_t(bytes));
    }
    s += ptrdiff_t(pixelStride) * bytes;
    d += ptrdiff_t(destStride) * bytes;
    m += maskStride;
  }
}

} // namespace rfb
