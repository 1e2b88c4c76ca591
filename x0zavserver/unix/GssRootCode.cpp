#include "x0zavserver/unix/GssRootCode.h"

#include "plat/ConfigurationFile.h"
#include "plat/LogWriter.h"
#include "rdr/Exception.h"
#include "rdr/InStream.h"
#include "rdr/OutStream.h"
#include "x0zavserver/unix/GssApi.h"
#include "x0zavserver/unix/LibraryPathCheck.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

static plat::LogWriter vlog("GssRootCode");

namespace gssapi {

const char* const rootConfigFiles[] = {
    "/etc/zav/config.d/common", "/etc/zav/config.d/common.custom", "/etc/zav/config.d/x0zavserver",
    "/etc/zav/policy.d/common", "/etc/zav/policy.d/x0zavserver",   nullptr};

// One security context and everything the library gave for it. The library
// handle is declared first, so it is closed after the GSS state is released.
struct GssRootCode::Context {
  GssApi api;
  gss_ctx_id_t context = nullptr;
  gss_cred_id_t delegated = nullptr;
  gss_buffer_desc output = {0, nullptr};
  gss_name_t client = nullptr;
  gss_OID mech = nullptr;
  OM_uint32 flags = 0;
  OM_uint32 time = 0;
  bool complete = false;

  ~Context() {
    OM_uint32 minor = 0;
    if (context)
      api.gss_delete_sec_context(&minor, &context, nullptr);
    releaseStep();
  }

