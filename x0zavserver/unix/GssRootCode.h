// The single sign-on module "SingleSignOn": security contexts of a GSS-API
// library, driven by the core and worked as root in the co-process. The
// client operations send a request through the channel, or without a
// co-process do the work in the calling process. The module owns its
// contexts, each with its own handle on the library; one instance serves the
// whole process.
#pragma once

#include "plat/String.h"
#include "x0zavserver/OutputToken.h"
#include "x0zavserver/unix/RootCode.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

namespace gssapi {

class GssRootCode : public os::RootCode {
public:
  static GssRootCode& instance();
  ~GssRootCode() override;

  const char* name() const override { return "SingleSignOn"; }
  void handle(rdr::InStream& in, rdr::OutStream& out) override;

  // Client operations; each throws plat::Exception with the failure's
  // message. newContext loads the library named by libraryPath (a
  // comma-separated list, the value of SSOLib) and answers the new
  // context's id.
  std::uint32_t newContext(const char* libraryPath);
  // An id not held is ignored.
  void releaseContext(std::uint32_t id);
  // One accept step with the viewer's token; true when the context is
  // complete. The output token gets what to send back (possibly nothing).
  bool acceptContext(std::uint32_t id, int tokenLength, const void* token,
                     sso::OutputToken& output);
  // The client's name of a complete context.
  plat::String displayName(std::uint32_t id);

  // In the co-process: from now on the library comes only from SSOLib as
  // root's own configuration files set it (read here), never from the path
  // in a request, which comes from the unprivileged core.
  void useRootConfiguration();

  // Request kinds and reply statuses.
  enum { NewContext = 0, ReleaseContext = 1, AcceptStep = 2, ClientName = 3 };
  enum { Ok = 4, Failed = 5 };
  static constexpr int maxPathLength = 4096;
  // The longest client name and failure message the core reads.
  static constexpr int maxReplyString = 256;
  static constexpr int maxTokenLength = 0xffff;
  // The most contexts held at once. Each holds memory of the process and of
  // the library until released; in the co-process that is root's memory,
  // and the core, which the user controls, asks for every one of them.
  static constexpr std::size_t maxContexts = 256;

private:
  GssRootCode() = default;
  struct Context;

  std::uint32_t newContextHere(const char* libraryPath);
  void releaseContextHere(std::uint32_t id);
  bool acceptContextHere(std::uint32_t id, int tokenLength, const void* token,
                         sso::OutputToken& output);
  plat::String displayNameHere(std::uint32_t id);
  Context& find(std::uint32_t id);
  void serveRequest(int kind, rdr::InStream& in, rdr::OutStream& out);

  std::map<std::uint32_t, std::unique_ptr<Context>> contexts_;
  std::uint32_t nextId_ = 0;
  bool rootConfiguration_ = false;
};

// root's configuration files that may set SSOLib for the co-process, in the
// order they are read; later files win.
extern const char* const rootConfigFiles[];

} // namespace gssapi
