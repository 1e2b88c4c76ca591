// The receiving side of a protocol connection: owns the connection's
// protocol parameters and keeps its enabled extensions. A connection kind
// derives from it and supplies its writer.
#pragma once

#include "rfb/ProtocolParams.h"

namespace rfb {

class MsgWriter;

class MsgHandler {
public:
  MsgHandler();
  virtual ~MsgHandler();
  MsgHandler(const MsgHandler&) = delete;
  MsgHandler& operator=(const MsgHandler&) = delete;

  // Enabling adds a copy of the name; disabling removes it.
  virtual void setExtension(const char* name, bool enabled);
  // Whether the connection takes part in extensions at all; here always.
  virtual bool extensionsAllowed() { return true; }
  // The peer closed the connection: throws ConnCloseException with the
  // text (cut to 255 characters) and the code.
  virtual void connectionClosed(const char* text, int code);
  // Told before the connection is torn down; nothing to do here.
  virtual void closing() {}
  // The writer of this connection (owned by the connection).
  virtual MsgWriter* getWriter() = 0;

  ProtocolParams& params() { return cp_; }
  const ProtocolParams& params() const { return cp_; }

protected:
  ProtocolParams cp_;
};

} // namespace rfb
