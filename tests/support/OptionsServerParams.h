// The server parameters that the option pages edit, beyond those the
// stand-in server has from the start: name, kind ("string", "bool", "int")
// and the server's value, for the stand-in's "put_param".
#pragma once

namespace testing_support {

inline const char* const optionsServerParams[][3] = {
    {"SecurityTypes", "string", "RA2"},
    {"ReverseSecurityTypes", "string", "RA2"},
    {"UserPasswdVerifier", "string", "ZavAuth"},
    {"QueryConnect", "bool", "1"},
    {"QueryOnlyIfLoggedOn", "bool", "0"},
    {"SSOLib", "string", ""},
    {"PasswordFile", "string", ""},
    {"AdminPasswordFile", "string", ""},
    {"ViewOnlyPasswordFile", "string", ""},
    {"AllowHttp", "bool", "1"},
    {"httpPort", "int", "5800"},
    {"AllowedUsers", "string", ""},
    {"AllowedGroups", "string", ""},
    {"GuestAccess", "string", ""},
    {"AcceptKeyEvents", "bool", "1"},
    {"AcceptPointerEvents", "bool", "1"},
    {"ShareFiles", "bool", "1"},
    {"EnableRemotePrinting", "bool", "0"},
    {"AllowChangeDefaultPrinter", "bool", "0"},
};

} // namespace testing_support
