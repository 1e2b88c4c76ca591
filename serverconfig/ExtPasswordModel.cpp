#include "serverconfig/ExtPasswordModel.h"

#include "plat/ConfigParameter.h"
#include "plat/LogWriter.h"
#include "plat/ParameterSet.h"
#include "serverconfig/PasswordFile.h"

#include <sys/stat.h>

namespace serverconfig {

namespace {

plat::LogWriter vlog("ExtendedAuth");

} // namespace

std::string ExtPasswordModel::parameterName(const char* kind) {
  return std::string(kind) + "PasswordFile";
}

std::string ExtPasswordModel::passwordTitle(const char* kind) {
  if (!*kind)
    return "Zav Server Password";
  return std::string("Zav \"") + kind + "\" Password";
}

std::string ExtPasswordModel::removalQuestion(const char* kind) {
  return std::string("Disabling the \"") + kind +
         "\" user requires the password file to be deleted\nDo you wish to remove the password?";
}

bool ExtPasswordModel::hasPassword(const plat::ParameterSet& config, const char* parameterName) {
  const plat::ConfigParameter* parameter = config.get(parameterName);
  plat::String value = parameter->getValueStr();
  if (value.isNull() || !*value.get()) {
    vlog.error("Unable to get parameter %s", parameterName);
    return false;
  }
  PasswordFile file(*parameter);
  struct stat st;
  if (stat(file.path(), &st) != 0)
    return false;
  if (file.hasPassword())
    return true;
  vlog.error("Unable to read password for %s", parameterName);
  return false;
}

void ExtPasswordModel::removePassword(const plat::ParameterSet& config, const char* parameterName) {
  PasswordFile(*config.get(parameterName)).remove();
}

} // namespace serverconfig
