#include "ft/ShareEntry.h"

#include "RecordingExtension.h"
#include "ThrownMessage.h"
#include "ft/UnixAttribute.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

using ft::FileAttributes;
using ft::ShareEntry;
using ft_test::Bytes;
using testing_support::thrownMessage;

namespace {

std::vector<std::uint8_t> marshalled(const ShareEntry& e) {
  rdr::MemOutStream out;
  e.marshal(&out);
  return std::vector<std::uint8_t>(out.data(), out.data() + out.length());
}

class UnixOnly : public ShareEntry::AttributeFilter {
public:
  UnixOnly() { ShareEntry::setAttributeFilter(this); }
  ~UnixOnly() override { ShareEntry::setAttributeFilter(nullptr); }
  bool accept(const FileAttributes* a) override { return ft::isUnixAttribute(a); }
};

TEST(ShareEntryTest, MarshalsToItsWireLayout) {
  ShareEntry e("abc", 1, 0x0102030405060708ull, 11, 12, 13);
  std::vector<std::uint8_t> bytes = marshalled(e);
  EXPECT_EQ(bytes.size(), 47u);
  EXPECT_EQ(e.marshalledSize(), 47);
  EXPECT_EQ(bytes,
            Bytes().str("abc").u64(0x0102030405060708ull).u64(11).u64(12).u64(13).u32(1).u32(0).b);

  e.addAttribute(ft::makeUnixAttribute(0100640));
  e.addAttribute(new FileAttributes("note", "xyz", 3));
  bytes = marshalled(e);
  EXPECT_EQ(static_cast<int>(bytes.size()), e.marshalledSize());
  EXPECT_EQ(e.marshalledSize(), 47 + (4 + 2 + 5) + (4 + 3 + 5));
}

TEST(ShareEntryTest, RoundTripsThroughTheWire) {
  ShareEntry e("d/é.txt", 6, 12345, 1, 2, 3);
  e.addAttribute(ft::makeUnixAttribute(0100444));
  std::vector<std::uint8_t> bytes = marshalled(e);
  rdr::MemInStream in(bytes.data(), static_cast<int>(bytes.size()));
  ShareEntry back;
  back.unmarshal(&in);
  EXPECT_EQ(back.name, e.name);
  EXPECT_EQ(back.flags, 6u);
  EXPECT_EQ(back.size, 12345u);
  EXPECT_EQ(back.modified, 3u);
  EXPECT_EQ(ft::unixModeOf(&back), 0100444u);
  ShareEntry copy(back);
  EXPECT_EQ(copy.attributes.size(), 1u);
  EXPECT_EQ(marshalled(copy), bytes);
}

TEST(ShareEntryTest, LongAttributeNamesAreCutConsistently) {
  ShareEntry e("a", 0, 0, 0, 0, 0);
  e.addAttribute(new FileAttributes(std::string(300, 'n').c_str(), "d", 1));
  EXPECT_EQ(static_cast<int>(marshalled(e).size()), e.marshalledSize());
}

TEST(ShareEntryTest, ReceivedNamesAreChecked) {
  struct {
    const char* name;
    const char* message;
  } cases[] = {
      {"a", "<no exception>"},
      {"a/b/c", "<no exception>"},
      {".hidden/a..b/...", "<no exception>"},
      {"d/\xc3\xa9", "<no exception>"},
      {"", "Filename cannot contain empty path components"},
      {"/a", "Filename cannot contain empty path components"},
      {"a/", "Filename cannot contain empty path components"},
      {"a//b", "Filename cannot contain empty path components"},
      {".", "Filename cannot be . or .."},
      {"a/..", "Filename cannot be . or .."},
      {"../a", "Filename cannot be . or .."},
      {"./a//b", "Filename cannot be . or .."},
      {"a\xff", "Invalid UTF-8 filename"},
      {"\xc0\xaf", "Invalid UTF-8 filename"},
      {"\xed\xa0\x80", "Invalid UTF-8 filename"},
  };
  for (const auto& c : cases) {
    ShareEntry e(c.name, 0, 0, 0, 0, 0);
    EXPECT_EQ(thrownMessage([&] { e.validate(); }), c.message) << c.name;
  }
}

TEST(ShareEntryTest, TheInstalledFilterKeepsOnlyUnixAttributes) {
  std::vector<std::uint8_t> bytes = Bytes()
                                        .str("f")
                                        .u64(1)
                                        .u64(0)
                                        .u64(0)
                                        .u64(0)
                                        .u32(0)
                                        .u32(3)
                                        .u8(4)
                                        .raw("unix")
                                        .u32(2)
                                        .u16(0100600)
                                        .u8(5)
                                        .raw("OTHER")
                                        .u32(1)
                                        .u8(1)
                                        .u8(4)
                                        .raw("UNIX")
                                        .u32(3)
                                        .raw("abc")
                                        .b;
  {
    UnixOnly filter;
    rdr::MemInStream in(bytes.data(), static_cast<int>(bytes.size()));
    ShareEntry e;
    e.unmarshal(&in);
    ASSERT_EQ(e.attributes.size(), 1u);
    EXPECT_STREQ(e.attributes[0]->getName(), "unix");
    EXPECT_EQ(ft::unixModeOf(&e), 0100600u);
  }
  rdr::MemInStream in(bytes.data(), static_cast<int>(bytes.size()));
  ShareEntry e;
  e.unmarshal(&in);
  EXPECT_EQ(e.attributes.size(), 3u);
}

// A peer repeating the one attribute the program keeps (200 times, in any
// case) leaves the entry holding the first only.
TEST(ShareEntryTest, TheInstalledFilterKeepsOneAttributeOfEachKind) {
  Bytes b;
  b.str("f").u64(1).u64(0).u64(0).u64(0).u32(0).u32(200);
  for (int i = 0; i < 200; i++)
    b.u8(4).raw(i % 2 ? "UNIX" : "unix").u32(2).u16(static_cast<std::uint16_t>(0100600 + i % 8));
  UnixOnly filter;
  rdr::MemInStream in(b.b.data(), static_cast<int>(b.b.size()));
  ShareEntry e;
  e.unmarshal(&in);
  EXPECT_EQ(in.avail(), 0);
  ASSERT_EQ(e.attributes.size(), 1u);
  EXPECT_EQ(ft::unixModeOf(&e), 0100600u);
}

TEST(ShareEntryTest, HostileLengthsAreRefusedBeforeAllocating) {
  std::vector<std::uint8_t> longName = Bytes().u32(1025).raw(std::string(1025, 'a')).b;
  rdr::MemInStream in1(longName.data(), static_cast<int>(longName.size()));
  ShareEntry e;
  EXPECT_EQ(thrownMessage([&] { e.unmarshal(&in1); }), "String exceeds maximum length");

  std::vector<std::uint8_t> bigAttr =
      Bytes().str("f").u64(0).u64(0).u64(0).u64(0).u32(0).u32(1).u8(1).raw("A").u32(16385).b;
  rdr::MemInStream in2(bigAttr.data(), static_cast<int>(bigAttr.size()));
  EXPECT_EQ(thrownMessage([&] { e.unmarshal(&in2); }), "Attribute data too long");
}

TEST(UnixAttributeTest, ModesFlagsAndDefaults) {
  ShareEntry dir("d", ShareEntry::flagDirectory, 0, 0, 0, 0);
  ShareEntry file("f", 0, 0, 0, 0, 0);
  EXPECT_EQ(ft::unixModeOf(&dir), 0755u);
  EXPECT_EQ(ft::unixModeOf(&file), 0644u);
  std::unique_ptr<FileAttributes> three(new FileAttributes("UNIX", "abc", 3));
  EXPECT_FALSE(ft::isUnixAttribute(three.get()));

  struct {
    const char* name;
    std::uint32_t mode;
    std::uint32_t flags;
  } cases[] = {
      {"a", 0100644, 0}, {"d/.x", 0100644, 2}, {".d/x", 0100644, 0},
      {"d", 040755, 1},  {"r", 0100444, 4},    {".r", 040555, 7},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ft::entryFlags(c.name, c.mode), c.flags) << c.name;
  EXPECT_EQ(thrownMessage([] { ft::entryFlags("d/fifo", 010644); }), "d/fifo is a special file");
}

} // namespace
