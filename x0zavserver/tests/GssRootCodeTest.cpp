#include "x0zavserver/unix/GssRootCode.h"

#include "GssStandIn.h"
#include "ThrownMessage.h"
#include "rdr/Exception.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "x0zavserver/unix/GssApi.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using gssapi::GssRootCode;
using testing_support::thrownMessage;

std::string u16(uint16_t v) {
  return std::string{char(v >> 8), char(v)};
}
std::string u32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string str(const std::string& s) {
  return u32(uint32_t(s.size())) + s;
}
uint32_t readU32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) << 24 | uint32_t(uint8_t(s[at + 1])) << 16 |
         uint32_t(uint8_t(s[at + 2])) << 8 | uint8_t(s[at + 3]);
}

const std::string ok(1, '\x04');
std::string failed(const std::string& message) {
  return "\x05" + str(message);
}

// The co-process side: each request through handle(), as the request loop
// calls it, with what is left in the stream after it.
struct Served {
  std::string reply;
  int left;
};
Served serve(const std::string& request) {
  rdr::MemInStream in(request.data(), static_cast<int>(request.size()));
  rdr::MemOutStream out;
  GssRootCode::instance().handle(in, out);
  return {std::string(reinterpret_cast<const char*>(out.data()), out.length()), in.avail()};
}
std::string reply(const std::string& request) {
  Served s = serve(request);
  EXPECT_EQ(s.left, 0) << "request not read to its end";
  return s.reply;
}

std::string accept(uint32_t id, const std::string& token) {
  return reply("\x02" + u32(id) + u16(uint16_t(token.size())) + token);
}
std::string accepted(const std::string& output, bool complete) {
  return ok + u16(uint16_t(output.size())) + output + std::string(1, complete ? '\x01' : '\0');
}

class GssRootCodeTest : public ::testing::Test {
protected:
  uint32_t newContext(const std::string& path) {
    std::string r = reply(std::string(1, '\0') + str(path));
    EXPECT_EQ(r.substr(0, 1), ok) << r;
    return r.size() == 5 ? readU32(r, 1) : ~0u;
  }

  testing_support::GssStandIn standIn;
};

TEST_F(GssRootCodeTest, AcceptStatuses) {
  struct Case {
    std::string token, reply;
  } cases[] = {
      {"out=tok", accepted("tok#1", true)},
      {"", accepted("", true)},
      {"major=1;out=more", accepted("more#1", false)},
      // Supplementary bits alone are no error.
      {"major=2", accepted("", false)},
      {"major=10000", failed("accept_sec_context: gss-10000 (00010000:00000000)")},
      {"major=90000;minor=7", failed("accept_sec_context: gss-90000: mech-7 (00090000:00000007)")},
      {"major=1000000;minor=bad",
       failed("accept_sec_context: gss-1000000: <unknown> (01000000:00000bad)")},
  };
  for (const Case& c : cases) {
    uint32_t id = newContext(standIn.library);
    EXPECT_EQ(accept(id, c.token), c.reply) << c.token;
    EXPECT_EQ(reply("\x01" + u32(id)), ok);
  }
}

TEST_F(GssRootCodeTest, MultiStepExchangeThenClientName) {
  uint32_t id = newContext(standIn.library);
  EXPECT_EQ(reply("\x03" + u32(id)), failed("context not complete"));
  EXPECT_EQ(accept(id, "major=1;out=first"), accepted("first#1", false));
  EXPECT_EQ(reply("\x03" + u32(id)), failed("context not complete"));
  EXPECT_EQ(accept(id, "major=1;out=second"), accepted("second#2", false));
  EXPECT_EQ(accept(id, "out=last;name=alice@ZAV.TEST;deleg=1"), accepted("last#3", true));
  EXPECT_EQ(reply("\x03" + u32(id)), ok + str("alice@ZAV.TEST"));
  EXPECT_GT(standIn.liveObjects(), 0);
  EXPECT_EQ(reply("\x01" + u32(id)), ok);
  // The context, its name, output token and delegated credential are given
  // back, and the library closed.
  EXPECT_EQ(standIn.liveObjects(), -1);
  EXPECT_EQ(reply("\x03" + u32(id)), failed("unknown context"));
  EXPECT_EQ(accept(id, "out=x"), failed("unknown context"));
  // Releasing an id that is not held is no failure.
  EXPECT_EQ(reply("\x01" + u32(id)), ok);
}

TEST_F(GssRootCodeTest, ContextIdsIncreaseAndContextsAreSeparate) {
  uint32_t a = newContext(standIn.library);
  uint32_t b = newContext(standIn.library);
  EXPECT_EQ(b, a + 1);
  EXPECT_EQ(accept(a, "major=1;out=a"), accepted("a#1", false));
  EXPECT_EQ(accept(b, "major=1;out=b"), accepted("b#1", false));
  EXPECT_EQ(accept(a, "out=a"), accepted("a#2", true));
  reply("\x01" + u32(a));
  // The other context keeps the library loaded.
  EXPECT_GT(standIn.liveObjects(), 0);
  reply("\x01" + u32(b));
  EXPECT_EQ(newContext(standIn.library), b + 1);
  reply("\x01" + u32(b + 1));
}

