#include "zavkeygen/RsaPrivateKeyStoreFile.h"

#include "OpenSslRsa.h"
#include "ReleasedArrays.h"
#include "TempDir.h"
#include "plat/IntParameter.h"
#include "plat/crypto/RsaException.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using namespace testing_support;

namespace {

std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void writeFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string hexOf(const std::vector<std::uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string s;
  for (std::uint8_t b : bytes) {
    s += digits[b >> 4];
    s += digits[b & 15];
  }
  return s;
}

mode_t modeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0) << path;
  return st.st_mode & 07777;
}

std::vector<std::string> listDir(const std::string& path) {
  std::vector<std::string> names;
  DIR* d = opendir(path.c_str());
  while (struct dirent* e = readdir(d))
    if (strcmp(e->d_name, ".") && strcmp(e->d_name, ".."))
      names.push_back(e->d_name);
  closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

// Sets the modification time an hour back, so that any later write shows.
void ageFile(const std::string& path) {
  struct timeval times[2] = {{time(nullptr) - 3600, 0}, {time(nullptr) - 3600, 0}};
  ASSERT_EQ(utimes(path.c_str(), times), 0);
}

struct timespec mtimeOf(const std::string& path) {
  struct stat st;
  EXPECT_EQ(stat(path.c_str(), &st), 0);
  return st.st_mtim;
}

class StoreFileTest : public ::testing::Test {
protected:
  void TearDown() override { umask(savedUmask); }
  TempDir dir;
  mode_t savedUmask = umask(022);
};

TEST_F(StoreFileTest, NewKeyFileIsPrivateHexWithoutNewline) {
  umask(0); // the file must be private whatever the creation mask allows
  std::string path = dir / "private.key";
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  store.ensureKey(true);
  std::string text = readFile(path);
  EXPECT_EQ(text.size(), 2824u);
  EXPECT_TRUE(std::regex_match(text, std::regex("[0-9a-f]+")));
  EXPECT_EQ(text.substr(0, 8), "00000800"); // 2048 bits
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"private.key"});

  crypto::RsaPrivateKey key;
  EXPECT_TRUE(store.load(key));
  EXPECT_EQ(key.getBits(), 2048);
}

TEST_F(StoreFileTest, ValidFileIsKeptUnlessForced) {
  std::string path = dir / "private.key";
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  store.ensureKey(true);
  std::string first = readFile(path);
  ageFile(path);
  struct timespec before = mtimeOf(path);

  store.ensureKey(true);
  EXPECT_EQ(readFile(path), first);
  struct timespec after = mtimeOf(path);
  EXPECT_EQ(after.tv_sec, before.tv_sec);
  EXPECT_EQ(after.tv_nsec, before.tv_nsec);

  store.ensureKey(false);
  std::string second = readFile(path);
  EXPECT_EQ(second.size(), 2824u);
  EXPECT_NE(second, first);
  EXPECT_EQ(modeOf(path), 0600u);
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"private.key"});
}

TEST_F(StoreFileTest, KeyFileEdgeCases) {
  Pkey a = opensslGenerateRsa(1024), b = opensslGenerateRsa(1024);
  std::string valid = hexOf(opensslPrivateForm(a.get()));
  std::string other = hexOf(opensslPrivateForm(b.get()));
  std::string upper = valid;
  for (char& c : upper)
    c = static_cast<char>(toupper(c));
  const size_t publicHex = 2 * (4 + 2 * 128);
  std::string mismatched = valid.substr(0, publicHex) + other.substr(publicHex);
  std::string oversized = "00010000" + valid.substr(8); // announces 65536 bits

  struct Case {
    const char* name;
    std::string content;
    const char* error; // nullptr: loads
  } cases[] = {
      {"valid", valid, nullptr},
      {"one trailing newline", valid + "\n", nullptr},
      {"upper case", upper, nullptr},
      {"two trailing newlines", valid + "\n\n", "Invalid hex digit"},
      {"blank inside", valid.substr(0, 100) + " " + valid.substr(101), "Invalid hex digit"},
      {"truncated", valid.substr(0, 1000), "End of stream"},
      {"truncated to an odd length", valid.substr(0, 1001), "End of stream"},
      {"empty", "", "End of stream"},
      {"mismatched private numbers", mismatched, "RSA keys do not match"},
      {"key length over the cap", oversized, "Unsupported RSA key length"},
      {"key length under 512", "000001ff" + valid.substr(8), "Unsupported RSA key length"},
  };
  for (const Case& c : cases) {
    std::string path = dir / "key";
    writeFile(path, c.content);
    ageFile(path);
    struct timespec before = mtimeOf(path);
    crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
    crypto::RsaPrivateKey key;
    if (!c.error) {
      EXPECT_TRUE(store.load(key)) << c.name;
      EXPECT_EQ(key.getBits(), 1024) << c.name;
      continue;
    }
    try {
      store.ensureKey(true);
      ADD_FAILURE() << c.name << " loaded";
    } catch (crypto::RsaException& e) {
      EXPECT_EQ(std::string(e.str()), "Error getting private key from " + path + ": " + c.error)
          << c.name;
    }
    EXPECT_EQ(readFile(path), c.content) << c.name << ": the file was changed";
    EXPECT_EQ(mtimeOf(path).tv_sec, before.tv_sec) << c.name;
  }
}

