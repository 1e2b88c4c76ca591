// The zavkeygen program run as a new user would run it, each test with its
// own HOME.
#include "plat/ProductInfo.h"

#include "OpenSslRsa.h"
#include "ProgramRun.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>

#include <cstring>
#include <dirent.h>
#include <iostream>
#include <regex>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/time.h>

using namespace testing_support;

namespace {

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

bool exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

struct timespec mtimeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mtim;
}

void ageFile(const std::string& path) {
  struct timeval times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
}

class ZavkeygenTest : public ::testing::Test {
protected:
  void SetUp() override {
    home = scratch / "home";
    ASSERT_EQ(mkdir(home.c_str(), 0755), 0);
    keyFile = home + "/.zav/private.key";
  }

  ProgramResult run(const std::vector<std::string>& args) {
    return runProgram(ZAVKEYGEN_PATH, args, {"HOME=" + home}, scratch.path());
  }

  TempDir scratch;
  std::string home;
  std::string keyFile;
};

TEST_F(ZavkeygenTest, FirstRunCreatesAPrivateKeyFileWithProgress) {
  ProgramResult r = run({});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(
      std::regex_match(r.out, std::regex("Generating private key:\n  p: \\.+\n  q: \\.+\n")))
      << r.out;
  EXPECT_EQ(r.err, "");
  std::string key = slurp(keyFile);
  EXPECT_EQ(key.size(), 2824u);
  EXPECT_TRUE(std::regex_match(key, std::regex("[0-9a-f]*"))) << "upper case or a newline";
  EXPECT_EQ(modeOf(keyFile), 0600u);
  EXPECT_EQ(modeOf(home + "/.zav"), 0700u);
}

TEST_F(ZavkeygenTest, SecondRunChangesNothingAndForceReplaces) {
  ASSERT_EQ(run({"-q"}).status, 0);
  std::string first = slurp(keyFile);
  ageFile(keyFile);
  struct timespec before = mtimeOf(keyFile);

  ProgramResult again = run({});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out, "");
  EXPECT_EQ(again.err, "");
  EXPECT_EQ(slurp(keyFile), first);
  EXPECT_EQ(mtimeOf(keyFile).tv_sec, before.tv_sec);
  EXPECT_EQ(mtimeOf(keyFile).tv_nsec, before.tv_nsec);

  ProgramResult forced = run({"-f"});
  EXPECT_EQ(forced.status, 0);
  EXPECT_EQ(forced.out.rfind("Generating private key:\n", 0), 0u);
  std::string second = slurp(keyFile);
  EXPECT_EQ(second.size(), 2824u);
  EXPECT_NE(second, first);
  EXPECT_EQ(modeOf(keyFile), 0600u);
}

