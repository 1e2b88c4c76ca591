#include "rfb/TransPixelBuffer.h"

#include "rfb/PixelAccess.h"

#include "plat/Assert.h"
#include "plat/LogWriter.h"

#include <cstddef>
#include <cstring>

#ifdef __SSE2__
#include <immintrin.h>
#endif

static plat::LogWriter vlog("TransPixelBuffer");

namespace rfb {

namespace {

// Table entries are bytes, 16-bit or 32-bit words by the output's size
// (24-bit outputs use 32-bit entries).
template <int OutBpp> struct Entry { using T = uint32_t; };
template <> struct Entry<8> { using T = uint8_t; };
template <> struct Entry<16> { using T = uint16_t; };

int entrySize(int outBpp) {
  return outBpp == 8 ? 1 : outBpp == 16 ? 2 : 4;
}

// The colour of a true-colour pixel value, channels scaled to 0-255 unless
// all three are 8 bits already.
Colour colourOf(uint32_t v, const PixelLayout& pf) {
  Colour c(int((v >> pf.redShift) & pf.redMax), int((v >> pf.greenShift) & pf.greenMax),
           int((v >> pf.blueShift) & pf.blueMax));
  if (pf.redMax != 255 || pf.greenMax != 255 || pf.blueMax != 255) {
    auto scale = [](int c, int m) { return m == 0 ? 0 : (m / 2 + c * 255) / m; };
    c = Colour(scale(c.r, pf.redMax), scale(c.g, pf.greenMax), scale(c.b, pf.blueMax));
  }
  return c;
}

// The true-colour pixel value of a colour, without alpha bits and in
// native byte order.
uint32_t pixelOf(const Colour& c, const PixelLayout& pf) {
  int r = c.r, g = c.g, b = c.b;
  if (pf.redMax != 255 || pf.greenMax != 255 || pf.blueMax != 255) {
    r = (pf.redMax * r + 127) / 255;
    g = (pf.greenMax * g + 127) / 255;
    b = (pf.blueMax * b + 127) / 255;
  }
  return uint32_t(r) << pf.redShift | uint32_t(g) << pf.greenShift | uint32_t(b) << pf.blueShift;
}

Colour limited(const Colour& c, const PixelLayout* limit) {
  return limit ? colourOf(pixelOf(c, *limit), *limit) : c;
}

void storeEntry(uint8_t* table, int index, int outBpp, uint32_t v) {
  switch (outBpp) {
  case 8:
    table[index] = uint8_t(v);
    break;
  case 16: {
    uint16_t s = uint16_t(v);
    memcpy(table + ptrdiff_t(index) * 2, &s, 2);
    break;
  }
  default:
    memcpy(table + ptrdiff_t(index) * 4, &v, 4);
    break;
  }
}

uint32_t reverseEntry(uint32_t v, const PixelLayout& out) {
  if (!out.bigEndian)
    return v;
  switch (out.bpp) {
  case 32:
    return __builtin_bswap32(v);
  case 24:
    return (v & 0xff00u) | (v & 0xffu) << 16 | (v >> 16 & 0xffu);
  case 16:
    return __builtin_bswap16(uint16_t(v));
  }
  return v;
}

// One entry per raw input value of 8 or 16 bits. The value is brought into
// native order before it is cut to the depth, so that a big-endian layout
// whose depth is below its size keeps its high byte. Entries are stored in
// the output's byte order, colour-mapped as well as true colour.
std::unique_ptr<uint8_t[]> buildOneTable(const PixelLayout& in, ColourMap* inCM,
                                         const PixelLayout& out, ColourMap* outCM,
                                         const PixelLayout* limit, int* entries) {
  PLAT_ASSERT(in.bpp == 8 || in.bpp == 16);
  int n = 1 << in.bpp;
  std::unique_ptr<uint8_t[]> table(new uint8_t[size_t(n) * entrySize(out.bpp)]);
  uint32_t depthMask = in.depth >= 32 ? ~0u : (1u << in.depth) - 1;
  Colour c;
  for (int i = 0; i < n; i++) {
    uint32_t v = swapForLayout(uint32_t(i), in.bpp, in.bigEndian) & depthMask;
    if (in.trueColour)
      c = colourOf(v, in);
    else if (inCM)
      inCM->lookup(int(v), &c);
    c = limited(c, limit);
    uint32_t p = out.trueColour ? pixelOf(c, out) : outCM ? uint32_t(outCM->lookupRGB(c)) : 0;
    storeEntry(table.get(), i, out.bpp, reverseEntry(p, out));
  }
  *entries = n;
  return table;
}

uint32_t channelEntry(int i, int inMax, int outMax, int shift, int limitMax) {
  if (inMax == 0)
    return 0;
  if (limitMax < 0)
    return uint32_t((inMax / 2 + i * outMax) / inMax) << shift;
  if (limitMax == 0)
    return 0;
  int t = (inMax / 2 + limitMax * i) / inMax;
  return uint32_t((limitMax / 2 + t * outMax) / limitMax) << shift;
}

// Red, green and blue tables, one after the other, indexed by the input's
// channel values.
std::unique_ptr<uint8_t[]> buildThreeTables(const PixelLayout& inPF, const PixelLayout& out,
                                            const PixelLayout* limit, int* entries) {
  PLAT_ASSERT(inPF.isNativeEndian());
  int n = inPF.redMax + inPF.greenMax + inPF.blueMax + 3;
  std::unique_ptr<uint8_t[]> table(new uint8_t[size_t(n) * entrySize(out.bpp)]);
  int k = 0;
  auto fill = [&](int inMax, int outMax, int shift, int limitMax) {
    for (int i = 0; i <= inMax; i++)
      storeEntry(table.get(), k++, out.bpp,
                 reverseEntry(channelEntry(i, inMax, outMax, shift, limitMax), out));
  };
  fill(inPF.redMax, out.redMax, out.redShift, limit ? limit->redMax : -1);
  fill(inPF.greenMax, out.greenMax, out.greenShift, limit ? limit->greenMax : -1);
  fill(inPF.blueMax, out.blueMax, out.blueShift, limit ? limit->blueMax : -1);
  *entries = n;
  return table;
}

// Channel tables into an orthogonal map (the sum of the three entries is
// the pixel), and with an intermediate cube a table from its cells into
// the colour map. The channel entries are summed and so stay in native
// order; the cells' entries are stored in the output's byte order.
std::unique_ptr<uint8_t[]> buildCubeTables(const PixelLayout& inPF, const PixelLayout& out,
                                           ColourMap* cm, ColourCube* intermediate, int* entries) {
  ColourMap* orthCM = intermediate ? intermediate : cm;
  PLAT_ASSERT(inPF.isNativeEndian());
  PLAT_ASSERT(orthCM->isOrthogonal());
  int channels = inPF.redMax + inPF.greenMax + inPF.blueMax + 3;
  int n = channels + (intermediate ? intermediate->size() : 0);
  std::unique_ptr<uint8_t[]> table(new uint8_t[size_t(n) * entrySize(out.bpp)]);
  bool scale =
      inPF.trueColour && (inPF.redMax != 255 || inPF.greenMax != 255 || inPF.blueMax != 255);
  auto level = [scale](int i, int m) { return !scale ? i : m == 0 ? 0 : (m / 2 + i * 255) / m; };
  int k = 0;
  for (int i = 0; i <= inPF.redMax; i++)
    storeEntry(table.get(), k++, out.bpp,
               uint32_t(orthCM->lookupRGB(Colour(level(i, inPF.redMax), 0, 0))));
  for (int i = 0; i <= inPF.greenMax; i++)
    storeEntry(table.get(), k++, out.bpp,
               uint32_t(orthCM->lookupRGB(Colour(0, level(i, inPF.greenMax), 0))));
  for (int i = 0; i <= inPF.blueMax; i++)
    storeEntry(table.get(), k++, out.bpp,
               uint32_t(orthCM->lookupRGB(Colour(0, 0, level(i, inPF.blueMax)))));
  if (intermediate) {
    for (int c = 0; c < intermediate->size(); c++) {
      Colour colour;
      intermediate->lookup(c, &colour);
      storeEntry(table.get(), k++, out.bpp, reverseEntry(uint32_t(cm->lookupRGB(colour)), out));
    }
  }
  *entries = n;
  return table;
}

template <int InBpp, int OutBpp>
void transOne(const uint8_t* tables, const PixelLayout&, const uint8_t* in, int inStride,
              const PixelLayout&, uint8_t* out, int outStride, int width, int height) {
  using T = typename Entry<OutBpp>::T;
  const T* table = reinterpret_cast<const T*>(tables);
  for (int y = 0; y < height; y++) {
    const uint8_t* ip = in + ptrdiff_t(y) * inStride * (InBpp / 8);
    uint8_t* op = out + ptrdiff_t(y) * outStride * (OutBpp / 8);
    for (int x = 0; x < width; x++, ip += InBpp / 8, op += OutBpp / 8)
      writePixelAt<OutBpp>(op, table[readPixelAt<InBpp>(ip)]);
  }
}

// Red, green and blue shifted and masked by the layout (or by constants the
// compiler can fold, for the common 16-bit rgb555 source).
struct Channels {
  int redShift, greenShift, blueShift;
  uint32_t redMax, greenMax, blueMax;
};

// Cube: the sum indexes the cube's cells. SwapSum: the sum is the pixel in
// native order, swapped for a big-endian output (an orthogonal colour map's
// entries may carry from one byte into the other, so they cannot be stored
// swapped).
template <int InBpp, int OutBpp, bool Cube, bool SwapSum>
inline void transThreeRows(const uint8_t* tables, const Channels ch, int channelEntries,
                           const uint8_t* in, int inStride, uint8_t* out, int outStride, int width,
                           int height) {
  using T = typename Entry<OutBpp>::T;
  const T* red = reinterpret_cast<const T*>(tables);
  const T* green = red + ch.redMax + 1;
  const T* blue = green + ch.greenMax + 1;
  const T* cube = red + channelEntries;
  for (int y = 0; y < height; y++) {
    const uint8_t* ip = in + ptrdiff_t(y) * inStride * (InBpp / 8);
    uint8_t* op = out + ptrdiff_t(y) * outStride * (OutBpp / 8);
    for (int x = 0; x < width; x++, ip += InBpp / 8, op += OutBpp / 8) {
      uint32_t p = readPixelAt<InBpp>(ip);
      T v = T(red[(p >> ch.redShift) & ch.redMax] + green[(p >> ch.greenShift) & ch.greenMax] +
              blue[(p >> ch.blueShift) & ch.blueMax]);
      if (SwapSum)
        v = T(swapForLayout(v, OutBpp, true));
      writePixelAt<OutBpp>(op, Cube ? cube[v] : v);
    }
  }
}

template <int InBpp, int OutBpp, bool Cube, bool SwapSum = false>
void transThree(const uint8_t* tables, const PixelLayout& inPF, const uint8_t* in, int inStride,
                const PixelLayout&, uint8_t* out, int outStride, int width, int height) {
  int channelEntries = inPF.redMax + inPF.greenMax + inPF.blueMax + 3;
  if (InBpp == 16 && inPF.redMax == 31 && inPF.greenMax == 31 && inPF.blueMax == 31 &&
      inPF.redShift == 10 && inPF.greenShift == 5 && inPF.blueShift == 0) {
    transThreeRows<InBpp, OutBpp, Cube, SwapSum>(tables, Channels{10, 5, 0, 31, 31, 31},
                                                 channelEntries, in, inStride, out, outStride,
                                                 width, height);
    return;
  }
  if (InBpp == 32 && inPF.redMax == 255 && inPF.greenMax == 255 && inPF.blueMax == 255 &&
      inPF.redShift == 16 && inPF.greenShift == 8 && inPF.blueShift == 0) {
    transThreeRows<InBpp, OutBpp, Cube, SwapSum>(tables, Channels{16, 8, 0, 255, 255, 255},
                                                 channelEntries, in, inStride, out, outStride,
                                                 width, height);
    return;
  }
  transThreeRows<InBpp, OutBpp, Cube, SwapSum>(
      tables,
      Channels{inPF.redShift, inPF.greenShift, inPF.blueShift, inPF.redMax, inPF.greenMax,
               inPF.blueMax},
      channelEntries, in, inStride, out, outStride, width, height);
}

#ifdef __SSE2__
// 32-bit input with red and blue in the low bytes of its two 16-bit halves
// and green at bit 8, to 16-bit true colour: computes the channel-table rule
// (127 + c x outMax) / 255 instead of looking it up, eight pixels at a time.
// Seen as 16-bit lanes, masking the input gives the channels of the two
// halves in alternate lanes and shifting it by 8 gives green, so each step
// works on two channels at once; the division by 255 is (x + 1) x 257 >> 16
// of x + 127 (exact up to 255 x 255), and a multiply-add by the output
// positions joins the channels of each pixel.
void trans32To16Sse2(const uint8_t*, const PixelLayout& inPF, const uint8_t* in, int inStride,
                     const PixelLayout& outPF, uint8_t* out, int outStride, int width, int height) {
  bool redLow = inPF.redShift == 0;
  int lowMax = redLow ? outPF.redMax : outPF.blueMax;
  int highMax = redLow ? outPF.blueMax : outPF.redMax;
  int lowShift = redLow ? outPF.redShift : outPF.blueShift;
  int highShift = redLow ? outPF.blueShift : outPF.redShift;
  const __m128i byteMask = _mm_set1_epi16(0xff);
  const __m128i round = _mm_set1_epi16(128);
  const __m128i by257 = _mm_set1_epi16(257);
  const __m128i outerMax = _mm_set1_epi32(int(uint32_t(highMax) << 16 | uint32_t(lowMax)));
  const __m128i greenMax = _mm_set1_epi32(outPF.greenMax);
  const __m128i outerPlace = _mm_set1_epi32(int(1u << highShift << 16 | 1u << lowShift));
  const __m128i greenPlace = _mm_set1_epi32(int(1u << outPF.greenShift));
  const __m128i bias32 = _mm_set1_epi32(0x8000);
  const __m128i bias16 = _mm_set1_epi16(short(0x8000));
  auto four = [&](__m128i v) {
    __m128i outer = _mm_and_si128(v, byteMask);
    __m128i green = _mm_srli_epi16(v, 8);
    outer = _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(outer, outerMax), round), by257);
    green = _mm_mulhi_epu16(_mm_add_epi16(_mm_mullo_epi16(green, greenMax), round), by257);
    // Pixels up to 0xffff, moved into the signed range for the pack.
    return _mm_sub_epi32(
        _mm_add_epi32(_mm_madd_epi16(outer, outerPlace), _mm_madd_epi16(green, greenPlace)),
        bias32);
  };
  for (int y = 0; y < height; y++) {
    const uint8_t* ip = in + ptrdiff_t(y) * inStride * 4;
    uint8_t* op = out + ptrdiff_t(y) * outStride * 2;
    int x = 0;
    for (; x + 8 <= width; x += 8, ip += 32, op += 16) {
      __m128i p0 = four(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ip)));
      __m128i p1 = four(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ip + 16)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(op),
                       _mm_add_epi16(_mm_packs_epi32(p0, p1), bias16));
    }
    for (; x < width; x++, ip += 4, op += 2) {
      uint32_t p = readPixelAt<32>(ip);
      auto channel = [p](int inShift, int max, int shift) {
        return uint32_t((127 + int((p >> inShift) & 255) * max) / 255) << shift;
      };
      writePixelAt<16>(op, channel(inPF.redShift, outPF.redMax, outPF.redShift) |
                               channel(inPF.greenShift, outPF.greenMax, outPF.greenShift) |
                               channel(inPF.blueShift, outPF.blueMax, outPF.blueShift));
    }
  }
}

