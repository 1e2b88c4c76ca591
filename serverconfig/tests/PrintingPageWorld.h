// What the tests of the printing page and its model share: a printing system
// whose presence and backend the test sets, the owner of the options dialog,
// the two printing parameters, the five status texts the page shows, and
// the table of what it shows when.
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

// What the page shows by server mode, printing system and stored values:
// the status text and which boxes can be used.
struct PrintingStatusCase {
  unsigned mode;
  bool available, backend, share, changeDefault;
  const std::string& text;
  bool shareEnabled, defaultEnabled;
};

const PrintingStatusCase printingStatusCases[] = {
    {1, true, true, true, true, printing_texts::serviceMode, false, false},
    {1, false, false, false, false, printing_texts::serviceMode, false, false},
    {2, false, true, true, false, printing_texts::noCups, false, false},
    {2, false, false, false, false, printing_texts::noCups, false, false},
    {2, true, true, true, false, printing_texts::enabledKeeps, true, true},
    {3, true, true, true, false, printing_texts::enabledKeeps, true, true},
    {2, true, true, true, true, printing_texts::enabledMakesDefault, true, true},
    {2, true, true, false, true, printing_texts::disabled, true, false},
    {3, true, true, false, true, printing_texts::disabled, true, false},
    {2, true, true, false, false, printing_texts::disabled, true, false},
    {2, true, false, true, true, printing_texts::noBackend, false, false},
    {2, true, false, false, false, printing_texts::noBackend, false, false},
    {3, true, true, false, false, printing_texts::disabled, true, false},
};

} // namespace testing_support
