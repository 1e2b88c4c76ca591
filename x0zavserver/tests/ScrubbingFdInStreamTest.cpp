#include "x0zavserver/unix/ScrubbingFdInStream.h"

#include "plat/PlainPassword.h"
#include "rdr/Exception.h"
#include "rdr/MemOutStream.h"
#include "x0zavserver/unix/ModuleRegistry.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

std::string u32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string str(const std::string& s) {
  return u32(uint32_t(s.size())) + s;
}

// Reads a password as the password modules do and answers with its length.
class Reader : public os::RootCode {
public:
  const char* name() const override { return "R"; }
  void handle(rdr::InStream& in, rdr::OutStream& out) override {
    plat::PlainPassword password(in.readString(256));
    out.writeU8(static_cast<std::uint8_t>(password.length()));
  }
};

// Shows what the stream's buffer still holds.
class Inspected : public os::ScrubbingFdInStream {
public:
  using os::ScrubbingFdInStream::ScrubbingFdInStream;
  bool holds(const std::string& text) const {
    return memmem(start.get(), bufSize, text.data(), text.size()) != nullptr;
  }
};

TEST(ScrubbingFdInStream, PasswordsOfServedRequestsDoNotStayInTheBuffer) {
  struct Case {
    const char* what;
    std::string before, after; // other requests around the one with the password
    bool endOfStream;          // the stream ends after the last request
  } cases[] = {
      {"only request", "", "", true},
      {"between two requests", "\x01R" + str("first"), "\x01R" + str("last"), true},
      {"a request still to come", "\x01R" + str(std::string(60, 'a')), "\x01R" + str("la"), false},
  };
  const std::string secret = "Secret-Pw-4711";
  for (const Case& c : cases) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::string bytes = c.before + "\x01R" + str(secret) + c.after;
    if (!c.endOfStream)
      bytes += "\x01R" + u32(20) + "part"; // cut short: no end of stream yet
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    if (c.endOfStream)
      close(fds[1]);
    else
      ASSERT_EQ(fcntl(fds[0], F_SETFL, O_NONBLOCK), 0);
    Reader reader;
    os::ModuleRegistry registry;
    registry.add(&reader);
    Inspected in(fds[0], -1, 0, false, true);
    rdr::MemOutStream out;
    if (c.endOfStream) {
      registry.serve(in, out);
    } else {
      // The last request waits for more bytes: the earlier ones are done.
      EXPECT_THROW(registry.serve(in, out), rdr::BlockException) << c.what;
      close(fds[1]);
    }
    EXPECT_FALSE(in.holds(secret)) << c.what;
    EXPECT_GE(out.length(), 1) << c.what;
    close(fds[0]);
  }
}

} // namespace
