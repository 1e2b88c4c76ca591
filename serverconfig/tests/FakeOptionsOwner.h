// A stand-in for the owner of the options dialog: answers status values from
// a table, reports a server mode of the test's choosing, counts applies.
#pragma once

#include "serverconfig/OptionsDialog.h"

#include <map>
#include <string>
#include <vector>

namespace testing_support {

struct FakeOptionsOwner : serverconfig::OptionsDialog::Callback {
  void applyOptions(plat::ParameterSet*, plat::ParameterSet*) override { applied++; }
  const char* getStatusParam(const char* name) override {
    asked.push_back(name);
    auto i = status.find(name);
    return i == status.end() ? nullptr : i->second.c_str();
  }
  void reloadParams(plat::ParameterSet*) override {}
  unsigned getMode() override { return mode; }

  std::map<std::string, std::string> status;
  std::vector<std::string> asked;
  unsigned mode = 2;
  int applied = 0;
};

} // namespace testing_support