struct To16Avx2 {
  __m256i outerMax, greenMax, outerPlace, greenPlace;
};

__attribute__((target("avx2"), always_inline)) inline __m256i eightTo16Avx2(__m256i v,
                                                                            const To16Avx2& c) {
  const __m256i round = _mm256_set1_epi16(128);
  const __m256i by257 = _mm256_set1_epi16(257);
  __m256i outer = _mm256_and_si256(v, _mm256_set1_epi16(0xff));
  __m256i green = _mm256_srli_epi16(v, 8);
  outer = _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(outer, c.outerMax), round), by257);
  green = _mm256_mulhi_epu16(_mm256_add_epi16(_mm256_mullo_epi16(green, c.greenMax), round), by257);
  return _mm256_add_epi32(_mm256_madd_epi16(outer, c.outerPlace),
                          _mm256_madd_epi16(green, c.greenPlace));
}

// The same sixteen pixels at a time on processors with AVX2 (chosen at run
// time), which packs unsigned 32-bit values directly; the pack works within
// 128-bit halves, so a permutation restores the pixel order.
__attribute__((target("avx2"))) void trans32To16Avx2(const uint8_t*, const PixelLayout& inPF,
                                                     const uint8_t* in, int inStride,
                                                     const PixelLayout& outPF, uint8_t* out,
                                                     int outStride, int width, int height) {
  bool redLow = inPF.redShift == 0;
  int lowMax = redLow ? outPF.redMax : outPF.blueMax;
  int highMax = redLow ? outPF.blueMax : outPF.redMax;
  int lowShift = redLow ? outPF.redShift : outPF.blueShift;
  int highShift = redLow ? outPF.blueShift : outPF.redShift;
  To16Avx2 c;
  c.outerMax = _mm256_set1_epi32(int(uint32_t(highMax) << 16 | uint32_t(lowMax)));
  c.greenMax = _mm256_set1_epi32(outPF.greenMax);
  c.outerPlace = _mm256_set1_epi32(int(1u << highShift << 16 | 1u << lowShift));
  c.greenPlace = _mm256_set1_epi32(int(1u << outPF.greenShift));
  for (int y = 0; y < height; y++) {
    const uint8_t* ip = in + ptrdiff_t(y) * inStride * 4;
    uint8_t* op = out + ptrdiff_t(y) * outStride * 2;
    int x = 0;
    for (; x + 16 <= width; x += 16, ip += 64, op += 32) {
      __m256i p0 = eightTo16Avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ip)), c);
      __m256i p1 = eightTo16Avx2(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(ip + 32)), c);
      __m256i packed =
          _mm256_permute4x64_epi64(_mm256_packus_epi32(p0, p1), _MM_SHUFFLE(3, 1, 2, 0));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(op), packed);
    }
    if (x < width)
      trans32To16Sse2(nullptr, inPF, ip, inStride, outPF, op, outStride, width - x, 1);
  }
}

