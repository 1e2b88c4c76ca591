#include "plat/ConfigParameter.h"

#include "plat/Assert.h"
#include "plat/BinaryParameter.h"
#include "plat/BoolParameter.h"
#include "plat/EnumParameter.h"
#include "plat/Exception.h"
#include "plat/Hex.h"
#include "plat/IntParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParameterChangedCallback.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "plat/Utf8.h"

#include <cerrno>
#include <cstdlib>
#include <strings.h>

static plat::LogWriter vlog("ConfigParameter");

namespace plat {

// ConfigParameter

ConfigParameter::ConfigParameter(const char* name, const char* description, bool hidden,
                                 ParameterSet* set)
    : name_(name), description_(description), hidden_(hidden) {
  (set ? *set : ParameterSet::global()).add(this);
}

ConfigParameter::~ConfigParameter() {
  if (set_)
    set_->remove(this);
}

bool ConfigParameter::setParamInt(int, int) {
  return false;
}

int ConfigParameter::getValueInt() const {
  return 0;
}

bool ConfigParameter::isBool() const {
  return false;
}
bool ConfigParameter::isInt() const {
  return false;
}
bool ConfigParameter::isString() const {
  return false;
}
bool ConfigParameter::isEnum() const {
  return false;
}
bool ConfigParameter::isBinary() const {
  return false;
}

void ConfigParameter::unsetFileValues() {
  unsetParam(policyPriority);
  unsetParam(filePriority);
}

void ConfigParameter::copyValuesFrom(const ConfigParameter& other) {
  if (&other == this)
    return;
  for (const auto& entry : getValueStrs())
    unsetParam(entry.first);
  for (const auto& entry : other.getValueStrs())
    setParam(entry.second.c_str(), entry.first);
}

void ConfigParameter::notifyChanged(int priority) {
  if (callback_)
    callback_->parameterChanged(this, priority);
}

// BoolParameter

BoolParameter::BoolParameter(const char* name, const char* desc, bool def, bool hidden,
                             ParameterSet* set)
    : TypedParameter<bool>(name, desc, hidden, set) {
  setValue(def, defaultPriority);
}

bool BoolParameter::setParam(const char* text, int priority) {
  static const char* const trueWords[] = {"", "1", "on", "true", "yes"};
  static const char* const falseWords[] = {"0", "off", "false", "no"};
  if (text) {
    for (const char* w : trueWords)
      if (strcasecmp(text, w) == 0) {
        setValue(true, priority);
        return true;
      }
    for (const char* w : falseWords)
      if (strcasecmp(text, w) == 0) {
        setValue(false, priority);
        return true;
      }
  }
  vlog.error("Bool parameter %s: invalid value '%s'", getName(), text ? text : "<null>");
  return false;
}

bool BoolParameter::setParamInt(int value, int priority) {
  setValue(value != 0, priority);
  return true;
}

void BoolParameter::setValue(bool value, int priority) {
  store(value, priority);
  vlog.debug("set %s(Bool) to %d, priority %i", getName(), value ? 1 : 0, priority);
  notifyChanged(priority);
}

ConfigParameter* BoolParameter::clone(ParameterSet* set) const {
  BoolParameter* p = new BoolParameter(getName(), getDescription(), false, isHidden(), set);
  p->values_ = values_;
  return p;
}

// IntParameter

IntParameter::IntParameter(const char* name, const char* desc, int def, int min, int max,
                           bool hidden, ParameterSet* set)
    : TypedParameter<int>(name, desc, hidden, set), min_(min), max_(max) {
  store(def, defaultPriority);
}

bool IntParameter::setParam(const char* text, int priority) {
  if (!text)
    return false;
  char* end;
  errno = 0;
  long long value = strtoll(text, &end, 0);
  if (end == text)
    return false;
  // Range-check the full-width number: narrowing first would let an
  // out-of-range text wrap into the range.
  if (errno == ERANGE || value < min_ || value > max_)
    return false;
  return setValue(static_cast<int>(value), priority);
}

bool IntParameter::setValue(int value, int priority) {
  if (value < min_ || value > max_)
    return false;
  store(value, priority);
  vlog.debug("set %s(Int) to %d, priority %i", getName(), value, priority);
  notifyChanged(priority);
  return true;
}

ConfigParameter* IntParameter::clone(ParameterSet* set) const {
  IntParameter* p = new IntParameter(getName(), getDescription(), 0, min_, max_, isHidden(), set);
  p->values_ = values_;
  return p;
}

String IntParameter::toStr(const int& value) const {
  char buf[16];
  snprintf(buf, sizeof(buf), "%d", value);
  return buf;
}

// EnumParameter

namespace {

int countOptions(const char* const* options) {
  int n = 0;
  while (options[n])
    n++;
  return n;
}

} // namespace

EnumParameter::EnumParameter(const char* name, const char* desc, const char* defOption,
                             const char* const* options, bool hidden, ParameterSet* set)
    : IntParameter(name, desc, 0, 0, countOptions(options) - 1, hidden, set), options_(options) {
  PLAT_ASSERT_MSG(options[0], "Enum parameter %s without options", name);
  if (defOption)
    setParam(defOption, defaultPriority);
}

bool EnumParameter::setParam(const char* text, int priority) {
  if (!text)
    return false;
  for (int i = 0; options_[i]; i++)
    if (strcasecmp(text, options_[i]) == 0)
      return setParamInt(i, priority);
  return false;
}

ConfigParameter* EnumParameter::clone(ParameterSet* set) const {
  EnumParameter* p =
      new EnumParameter(getName(), getDescription(), nullptr, options_, isHidden(), set);
  p->values_ = values_;
  return p;
}

const char* EnumParameter::getOptionName() const {
  int index = getValue();
  return index >= getMin() && index <= getMax() ? options_[index] : "";
}

String EnumParameter::toStr(const int& value) const {
  return value >= getMin() && value <= getMax() ? options_[value] : "";
}

// StringParameter

StringParameter::StringParameter(const char* name, const char* desc, const char* def, bool hidden,
                                 ParameterSet* set)
    : TypedParameter<String>(name, desc, hidden, set) {
  PLAT_ASSERT_MSG(def, "Default value <null> for %s not allowed", name);
  setParam(def, defaultPriority);
}

bool StringParameter::setParam(const char* text, int priority) {
  PLAT_ASSERT_MSG(text, "setParam(<null>) for %s not allowed", getName());
  String copy(text);
  if (!checkUtf8(copy.buf()))
    throw ExceptionFmt("Invalid UTF-8 encoding for %s", getName());
  store(copy, priority);
  vlog.debug("set %s(String) to %s, priority %i", getName(), copy.c_str(), priority);
  notifyChanged(priority);
  return true;
}

ConfigParameter* StringParameter::clone(ParameterSet* set) const {
  StringParameter* p = new StringParameter(getName(), getDescription(), "", isHidden(), set);
  p->values_ = values_;
  return p;
}

// BinaryParameter

BinaryParameter::BinaryParameter(const char* name, const char* desc, int length,
                                 const unsigned char* bytes, bool hidden, ParameterSet* set)
    : TypedParameter<MBuf<unsigned char>>(name, desc, hidden, set) {
  setParamBinary(length, bytes, defaultPriority);
}

bool BinaryParameter::setParam(const char* text, int priority) {
  MBuf<unsigned char> value;
  if (!text || !hexToBin(text, value))
    return false;
  // The bytes are obfuscated passwords: only their number is traced.
  vlog.debug("set %s(Binary) to %d bytes, priority %i", getName(), value.size(), priority);
  store(value, priority);
  value.clear();
  notifyChanged(priority);
  return true;
}

void BinaryParameter::setParamBinary(int length, const unsigned char* bytes, int priority) {
  if (length < 0 || !bytes)
    length = 0;
  store(MBuf<unsigned char>(bytes, length), priority);
  vlog.debug("set %s(Binary), priority %i", getName(), priority);
  notifyChanged(priority);
}

ConfigParameter* BinaryParameter::clone(ParameterSet* set) const {
  BinaryParameter* p =
      new BinaryParameter(getName(), getDescription(), 0, nullptr, isHidden(), set);
  p->values_ = values_;
  return p;
}

String BinaryParameter::toStr(const MBuf<unsigned char>& value) const {
  return binToHex(value.size(), value.data());
}

} // namespace plat
