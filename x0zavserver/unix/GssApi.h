// A GSS-API library loaded at run time from the first usable path of the
// parameter SSOLib, with the nine functions the single sign-on module calls.
// The object owns the library handle and closes it when it goes.
#pragma once

#include "plat/StringParameter.h"
#include "x0zavserver/unix/GssTypes.h"

namespace gssapi {

class GssApi {
public:
  // Tries each comma-separated path of SSOLib in order. A path that fails
  // the checks of checkLibraryPath ends the loading with that
  // SecurityExceptionFmt; a path that is empty, leads to no file, does not
  // load or lacks a function is logged and the next one tried. Throws
  // plat::Exception "GSS-API DLL not found" when none is left.
  GssApi();
  ~GssApi();
  GssApi(const GssApi&) = delete;
  GssApi& operator=(const GssApi&) = delete;

  // Throws Error "N: <major text>[: <minor text>] (MMMMMMMM:mmmmmmmm)" when
  // the major status is a calling or routine error.
  void check(const char* operation, OM_uint32 major, OM_uint32 minor);
  // The first message of gss_display_status for the status, "<unknown>"
  // when the library cannot give one.
  plat::String statusText(OM_uint32 status, int type);

  ReleaseCredFn gss_release_cred = nullptr;
  ReleaseBufferFn gss_release_buffer = nullptr;
  ImportNameFn gss_import_name = nullptr;
  DisplayNameFn gss_display_name = nullptr;
  ReleaseNameFn gss_release_name = nullptr;
  InitSecContextFn gss_init_sec_context = nullptr;
  AcceptSecContextFn gss_accept_sec_context = nullptr;
  DeleteSecContextFn gss_delete_sec_context = nullptr;
  DisplayStatusFn gss_display_status = nullptr;

  static plat::StringParameter dllPath;

private:
  void bind();

  void* handle_ = nullptr;
};

} // namespace gssapi
