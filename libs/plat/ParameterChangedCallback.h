// The interface through which a parameter tells its owner that a value was
// set. A parameter holds at most one callback and does not own it.
#pragma once

namespace plat {

class ConfigParameter;

class ParameterChangedCallback {
public:
  virtual ~ParameterChangedCallback() = default;
  // Called after every successful set, whether or not the value in force
  // changed, with the priority the value was set at.
  virtual void parameterChanged(ConfigParameter* param, int priority) = 0;
};

} // namespace plat
