// A dialog callback that records how each dialog ended (true for OK), in
// order, for the test to read after the modal loop returns.
#pragma once

#include "tx/TXDialog.h"

#include <vector>

namespace testing_support {

class TxDialogResults : public TXDialog::Callback {
public:
  void dialogFinished(TXDialog*, bool result) override { results.push_back(result); }
  std::vector<bool> results;
};

} // namespace testing_support