TEST_F(ZavkeygenTest, QuietAndKeySize) {
  ProgramResult r = run({"-q", "RSA_Modulus_Bits=1024"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(slurp(keyFile).size(), 1416u);
}

TEST_F(ZavkeygenTest, PerUserDirectoryIsMadePrivateWhateverKeyFileIsChosen) {
  ASSERT_EQ(mkdir((home + "/.zav").c_str(), 0755), 0);
  ProgramResult r = run({"-q", "RSA_Modulus_Bits=1024", "RsaPrivateKeyFile=" + home + "/k"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(modeOf(home + "/.zav"), 0700u);
  EXPECT_EQ(modeOf(home), 0755u);
  EXPECT_FALSE(exists(keyFile));
}

TEST_F(ZavkeygenTest, EveryFormOfChoosingTheKeyFile) {
  const std::string h = home + "/";
  struct Case {
    std::vector<std::string> args;
    std::string file;
  } cases[] = {
      {{"-RsaPrivateKeyFile", h + "a.key"}, "a.key"},
      {{"RsaPrivateKeyFile=" + h + "b.key"}, "b.key"},
      {{"--rsaprivatekeyfile=" + h + "c.key"}, "c.key"},
      {{"-RSA_Private_Key_File", h + "d.key"}, "d.key"},
      {{"RSA_Private_Key_File=" + h + "e.key"}, "e.key"},
      {{"RsaPrivateKeyFile=$HOME/f.key"}, "f.key"},
      {{"RsaPrivateKeyFile=${HOME}/g.key"}, "g.key"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"-q", "-RSA_Modulus_Bits", "1024"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    ProgramResult r = run(args);
    EXPECT_EQ(r.status, 0) << c.file << ": " << r.err;
    EXPECT_EQ(slurp(h + c.file).size(), 1416u) << c.file;
  }
  EXPECT_FALSE(exists(keyFile));
}

// A bad argument is named on standard error with the reason, then comes the
// usage; a help request gets the usage alone.
TEST_F(ZavkeygenTest, BadArgumentsPrintTheUsage) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"--help"}, ""},
      {{"word"}, "word: not a parameter\n"},
      {{"-nosuch"}, "-nosuch: no such parameter\n"},
      {{"-nosuch", "value"}, "-nosuch: no such parameter\n"},
      {{"nosuch=1"}, "nosuch: no such parameter\n"},
      {{"-q", "word"}, "word: not a parameter\n"},
      {{"-f", "-q", "-"}, "-: no such parameter\n"},
      {{"-RsaPrivateKeyFile"}, "-RsaPrivateKeyFile needs a value\n"},
      {{"RSA_Modulus_Bits=100"}, "RSA_Modulus_Bits: 100 is below the minimum 512\n"},
      {{"-RSA_Modulus_Bits", "99999999999"},
       "RSA_Modulus_Bits: 99999999999 is above the maximum 2147483647\n"},
      {{"--rsa_modulus_bits=big"}, "RSA_Modulus_Bits: big is not a number\n"},
      // Beyond what libcrypto generates: refused before any work, with the
      // limit.
      {{"RSA_Modulus_Bits=20000"}, "RSA_Modulus_Bits: 20000 is above the maximum 16384\n"},
      {{"-q", "-RSA_Modulus_Bits", "16385"},
       "RSA_Modulus_Bits: 16385 is above the maximum 16384\n"},
      // A parameter's bare name: what it lacks, not "not a parameter".
      {{"RSA_Modulus_Bits"}, "RSA_Modulus_Bits needs a value\n"},
      {{"rsaprivatekeyfile", "/tmp/k"}, "rsaprivatekeyfile needs a value\n"},
      {{"q"}, "q needs a dash or a value\n"},
      // A refused value is the one line: the parameter's own log of it is
      // not shown.
      {{"-f=2"}, "f: 2 is not a valid value\n"},
      {{"-q", "q=maybe"}, "q: maybe is not a valid value\n"},
  };
  for (const Case& c : cases) {
    ProgramResult r = run(c.args);
    SCOPED_TRACE(c.args[0]);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, c.err);
    EXPECT_NE(r.out.find(std::string("\n\nUsage: ") + ZAVKEYGEN_PATH + " [parameters]\n"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.rfind("Zav(R) Key Generator ", 0), 0u) << r.out;
    // All parameters are listed, the hidden key size too.
    for (const char* name : {"RSA_Modulus_Bits", "RsaPrivateKeyFile", "  f ", "  q "})
      EXPECT_NE(r.out.find(name), std::string::npos) << name;
    EXPECT_FALSE(exists(keyFile));
  }
}

// The banner is the product's, as in every other program: the same edition,
// version, notices and web address.
TEST_F(ZavkeygenTest, UsageBannerIsTheProducts) {
  auto plain = [](std::string text) {
    for (auto [sign, ascii] :
         {std::pair<std::string, std::string>{"\xc2\xae", "(R)"}, {"\xc2\xa9", "(C)"}})
      for (size_t at; (at = text.find(sign)) != std::string::npos;)
        text.replace(at, sign.size(), ascii);
    return text;
  };
  using plat::ProductInfo;
  ProgramResult r = run({"--help"});
  EXPECT_EQ(
      r.out.rfind(std::string("Zav(R) Key Generator ") + ProductInfo::editionAndVersion + " \n", 0),
      0u)
      << r.out;
  for (const char* line :
       {ProductInfo::ownershipNotice, ProductInfo::trademarkNotice, ProductInfo::webNotice})
    EXPECT_NE(r.out.find("\n" + plain(line) + "\n"), std::string::npos) << line << r.out;
  EXPECT_NE(r.out.find("For third party acknowledgements see:\nhttps://zav.example/docs/1.0/"
                       "acknowledgements\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(std::string(ProductInfo::editionAndVersion).find(ProductInfo::version),
            std::string::npos);
}

TEST_F(ZavkeygenTest, FailuresAreReportedWithStatus1) {
  std::string bad = home + "/bad.key";
  { std::ofstream(bad) << "00000400zz"; }
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"RsaPrivateKeyFile="}, "failed: No private key file specified\n"},
      {{"RsaPrivateKeyFile=$ZAV_SURELY_UNSET/key"},
       "failed: unknown environment variable: ZAV_SURELY_UNSET\n"},
      {{"RsaPrivateKeyFile=" + bad},
       "failed: Error getting private key from " + bad + ": Invalid hex digit\n"},
  };
  for (const Case& c : cases) {
    ProgramResult r = run(c.args);
    EXPECT_EQ(r.status, 1) << c.args[0];
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(slurp(bad), "00000400zz");
  EXPECT_FALSE(exists(keyFile));
}

