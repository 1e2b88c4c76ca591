// The printing module "Printing": the printer queues of remote sessions,
// added and removed by the server core and worked as root in the co-process.
// The client operations send a request through the channel, or without a
// co-process do the work in the calling process. The one instance remembers
// the queues it added and removes them all when it is destroyed, which in
// the co-process is when the core has gone. Its owner (the co-process's
// set-up, or a test) creates and destroys it.
#pragma once

#include "x0zavserver/unix/RootCode.h"

#include <cstdint>
#include <set>
#include <string>
#include <sys/types.h>

namespace print {

class RootCodePrinting : public os::RootCode {
public:
  // A second instance is a plat::AssertionFail.
  RootCodePrinting();
  ~RootCodePrinting() override;
  RootCodePrinting(const RootCodePrinting&) = delete;
  RootCodePrinting& operator=(const RootCodePrinting&) = delete;
  // The one instance; a plat::AssertionFail when there is none.
  static RootCodePrinting& instance();

  const char* name() const override { return "Printing"; }
  void handle(rdr::InStream& in, rdr::OutStream& out) override;

  // Client operations; nothing is thrown for a refused request, which gives
  // false and leaves the printing system's error in lastError().
  bool addPrinter(const char* name, const char* description, const char* ppdPath,
                  const char* deviceId, uid_t uid, int format);
  bool removePrinter(const char* name);
  std::uint16_t lastError() const { return lastError_; }

  // Removes the queues, and the session sockets, of sessions that no longer
  // exist. Never throws for a stale entry.
  void cleanUpPrinters();

  // The queues this object added, as it holds them.
  const std::set<std::string>& printers() const { return printers_; }

  // Request kinds and field limits.
  enum { AddPrinter = 0, RemovePrinter = 1 };
  static constexpr int maxName = 256;
  static constexpr int maxDescription = 256;
  static constexpr int maxPpdPath = 4096;
  static constexpr int maxDeviceId = 256;
  // The most queues one co-process adds; real sessions share a handful.
  static constexpr int maxQueues = 32;
  // The reply's error for a PPD above the size limit
  // (client-error-request-entity-too-large).
  static constexpr std::uint16_t tooLarge = 0x0409;
  // The reply's error when the printing library cannot be bound.
  static constexpr std::uint16_t libraryMissing = 0x0500;
  // The session socket of a session, by its user's home and its id.
  static const char* const sessionSocketPattern;
  // How the device URIs of the product's queues begin.
  static const char* const deviceUriPrefix;

private:
  bool addPrinterHere(const char* name, const char* description, const char* ppdPath,
                      const char* deviceId, uid_t uid, int format);
  bool removePrinterHere(const char* name);
  // The co-process's work for an unprivileged core: see the .cpp.
  bool addPrinterForCore(const char* name, const char* description, const char* ppdPath,
                         const char* deviceId, int format);
  bool removePrinterForCore(const char* name);
  bool leftBehindForUser(const char* name) const;
  bool added(const char* name) const;
  bool readReply(rdr::InStream& in);

  std::set<std::string> printers_;
  std::uint16_t lastError_ = 0;
  bool initialised_ = false;
  static RootCodePrinting* instance_;
};

} // namespace print
