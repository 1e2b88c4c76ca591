// Told when the addresses a listener serves change.
#pragma once

namespace net {

class SocketListener;

class AddressChangeCallback {
public:
  virtual ~AddressChangeCallback();
  virtual void addressChanged(SocketListener* listener) = 0;
};

} // namespace net