void trans32To16Best(const uint8_t* tables, const PixelLayout& inPF, const uint8_t* in,
                     int inStride, const PixelLayout& outPF, uint8_t* out, int outStride, int width,
                     int height) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  (avx2 ? trans32To16Avx2 : trans32To16Sse2)(tables, inPF, in, inStride, outPF, out, outStride,
                                             width, height);
}
#endif

// Whether trans32To16Sse2 gives what the three tables give: 8-bit input
// channels at bits 0, 8 and 16 with green in the middle, and output channels
// whose place values are positive 16-bit numbers for the multiply-add.
bool computes32To16(const PixelLayout& in, const PixelLayout& out, const PixelLayout* limit) {
#ifdef __SSE2__
  bool outerBytes =
      (in.redShift == 0 && in.blueShift == 16) || (in.redShift == 16 && in.blueShift == 0);
  return !limit && in.bpp == 32 && in.isNativeEndian() && in.trueColour && in.redMax == 255 &&
         in.greenMax == 255 && in.blueMax == 255 && in.greenShift == 8 && outerBytes &&
         out.bpp == 16 && out.trueColour && out.isNativeEndian() && out.redMax <= 255 &&
         out.greenMax <= 255 && out.blueMax <= 255 && out.redShift <= 14 && out.greenShift <= 14 &&
         out.blueShift <= 14;
#else
  (void)in;
  (void)out;
  (void)limit;
  return false;
#endif
}

