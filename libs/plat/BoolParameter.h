// A boolean configuration parameter. Text forms: "", "1", "on", "true", "yes"
// for true and "0", "off", "false", "no" for false, ignoring case.
#pragma once

#include "plat/TypedParameter.h"

namespace plat {

class BoolParameter : public TypedParameter<bool> {
public:
  BoolParameter(const char* name, const char* desc, bool def, bool hidden = false,
                ParameterSet* set = nullptr);

  // Refused text is logged at level 0 and answers false.
  bool setParam(const char* text, int priority) override;
  // Stores value != 0; always true.
  bool setParamInt(int value, int priority) override;
  int getValueInt() const override { return getValue() ? 1 : 0; }
  bool isBool() const override { return true; }
  ConfigParameter* clone(ParameterSet* set) const override;

  void setValue(bool value, int priority);
  bool getValue() const { return getValueRef(); }
  operator bool() const { return getValue(); }

protected:
  String toStr(const bool& value) const override { return value ? "1" : "0"; }
};

} // namespace plat
