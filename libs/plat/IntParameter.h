// A 32-bit integer configuration parameter with an inclusive range. Text is
// read like strtol with base 0 ("0x" hexadecimal, leading 0 octal), trailing
// characters ignored; a number outside the range is refused.
#pragma once

#include "plat/TypedParameter.h"

#include <climits>

namespace plat {

class IntParameter : public TypedParameter<int> {
public:
  // The default is stored as given, without range check.
  IntParameter(const char* name, const char* desc, int def, int min = INT_MIN, int max = INT_MAX,
               bool hidden = false, ParameterSet* set = nullptr);

  bool setParam(const char* text, int priority) override;
  bool setParamInt(int value, int priority) override { return setValue(value, priority); }
  int getValueInt() const override { return getValue(); }
  bool isInt() const override { return true; }
  ConfigParameter* clone(ParameterSet* set) const override;

  // Stores the value when it lies in the range; false (nothing stored, traced
  // or told) otherwise.
  bool setValue(int value, int priority);
  int getValue() const { return getValueRef(); }
  operator int() const { return getValue(); }
  int getMin() const { return min_; }
  int getMax() const { return max_; }

protected:
  String toStr(const int& value) const override;

private:
  int min_;
  int max_;
};

} // namespace plat
