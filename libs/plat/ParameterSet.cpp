#include "plat/ParameterSet.h"

#include "plat/Exception.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

static plat::LogWriter vlog("ParameterSet");

namespace plat {

ParameterSet::ParameterSet(const char* name, ParameterSet* next) : name_(name), next_(next) {
}

ParameterSet::ParameterSet(const ParameterSet& source)
    : name_(source.name_), owning_(true), aliases_(source.aliases_) {
  for (const ParameterSet* s = &source; s; s = s->next_)
    for (ConfigParameter* p = s->first_; p; p = p->next_)
      p->clone(this);
}

ParameterSet::~ParameterSet() {
  while (first_) {
    ConfigParameter* p = first_;
    first_ = p->next_;
    p->set_ = nullptr;
    p->next_ = nullptr;
    if (owning_)
      delete p;
  }
}

ParameterSet& ParameterSet::global() {
  static ParameterSet globalSet("Global");
  return globalSet;
}

void ParameterSet::add(ConfigParameter* param) {
  param->set_ = this;
  param->next_ = first_;
  first_ = param;
}

void ParameterSet::remove(ConfigParameter* param) {
  for (ConfigParameter** link = &first_; *link; link = &(*link)->next_)
    if (*link == param) {
      *link = param->next_;
      break;
    }
  param->set_ = nullptr;
  param->next_ = nullptr;
}

void ParameterSet::addAlias(const char* alias, const char* paramName) {
  aliases_[alias] = paramName;
}

ConfigParameter* ParameterSet::findOwn(const char* name, int nameLength) const {
  for (ConfigParameter* p = first_; p; p = p->next_)
    if (strncasecmp(p->getName(), name, nameLength) == 0 &&
        static_cast<int>(strlen(p->getName())) == nameLength)
      return p;
  return nullptr;
}

ConfigParameter* ParameterSet::find(const char* name) const {
  std::string wanted(name);
  for (const ParameterSet* s = this; s; s = s->next_) {
    auto alias = s->aliases_.find(wanted);
    if (alias != s->aliases_.end())
      wanted = alias->second;
    if (ConfigParameter* p = s->findOwn(wanted.c_str(), static_cast<int>(wanted.size())))
      return p;
  }
  return nullptr;
}

ConfigParameter* ParameterSet::get(const char* name) const {
  ConfigParameter* p = find(name);
  if (!p)
    throw ExceptionFmt("Parameter %s not found", name);
  return p;
}

bool ParameterSet::setParamN(const char* name, int nameLength, const char* value, int priority) {
  std::string wanted(name, std::min<size_t>(nameLength, strlen(name)));
  for (ParameterSet* s = this; s; s = s->next_) {
    auto alias = s->aliases_.find(wanted);
    if (alias != s->aliases_.end())
      wanted = alias->second;
    ConfigParameter* p = s->findOwn(wanted.c_str(), static_cast<int>(wanted.size()));
    if (!p)
      continue;
    if (value)
      return p->setParam(value, priority);
    return p->isBool() && p->setParam("1", priority);
  }
  return false;
}

bool ParameterSet::setParam(const char* name, const char* value, int priority) {
  return setParamN(name, static_cast<int>(strlen(name)), value, priority);
}

bool ParameterSet::parseParam(const char* arg, int priority) {
  bool dash = false;
  if (arg[0] == '-') {
    dash = true;
    arg += arg[1] == '-' ? 2 : 1;
  }
  if (const char* equals = strchr(arg, '='))
    return setParamN(arg, static_cast<int>(equals - arg), equals + 1, priority);
  if (!dash)
    return false;
  return setParamN(arg, static_cast<int>(strlen(arg)), nullptr, priority);
}

int ParameterSet::parseCommandLine(int argc, const char* const* argv, int first, int priority,
                                   const std::vector<ParameterSet*>& sets) {
  int i = first;
  while (i < argc) {
    bool used = false;
    for (ParameterSet* s : sets)
      if (s->parseParam(argv[i], priority)) {
        used = true;
        break;
      }
    if (used) {
      i++;
      continue;
    }
    if (argv[i][0] == '-' && i + 1 < argc) {
      for (ParameterSet* s : sets)
        if (s->setParam(argv[i] + 1, argv[i + 1], priority)) {
          used = true;
          break;
        }
      if (used) {
        i += 2;
        continue;
      }
    }
    break;
  }
  return i;
}

namespace {

// Why an integer parameter refuses a text.
std::string intRefusal(const IntParameter& param, const char* text) {
  std::string name = std::string(param.getName()) + ": " + text;
  char* end;
  errno = 0;
  long long value = strtoll(text, &end, 0);
  if (end == text)
    return name + " is not a number";
  // Out of the range of long long, strtoll answers its extremes.
  if (value < param.getMin())
    return name + " is below the minimum " + std::to_string(param.getMin());
  if (value > param.getMax())
    return name + " is above the maximum " + std::to_string(param.getMax());
  return name + " is not a valid value";
}

} // namespace

std::string ParameterSet::refusalReason(int argc, const char* const* argv, int at,
                                        const std::vector<ParameterSet*>& sets, bool* known) {
  const char* arg = argv[at];
  bool dash = arg[0] == '-';
  const char* name = dash ? arg + (arg[1] == '-' ? 2 : 1) : arg;
  const char* equals = strchr(name, '=');
  std::string shown = equals ? std::string(name, equals - name) : std::string(arg);
  ConfigParameter* param = nullptr;
  std::string bare = equals ? shown : std::string(name);
  for (ParameterSet* s : sets)
    if ((param = s->find(bare.c_str())))
      break;
  if (known)
    *known = param != nullptr;
  if (!dash && !equals) {
    // A parameter's bare name lacks what makes it a setting.
    if (!param)
      return shown + ": not a parameter";
    return shown + (param->isBool() ? " needs a dash or a value" : " needs a value");
  }
  if (!param)
    return shown + ": no such parameter";
  const char* value = equals ? equals + 1 : at + 1 < argc ? argv[at + 1] : nullptr;
  if (!value)
    return shown + " needs a value";
  if (const IntParameter* i = dynamic_cast<const IntParameter*>(param))
    return intRefusal(*i, value);
  return std::string(param->getName()) + ": " + value + " is not a valid value";
}

const char* ParameterSet::usageText() {
  return "Parameters can be turned on with -<param> or off with -<param>=0\n"
         "Parameters which take a value can be specified as -<param> <value>\n"
         "Other valid forms are <param>=<value> -<param>=<value> --<param>=<value>\n"
         "Parameter names are case-insensitive.\n";
}

void ParameterSet::printHelp(bool all, int lineWidth, int nameWidth, FILE* out) const {
  for (const ParameterSet* s = this; s; s = s->next_) {
    fprintf(out, "%s Parameters:\n", s->getName());
    for (ConfigParameter* p = s->first_; p; p = p->next_) {
      if (p->getName()[0] == '_' || (p->isHidden() && !all))
        continue;
      fprintf(out, "  %-*s -", nameWidth, p->getName());
      int column = std::max(static_cast<int>(strlen(p->getName())), nameWidth) + 4;
      const int indent = nameWidth + 4;
      const char* word = p->getDescription() ? p->getDescription() : "";
      while (*word) {
        const char* blank = strchr(word, ' ');
        int length = blank ? static_cast<int>(blank - word) : static_cast<int>(strlen(word));
        if (column + length + 1 > lineWidth) {
          fprintf(out, "\n%*s", indent, "");
          column = indent;
        }
        fprintf(out, " %.*s", length, word);
        column += length + 1;
        if (!blank)
          break;
        word = blank + 1;
      }
      String value = p->getValueStr();
      if (value.length() + column + 11 > lineWidth)
        fprintf(out, "\n%*s", indent, "");
      fprintf(out, " (default=%s)\n", value.c_str());
    }
  }
}

void ParameterSet::copyAllValuesFrom(const ParameterSet& other) {
  for (ConfigParameter* theirs = other.first_; theirs; theirs = theirs->next_)
    if (ConfigParameter* mine = findOwn(theirs->getName(), strlen(theirs->getName())))
      mine->copyValuesFrom(*theirs);
}

void ParameterSet::setValuesFrom(const ParameterSet& other) {
  for (ConfigParameter* theirs = other.first_; theirs; theirs = theirs->next_)
    if (ConfigParameter* mine = findOwn(theirs->getName(), strlen(theirs->getName())))
      mine->setParam(theirs->getValueStr().c_str(), theirs->getPriority());
}

bool ParameterSet::sameValuesAs(const ParameterSet& other) const {
  for (ConfigParameter* mine = first_; mine; mine = mine->next_) {
    ConfigParameter* theirs = other.findOwn(mine->getName(), strlen(mine->getName()));
    if (!theirs || strcasecmp(mine->getValueStr().c_str(), theirs->getValueStr().c_str()) != 0)
      return false;
  }
  return true;
}

void ParameterSet::applyAliasesTo(KeyValueStore& store) const {
  for (const auto& alias : aliases_) {
    const char* key = alias.first.c_str();
    std::string value;
    if (!store.hasKey(key, &value))
      continue;
    // The alias key's value moves to the target unless the target is set.
    if (!store.hasKey(alias.second.c_str()))
      store.setKey(alias.second.c_str(), value.c_str());
    store.removeKey(key);
  }
}

} // namespace plat
