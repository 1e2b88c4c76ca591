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

// Deletes the parameters that a document created in the set.
void dropCreated(plat::ParameterSet& set, const Parameters* keep) {
  for (plat::ConfigParameter* p = set.getFirst(); p;) {
    plat::ConfigParameter* next = p->getNext();
    bool own = keep && (p == &keep->flag || p == &keep->port || p == &keep->any ||
                        p == &keep->text || p == &keep->mode || p == &keep->password);
    if (!own)
      delete p;
    p = next;
  }
}

void xmlParameters(const std::string& text, bool prefilled) {
  Parameters params;
  plat::ParameterSet fresh("Xml");
  plat::ParameterSet& set = prefilled ? params.set : fresh;
  bool loaded = true;
  try {
    plat::loadXmlConfigText(&set, text.c_str());
  } catch (const plat::Exception&) {
    loaded = false;
  }
  // What a whole document put in the set writes a document that builds the
  // same parameters.
  if (loaded) {
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
    check(strcmp(written.c_str(), again.c_str()) == 0, "parameter set document");
    dropCreated(back, nullptr);
  }
  dropCreated(set, prefilled ? &params : nullptr);
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
