// zavkeygen: makes sure the server's RSA private key file exists. Without
// -f an existing key file is loaded, checked and left as it is; a missing one
// is generated, checked and stored. With -f a new key replaces it.
#include "plat/BoolParameter.h"
#include "plat/DString.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "plat/ProductInfo.h"
#include "plat/QuietLogWriter.h"
#include "plat/StringParameter.h"
#include "plat/crypto/RsaKey.h"
#include "plat/unix/AppInit.h"
#include "zavkeygen/KeyGenCallback.h"
#include "zavkeygen/RsaPrivateKeyStoreFile.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

static plat::LogWriter vlog("zavkeygen");

static plat::BoolParameter
    forceParam("f", "Generate and store a private key even if one already exists", false);
static plat::BoolParameter quietParam("q", "Suppress progress output", false);
static plat::StringParameter keyFileParam("RsaPrivateKeyFile",
                                          "File containing the RSA private key",
                                          "$HOME/.zav/private.key");
static const bool keyFileAliasAdded = [] {
  plat::ParameterSet::global().addAlias("RSA_Private_Key_File", "RsaPrivateKeyFile");
  return true;
}();

static KeyGenCallback keyGenCallback(stdout, quietParam);

// The program's name in the banner; the rest of the banner is the product's.
static const char productName[] = "Zav\u00ae Key Generator";

static bool isHelpRequest(const char* arg) {
  return strcmp(arg, "--help") == 0 || strcmp(arg, "-help") == 0 || strcmp(arg, "-?") == 0;
}

static void usage(const char* programName) {
  using plat::ProductInfo;
  plat::DString banner;
  banner.appendFormat("%s %s %s\n%s\n%s\n%s\n%s\n%s", productName, ProductInfo::editionAndVersion,
                      "", buildTime, ProductInfo::ownershipNotice, ProductInfo::trademarkNotice,
                      ProductInfo::webNotice, "For third party acknowledgements see:\n");
  banner.appendFormat(ProductInfo::acknowledgementsFormat, ProductInfo::version);
  banner.replaceAll("\u00ae", "(R)");
  banner.replaceAll("\u00a9", "(C)");
  banner.wrap(79);
  printf("%s\n\nUsage: %s [parameters]\n", banner.c_str(), programName);
  plat::ParameterSet::global().printHelp(true, 79, 14);
  fflush(stdout);
}

// Why the key size in force cannot be generated, or empty when it can. The
// parameter itself takes any int; libcrypto makes no key above this size.
static std::string keySizeRefusal() {
  if (crypto::rsaModulusBits.getValue() <= int(crypto::RsaKey::maxBits))
    return std::string();
  return std::string(crypto::rsaModulusBits.getName()) + ": " +
         std::to_string(crypto::rsaModulusBits.getValue()) + " is above the maximum " +
         std::to_string(crypto::RsaKey::maxBits);
}

int main(int argc, char** argv) {
  (void)keyFileAliasAdded;
  // Past a file size limit a write fails with EFBIG, which is reported and
  // leaves no temporary file, instead of the signal killing the program.
  signal(SIGXFSZ, SIG_IGN);
  try {
    AppInit::create("zavkeygen", true, false, nullptr, nullptr, nullptr);

    // Every argument must be a parameter: -name=value and its other forms, or
    // "-name value" with the value as the next argument.
    // A bad argument is named, with the reason, before the usage; a help
    // request gets the usage alone.
    std::vector<plat::ParameterSet*> sets = {&plat::ParameterSet::global()};
    std::string refusal;
    int stop;
    {
      // The one reason line below says why a value was refused.
      plat::QuietLogWriter quiet("ConfigParameter");
      stop = plat::ParameterSet::parseCommandLine(argc, argv, 1, 50, sets);
    }
    if (stop < argc) {
      if (!isHelpRequest(argv[stop]))
        refusal = plat::ParameterSet::refusalReason(argc, argv, stop, sets);
    } else {
      refusal = keySizeRefusal();
    }
    if (stop < argc || !refusal.empty()) {
      if (!refusal.empty())
        fprintf(stderr, "%s\n", refusal.c_str());
      usage(argv[0]);
      return 1;
    }

    plat::EnvExpandedString keyFile(keyFileParam.getValue().c_str());
    crypto::RsaPrivateKeyStoreFile store(keyFile.c_str(), &keyGenCallback, false, true);
    store.ensureKey(!forceParam.getValue());
    return 0;
  } catch (plat::Exception& e) {
    fflush(stdout);
    fprintf(stderr, "failed: %s\n", e.str());
    return 1;
  }
}
