// What the tests of the options dialogs share: a private X display with the
// program's start-up object, a window that stands for the dialogs' owner, a
// callback that records how dialogs end, a stand-in for the options
// dialog's owner, and the server parameters the pages edit.
#pragma once

#include "serverconfig/OptionsDialog.h"
#include "serverconfig/tests/FakeOptionsOwner.h"

#include "plat/BoolParameter.h"
#include "plat/IntParameter.h"
#include "plat/ParameterSet.h"
#include "plat/StringParameter.h"
#include "tx/TXDialog.h"

#include "TxModalScript.h"
#include "TxTestDisplay.h"

#include <map>
#include <string>
#include <utility>
#include <vector>

namespace testing_support {

// Records each end a dialog reports, in order.
struct RecordingFinish : TXDialog::Callback {
  void dialogFinished(TXDialog* dialog, bool result) override { ends.emplace_back(dialog, result); }
  std::vector<std::pair<TXDialog*, bool>> ends;
};

// The server's parameters that the security, basic and users pages use,
// with the server's defaults.
struct ServerParameters {
  plat::ParameterSet set{"Xzav"};
  plat::StringParameter securityTypes{"SecurityTypes", "", "RA2", false, &set};
  plat::StringParameter reverseSecurityTypes{"ReverseSecurityTypes", "", "RA2", false, &set};
  plat::StringParameter userPasswdVerifier{"UserPasswdVerifier", "", "ZavAuth", false, &set};
  plat::BoolParameter queryConnect{"QueryConnect", "", true, false, &set};
  plat::BoolParameter queryOnlyIfLoggedOn{"QueryOnlyIfLoggedOn", "", false, false, &set};
  plat::IntParameter connNotifyTimeout{"ConnNotifyTimeout", "", 10, 0, 3600, false, &set};
  plat::StringParameter ssoLib{"SSOLib", "", "", false, &set};
  plat::StringParameter passwordFile{"PasswordFile", "", "", false, &set};
  plat::StringParameter adminPasswordFile{"AdminPasswordFile", "", "", false, &set};
  plat::StringParameter viewOnlyPasswordFile{"ViewOnlyPasswordFile", "", "", false, &set};
  plat::BoolParameter allowRfb{"AllowRFB", "", true, false, &set};
  plat::BoolParameter allowHttp{"AllowHTTP", "", true, false, &set};
  plat::IntParameter rfbPort{"RfbPort", "", 5900, 0, 65535, false, &set};
  plat::IntParameter httpPort{"HttpPort", "", 5800, 0, 65535, false, &set};
  plat::StringParameter allowedUsers{"AllowedUsers", "", "", false, &set};
  plat::StringParameter allowedGroups{"AllowedGroups", "", "", false, &set};

  std::string text(const char* name) { return set.get(name)->getValueStr().c_str(); }
};

} // namespace testing_support
