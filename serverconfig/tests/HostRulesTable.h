// The load/store table of the host rules: a "Hosts" value, the rows the rule
// list shows for it, and what storing the list writes back. Shared by the
// tests of the list and of the dialog that edits it.
#pragma once

namespace testing_support {

struct HostRulesCase {
  const char* hosts;
  const char* rows;
  const char* stored;
};

const HostRulesCase hostRulesCases[] = {
    {"", "Reject - Default", "-"},
    {"+", "Accept - Default", "+"},
    {"+192.168.0.0/24,-", "Accept - 192.168.0.0/24; Reject - Default", "+192.168.0.0/24,-"},
    {"+1.2.3.4", "Accept - 1.2.3.4; Reject - Default", "+1.2.3.4,-"},
    {"+1.2.3.4,?,-5.6.7.8", "Accept - 1.2.3.4; Query - Default", "+1.2.3.4,?"},
    {"x1.2.3.4,+5.6.7.8", "Accept - 5.6.7.8; Reject - Default", "+5.6.7.8,-"},
    {"+10.0.0.0/0,-1.2.3.4", "Accept - Default", "+10.0.0.0/0"},
    {"-1.2.3.4, +5.6.7.8", "Reject - 1.2.3.4; Reject - Default", "-1.2.3.4,-"},
    // A rule the server's filter cannot read never matches: it is kept as it
    // is, and the rules after it are neither hidden nor dropped.
    {"+1.2.3.4 ,-5.6.7.8", "Accept - 1.2.3.4 ; Reject - 5.6.7.8; Reject - Default",
     "+1.2.3.4 ,-5.6.7.8,-"},
    {"+abc,?1.2.3.4,+", "Accept - abc; Query - 1.2.3.4; Accept - Default", "+abc,?1.2.3.4,+"},
    {"-abc/24,+", "Reject - abc/24; Accept - Default", "-abc/24,+"},
    {"-abc/24,?10.0.0.1,+", "Reject - abc/24; Query - 10.0.0.1; Accept - Default",
     "-abc/24,?10.0.0.1,+"},
};

} // namespace testing_support