template <template <int, int> class Pick, int InBpp> TransPixelBuffer::TransFn byOut(int outBpp) {
  switch (outBpp) {
  case 8:
    return Pick<InBpp, 8>::fn;
  case 16:
    return Pick<InBpp, 16>::fn;
  case 24:
    return Pick<InBpp, 24>::fn;
  case 32:
    return Pick<InBpp, 32>::fn;
  }
  return nullptr;
}

template <int In, int Out> struct OneFn {
  static constexpr TransPixelBuffer::TransFn fn = transOne<In, Out>;
};
template <int In, int Out> struct ThreeFn {
  static constexpr TransPixelBuffer::TransFn fn = transThree<In, Out, false>;
};
template <int In, int Out> struct SwappedSumFn {
  static constexpr TransPixelBuffer::TransFn fn = transThree<In, Out, false, true>;
};
template <int In, int Out> struct CubeFn {
  static constexpr TransPixelBuffer::TransFn fn = transThree<In, Out, true>;
};

TransPixelBuffer::TransFn oneTableFn(int inBpp, int outBpp) {
  return inBpp == 8 ? byOut<OneFn, 8>(outBpp) : byOut<OneFn, 16>(outBpp);
}

template <template <int, int> class Pick>
TransPixelBuffer::TransFn channelFn(int inBpp, int outBpp) {
  switch (inBpp) {
  case 16:
    return byOut<Pick, 16>(outBpp);
  case 24:
    return byOut<Pick, 24>(outBpp);
  case 32:
    return byOut<Pick, 32>(outBpp);
  }
  return nullptr;
}

} // namespace

