#include "rfb/TransPixelBuffer.h"

#include "rfb/PixelAccess.h"

#include "plat/Assert.h"
#include "plat/LogWriter.h"

#include <cstddef>
#include <cstring>

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
// whose depth is below its size keeps its high byte.
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
    uint32_t p;
    if (out.trueColour)
      p = reverseEntry(pixelOf(c, out), out);
    else
      p = outCM ? uint32_t(outCM->lookupRGB(c)) : 0;
    storeEntry(table.get(), i, out.bpp, p);
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
// the colour map.
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
      storeEntry(table.get(), k++, out.bpp, uint32_t(cm->lookupRGB(colour)));
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

template <int InBpp, int OutBpp, bool Cube>
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
      writePixelAt<OutBpp>(op, Cube ? cube[v] : v);
    }
  }
}

template <int InBpp, int OutBpp, bool Cube>
void transThree(const uint8_t* tables, const PixelLayout& inPF, const uint8_t* in, int inStride,
                const PixelLayout&, uint8_t* out, int outStride, int width, int height) {
  int channelEntries = inPF.redMax + inPF.greenMax + inPF.blueMax + 3;
  if (InBpp == 16 && inPF.redMax == 31 && inPF.greenMax == 31 && inPF.blueMax == 31 &&
      inPF.redShift == 10 && inPF.greenShift == 5 && inPF.blueShift == 0) {
    transThreeRows<InBpp, OutBpp, Cube>(tables, Channels{10, 5, 0, 31, 31, 31}, channelEntries, in,
                                        inStride, out, outStride, width, height);
    return;
  }
  if (InBpp == 32 && inPF.redMax == 255 && inPF.greenMax == 255 && inPF.blueMax == 255 &&
      inPF.redShift == 16 && inPF.greenShift == 8 && inPF.blueShift == 0) {
    transThreeRows<InBpp, OutBpp, Cube>(tables, Channels{16, 8, 0, 255, 255, 255}, channelEntries,
                                        in, inStride, out, outStride, width, height);
    return;
  }
  transThreeRows<InBpp, OutBpp, Cube>(tables,
                                      Channels{inPF.redShift, inPF.greenShift, inPF.blueShift,
                                               inPF.redMax, inPF.greenMax, inPF.blueMax},
                                      channelEntries, in, inStride, out, outStride, width, height);
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
      fn = channelFn<ThreeFn>(inPF.bpp, pf.bpp);
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
