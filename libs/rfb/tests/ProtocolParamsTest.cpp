#include "rfb/ProtocolParams.h"
#include "rfb/ProtocolError.h"

#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include "ThrownMessage.h"

#include <gtest/gtest.h>

#include <string>

using rfb::PixelLayout;
using rfb::ProtocolParams;

TEST(ProtocolParams, ReadsVersionText) {
  struct Case {
    const char* text;
    bool parses;
    int major, minor;
    bool version4;
  } cases[] = {
      {"RFB 004.001\n", true, 4, 1, true},   {"RFB 003.008\n", true, 3, 8, false},
      {"RFX 003.008\n", false, 0, 0, false}, {"RFB 00x.008\n", false, 0, 0, false},
      {"RFB -03.008\n", false, 0, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    ProtocolParams cp;
    rdr::MemInStream is(c.text, 12);
    EXPECT_EQ(cp.readVersion(is), c.parses);
    EXPECT_EQ(cp.majorVersion(), c.major);
    EXPECT_EQ(cp.minorVersion(), c.minor);
    EXPECT_EQ(cp.isVersion4(), c.version4);
  }
}

TEST(ProtocolParams, ShortVersionTextIsAnError) {
  ProtocolParams cp;
  rdr::MemInStream is("RFB 003", 7);
  EXPECT_EQ(testing_support::thrownMessage([&] { cp.readVersion(is); }), "End of stream");
}

TEST(ProtocolParams, VersionRoundTrips) {
  ProtocolParams out;
  out.setVersion(4, 1);
  rdr::MemOutStream os;
  out.writeVersion(os);
  ASSERT_EQ(os.length(), 12);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(os.data()), 12), "RFB 004.001\n");
  ProtocolParams in;
  rdr::MemInStream is(os.data(), 12);
  ASSERT_TRUE(in.readVersion(is));
  EXPECT_EQ(in.majorVersion(), 4);
  EXPECT_EQ(in.minorVersion(), 1);
  EXPECT_STREQ(in.versionText(), "RFB 004.001\n");
}

TEST(ProtocolParams, BadPixelFormatIsRefused) {
  const PixelLayout tooDeep(16, 17, false, true, 31, 63, 31, 11, 5, 0);
  const PixelLayout shallowMap(8, 2, false, false, 0, 0, 0, 0, 0, 0);
  // A colour map indexed by 32-bit pixels would need a table of 2^32 entries.
  const PixelLayout wideMap(32, 8, false, false, 0, 0, 0, 0, 0, 0);
  for (const PixelLayout* pf : {&tooDeep, &shallowMap, &wideMap}) {
    ProtocolParams cp;
    char desc[PixelLayout::describeSize] = "";
    pf->describe(desc);
    std::string message;
    try {
      cp.setPF(*pf);
    } catch (const rfb::ProtocolError& e) {
      message = e.str();
    }
    EXPECT_EQ(message, std::string("RFB protocol error: bad pixel format: ") + desc);
    EXPECT_EQ(message.find("bad pixel format: depth "), 20u);
    EXPECT_TRUE(cp.pf().equal(PixelLayout()));
  }
  ProtocolParams cp;
  cp.setPF(PixelLayout::rgb565);
  EXPECT_TRUE(cp.pf().equal(PixelLayout::rgb565));
}

TEST(ProtocolParams, EncodingsChooseThePreferredOne) {
  auto supported = [](int32_t e) { return e == 5 || e == 15 || e == 16; };
  struct Case {
    std::vector<int32_t> list;
    int preferred;
    bool copyRect, cursor, resize;
  } cases[] = {
      {{16, 5, 15}, 16, false, false, false}, {{5, 16, 15}, 15, false, false, false},
      {{-223, 7}, 0, false, false, true},     {{1, -239, 5}, 5, true, true, false},
      {{-311, 0}, 0, false, true, false},     {{}, 0, false, false, false},
  };
  for (const Case& c : cases) {
    ProtocolParams cp;
    cp.setEncodings(int(c.list.size()), c.list.data(), supported);
    EXPECT_EQ(cp.preferredEncoding(), c.preferred);
    EXPECT_EQ(cp.supportsCopyRect(), c.copyRect);
    EXPECT_EQ(cp.supportsLocalCursor(), c.cursor);
    EXPECT_EQ(cp.supportsDesktopResize(), c.resize);
    EXPECT_EQ(cp.encodings(), c.list);
  }
}

TEST(ProtocolParams, DesktopNameIsLatin1ForOlderPeers) {
  const char utf8[] = "caf\xc3\xa9";
  struct Case {
    int major, minor;
    std::string sent;
  } cases[] = {{3, 8, "caf\xe9"}, {4, 0, "caf\xe9"}, {4, 1, utf8}, {5, 0, utf8}};
  for (const Case& c : cases) {
    ProtocolParams cp;
    cp.setVersion(c.major, c.minor);
    int n = 0;
    const char* out = cp.nameForPeer(5, utf8, &n);
    EXPECT_EQ(std::string(out, size_t(n)), c.sent);
    std::string sent(out, size_t(n));
    const char* back = cp.nameFromPeer(n, sent.c_str(), &n);
    EXPECT_EQ(std::string(back, size_t(n)), utf8);
  }
  ProtocolParams cp;
  cp.setName("desk");
  EXPECT_STREQ(cp.name(), "desk");
}