TEST_F(GssRootCodeTest, LiveContextsAreBounded) {
  // The core may ask for context after context and release none: past the
  // limit it is refused, without loading the library again, and a released
  // context makes room for a new one.
  std::vector<uint32_t> ids;
  for (size_t i = 0; i < GssRootCode::maxContexts; i++)
    ids.push_back(newContext(standIn.library));
  for (int i = 0; i < 3; i++)
    EXPECT_EQ(reply(std::string(1, '\0') + str(standIn.library)),
              failed("too many security contexts"));
  EXPECT_EQ(accept(ids.front(), "major=1;out=a"), accepted("a#1", false));
  EXPECT_EQ(reply("\x01" + u32(ids.front())), ok);
  ids.front() = newContext(standIn.library);
  EXPECT_EQ(ids.front(), ids.back() + 1);
  for (uint32_t id : ids)
    EXPECT_EQ(reply("\x01" + u32(id)), ok);
  EXPECT_EQ(standIn.liveObjects(), -1);
  EXPECT_EQ(reply("\x01" + u32(newContext(standIn.library))), ok);
}

TEST_F(GssRootCodeTest, ClientNameFailures) {
  struct Case {
    std::string token, reply;
  } cases[] = {
      {"dnmajor=20000;name=bob", failed("display_name: gss-20000 (00020000:00000000)")},
      {"out=x", failed("display_name: gss-20000 (00020000:00000000)")}, // no name at all
      {"name=" + std::string(256, 'n'), ok + str(std::string(256, 'n'))},
      // The core reads no more than 256 bytes of it.
      {"name=" + std::string(257, 'n'), failed("client name too long")},
      // Cut at its NUL it would be another name.
      {"name=alice%00@ZAV.TEST", failed("client name holds a NUL character")},
      {"name=%00", failed("client name holds a NUL character")},
  };
  for (const Case& c : cases) {
    uint32_t id = newContext(standIn.library);
    accept(id, c.token);
    EXPECT_EQ(reply("\x03" + u32(id)), c.reply) << c.token;
    reply("\x01" + u32(id));
  }
}

TEST_F(GssRootCodeTest, OutputTokenMustFitTheReply) {
  // The reply's length field is 16 bits: 65535 bytes go out, one more is
  // refused instead of being sent cut short. The context stays usable.
  struct Case {
    std::string token, reply;
  } cases[] = {
      {"outlen=65535", accepted(std::string(65535, 'x'), true)},
      {"outlen=65536", failed("output token of 65536 bytes too long")},
      {"outlen=1000000;major=1", failed("output token of 1000000 bytes too long")},
  };
  for (const Case& c : cases) {
    uint32_t id = newContext(standIn.library);
    EXPECT_EQ(accept(id, c.token), c.reply) << c.token;
    EXPECT_EQ(accept(id, "major=1;out=next"), accepted("next#2", false)) << c.token;
    EXPECT_EQ(reply("\x01" + u32(id)), ok);
    EXPECT_EQ(standIn.liveObjects(), -1) << c.token;
  }
}

TEST_F(GssRootCodeTest, UnknownRequestKind) {
  for (int kind : {4, 9, 255})
    EXPECT_EQ(reply(std::string(1, char(kind))), failed("unknown request")) << kind;
}

TEST_F(GssRootCodeTest, LibraryFailuresAreReplies) {
  EXPECT_EQ(reply(std::string(1, '\0') + str("")), failed("GSS-API DLL not found"));
  EXPECT_EQ(reply(std::string(1, '\0') + str(standIn.withoutStatus)),
            failed("GSS-API DLL not found"));
  if (getuid() == 0) {
    EXPECT_EQ(reply(std::string(1, '\0') + str("lib/libgss_standin.so")),
              failed("lib/libgss_standin.so: not an absolute path"));
  }
}

TEST_F(GssRootCodeTest, OverlongPathIsConsumedAndRefused) {
  // The request ends where its own length says, so the next one is read
  // from its start.
  std::string path(4097, '/');
  Served s = serve(std::string(1, '\0') + str(path) + "\x09");
  EXPECT_EQ(s.reply, failed("String exceeds maximum length"));
  EXPECT_EQ(s.left, 1);
  std::string exact = std::string(4096 - standIn.library.size(), '/') + standIn.library;
  uint32_t id = newContext(exact);
  reply("\x01" + u32(id));
}

TEST_F(GssRootCodeTest, RequestCutShortIsEndOfStream) {
  // The core went in the middle of its request: nobody reads a reply, and
  // nothing is sent.
  for (std::string request : {std::string(1, '\0') + u32(10) + "/usr", std::string("\x02\0\0", 3),
                              "\x02" + u32(0) + u16(5) + "ab", std::string("\x03\0", 2)}) {
    rdr::MemInStream in(request.data(), static_cast<int>(request.size()));
    rdr::MemOutStream out;
    EXPECT_THROW(GssRootCode::instance().handle(in, out), rdr::EndOfStream);
    EXPECT_EQ(out.length(), 0);
  }
}

TEST_F(GssRootCodeTest, InProcessClientOperations) {
  // Without a co-process the client operations work in this process, and
  // newContext makes the path the value of SSOLib.
  GssRootCode& module = GssRootCode::instance();
  uint32_t id = module.newContext(standIn.library.c_str());
  EXPECT_EQ(std::string(gssapi::GssApi::dllPath.c_str()), standIn.library);
  sso::OutputToken out;
  std::string step = "major=1;out=go";
  EXPECT_FALSE(module.acceptContext(id, int(step.size()), step.data(), out));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(out.data.get()), out.length), "go#1");
  step = "name=carol@ZAV.TEST";
  EXPECT_TRUE(module.acceptContext(id, int(step.size()), step.data(), out));
  EXPECT_EQ(out.length, 0u);
  EXPECT_STREQ(module.displayName(id).c_str(), "carol@ZAV.TEST");
  std::string big(65536, 'x');
  EXPECT_EQ(thrownMessage([&] { module.acceptContext(id, int(big.size()), big.data(), out); }),
            "token of 65536 bytes too long");
  module.releaseContext(id);
  EXPECT_EQ(thrownMessage([&] { module.displayName(id); }), "unknown context");
}

} // namespace
