// The server options dialog's interface to its owner, through which it
// applies changed options, reads the server's status values and parameters
// and learns the server mode, and the parameter that remembers whether it
// shows its advanced view. The parameter sets passed belong to the caller.
#pragma once

#include "plat/BoolParameter.h"

namespace plat {
class ParameterSet;
}

namespace serverconfig {

class OptionsDialog {
public:
  class Callback {
  public:
    virtual ~Callback() = default;
    // Sends every parameter of changed whose value differs from the one in
    // server, then copies the changed values into server.
    virtual void applyOptions(plat::ParameterSet* changed, plat::ParameterSet* server) = 0;
    // A status value, valid until the next call, or null.
    virtual const char* getStatusParam(const char* name) = 0;
    // Loads the server's parameters into set; without an answer the set is
    // left as it was.
    virtual void reloadParams(plat::ParameterSet* set) = 0;
    // 1 service mode, 2 user mode, 3 virtual mode.
    virtual unsigned getMode() = 0;
  };

  // "AdvancedOptions": whether the dialog shows its advanced pages.
  static plat::BoolParameter advancedParam;
};

} // namespace serverconfig
