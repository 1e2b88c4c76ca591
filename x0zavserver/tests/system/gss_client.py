#!/usr/bin/env python3
"""A GSS-API client for the single sign-on tests: obtains a security context
for a Kerberos service principal with the credentials of the ticket cache in
KRB5CCNAME and prints the first context token in hex.

    gss_client.py SERVICE-PRINCIPAL
"""
import ctypes
import sys


class Buffer(ctypes.Structure):
    _fields_ = [("length", ctypes.c_size_t), ("value", ctypes.c_void_p)]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: gss_client.py SERVICE-PRINCIPAL")
    gss = ctypes.CDLL("libgssapi_krb5.so.2")
    minor = ctypes.c_uint32()
    # The service is named as a Kerberos principal, so that no host name is
    # canonicalised through DNS.
    for fn in ("gss_import_name", "gss_init_sec_context"):
        getattr(gss, fn).restype = ctypes.c_uint32
    principal_type = ctypes.c_void_p.in_dll(gss, "GSS_KRB5_NT_PRINCIPAL_NAME")
    name_text = sys.argv[1].encode()
    name_buf = Buffer(len(name_text), ctypes.cast(ctypes.c_char_p(name_text), ctypes.c_void_p))
    target = ctypes.c_void_p()
    major = gss.gss_import_name(ctypes.byref(minor), ctypes.byref(name_buf), principal_type,
                                ctypes.byref(target))
    if major:
        sys.exit("gss_import_name: %08x:%08x" % (major, minor.value))
    context = ctypes.c_void_p()
    out = Buffer()
    ret_flags = ctypes.c_uint32()
    major = gss.gss_init_sec_context(ctypes.byref(minor), None, ctypes.byref(context), target,
                                     None, 0, 0, None, None, None, ctypes.byref(out),
                                     ctypes.byref(ret_flags), None)
    if major:
        sys.exit("gss_init_sec_context: %08x:%08x" % (major, minor.value))
    print(ctypes.string_at(out.value, out.length).hex())
    gss.gss_release_buffer(ctypes.byref(minor), ctypes.byref(out))
    gss.gss_delete_sec_context(ctypes.byref(minor), ctypes.byref(context), None)
    gss.gss_release_name(ctypes.byref(minor), ctypes.byref(target))


if __name__ == "__main__":
    main()
