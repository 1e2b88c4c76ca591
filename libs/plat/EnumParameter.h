// A choice among named options; the value is the option's index. The option
// list is a borrowed, null-terminated array of static texts. Text is matched
// against the option names ignoring case.
#pragma once

#include "plat/IntParameter.h"

namespace plat {

class EnumParameter : public IntParameter {
public:
  // A default that names no option leaves index 0.
  EnumParameter(const char* name, const char* desc, const char* defOption,
                const char* const* options, bool hidden = false, ParameterSet* set = nullptr);

  bool setParam(const char* text, int priority) override;
  bool isEnum() const override { return true; }
  ConfigParameter* clone(ParameterSet* set) const override;

  const char* const* getOptions() const { return options_; }
  // The name of the option in force.
  const char* getOptionName() const;

protected:
  String toStr(const int& value) const override;

private:
  const char* const* options_;
};

} // namespace plat
