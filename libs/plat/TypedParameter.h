// The value map shared by every parameter kind: one T per priority, ordered
// ascending, always holding a value at priority 100. Kinds add parsing,
// text forms and tracing.
#pragma once

#include "plat/ConfigParameter.h"

#include <map>

namespace plat {

template <typename T> class TypedParameter : public ConfigParameter {
public:
  void unsetParam(int priority) override {
    if (priority != defaultPriority)
      values_.erase(priority);
  }
  int getPriority() const override { return values_.begin()->first; }
  String getValueStr() const override { return toStr(values_.begin()->second); }
  std::map<int, String> getValueStrs() const override {
    std::map<int, String> result;
    for (const auto& entry : values_)
      result.emplace(entry.first, toStr(entry.second));
    return result;
  }

  // The value in force.
  const T& getValueRef() const { return values_.begin()->second; }
  const std::map<int, T>& getValues() const { return values_; }

protected:
  TypedParameter(const char* name, const char* description, bool hidden, ParameterSet* set)
      : ConfigParameter(name, description, hidden, set) {}

  virtual String toStr(const T& value) const = 0;
  // Creates or replaces the entry at the priority; no trace, no callback.
  void store(const T& value, int priority) { values_[priority] = value; }

  std::map<int, T> values_;
};

} // namespace plat
