// A named, described configuration value registered in a parameter set when
// it is constructed. It holds one value per priority: 100 the default, 50
// configuration files and the command line, 0 policy files; the smallest
// number is in force. Names and descriptions are borrowed static texts. The
// set lists its parameters; an owning set (a copy) deletes them.
#pragma once

#include "plat/String.h"

#include <map>

namespace plat {

class ParameterSet;
class ParameterChangedCallback;

class ConfigParameter {
public:
  static constexpr int defaultPriority = 100;
  static constexpr int filePriority = 50;
  static constexpr int policyPriority = 0;

  virtual ~ConfigParameter();
  ConfigParameter(const ConfigParameter&) = delete;
  ConfigParameter& operator=(const ConfigParameter&) = delete;

  // Parses the text and stores the value at the priority; false when the
  // text is refused (nothing is stored then).
  virtual bool setParam(const char* text, int priority) = 0;
  // Removes the value at the priority; the default at 100 is never removed.
  virtual void unsetParam(int priority) = 0;
  virtual bool setParamInt(int value, int priority);
  // The text of the value in force.
  virtual String getValueStr() const = 0;
  virtual int getValueInt() const;
  // The priority of the value in force.
  virtual int getPriority() const = 0;
  // The text of every stored value by priority.
  virtual std::map<int, String> getValueStrs() const = 0;
  virtual bool isBool() const;
  virtual bool isInt() const;
  virtual bool isString() const;
  virtual bool isEnum() const;
  virtual bool isBinary() const;
  // A new parameter of the same kind, name, description, hidden flag and
  // values, registered in set (owned by it when the set owns its parameters).
  // The change callback is not copied.
  virtual ConfigParameter* clone(ParameterSet* set) const = 0;

  // Removes the values of policy files (0) and configuration files (50).
  void unsetFileValues();
  // Replaces every own value with the other parameter's values.
  void copyValuesFrom(const ConfigParameter& other);

  const char* getName() const { return name_; }
  const char* getDescription() const { return description_; }
  bool isHidden() const { return hidden_; }
  ConfigParameter* getNext() const { return next_; }
  ParameterSet* getSet() const { return set_; }
  void setCallback(ParameterChangedCallback* callback) { callback_ = callback; }
  ParameterChangedCallback* getCallback() const { return callback_; }

protected:
  // Registers the parameter at the head of set (the global set when absent).
  ConfigParameter(const char* name, const char* description, bool hidden, ParameterSet* set);
  void notifyChanged(int priority);

private:
  friend class ParameterSet;

  ConfigParameter* next_ = nullptr;
  ParameterSet* set_ = nullptr;
  const char* name_;
  const char* description_;
  bool hidden_;
  ParameterChangedCallback* callback_ = nullptr;
};

} // namespace plat
