#include "x0zavserver/unix/GssApi.h"

#include "plat/DString.h"
#include "plat/LogWriter.h"
#include "plat/StringUtils.h"
#include "x0zavserver/unix/GssError.h"
#include "x0zavserver/unix/LibraryPathCheck.h"
#include "x0zavserver/unix/NoApi.h"
#include "x0zavserver/unix/SecurityExceptionFmt.h"

#include <dlfcn.h>
#include <string>

static plat::LogWriter vlog("GssApi");

namespace gssapi {

plat::StringParameter
    GssApi::dllPath("SSOLib", "The shared library providing the single sign-on implementation.",
                    "");

namespace {

template <typename Fn> void bindOne(void* handle, const char* name, Fn& fn) {
  dlerror();
  void* sym = dlsym(handle, name);
  if (!sym) {
    const char* err = dlerror();
    throw NoApi(err ? err : name);
  }
  fn = reinterpret_cast<Fn>(sym);
}

} // namespace

GssApi::GssApi() {
  std::string paths = dllPath.getValue().c_str();
  size_t start = 0;
  for (;;) {
    size_t comma = paths.find(',', start);
    std::string path = paths.substr(start, comma == std::string::npos ? comma : comma - start);
    // An empty entry names no library: dlopen would hand back the program
    // itself.
    plat::String checked;
    if (!path.empty()) {
      try {
        checked = checkLibraryPath(path.c_str());
      } catch (SecurityExceptionFmt&) {
        throw;
      } catch (plat::SystemException& e) {
        // A path that does not lead to a file does no harm: like a library
        // that does not load, the next one is tried.
        vlog.notice("%s: %s", plat::strLoggable(path.c_str()).c_str(), e.str());
      }
    }
    if (checked.isNull()) {
      vlog.debug("no library at \"%s\"", plat::strLoggable(path.c_str()).c_str());
    } else if (!(handle_ = dlopen(checked.c_str(), RTLD_LAZY | RTLD_GLOBAL))) {
      const char* err = dlerror();
      vlog.notice("%s", plat::strLoggable(err ? err : path.c_str(), 1024).c_str());
    } else {
      try {
        bind();
        return;
      } catch (NoApi& e) {
        dlclose(handle_);
        handle_ = nullptr;
        vlog.error("GSS library error: %s", e.str());
      }
    }
    if (comma == std::string::npos)
      break;
    start = comma + 1;
  }
  throw plat::Exception("GSS-API DLL not found");
}

GssApi::~GssApi() {
  if (handle_)
    dlclose(handle_);
}

void GssApi::bind() {
  bindOne(handle_, "gss_release_cred", gss_release_cred);
  bindOne(handle_, "gss_release_buffer", gss_release_buffer);
  bindOne(handle_, "gss_import_name", gss_import_name);
  bindOne(handle_, "gss_display_name", gss_display_name);
  bindOne(handle_, "gss_release_name", gss_release_name);
  bindOne(handle_, "gss_init_sec_context", gss_init_sec_context);
  bindOne(handle_, "gss_accept_sec_context", gss_accept_sec_context);
  bindOne(handle_, "gss_delete_sec_context", gss_delete_sec_context);
  bindOne(handle_, "gss_display_status", gss_display_status);
}

plat::String GssApi::statusText(OM_uint32 status, int type) {
  OM_uint32 minor = 0, messageContext = 0;
  gss_buffer_desc text = {0, nullptr};
  OM_uint32 major = gss_display_status(&minor, status, type, nullptr, &messageContext, &text);
  if (major > 1) {
    if (text.value)
      gss_release_buffer(&minor, &text);
    return plat::String("<unknown>");
  }
  plat::String result =
      text.value ? plat::String(static_cast<const char*>(text.value), static_cast<int>(text.length))
                 : plat::String("");
  gss_release_buffer(&minor, &text);
  return result;
}

void GssApi::check(const char* operation, OM_uint32 major, OM_uint32 minor) {
  if (!(major & GSS_C_ERROR_MASK))
    return;
  plat::DString message;
  message.appendFormat("%s: %s", operation, statusText(major, GSS_C_GSS_CODE).c_str());
  if (minor != 0)
    message.appendFormat(": %s", statusText(minor, GSS_C_MECH_CODE).c_str());
  message.appendFormat(" (%08x:%08x)", major, minor);
  throw Error(message.c_str());
}

} // namespace gssapi