  // What the previous accept step left.
  void releaseStep() {
    OM_uint32 minor = 0;
    if (delegated)
      api.gss_release_cred(&minor, &delegated);
    if (output.value)
      api.gss_release_buffer(&minor, &output);
    if (client)
      api.gss_release_name(&minor, &client);
    delegated = nullptr;
    output = {0, nullptr};
    client = nullptr;
  }
};

GssRootCode& GssRootCode::instance() {
  static GssRootCode* module = new GssRootCode;
  return *module;
}

GssRootCode::~GssRootCode() = default;

void GssRootCode::useRootConfiguration() {
  rootConfiguration_ = true;
  for (int i = 0; rootConfigFiles[i]; i++) {
    const char* path = rootConfigFiles[i];
    struct stat st;
    if (stat(path, &st) != 0 && errno == ENOENT)
      continue;
    int priority = strncmp(path, "/etc/zav/policy.d/", 18) == 0 ? 0 : 50;
    try {
      // Whoever may change the file chooses what root loads: it passes the
      // checks of a library path.
      checkLibraryPath(path);
      plat::ConfigurationFile::Map entries;
      plat::ConfigurationFile::readMap(path, entries);
      auto it = entries.find(GssApi::dllPath.getName());
      if (it != entries.end() && it->second)
        GssApi::dllPath.setParam(it->second->c_str(), priority);
    } catch (plat::Exception& e) {
      fprintf(stderr, "Skipping config file %s: %s\n", path, e.str());
    }
  }
}

std::uint32_t GssRootCode::newContextHere(const char* libraryPath) {
  if (contexts_.size() >= maxContexts)
    throw plat::Exception("too many security contexts");
  if (libraryPath)
    GssApi::dllPath.setParam(libraryPath, 50);
  std::unique_ptr<Context> context(new Context);
  std::uint32_t id = nextId_++;
  contexts_[id] = std::move(context);
  vlog.debug("context %u made", id);
  return id;
}

void GssRootCode::releaseContextHere(std::uint32_t id) {
  contexts_.erase(id);
}

GssRootCode::Context& GssRootCode::find(std::uint32_t id) {
  auto it = contexts_.find(id);
  if (it == contexts_.end())
    throw plat::Exception("unknown context");
  return *it->second;
}

bool GssRootCode::acceptContextHere(std::uint32_t id, int tokenLength, const void* token,
                                    sso::OutputToken& output) {
  Context& c = find(id);
  c.releaseStep();
  c.complete = false;
  gss_buffer_desc input = {static_cast<std::size_t>(tokenLength), const_cast<void*>(token)};
  OM_uint32 minor = 0;
  OM_uint32 major =
      c.api.gss_accept_sec_context(&minor, &c.context, nullptr, &input, nullptr, &c.client, &c.mech,
                                   &c.output, &c.flags, &c.time, &c.delegated);
  c.api.check("accept_sec_context", major, minor);
  output.length = static_cast<std::uint32_t>(c.output.value ? c.output.length : 0);
  output.data.reset(new std::uint8_t[output.length ? output.length : 1]);
  if (output.length)
    memcpy(output.data.get(), c.output.value, output.length);
  c.complete = major == GSS_S_COMPLETE;
  return c.complete;
}

plat::String GssRootCode::displayNameHere(std::uint32_t id) {
  Context& c = find(id);
  // Until the exchange is complete the client has not proved any name.
  if (!c.complete)
    throw plat::Exception("context not complete");
  gss_buffer_desc buffer = {0, nullptr};
  OM_uint32 minor = 0;
  OM_uint32 major = c.api.gss_display_name(&minor, c.client, &buffer, nullptr);
  c.api.check("display_name", major, minor);
  std::string name(static_cast<const char*>(buffer.value ? buffer.value : ""),
                   buffer.value ? buffer.length : 0);
  c.api.gss_release_buffer(&minor, &buffer);
  // The name goes on as a text: a NUL inside would cut it to another name.
  if (name.find('\0') != std::string::npos)
    throw plat::Exception("client name holds a NUL character");
  return plat::String(name.c_str());
}

namespace {

// The request's library path. Its length is checked before anything is
// allocated; a longer one is consumed, so that the next request starts where
// it should, and refused.
plat::String readPath(rdr::InStream& in) {
  std::uint32_t length = in.readU32();
  if (length > static_cast<std::uint32_t>(GssRootCode::maxPathLength)) {
    os::RootCode::skipLongField(in, length);
    throw rdr::StringTooLongException();
  }
  std::vector<char> text(length + 1, '\0');
  in.readBytes(text.data(), static_cast<int>(length));
  return plat::String(text.data());
}

} // namespace

void GssRootCode::handle(rdr::InStream& in, rdr::OutStream& out) {
  int kind = in.readU8();
  try {
    serveRequest(kind, in, out);
  } catch (rdr::EndOfStream&) {
    // The core went in the middle of its request: nobody reads a reply.
    throw;
  } catch (plat::Exception& e) {
    out.writeU8(Failed);
    out.writeString(e.str());
  }
}

// Every field of the request is read before anything is replied, so that a
// failure leaves the stream at the start of the next request.
void GssRootCode::serveRequest(int kind, rdr::InStream& in, rdr::OutStream& out) {
  switch (kind) {
  case NewContext: {
    plat::String path = readPath(in);
    // The core is not trusted with the choice of what root loads.
    std::uint32_t id = newContextHere(rootConfiguration_ ? nullptr : path.c_str());
    out.writeU8(Ok);
    out.writeU32(id);
    return;
  }
  case ReleaseContext: {
    std::uint32_t id = in.readU32();
    releaseContextHere(id);
    out.writeU8(Ok);
    return;
  }
  case AcceptStep: {
    std::uint32_t id = in.readU32();
    int length = in.readU16();
    std::vector<std::uint8_t> token(length ? length : 1);
    readLongField(in, token.data(), static_cast<std::size_t>(length));
    sso::OutputToken output;
    bool complete = acceptContextHere(id, length, token.data(), output);
    // The reply's length field is 16 bits: a longer token cannot be sent.
    if (output.length > static_cast<std::uint32_t>(maxTokenLength))
      throw plat::ExceptionFmt("output token of %u bytes too long", output.length);
    out.writeU8(Ok);
    out.writeU16(static_cast<std::uint16_t>(output.length));
    out.writeBytes(output.data.get(), static_cast<int>(output.length));
    out.writeU8(complete ? 1 : 0);
    return;
  }
  case ClientName: {
    std::uint32_t id = in.readU32();
    plat::String name = displayNameHere(id);
    // The core reads no more than this; a longer name would be cut short
    // there and leave the rest of it in the pipe.
    if (name.length() > maxReplyString)
      throw plat::Exception("client name too long");
    out.writeU8(Ok);
    out.writeString(name.c_str());
    return;
  }
  default:
    throw plat::Exception("unknown request");
  }
}

namespace {

void readStatus(rdr::InStream& in) {
  int status = in.readU8();
  if (status != GssRootCode::Ok) {
    std::unique_ptr<char[]> text(in.readString(GssRootCode::maxReplyString));
    throw plat::Exception(text.get());
  }
}

} // namespace

std::uint32_t GssRootCode::newContext(const char* libraryPath) {
  Channel ch = channel();
  if (!ch.in || !ch.out)
    return newContextHere(libraryPath);
  ch.out->writeU8(NewContext);
  ch.out->writeString(libraryPath);
  ch.out->flush();
  readStatus(*ch.in);
  std::uint32_t id = ch.in->readU32();
  ch.in->checkpoint();
  return id;
}

void GssRootCode::releaseContext(std::uint32_t id) {
  Channel ch = channel();
  if (!ch.in || !ch.out) {
    releaseContextHere(id);
    return;
  }
  ch.out->writeU8(ReleaseContext);
  ch.out->writeU32(id);
  ch.out->flush();
  readStatus(*ch.in);
}

bool GssRootCode::acceptContext(std::uint32_t id, int tokenLength, const void* token,
                                sso::OutputToken& output) {
  // The request's length field is 16 bits: a longer token would go out cut
  // short and the rest of it be read as the next request.
  if (tokenLength < 0 || tokenLength > maxTokenLength)
    throw plat::ExceptionFmt("token of %d bytes too long", tokenLength);
  Channel ch = channel();
  if (!ch.in || !ch.out)
    return acceptContextHere(id, tokenLength, token, output);
  ch.out->writeU8(AcceptStep);
  ch.out->writeU32(id);
  ch.out->writeU16(static_cast<std::uint16_t>(tokenLength));
  ch.out->writeBytes(token, tokenLength);
  ch.out->flush();
  readStatus(*ch.in);
  int length = ch.in->readU16();
  output.length = static_cast<std::uint32_t>(length);
  output.data.reset(new std::uint8_t[length ? length : 1]);
  readLongField(*ch.in, output.data.get(), static_cast<std::size_t>(length));
  return ch.in->readU8() != 0;
}

plat::String GssRootCode::displayName(std::uint32_t id) {
  Channel ch = channel();
  if (!ch.in || !ch.out)
    return displayNameHere(id);
  ch.out->writeU8(ClientName);
  ch.out->writeU32(id);
  ch.out->flush();
  readStatus(*ch.in);
  return plat::String::adopt(ch.in->readString(maxReplyString));
}

} // namespace gssapi
