// Told when the addresses a listener serves change (only under a manager with
// an observer that reports such changes).
#pragma once

namespace io {

class FdListener;

class FdAddressChanged {
public:
  virtual void addressChanged(FdListener* listener) = 0;
  virtual ~FdAddressChanged();
};

} // namespace io
