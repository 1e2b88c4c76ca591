// Feeds arbitrary text to the readers of parameters, one per input chosen by
// the first byte: a configuration file (read into a set of every parameter
// kind and into a map), a command line (the text split into arguments at
// newlines) and the XML form of a parameter set. Bad input must give a
// plat::Exception, never a crash; what was read writes and reads back the
// same.
#include "plat/BinaryParameter.h"
#include "plat/BoolParameter.h"
#include "plat/ConfigurationFile.h"
#include "plat/EnumParameter.h"
#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "plat/XmlConfig.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void check(bool ok, const char* what) {
  if (!ok) {
    fprintf(stderr, "%s does not read back\n", what);
    abort();
  }
}

// A private directory for the files, on a memory file system when there is
// one so that the replacement file's sync costs nothing.
const std::string& workDir() {
  static const std::string dir = [] {
    std::string pattern = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : P_tmpdir;
    pattern += "/zavfuzz.XXXXXX";
    if (!mkdtemp(&pattern[0]))
      abort();
    return pattern;
  }();
  return dir;
}

// One parameter of each kind in a set of their own, as a program has them.
struct Parameters {
  plat::ParameterSet set{"Fuzz"};
  plat::ParameterSet second{"Second"};
  const char* const options[4] = {"Never", "Always", "Ask", nullptr};
  const unsigned char bytes[3] = {1, 2, 3};
  plat::BoolParameter flag{"Flag", "", false, false, &set};
  plat::IntParameter port{"Port", "", 5900, 0, 65535, false, &set};
  plat::IntParameter any{"Any", "", 0, INT_MIN, INT_MAX, false, &set};
  plat::StringParameter text{"Text", "", "default", false, &set};
  plat::EnumParameter mode{"Mode", "", "Ask", options, false, &set};
  plat::BinaryParameter password{"Password", "", 3, bytes, false, &set};
  plat::StringParameter log{"Log", "", "", false, &second};

  Parameters() { set.addAlias("Alias", "Text"); }

  // Every value in force, set again from its own text, stays the same.
  void checkValues() {
    for (plat::ParameterSet* s : {&set, &second})
      for (plat::ConfigParameter* p = s->getFirst(); p; p = p->getNext()) {
        plat::String value = p->getValueStr();
        int priority = p->getPriority();
        check(p->setParam(value.c_str(), priority), "parameter value");
        check(strcmp(p->getValueStr().c_str(), value.c_str()) == 0, "parameter value");
      }
  }
};

std::string writeFile(const char* name, const std::string& content) {
  std::string path = workDir() + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f || fwrite(content.data(), 1, content.size(), f) != content.size() || fclose(f) != 0)
    abort();
  return path;
}

void configFile(const std::string& text, int priority) {
  std::string path = writeFile("config", text);
  Parameters params;
  try {
    plat::ConfigurationFile::readParameters(params.set, path.c_str(), priority);
  } catch (const plat::Exception&) {
  }
  params.checkValues();

  plat::ConfigurationFile::Map map;
  try {
    plat::ConfigurationFile::readMap(path.c_str(), map, &params.set.getAliases());
  } catch (const plat::Exception&) {
    return;
  }
  std::string copy = workDir() + "/copy";
  plat::ConfigurationFile::writeMap(copy.c_str(), map);
  plat::ConfigurationFile::Map again;
  plat::ConfigurationFile::readMap(copy.c_str(), again);
  check(again == map, "configuration file");
}

void commandLine(const std::string& text, int priority) {
  std::vector<std::string> args;
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    args.push_back(text.substr(start, end - start));
  args.push_back(text.substr(start));
  std::vector<const char*> argv;
  for (const std::string& a : args)
    argv.push_back(a.c_str());
  argv.push_back(nullptr);

  Parameters params;
  try {
    int next = plat::ParameterSet::parseCommandLine(int(args.size()), argv.data(), 0, priority,
                                                    {&params.set, &params.second});
    check(next >= 0 && next <= int(args.size()), "command line");
  } catch (const plat::Exception&) {
  }
  params.checkValues();
}

// The elements of a written document, one per parameter, in their order.
std::vector<std::string> elements(const char* document) {
  const std::string text(document);
  std::vector<std::string> found;
  size_t start = text.find("<config>\n");
  if (start == std::string::npos)
    return found;
  start += strlen("<config>\n");
  for (size_t end; (end = text.find("\n</", start)) != std::string::npos;) {
    size_t next = text.find('\n', end + 1);
    if (next == std::string::npos)
      break;
    found.push_back(text.substr(start, next + 1 - start));
    start = next + 1;
  }
  return found;
}

// Parameters created from a document belong to the library until the process
// ends; the sets here only borrow them and let them go when they end.
void xmlParameters(const std::string& text, bool prefilled) {
  Parameters params;
  plat::ParameterSet fresh("Xml");
  plat::ParameterSet& set = prefilled ? params.set : fresh;
  try {
    plat::loadXmlConfigText(&set, text.c_str());
  } catch (const plat::Exception&) {
    return;
  }
  // What a whole document put in the set writes a document that builds the
  // same parameters. A set lists its newest parameter first and the reader
  // adds them in document order, so the document written again holds the
  // same elements in reverse order.
  plat::String written;
  plat::writeXmlConfig(&set, &written);
  plat::ParameterSet back("Back");
  try {
    plat::loadXmlConfigText(&back, written.c_str());
  } catch (const plat::Exception& e) {
    fprintf(stderr, "%s\n%s\n", e.str(), written.c_str());
    check(false, "parameter set document");
  }
  plat::String again;
  plat::writeXmlConfig(&back, &again);
  std::vector<std::string> before = elements(written.c_str());
  std::vector<std::string> after = elements(again.c_str());
  check(strlen(written.c_str()) == strlen(again.c_str()) &&
            std::equal(before.rbegin(), before.rend(), after.begin(), after.end()),
        "parameter set document");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
  if (size == 0)
    return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  int priority = data[0] >> 4;
  switch (data[0] % 3) {
  case 0:
    configFile(text, priority);
    break;
  case 1:
    commandLine(text, priority);
    break;
  case 2:
    xmlParameters(text, (data[0] & 8) != 0);
    break;
  }
  return 0;
}