// Whatever stands at the key path that is not a regular file (here the
// test's own FIFO, character device and socket) is refused, with or without
// -f, before any key is generated, and left exactly as it was.
TEST_F(ZavkeygenTest, SomethingOtherThanAFileAtTheKeyPathIsLeftUntouched) {
  struct Node {
    std::string name;
    std::string kind;
    mode_t type;
  } nodes[] = {
      {"fifo", "a FIFO", S_IFIFO},
      {"device", "a character device", S_IFCHR},
  };
  std::string linked = home + "/link";
  ASSERT_EQ(symlink((home + "/fifo").c_str(), linked.c_str()), 0);
  for (const Node& n : nodes) {
    std::string path = home + "/" + n.name;
    // The device is a second null device, owned by the test.
    if (mknod(path.c_str(), n.type | 0644, n.type == S_IFCHR ? makedev(1, 3) : 0) != 0) {
      std::cout << "no " << n.kind << " made here: " << strerror(errno) << "\n";
      continue;
    }
    struct stat before;
    ASSERT_EQ(lstat(path.c_str(), &before), 0);
    for (const std::string& chosen : {path, n.name == "fifo" ? linked : path}) {
      for (bool force : {false, true}) {
        std::vector<std::string> args = {"RsaPrivateKeyFile=" + chosen, "RSA_Modulus_Bits=1024"};
        if (force)
          args.push_back("-f");
        ProgramResult r = run(args);
        SCOPED_TRACE(chosen + (force ? " -f" : ""));
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "") << "a key was generated";
        // Root reads and writes no key file through a link.
        std::string reason = chosen == linked && geteuid() == 0
                                 ? "it is a symbolic link, which zavkeygen run as root does "
                                   "not follow"
                                 : "it is " + n.kind + ", not a regular file";
        EXPECT_EQ(r.err, force ? "failed: Cannot store the private key in " + chosen + ": " +
                                     reason + "; it was left untouched\n"
                               : "failed: Error getting private key from " + chosen + ": " +
                                     reason + "\n");
        struct stat after;
        ASSERT_EQ(lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_rdev, before.st_rdev);
        EXPECT_EQ(after.st_ino, before.st_ino);
      }
    }
  }
  // No temporary file was left beside them.
  DIR* d = opendir(home.c_str());
  ASSERT_NE(d, nullptr);
  while (struct dirent* e = readdir(d))
    EXPECT_EQ(std::string(e->d_name).find(".zavkey"), std::string::npos) << e->d_name;
  closedir(d);
  EXPECT_FALSE(exists(keyFile));
}

