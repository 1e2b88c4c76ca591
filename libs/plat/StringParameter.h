// A text configuration parameter. Values are UTF-8: text that is not valid
// UTF-8 throws plat::ExceptionFmt "Invalid UTF-8 encoding for <name>" and
// nothing is stored. A null default or null text is a fatal assertion.
#pragma once

#include "plat/TypedParameter.h"

namespace plat {

class StringParameter : public TypedParameter<String> {
public:
  StringParameter(const char* name, const char* desc, const char* def, bool hidden = false,
                  ParameterSet* set = nullptr);

  bool setParam(const char* text, int priority) override;
  bool isString() const override { return true; }
  ConfigParameter* clone(ParameterSet* set) const override;

  // A copy of the text in force.
  String getValue() const { return getValueRef(); }
  // The text in force, valid until the next change of the parameter.
  const char* c_str() const { return getValueRef().c_str(); }

protected:
  String toStr(const String& value) const override { return value; }
};

} // namespace plat
