// What the tests of the printing page and its model share: a printing system
// whose presence and backend the test sets, the owner of the options dialog,
// the two printing parameters, and the five status texts the page shows.
#pragma once

#include "serverconfig/PrintingPageModel.h"
#include "serverconfig/tests/FakeOptionsOwner.h"

#include "plat/BoolParameter.h"
#include "plat/ParameterSet.h"

#include <string>

namespace testing_support {

struct FakePrintingSystem : serverconfig::PrintingPageModel::PrintingSystem {
  bool available = true;
  bool backend = true;
  bool isAvailable() override { return available; }
  bool backendInstalled() override { return backend; }
};

struct PrintingPageWorld {
  plat::ParameterSet params{"Xzav"};
  plat::BoolParameter enable{"EnableRemotePrinting", "", false, false, &params};
  plat::BoolParameter changeDefault{"AllowChangeDefaultPrinter", "", false, false, &params};
  FakeOptionsOwner dialog;
  FakePrintingSystem system;
};

namespace printing_texts {

const std::string enabled = "Remote printing is enabled.  A Zav printer will be created when a "
                            "printer is shared by a Zav Viewer.\n\n";
const std::string enabledKeeps = enabled + "This computer's default printer will not be changed.  "
                                           "To print to a Zav printer, select it from your "
                                           "application's printing dialog.";
const std::string enabledMakesDefault =
    enabled + "When the Zav printer is created, it will be made this computer's default printer.";
const std::string disabled = "Remote printing is disabled.  Zav printers will not be created.";
const std::string serviceMode = "Remote printing is not available with the zav.so module.";
const std::string noCups = "Remote printing is not available because the CUPS print system is "
                           "not installed on this machine.";
const std::string noBackend =
    "Remote printing is not available because the CUPS Zav printer driver is disabled or not "
    "installed. To enable printing, run this command as root:\n\n  zavinitconfig "
    "-enable-print\n\nZav Server will then need to be restarted.";

} // namespace printing_texts

} // namespace testing_support
