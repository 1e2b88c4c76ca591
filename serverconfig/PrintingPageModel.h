// What the printing page of the options dialog shows and allows, without its
// window: the states of its two check boxes ("Allow Zav Viewers to share
// printers", "Allow Zav Viewers to change the default printer"), which of
// them can be used, and the status text that explains, by the server mode
// and the state of the printing system, what will happen. The page's clicks
// become calls here; the parameters live in the edited parameter set, which
// the model does not own and writes at priority 50.
#pragma once

#include "plat/DString.h"
#include "serverconfig/OptionsDialog.h"

namespace plat {
class BoolParameter;
class ConfigParameter;
class ParameterSet;
} // namespace plat

namespace serverconfig {

class PrintingPageModel {
public:
  // The printing system as the page sees it; by default the bound printing
  // library and the installed backend.
  class PrintingSystem {
  public:
    virtual ~PrintingSystem() = default;
    virtual bool isAvailable();
    virtual bool backendInstalled();
  };

  // Neither the options dialog's callback (asked for the server mode), the
  // set nor the printing system is owned; with no printing system the real
  // one is asked.
  PrintingPageModel(OptionsDialog::Callback& callback, plat::ParameterSet& params,
                    PrintingSystem* system = nullptr);
  ~PrintingPageModel();
  PrintingPageModel(const PrintingPageModel&) = delete;
  PrintingPageModel& operator=(const PrintingPageModel&) = delete;

  // The page is shown: both boxes take the values in force and the status
  // is rebuilt.
  void load();
  // A click on the share box, or on the default-printer box: the new state
  // is stored, then the share box's state into "EnableRemotePrinting", and
  // the status is rebuilt. A disabled box takes no clicks.
  void clickShare(bool checked);
  void clickChangeDefault(bool checked);

  void updateStatus();

  bool share() const { return share_; }
  bool changeDefault() const { return changeDefault_; }
  bool shareEnabled() const { return shareEnabled_; }
  bool changeDefaultEnabled() const { return changeDefaultEnabled_; }
  const char* statusText() const { return status_.c_str(); }

  static const char* const serviceModeText;
  static const char* const noCupsText;
  static const char* const enabledText;
  static const char* const makesDefaultText;
  static const char* const keepsDefaultText;
  static const char* const disabledText;
  static const char* const noBackendText;

private:
  void afterClick();

  OptionsDialog::Callback& callback_;
  PrintingSystem* system_;
  PrintingSystem ownSystem_;
  plat::BoolParameter* enableRemotePrinting_;
  plat::ConfigParameter* allowChangeDefault_;
  bool share_ = false;
  bool changeDefault_ = false;
  bool shareEnabled_ = false;
  bool changeDefaultEnabled_ = false;
  plat::DString status_;
};

} // namespace serverconfig
