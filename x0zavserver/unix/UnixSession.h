// A session that writes the syslog line "Session ended" when it goes away.
#pragma once

#include "x0zavserver/Session.h"

namespace zav {

class UnixSession : public Session {
public:
  using Session::Session;
  ~UnixSession() override;
};

} // namespace zav
