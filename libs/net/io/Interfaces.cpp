// Out-of-line destructors of the channel interfaces.
#include "net/io/FdAddressChanged.h"
#include "net/io/Io.h"
#include "net/io/IoAcceptor.h"
#include "net/io/IoConnected.h"
#include "net/io/IoConnector.h"
#include "net/io/IoHandler.h"
#include "net/io/IoTarget.h"

#include "plat/LogWriter.h"

static plat::LogWriter vlog("Io");

namespace io {

Io::~Io() = default;
IoHandler::~IoHandler() = default;
IoAcceptor::~IoAcceptor() = default;
FdAddressChanged::~FdAddressChanged() = default;
IoConnector::~IoConnector() = default;
IoConnected::~IoConnected() = default;
IoTarget::~IoTarget() = default;

} // namespace io
