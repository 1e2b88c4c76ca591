#include "serverconfig/PrintingPageModel.h"

#include "cups/CupsApi.h"
#include "plat/BoolParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"

#include <cstring>

static plat::LogWriter vlog("PrintingPageModel");

namespace serverconfig {

const char* const PrintingPageModel::serviceModeText =
    "Remote printing is not available with the zav.so module.";
const char* const PrintingPageModel::noCupsText =
    "Remote printing is not available because the CUPS print system is not installed on this "
    "machine.";
const char* const PrintingPageModel::enabledText =
    "Remote printing is enabled.  A Zav printer will be created when a printer is shared by a "
    "Zav Viewer.\n\n";
const char* const PrintingPageModel::makesDefaultText =
    "When the Zav printer is created, it will be made this computer's default printer.";
const char* const PrintingPageModel::keepsDefaultText =
    "This computer's default printer will not be changed.  To print to a Zav printer, select it "
    "from your application's printing dialog.";
const char* const PrintingPageModel::disabledText =
    "Remote printing is disabled.  Zav printers will not be created.";
const char* const PrintingPageModel::noBackendText =
    "Remote printing is not available because the CUPS Zav printer driver is disabled or not "
    "installed. To enable printing, run this command as root:\n\n"
    "  zavinitconfig -enable-print\n\n"
    "Zav Server will then need to be restarted.";

namespace {

const int editPriority = 50;

} // namespace

bool PrintingPageModel::PrintingSystem::isAvailable() {
  return cups::isAvailable();
}

bool PrintingPageModel::PrintingSystem::backendInstalled() {
  return cups::backendInstalled();
}

PrintingPageModel::PrintingPageModel(OptionsDialog::Callback& callback, plat::ParameterSet& params,
                                     PrintingSystem* system)
    : callback_(callback), system_(system ? system : &ownSystem_),
      enableRemotePrinting_(
          dynamic_cast<plat::BoolParameter*>(params.find("EnableRemotePrinting"))),
      allowChangeDefault_(params.find("AllowChangeDefaultPrinter")) {
  // Without the parameter the share box has nothing to edit: it stays
  // disabled (see updateStatus).
  if (!enableRemotePrinting_)
    vlog.error("no boolean parameter EnableRemotePrinting to edit");
}

PrintingPageModel::~PrintingPageModel() = default;

void PrintingPageModel::load() {
  // The page's box is ticked by the text "1", whatever the parameter's type.
  if (allowChangeDefault_)
    changeDefault_ = allowChangeDefault_->getValueInt() != 0 ||
                     strcmp(allowChangeDefault_->getValueStr().c_str(), "1") == 0;
  if (enableRemotePrinting_)
    share_ = enableRemotePrinting_->getValue();
  updateStatus();
}

void PrintingPageModel::clickShare(bool checked) {
  if (!shareEnabled_)
    return;
  share_ = checked;
  afterClick();
}

void PrintingPageModel::clickChangeDefault(bool checked) {
  if (!changeDefaultEnabled_)
    return;
  changeDefault_ = checked;
  if (allowChangeDefault_)
    allowChangeDefault_->setParam(checked ? "1" : "0", editPriority);
  afterClick();
}

void PrintingPageModel::afterClick() {
  if (enableRemotePrinting_)
    enableRemotePrinting_->setValue(share_, editPriority);
  updateStatus();
}

void PrintingPageModel::updateStatus() {
  status_.truncate(0);
  bool possible = false;
  if (callback_.getMode() == 1) {
    status_.append(serviceModeText);
  } else if (!system_->isAvailable()) {
    status_.append(noCupsText);
  } else if (system_->backendInstalled()) {
    possible = true;
    if (share_) {
      status_.append(enabledText);
      status_.append(changeDefault_ ? makesDefaultText : keepsDefaultText);
    } else {
      status_.append(disabledText);
    }
  } else {
    status_.append(noBackendText);
  }
  shareEnabled_ = possible && enableRemotePrinting_;
  changeDefaultEnabled_ = shareEnabled_ && share_;
}

} // namespace serverconfig
