#include "x0zavserver/AccessControl.h"

#include "plat/LogWriter.h"
#include "plat/String.h"
#include "plat/StringUtils.h"
#include "zav/AccessParseCallback.h"

#include <cstring>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

static plat::LogWriter vlog("AccessControl");

namespace zav {

plat::StringParameter allowedUsers("AllowedUsers", "Users allowed to connect", ":f");
plat::StringParameter allowedGroups("AllowedGroups", "Groups allowed to connect", "");

namespace {

// The user database's name for a name, or the name itself when the database
// does not hold it. getpwnam's result is copied at once: the next lookup
// overwrites it.
plat::String databaseName(const char* name) {
  const struct passwd* pw = getpwnam(name);
  return plat::String(pw ? pw->pw_name : name);
}

class AccumulateRightsCallback : public Access::ParseCallback {
public:
  explicit AccumulateRightsCallback(const char* userName) : user_(userName) {}
  bool entry(const char* name, Access::Rights& rights) override {
    if (matches(name))
      collected_ = static_cast<std::uint16_t>(collected_ | rights);
    return true;
  }
  Access::Rights result() override { return collected_; }

protected:
  virtual bool matches(const char* name) = 0;
  const char* user() const { return user_.c_str(); }

private:
  plat::String user_;
  Access::Rights collected_ = Access::NoAccess;
};

class UserCallback : public AccumulateRightsCallback {
public:
  using AccumulateRightsCallback::AccumulateRightsCallback;

protected:
  bool matches(const char* name) override {
    plat::String entry = databaseName(name);
    if (matchesUser(entry.c_str(), user()))
      return true;
    // A single sign-on name carries its realm behind "@"; its bare user
    // name matches too.
    const char* at = strchr(user(), '@');
    if (at) {
      plat::String bare(user(), static_cast<int>(at - user()));
      return matchesUser(entry.c_str(), bare.c_str());
    }
    return false;
  }

private:
  static bool matchesUser(const char* entry, const char* user) {
    if (strcmp(entry, user) == 0 || strcmp(entry, "*") == 0)
      return true;
    if (*entry)
      return false;
    // The empty entry stands for the user who runs the server. Without a
    // database entry for that user it matches nobody.
    const struct passwd* self = getpwuid(getuid());
    return self && strcmp(self->pw_name, user) == 0;
  }
};

class GroupCallback : public AccumulateRightsCallback {
public:
  GroupCallback(const char* userName, const char* defaultGroup)
      : AccumulateRightsCallback(userName), defaultGroup_(defaultGroup) {}

protected:
  bool matches(const char* name) override {
    if (!defaultGroup_.isNull() && strcmp(name, defaultGroup_.get()) == 0)
      return true;
    const struct group* gr = getgrnam(name);
    if (!gr)
      return false;
    for (char** member = gr->gr_mem; member && *member; member++)
      if (strcmp(*member, user()) == 0)
        return true;
    return false;
  }

private:
  plat::String defaultGroup_;
};

} // namespace

Access::Rights getRights(const char* userName) {
  plat::String users = allowedUsers.getValue();
  plat::String groups = allowedGroups.getValue();

  plat::String canonical = databaseName(userName);

  UserCallback userCallback(canonical.c_str());
  Access::Rights userRights = Access::parseList(users.c_str(), userCallback, false);

  plat::String defaultGroup;
  if (const struct passwd* pw = getpwnam(userName)) {
    gid_t gid = pw->pw_gid;
    if (const struct group* gr = getgrgid(gid)) {
      defaultGroup = gr->gr_name;
      vlog.debug("Default group is %s", defaultGroup.c_str());
    } else {
      vlog.error("Unable to get info for group %i", static_cast<int>(gid));
    }
  } else {
    vlog.error("Unable to get default group info for %s", plat::strLoggable(userName).c_str());
  }

  GroupCallback groupCallback(canonical.c_str(), defaultGroup.get());
  Access::Rights groupRights = Access::parseList(groups.c_str(), groupCallback, false);

  return static_cast<std::uint16_t>(userRights | groupRights);
}

} // namespace zav
