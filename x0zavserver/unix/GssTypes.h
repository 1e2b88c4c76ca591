// The few types and constants of the GSS-API C binding that the single
// sign-on module uses. The library is bound at run time by function name, so
// no library header is needed at build time; the layouts are those of the
// standard C binding.
#pragma once

#include <cstddef>
#include <cstdint>

namespace gssapi {

using OM_uint32 = std::uint32_t;
using gss_name_t = struct gss_name_struct*;
using gss_cred_id_t = struct gss_cred_id_struct*;
using gss_ctx_id_t = struct gss_ctx_id_struct*;

struct gss_buffer_desc {
  std::size_t length;
  void* value;
};
using gss_buffer_t = gss_buffer_desc*;

struct gss_OID_desc {
  OM_uint32 length;
  void* elements;
};
using gss_OID = gss_OID_desc*;

struct gss_channel_bindings_struct;
using gss_channel_bindings_t = gss_channel_bindings_struct*;

// Status types of gss_display_status.
constexpr int GSS_C_GSS_CODE = 1;
constexpr int GSS_C_MECH_CODE = 2;
// A major status with any of these bits set is a calling or routine error.
constexpr OM_uint32 GSS_C_ERROR_MASK = 0xffff0000u;
constexpr OM_uint32 GSS_S_COMPLETE = 0;
constexpr OM_uint32 GSS_S_CONTINUE_NEEDED = 1;

using ReleaseCredFn = OM_uint32 (*)(OM_uint32*, gss_cred_id_t*);
using ReleaseBufferFn = OM_uint32 (*)(OM_uint32*, gss_buffer_t);
using ImportNameFn = OM_uint32 (*)(OM_uint32*, gss_buffer_t, gss_OID, gss_name_t*);
using DisplayNameFn = OM_uint32 (*)(OM_uint32*, gss_name_t, gss_buffer_t, gss_OID*);
using ReleaseNameFn = OM_uint32 (*)(OM_uint32*, gss_name_t*);
using InitSecContextFn = OM_uint32 (*)(OM_uint32*, gss_cred_id_t, gss_ctx_id_t*, gss_name_t,
                                       gss_OID, OM_uint32, OM_uint32, gss_channel_bindings_t,
                                       gss_buffer_t, gss_OID*, gss_buffer_t, OM_uint32*,
                                       OM_uint32*);
using AcceptSecContextFn = OM_uint32 (*)(OM_uint32*, gss_ctx_id_t*, gss_cred_id_t, gss_buffer_t,
                                         gss_channel_bindings_t, gss_name_t*, gss_OID*,
                                         gss_buffer_t, OM_uint32*, OM_uint32*, gss_cred_id_t*);
using DeleteSecContextFn = OM_uint32 (*)(OM_uint32*, gss_ctx_id_t*, gss_buffer_t);
using DisplayStatusFn = OM_uint32 (*)(OM_uint32*, OM_uint32, int, gss_OID, OM_uint32*,
                                      gss_buffer_t);

} // namespace gssapi
