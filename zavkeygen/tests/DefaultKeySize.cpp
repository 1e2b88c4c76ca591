// Every test of this program starts with the default key size. Several tests
// set "RSA_Modulus_Bits", a process-wide parameter; without this, the size
// they chose would carry over into whichever test runs next in the same
// process.
#include "plat/IntParameter.h"
#include "plat/crypto/RsaKey.h"

#include <gtest/gtest.h>

namespace {

class DefaultKeySize : public ::testing::EmptyTestEventListener {
  void OnTestStart(const ::testing::TestInfo&) override {
    if (!crypto::rsaModulusBits.setParam("2048", 50))
      ADD_FAILURE() << "cannot set RSA_Modulus_Bits back to 2048";
  }
};

const bool installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new DefaultKeySize);
  return true;
}();

} // namespace
