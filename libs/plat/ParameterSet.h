// A named list of configuration parameters, searched by name ignoring case,
// with aliases, and chained to a further set searched after it. "Global"
// holds every parameter constructed without a set. A set made by copying
// owns (and deletes) the clones it holds; other sets own nothing.
#pragma once

#include "plat/ConfigParameter.h"

#include <cstdio>
#include <map>
#include <string>
#include <strings.h>
#include <vector>

namespace plat {

class ParameterSet {
public:
  struct CaseLess {
    bool operator()(const std::string& a, const std::string& b) const {
      return strcasecmp(a.c_str(), b.c_str()) < 0;
    }
  };
  // Alias -> parameter name, aliases compared ignoring case.
  using AliasMap = std::map<std::string, std::string, CaseLess>;

  // The store that applyAliasesTo() edits.
  class KeyValueStore {
  public:
    virtual ~KeyValueStore() = default;
    // True when the key exists; its value then goes to valueOut when given.
    virtual bool hasKey(const char* key, std::string* valueOut = nullptr) const = 0;
    virtual void setKey(const char* key, const char* value) = 0;
    virtual void removeKey(const char* key) = 0;
  };

  ParameterSet(const char* name, ParameterSet* next = nullptr);
  // A copy holding clones of every parameter of source and of all sets
  // linked after it; it owns them and has no next set.
  explicit ParameterSet(const ParameterSet& source);
  ParameterSet& operator=(const ParameterSet&) = delete;
  ~ParameterSet();

  // The process-wide set "Global", created on first use.
  static ParameterSet& global();

  const char* getName() const { return name_.c_str(); }
  ParameterSet* getNext() const { return next_; }
  // Head of the own list, newest first; walk it with ConfigParameter::getNext.
  ConfigParameter* getFirst() const { return first_; }
  const AliasMap& getAliases() const { return aliases_; }

  // Records (or redirects) an alias for a parameter name.
  void addAlias(const char* alias, const char* paramName);
  // Searches this set, then the sets linked after it; nullptr when absent.
  ConfigParameter* find(const char* name) const;
  // find(), or throws plat::Exception "Parameter <name> not found".
  ConfigParameter* get(const char* name) const;

  // Sets the parameter named by the first nameLength characters of name.
  // Without a value a boolean is turned on and other kinds answer false.
  bool setParamN(const char* name, int nameLength, const char* value, int priority);
  bool setParam(const char* name, const char* value, int priority);
  // One command-line or configuration-file item: -name, --name, name=value,
  // -name=value, --name=value. An item without '=' and without a dash is not
  // a parameter (false).
  bool parseParam(const char* arg, int priority);

  // Parses parameters from argv[first] on, trying each item on the sets in
  // order; "-name value" takes the following argument as the value. Answers
  // the index of the first argument that is not a parameter.
  static int parseCommandLine(int argc, const char* const* argv, int first, int priority,
                              const std::vector<ParameterSet*>& sets);

  // Why argv[at], the argument parseCommandLine stopped at, is not a
  // parameter, in one line that names it: "-name needs a value", "name
  // needs a value" (a bare name), "Name: 100 is below the minimum 512",
  // "-name: no such parameter", "word: not a parameter". known (when given)
  // tells whether the name is a parameter of the sets.
  static std::string refusalReason(int argc, const char* const* argv, int at,
                                   const std::vector<ParameterSet*>& sets,
                                   bool* known = nullptr);
  static const char* usageText();
  // Lists the parameters of this set and the sets after it, wrapping the
  // descriptions to lineWidth; hidden ones only when all is set.
  void printHelp(bool all, int lineWidth = 79, int nameWidth = 14, FILE* out = stdout) const;

  // For each parameter of other's own list also in this own list: copies
  // every value.
  void copyAllValuesFrom(const ParameterSet& other);
  // For each such pair: sets the other's value in force at its priority.
  void setValuesFrom(const ParameterSet& other);
  // True when every own parameter exists in other's own list with an equal
  // value text (ignoring case).
  bool sameValuesAs(const ParameterSet& other) const;
  // Moves the value of each alias key of the store to its target key (when
  // the target is absent) and removes the alias key.
  void applyAliasesTo(KeyValueStore& store) const;

private:
  friend class ConfigParameter;

  ConfigParameter* findOwn(const char* name, int nameLength) const;
  void add(ConfigParameter* param);
  void remove(ConfigParameter* param);

  std::string name_;
  ConfigParameter* first_ = nullptr;
  ParameterSet* next_ = nullptr;
  bool owning_ = false;
  AliasMap aliases_;
};

} // namespace plat
