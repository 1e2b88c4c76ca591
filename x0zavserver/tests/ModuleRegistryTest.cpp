#include "x0zavserver/unix/ModuleRegistry.h"

#include "rdr/Exception.h"
#include "rdr/FdOutStream.h"
#include "rdr/InStream.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <unistd.h>

namespace {

// Echoes one byte of request body back, doubled.
class Echo : public os::RootCode {
public:
  explicit Echo(std::string name) : name_(std::move(name)) {}
  const char* name() const override { return name_.c_str(); }
  void handle(rdr::InStream& in, rdr::OutStream& out) override {
    std::uint8_t b = in.readU8();
    out.writeU8(b);
    out.writeU8(b);
    calls++;
  }
  int calls = 0;

private:
  std::string name_;
};

std::string run(os::ModuleRegistry& registry, const std::string& bytes) {
  rdr::MemInStream in(bytes.data(), static_cast<int>(bytes.size()));
  rdr::MemOutStream out;
  registry.serve(in, out);
  return std::string(reinterpret_cast<const char*>(out.data()), out.length());
}

TEST(ModuleRegistry, ServesRequestsUntilTheStreamEndsBetweenThem) {
  Echo a("A"), b("Bee");
  os::ModuleRegistry registry;
  registry.add(&a);
  registry.add(&b);
  EXPECT_EQ(run(registry, ""), "");
  EXPECT_EQ(run(registry, std::string("\x01"
                                      "A"
                                      "x"
                                      "\x03"
                                      "Bee"
                                      "y"
                                      "\x01"
                                      "A"
                                      "z")),
            "xxyyzz");
  EXPECT_EQ(a.calls, 2);
  EXPECT_EQ(b.calls, 1);
}

TEST(ModuleRegistry, MalformedRequestsThrow) {
  Echo a("A");
  os::ModuleRegistry registry;
  registry.add(&a);
  struct Case {
    std::string bytes;
    std::string message;
  } cases[] = {
      {std::string("\x01"
                   "B"
                   "x"),
       "Unknown module: B"},
      {std::string(1, '\0'), "Unknown module: "},
      {std::string("\x05"
                   "A"),
       "End of stream"}, // name cut short
      {std::string("\x01"
                   "A"),
       "End of stream"}, // body missing
      {std::string("\x01"
                   "A"
                   "x"
                   "\x01"),
       "End of stream"}, // second request cut short
      {std::string("\x02"
                   "A\0"
                   "x",
                   4),
       "Unknown module: A"}, // a NUL inside the name
      // The name reaches standard error: nothing in it may start a line of
      // its own or move the cursor, and its length is bounded.
      {std::string("\x13"
                   "B\nFatal: forged\x1b[2K"),
       "Unknown module: B\\x0aFatal: forged\\x1b[2K"},
      {std::string("\xff") + std::string(255, 'N'),
       "Unknown module: " + std::string(64, 'N') + "..."},
  };
  for (const Case& c : cases) {
    try {
      run(registry, c.bytes);
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (plat::Exception& e) {
      EXPECT_EQ(e.str(), c.message);
    }
  }
}

TEST(ModuleRegistry, LongestNameAndReplacement) {
  std::string longName(255, 'n');
  Echo a(longName), first("Same"), second("Same");
  os::ModuleRegistry registry;
  registry.add(&a);
  registry.add(&first);
  registry.add(&second);
  EXPECT_EQ(registry.find("Same"), &second);
  EXPECT_EQ(registry.find(nullptr), nullptr);
  EXPECT_EQ(run(registry, std::string(1, char(255)) + longName + "q"), "qq");
}

TEST(ModuleRegistry, AReplyTheCoreNoLongerReadsEndsTheLoop) {
  // As in the co-process, a write to a closed pipe fails with EPIPE.
  struct sigaction ignore = {}, old = {};
  ignore.sa_handler = SIG_IGN;
  sigaction(SIGPIPE, &ignore, &old);
  Echo a("A");
  os::ModuleRegistry registry;
  registry.add(&a);
  std::string requests = "\x01"
                         "Ax"
                         "\x01"
                         "Ay";
  struct Case {
    const char* what;
    bool closeReader; // else the write end is closed under the stream
    bool ends;        // quietly, else it throws
  } cases[] = {
      {"the core closed the reply pipe", true, true},
      {"any other write failure", false, false},
  };
  for (const Case& c : cases) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[c.closeReader ? 0 : 1]);
    int writeFd = fds[1]; // closed in the second case: EBADF
    rdr::MemInStream in(requests.data(), static_cast<int>(requests.size()));
    rdr::FdOutStream out(writeFd, -1, 0);
    a.calls = 0;
    if (c.ends) {
      EXPECT_NO_THROW(registry.serve(in, out)) << c.what;
      EXPECT_EQ(a.calls, 1) << c.what; // the second request is not served
    } else {
      EXPECT_THROW(registry.serve(in, out), plat::SystemException) << c.what;
    }
    close(fds[c.closeReader ? 1 : 0]);
  }
  sigaction(SIGPIPE, &old, nullptr);
}

} // namespace
