// An outgoing connection attempt in progress. It deletes itself when the
// attempt ends; its user must not delete it.
#pragma once

namespace io {

class IoConnector {
public:
  // Rethrows the error that ended the attempt (called from connectFailed).
  virtual void throwError() = 0;
  // Stops the attempt. With keepCallback the user later hears
  // connectCancelled(); without it the user hears nothing more.
  virtual void cancel(bool keepCallback) = 0;
  virtual ~IoConnector();
};

} // namespace io
