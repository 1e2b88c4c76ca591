#include "x0zavserver/unix/RootCodeUPV.h"

#include "rdr/Exception.h"
#include "rdr/MemInStream.h"
#include "rdr/MemOutStream.h"
#include "x0zavserver/AuthFailureException.h"
#include "x0zavserver/unix/RootCodePAM.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string u32(uint32_t v) {
  return std::string{char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
}
std::string str(const std::string& s) {
  return u32(uint32_t(s.size())) + s;
}

// Answers according to the password, without the blacklist.
class Scripted : public zav::RootCodeUPV {
public:
  const char* name() const override { return "Scripted"; }
  void blacklistGuard(const char* user, const char* password) override { verify(user, password); }
  void verify(const char* user, const char* password) override {
    lastUser = user;
    std::string p = password;
    if (p == "auth")
      throw rfb::AuthFailureException("bad password");
    if (p == "other")
      throw plat::Exception("something else");
    if (p == "na")
      throw NotAvailableException("method missing");
  }
  std::string lastUser;
};

std::string handle(zav::RootCodeUPV& module, const std::string& request) {
  rdr::MemInStream in(request.data(), static_cast<int>(request.size()));
  rdr::MemOutStream out;
  module.handle(in, out);
  return std::string(reinterpret_cast<const char*>(out.data()), out.length());
}

TEST(RootCodeUPV, ReplyCodes) {
  struct Case {
    const char* password;
    std::string reply;
  } cases[] = {
      {"good", std::string(1, '\0')},
      {"auth", "\x01" + str("bad password")},
      {"other", "\x02" + str("something else")},
      {"na", "\x03" + str("method missing")},
  };
  Scripted module;
  for (const Case& c : cases)
    EXPECT_EQ(handle(module, str("alice") + str(c.password)), c.reply) << c.password;
  EXPECT_EQ(module.lastUser, "alice");
}

TEST(RootCodeUPV, RequestStringsAreBounded) {
  Scripted module;
  struct Case {
    std::string request;
    const char* message;
  } cases[] = {
      {str(std::string(256, 'u')) + str(std::string(256, 'p')), nullptr},
      {str(std::string(257, 'u')) + str("p"), "String exceeds maximum length"},
      {str("u") + u32(0xFFFFFFFF), "String exceeds maximum length"},
      {str("u") + u32(5) + "ab", "End of stream"},
      {u32(1), "End of stream"},
  };
  for (const Case& c : cases) {
    if (!c.message) {
      EXPECT_EQ(handle(module, c.request), std::string(1, '\0'));
      continue;
    }
    try {
      handle(module, c.request);
      ADD_FAILURE() << "no exception for " << c.message;
    } catch (plat::Exception& e) {
      EXPECT_STREQ(e.str(), c.message);
    }
  }
}

TEST(RootCodePAM, RequestCarriesTheServiceName) {
  zav::RootCodePAM& pam = zav::RootCodePAM::instance();
  struct Case {
    std::string service;
    std::string onWire;
  } cases[] = {
      {"zavserver", "zavserver"},
      {"", ""},
      {std::string(255, 's'), std::string(255, 's')},
      {std::string(300, 't'), std::string(255, 't')}, // cut to 255
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(zav::pamApplicationName.setParam(c.service.c_str(), 50));
    rdr::MemOutStream out;
    pam.writeRequest("bob", "pw", out);
    std::string bytes(reinterpret_cast<const char*>(out.data()), out.length());
    EXPECT_EQ(bytes, str("bob") + str("pw") + char(c.onWire.size()) + c.onWire);

    // The co-process side takes it over at priority 50, where it stays.
    plat::PlainPassword user, password;
    rdr::MemInStream in(bytes.data(), static_cast<int>(bytes.size()));
    pam.readRequest(user, password, in);
    EXPECT_STREQ(user.get(), "bob");
    EXPECT_STREQ(password.get(), "pw");
    EXPECT_STREQ(zav::pamApplicationName.getValue().c_str(), c.onWire.c_str());
  }
  zav::pamApplicationName.setParam("zavserver", 50);
}

TEST(RootCodePAM, ReadRequestSetsTheServiceForLaterRequests) {
  zav::RootCodePAM& pam = zav::RootCodePAM::instance();
  std::string bytes = str("u") + str("p") +
                      "\x07"
                      "zavtest";
  rdr::MemInStream in(bytes.data(), static_cast<int>(bytes.size()));
  plat::PlainPassword user, password;
  pam.readRequest(user, password, in);
  EXPECT_STREQ(zav::pamApplicationName.getValue().c_str(), "zavtest");
  std::string cut = str("u") + str("p") +
                    "\x07"
                    "zav";
  rdr::MemInStream cutIn(cut.data(), static_cast<int>(cut.size()));
  EXPECT_THROW(pam.readRequest(user, password, cutIn), rdr::EndOfStream);
}

} // namespace