TransPixelBuffer::TransPixelBuffer(bool preferThreeTables)
    : preferThreeTables_(preferThreeTables), source_(nullptr), tableEntries_(0),
      translateFn_(nullptr), cube_(nullptr), ready_(true) {
}

TransPixelBuffer::~TransPixelBuffer() = default;

void TransPixelBuffer::setSource(PixelBuffer* source) {
  bool hadSource = source_ != nullptr;
  source_ = source;
  if (!source) {
    width_ = height_ = 0;
    origin_ = Point();
    return;
  }
  width_ = source->width();
  height_ = source->height();
  origin_ = source->getOrigin();
  if (hadSource && source->getPF().equal(sourceLayout_))
    return;
  sourceLayout_ = source->getPF();
  initTranslation();
}

void TransPixelBuffer::setPF(const PixelLayout& pf) {
  if (pf.equal(format_))
    return;
  format_ = pf;
  if (source_)
    initTranslation();
}

void TransPixelBuffer::setColourCube(ColourMap* cube) {
  cube_ = cube;
  if (source_)
    initTranslation();
}

void TransPixelBuffer::setColourMapEntries(int first, int count, ColourMapReceiver* receiver) {
  if (!source_)
    return;
  if (format_.trueColour || cube_) {
    initTranslation();
    if (format_.trueColour)
      return;
  }
  ColourMap* cm = getColourMap();
  if (!receiver || !cm)
    return;
  if (count == 0)
    count = cm->size() - first;
  receiver->setColourMapEntries(first, count, cm);
}