TEST_F(StoreFileTest, UnreadableKeyFile) {
  std::string path = dir / "key";
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  crypto::RsaPrivateKey key;
  try {
    store.load(key);
    FAIL() << "a directory loaded";
  } catch (crypto::RsaException& e) {
    EXPECT_EQ(std::string(e.str()), "Error getting private key from " + path +
                                        ": reading from file failed: Is a directory (21)");
  }
}

TEST_F(StoreFileTest, MissingDirectoriesAreCreatedPrivate) {
  ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50));
  std::string path = dir / "a/b/c/key";
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  store.ensureKey(true);
  EXPECT_EQ(readFile(path).size(), 1416u);
  for (const char* d : {"a", "a/b", "a/b/c"})
    EXPECT_EQ(modeOf(dir / d), 0700u) << d;

  // An existing directory is left as it is.
  ASSERT_EQ(mkdir((dir / "open").c_str(), 0755), 0);
  crypto::RsaPrivateKeyStoreFile inOpen((dir / "open/key").c_str(), nullptr, false, true);
  inOpen.ensureKey(true);
  EXPECT_EQ(modeOf(dir / "open"), 0755u);
  EXPECT_EQ(modeOf(dir / "open/key"), 0600u);
}

TEST_F(StoreFileTest, BareFileNameUsesTheCurrentDirectory) {
  ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50));
  ASSERT_EQ(chmod(dir.path().c_str(), 0751), 0);
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof(cwd)), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  crypto::RsaPrivateKeyStoreFile store("bare.key", nullptr, false, true);
  store.ensureKey(true);
  ASSERT_EQ(chdir(cwd), 0);
  EXPECT_EQ(readFile(dir / "bare.key").size(), 1416u);
  EXPECT_EQ(modeOf(dir.path()), 0751u);
}

TEST_F(StoreFileTest, EmptyFileNameIsRefused) {
  crypto::RsaPrivateKeyStoreFile store("", nullptr, false, true);
  crypto::RsaPrivateKey key;
  try {
    store.load(key);
    FAIL() << "loaded";
  } catch (crypto::RsaException& e) {
    EXPECT_STREQ(e.str(), "No private key file specified");
  }
  try {
    store.ensureKey(false);
    FAIL() << "stored";
  } catch (crypto::RsaException& e) {
    EXPECT_STREQ(e.str(), "Error generating private key: No private key file specified");
  }
}

TEST_F(StoreFileTest, FailedReplacementLeavesNoTemporaryFile) {
  ASSERT_TRUE(crypto::rsaModulusBits.setParam("1024", 50));
  // The key file's place is taken by a directory: the finished temporary
  // file cannot be renamed over it.
  std::string path = dir / "key";
  ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
  writeFile(path + "/inside", "x");
  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  try {
    store.ensureKey(false);
    FAIL() << "stored over a directory";
  } catch (crypto::RsaException& e) {
    EXPECT_EQ(std::string(e.str()).rfind("Error generating private key: rename(" + path + "): ", 0),
              0u)
        << e.str();
  }
  EXPECT_EQ(listDir(dir.path()), std::vector<std::string>{"key"});
  EXPECT_EQ(readFile(path + "/inside"), "x");
}

TEST_F(StoreFileTest, KeyBytesAreNotLeftInReleasedBuffers) {
  Pkey k = opensslGenerateRsa(1024);
  std::vector<std::uint8_t> form = opensslPrivateForm(k.get());
  // The first 32 bytes of d, raw and as the key file's text.
  std::vector<std::uint8_t> d(form.begin() + 4 + 2 * 128, form.begin() + 4 + 2 * 128 + 32);
  std::string path = dir / "private.key";
  writeFile(path, hexOf(form));

  crypto::RsaPrivateKeyStoreFile store(path.c_str(), nullptr, false, true);
  crypto::RsaPrivateKey key;
  {
    ReleasedArrayWatch watch({std::string(d.begin(), d.end()), hexOf(d)});
    ASSERT_TRUE(store.load(key));
    EXPECT_EQ(watch.leaks(), 0) << "after loading";
  }
  {
    ReleasedArrayWatch watch({std::string(d.begin(), d.end()), hexOf(d)});
    store.store(key);
    EXPECT_EQ(watch.leaks(), 0) << "after storing";
  }
  EXPECT_EQ(readFile(path), hexOf(form));
}

} // namespace
