#include "rfb/RectSet.h"

#include "RegionCheck.h"

#include "libs/rdr/tests/ScriptedStreams.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <vector>

using rfb::Rect;
using rfb::RectSet;

static std::vector<uint8_t> wire(const RectSet& s) {
  rdr::MemOutStream os;
  s.write(os);
  return std::vector<uint8_t>(os.data(), os.data() + os.length());
}

static std::vector<uint8_t> be16s(std::initializer_list<int> values) {
  std::vector<uint8_t> out;
  for (int v : values) {
    out.push_back(uint8_t((v >> 8) & 0xff));
    out.push_back(uint8_t(v & 0xff));
  }
  return out;
}

TEST(RectSetWire, WriteForms) {
  RectSet l(Rect(0, 0, 10, 5));
  l.setUnion(l, RectSet(Rect(0, 5, 5, 10)));
  struct Case {
    const char* name;
    RectSet set;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"empty", RectSet(), be16s({0, 0, 0, 0, 0})},
      {"one rectangle", RectSet(Rect(-1, 2, 3, 4)), be16s({1, -1, 2, 3, 4})},
      {"L shape", l, be16s({2, 0, 0, 10, 10, 0, 0, 10, 5, 0, 5, 5, 10})},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(wire(c.set), c.bytes) << c.name;
    rdr::MemInStream is(c.bytes.data(), int(c.bytes.size()));
    RectSet back(Rect(1, 1, 2, 2));
    back.read(is);
    EXPECT_TRUE(back.equals(c.set)) << c.name;
    EXPECT_EQ(is.avail(), 0);
  }
}

TEST(RectSetWire, EmptySetReadHasEmptyExtents) {
  std::vector<uint8_t> bytes = be16s({0, 5, 6, 50, 60});
  rdr::MemInStream is(bytes.data(), int(bytes.size()));
  RectSet s(Rect(0, 0, 3, 3));
  s.read(is);
  EXPECT_TRUE(s.isEmpty());
  EXPECT_EQ(s.extents().x2, s.extents().x1);
  EXPECT_EQ(s.extents().y2, s.extents().y1);
  EXPECT_TRUE(miRegion::miValid(s.region()));
  RectSet other(Rect(0, 0, 3, 3));
  other.setIntersect(other, s);
  EXPECT_TRUE(other.isEmpty());
}

TEST(RectSetWire, BadInputIsRejectedAndLeavesTheSet) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"truncated extents", be16s({1, 0, 0})},
      {"truncated boxes", be16s({2, 0, 0, 10, 10, 0, 0, 10, 5})},
      {"one empty rectangle", be16s({1, 5, 5, 5, 9})},
      {"boxes out of order", be16s({2, 0, 0, 10, 10, 0, 5, 5, 10, 0, 0, 10, 5})},
      {"wrong extents", be16s({2, 0, 0, 99, 10, 0, 0, 10, 5, 0, 5, 5, 10})},
      {"overlapping boxes", be16s({2, 0, 0, 10, 5, 0, 0, 6, 5, 4, 0, 10, 5})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    rdr::MemInStream is(c.bytes.data(), int(c.bytes.size()));
    RectSet s(Rect(1, 2, 3, 4));
    EXPECT_THROW(s.read(is), plat::Exception);
    EXPECT_EQ(boxesOf(s), "1,2,3,4");
  }
}

TEST(RectSetWire, LargeCountReusesTheBlock) {
  RectSet many;
  for (int i = 0; i < 300; i++)
    many.setUnion(many, RectSet(Rect(i * 3, i, i * 3 + 2, i + 1)));
  std::vector<uint8_t> bytes = wire(many);
  EXPECT_EQ(bytes.size(), size_t(2 + 8 + 300 * 8));
  RectSet back;
  for (int round = 0; round < 2; round++) {
    rdr::MemInStream is(bytes.data(), int(bytes.size()));
    back.read(is);
    EXPECT_TRUE(back.equals(many));
  }
}

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's allocation hook (its header is not on g++'s path).
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void*, size_t),
                                                         void (*)(const volatile void*));

namespace {
// The largest single allocation while a read runs, through the sanitizer's
// allocation hook.
size_t largestAllocation = 0;
void onMalloc(const volatile void*, size_t size) {
  if (size > largestAllocation)
    largestAllocation = size;
}
void onFree(const volatile void*) {
}
} // namespace
#endif

// A count far beyond the boxes present costs memory only for the boxes that
// are really there: a peer cannot make the reader allocate half a megabyte
// with ten bytes.
TEST(RectSetWire, CountBeyondTheBoxesPresentAllocatesOnlyForWhatIsThere) {
#if defined(__SANITIZE_ADDRESS__)
  std::vector<uint8_t> bytes = be16s({65535, 0, 0, 10, 10, 0, 0, 10, 5, 0, 5, 5, 10, 0, 10, 5, 11});
  rdr::MemInStream is(bytes.data(), int(bytes.size()));
  RectSet s(Rect(1, 2, 3, 4));
  __sanitizer_install_malloc_and_free_hooks(onMalloc, onFree);
  largestAllocation = 0;
  EXPECT_THROW(s.read(is), plat::Exception);
  __sanitizer_install_malloc_and_free_hooks(nullptr, nullptr);
  EXPECT_LT(largestAllocation, size_t(4096));
  EXPECT_EQ(boxesOf(s), "1,2,3,4");
#else
  GTEST_SKIP() << "needs the address sanitizer's allocation hook";
#endif
}

// Over a non-blocking source a region whose boxes have not all arrived fails
// with the stream back at its checkpoint and the set unchanged; read again
// once everything is there, it gives the whole region.
TEST(RectSetWire, RegionArrivingInPiecesIsReadOnceComplete) {
  RectSet many;
  for (int i = 0; i < 300; i++)
    many.setUnion(many, RectSet(Rect(i * 3, i, i * 3 + 2, i + 1)));
  std::vector<uint8_t> bytes = wire(many);
  testing_support::ScriptedInStream is(0, 1000);
  RectSet back(Rect(1, 2, 3, 4));
  size_t fed = 0;
  for (size_t piece : {1, 9, 700, 1000}) {
    is.feed(bytes.data() + fed, piece);
    fed += piece;
    is.checkpoint();
    EXPECT_THROW(back.read(is), rdr::BlockException);
    EXPECT_EQ(is.pos(), 0);
    EXPECT_EQ(boxesOf(back), "1,2,3,4");
  }
  is.feed(bytes.data() + fed, bytes.size() - fed);
  back.read(is);
  EXPECT_TRUE(back.equals(many));
  EXPECT_EQ(is.pos(), int64_t(bytes.size()));
}