void TransPixelBuffer::setLimitPF(const PixelLayout& limit) {
  if (limit.trueColour)
    limitPF_ = std::make_unique<PixelLayout>(limit);
}

ColourMap* TransPixelBuffer::getColourMap() const {
  if (cube_)
    return cube_;
  if (ownCube_)
    return ownCube_.get();
  return source_ ? source_->getColourMap() : nullptr;
}

void TransPixelBuffer::makeOwnCube() {
  int n = 2;
  while ((n + 1) * (n + 1) * (n + 1) <= (1 << format_.depth))
    n++;
  ownCube_ = std::make_unique<ColourCube>(n, n, n);
}

void TransPixelBuffer::initTranslation() {
  // A failed build (allocation) leaves the buffer unreadable rather than
  // read through tables of another layout.
  ready_ = false;
  buildTranslation();
  ready_ = true;
}

void TransPixelBuffer::buildTranslation() {
  const PixelLayout& inPF = source_->getPF();
  const PixelLayout& pf = format_;
  PLAT_ASSERT(inPF.depthAndBppAreValid());
  PLAT_ASSERT(pf.depthAndBppAreValid());
  ownCube_.reset();
  translateFn_ = nullptr;

  bool oneTableInput = inPF.bpp == 8 || (inPF.bpp == 16 && !preferThreeTables_);
  std::unique_ptr<uint8_t[]> table;
  int entries = 0;
  TransFn fn = nullptr;
  if (pf.trueColour) {
    const PixelLayout* limit = limitPF_.get();
    if (inPF.equal(pf) && (!limit || pf.depth <= limit->depth)) {
      return;
    } else if (!inPF.trueColour || oneTableInput) {
      table = buildOneTable(inPF, source_->getColourMap(), pf, nullptr, limit, &entries);
      fn = oneTableFn(inPF.bpp, pf.bpp);
    } else {
      table = buildThreeTables(inPF, pf, limit, &entries);
      fn = channelFn<ThreeFn>(inPF.bpp, pf.bpp);
#ifdef __SSE2__
      if (computes32To16(inPF, pf, limit))
        fn = trans32To16Best;
#endif
    }
  } else if (!inPF.trueColour) {
    if (inPF.bpp == pf.bpp && !cube_)
      return;
    table = buildOneTable(inPF, source_->getColourMap(), pf, getColourMap(), nullptr, &entries);
    fn = oneTableFn(inPF.bpp, pf.bpp);
  } else {
    makeOwnCube();
    ColourMap* cm = getColourMap();
    if (oneTableInput) {
      table = buildOneTable(inPF, nullptr, pf, cm, nullptr, &entries);
      fn = oneTableFn(inPF.bpp, pf.bpp);
    } else if (cm->isOrthogonal()) {
      table = buildCubeTables(inPF, pf, cm, nullptr, &entries);
      fn = pf.bigEndian && pf.bpp > 8 ? channelFn<SwappedSumFn>(inPF.bpp, pf.bpp)
                                      : channelFn<ThreeFn>(inPF.bpp, pf.bpp);
    } else {
      table = buildCubeTables(inPF, pf, cm, ownCube_.get(), &entries);
      fn = channelFn<CubeFn>(inPF.bpp, pf.bpp);
    }
  }
  table_ = std::move(table);
  tableEntries_ = entries;
  translateFn_ = fn;
}

void TransPixelBuffer::getImage(void* dest, const Rect& r, int destStride) {
  if (!ready_)
    return;
  if (!translateFn_) {
    source_->getImage(dest, r, destStride);
    return;
  }
  int inStride = 0;
  const uint8_t* in = source_->getData(r, &inStride);
  if (destStride == 0)
    destStride = r.width();
  translateFn_(table_.get(), source_->getPF(), in, inStride, format_, static_cast<uint8_t*>(dest),
               destStride, r.width(), r.height());
}

const uint8_t* TransPixelBuffer::getData(const Rect& r, int* stride) {
  if (!translateFn_)
    return source_->getData(r, stride);
  if (!scratch_)
    scratch_ = std::make_unique<ManagedPixelBuffer>();
  scratch_->setPF(format_);
  scratch_->setSize(r.width(), r.height());
  uint8_t* data = scratch_->getDataRW(scratch_->getRect(), stride);
  getImage(data, r, *stride);
  return data;
}

} // namespace rfb