// The key's folder is checked before any time is spent generating.
TEST_F(ZavkeygenTest, AFolderThatCannotBeMadeIsReportedBeforeGenerating) {
  { std::ofstream(home + "/plain") << "p"; }
  ProgramResult r = run({"-f", "RsaPrivateKeyFile=" + home + "/plain/key"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "failed: Cannot store the private key in " + home + "/plain/key: the folder " +
                       home + "/plain cannot be made: File exists\n");
  EXPECT_EQ(slurp(home + "/plain"), "p");
}

// A file size limit below the key file's size: the program says so in words,
// leaves the old key file and no temporary file, instead of being killed.
TEST_F(ZavkeygenTest, FileSizeLimitIsReportedInWords) {
  ProgramResult r = run({"-q", "RSA_Modulus_Bits=1024"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::string before = slurp(keyFile);
  // 1 block is at most 1024 bytes; the key file of 1024 bits holds 1416.
  r = runProgram("/bin/sh",
                 {"-c", "ulimit -f 1 && exec \"$0\" -f -q RSA_Modulus_Bits=1024", ZAVKEYGEN_PATH},
                 {"HOME=" + home}, scratch.path());
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "failed: Error generating private key: the key file " + keyFile +
                       " could not be written because it would pass the file size limit\n");
  EXPECT_EQ(slurp(keyFile), before);
  DIR* d = opendir((home + "/.zav").c_str());
  ASSERT_NE(d, nullptr);
  while (struct dirent* e = readdir(d))
    EXPECT_EQ(std::string(e->d_name).find(".zavkey"), std::string::npos) << e->d_name;
  closedir(d);
}

// Parses the key file independently of the program's own reader and hands
// the numbers to OpenSSL.
testing_support::Pkey keyFromFile(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  unsigned bits = (bytes[0] << 24) | (bytes[1] << 16) | (bytes[2] << 8) | bytes[3];
  size_t full = (bits + 7) / 8, half = ((bits + 1) / 2 + 7) / 8, at = 4;
  const char* names[] = {OSSL_PKEY_PARAM_RSA_N,         OSSL_PKEY_PARAM_RSA_E,
                         OSSL_PKEY_PARAM_RSA_D,         OSSL_PKEY_PARAM_RSA_FACTOR1,
                         OSSL_PKEY_PARAM_RSA_FACTOR2,   OSSL_PKEY_PARAM_RSA_EXPONENT1,
                         OSSL_PKEY_PARAM_RSA_EXPONENT2, OSSL_PKEY_PARAM_RSA_COEFFICIENT1};
  OSSL_PARAM_BLD* bld = OSSL_PARAM_BLD_new();
  std::vector<Bn> numbers;
  for (int i = 0; i < 8; i++) {
    size_t len = i < 3 ? full : half;
    EXPECT_LE(at + len, bytes.size());
    numbers.emplace_back(BN_bin2bn(bytes.data() + at, static_cast<int>(len), nullptr));
    at += len;
    OSSL_PARAM_BLD_push_BN(bld, names[i], numbers.back().get());
  }
  EXPECT_EQ(at, bytes.size());
  OSSL_PARAM* params = OSSL_PARAM_BLD_to_param(bld);
  EVP_PKEY_CTX* ctx = EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr);
  EVP_PKEY* key = nullptr;
  EXPECT_GT(EVP_PKEY_fromdata_init(ctx), 0);
  EXPECT_GT(EVP_PKEY_fromdata(ctx, &key, EVP_PKEY_KEYPAIR, params), 0);
  EVP_PKEY_CTX_free(ctx);
  OSSL_PARAM_free(params);
  OSSL_PARAM_BLD_free(bld);
  return testing_support::Pkey(key);
}

TEST_F(ZavkeygenTest, KeyFileAsPemPassesOpenSslsCheck) {
  for (const char* bits : {"2048", "1031"}) {
    ProgramResult r = run({"-q", "-f", std::string("RSA_Modulus_Bits=") + bits});
    ASSERT_EQ(r.status, 0) << r.err;
    testing_support::Pkey key = keyFromFile(slurp(keyFile));
    ASSERT_TRUE(key);
    EXPECT_EQ(EVP_PKEY_get_bits(key.get()), atoi(bits));
    std::string pem = scratch / "key.pem";
    FILE* f = fopen(pem.c_str(), "w");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(PEM_write_PrivateKey(f, key.get(), nullptr, nullptr, 0, nullptr, nullptr), 1);
    fclose(f);
    std::string cmd = "openssl rsa -check -noout -in '" + pem + "' 2>&1";
    FILE* p = popen(cmd.c_str(), "r");
    char line[256] = "";
    std::string output;
    while (fgets(line, sizeof(line), p))
      output += line;
    EXPECT_EQ(pclose(p), 0) << output;
    EXPECT_EQ(output, "RSA key ok\n") << bits;
  }
}

} // namespace
