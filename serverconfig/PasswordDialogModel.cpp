#include "serverconfig/PasswordDialogModel.h"

#include "plat/PlainPassword.h"
#include "serverconfig/PasswordFile.h"

#include <cstring>

namespace serverconfig {

bool PasswordDialogModel::okEnabled(const char* password, const char* confirm) {
  return password && *password && confirm && *confirm;
}

PasswordDialogModel::Outcome PasswordDialogModel::check(const char* password, const char* confirm) {
  if (strcmp(password, confirm) != 0)
    return Outcome::Mismatch;
  return plat::passwordLongEnough(password) ? Outcome::Store : Outcome::AskShort;
}

void PasswordDialogModel::store(const plat::ConfigParameter& fileParameter, const char* password) {
  PasswordFile(fileParameter).write(password);
}

} // namespace serverconfig
