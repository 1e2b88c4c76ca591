// The sixteen rows of the security settings, each encryption choice by each
// authentication choice, with the three parameters in the format viewers
// and the server read them: the table the security tests check both ways.
#pragma once

namespace testing_support {

struct SecurityRow {
  int enc, auth;
  const char* forward;
  const char* reverse;
  const char* verifier;
};

const SecurityRow securityRows[] = {
    {0, 0, "RA2:256+", "RA2:256+", "None"},
    {0, 1, "RA2:256+", "RA2:256+", "ZavAuth"},
    {0, 2, "RA2:256+", "RA2:256+", "UnixAuth"},
    {0, 3, "SSO:256+,RA2:256+", "RA2:256+", "UnixAuth"},
    {1, 0, "RA2", "RA2", "None"},
    {1, 1, "RA2", "RA2", "ZavAuth"},
    {1, 2, "RA2", "RA2", "UnixAuth"},
    {1, 3, "SSO,RA2", "RA2", "UnixAuth"},
    {2, 0, "RA2,RA2ne,None", "RA2,RA2ne,None", "None"},
    {2, 1, "RA2,RA2ne,ZavAuth", "RA2,RA2ne,None", "ZavAuth"},
    {2, 2, "RA2,RA2ne", "RA2,RA2ne,None", "UnixAuth"},
    {2, 3, "SSO,RA2,SSOne,RA2ne", "RA2,RA2ne,None", "UnixAuth"},
    {3, 0, "RA2ne,None,RA2", "RA2ne,None,RA2", "None"},
    {3, 1, "RA2ne,ZavAuth,RA2", "RA2ne,None,RA2", "ZavAuth"},
    {3, 2, "RA2ne,RA2", "RA2ne,None,RA2", "UnixAuth"},
    {3, 3, "SSOne,RA2ne,SSO,RA2", "RA2ne,None,RA2", "UnixAuth"},
};

} // namespace testing_support
