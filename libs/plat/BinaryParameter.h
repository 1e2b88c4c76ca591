// A byte-buffer configuration parameter; its text form is lower-case
// hexadecimal. Used for obfuscated passwords, so its bytes are never logged,
// only their number.
#pragma once

#include "plat/MBuf.h"
#include "plat/TypedParameter.h"

namespace plat {

class BinaryParameter : public TypedParameter<MBuf<unsigned char>> {
public:
  BinaryParameter(const char* name, const char* desc, int length, const unsigned char* bytes,
                  bool hidden = false, ParameterSet* set = nullptr);

  // Text of an even number of hexadecimal digits; anything else answers false.
  bool setParam(const char* text, int priority) override;
  bool isBinary() const override { return true; }
  ConfigParameter* clone(ParameterSet* set) const override;

  void setParamBinary(int length, const unsigned char* bytes, int priority);
  // A copy of the bytes in force.
  void getValueBinary(MBuf<unsigned char>& out) const { out = getValueRef(); }

protected:
  String toStr(const MBuf<unsigned char>& value) const override;
};

} // namespace plat
