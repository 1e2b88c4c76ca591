#include "plat/unix/AppInit.h"

#include "plat/Assert.h"
#include "plat/ConfigurationFile.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/FileOps.h"
#include "plat/LogWriter.h"
#include "plat/Logger_file.h"
#include "plat/ParameterSet.h"
#include "plat/ProductInfo.h"
#include "plat/StringParameter.h"
#include "plat/StringUtils.h"
#include "plat/unix/Passwd.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static plat::LogWriter vlog("AppInit");

const char buildTime[] = "Built on " __DATE__ " at " __TIME__;

AppInit* AppInit::singleton = nullptr;

namespace {

const char registeredSign[] = "\xc2\xae";
const char copyrightSign[] = "\xc2\xa9";

} // namespace

AppInit* AppInit::create(const char* appName, bool doInit, bool readConfig, const char* logFileName,
                         const char* logSetting, const char* title) {
  PLAT_ASSERT(!singleton);
  singleton = new AppInit(appName, logFileName, title);
  if (doInit)
    singleton->init(readConfig, logSetting);
  return singleton;
}

AppInit* AppInit::instance() {
  PLAT_ASSERT(singleton);
  return singleton;
}

AppInit::AppInit(const char* program, const char* logFile, const char* title) : appName(program) {
  if (title) {
    versionInfo = std::make_unique<VersionInfo>();
    plat::DString text;
    // Four notices, then the reference line.
    using plat::ProductInfo;
    text.appendFormat("%s %s %s\n%s\n%s\n%s\n%s\n%s\n%s", title, ProductInfo::editionAndVersion, "",
                      buildTime, ProductInfo::ownershipNotice, ProductInfo::trademarkNotice,
                      ProductInfo::warrantyNotice, ProductInfo::thirdPartyNotice,
                      ProductInfo::webNotice);
    versionInfo->text = text.str();
    plat::DString plain;
    plain.appendReplacing(text.c_str(), registeredSign, "(R)");
    plain.replaceAll(copyrightSign, "(C)");
    plain.wrap(79);
    versionInfo->plainText = plain.str();
    plat::DString titleText;
    titleText.appendReplacing(title, registeredSign, "");
    versionInfo->titleText = titleText.str();
    versionInfo->title = title;
    versionInfo->extra = "";
  }

  if (!getenv("HOME")) {
    try {
      os::Passwd pw(getuid());
      plat::DString home;
      home.appendFormat("HOME=%s", pw.getHomeDir());
      // putenv keeps the text itself: it stays allocated for good.
      putenv(plat::strDup(home.c_str()));
    } catch (const plat::Exception& e) {
      fprintf(stderr, "Could not set $HOME: %s\n", e.str());
      throw;
    }
  }

  userDir.append(plat::EnvExpandedString("$HOME/.zav").c_str());
  plat::DString configFile;
  configFile.appendFormat("%s/config.d/%s", userDir.c_str(), appName.c_str());
  userConfigFile = configFile.str();
  if (logFile) {
    logFileName = plat::EnvExpandedString(logFile).str();
  } else {
    plat::DString defaultLog;
    defaultLog.appendFormat("%s/%s.log", userDir.c_str(), appName.c_str());
    logFileName = defaultLog.str();
  }

  if (versionInfo)
    plat::Logger_file::setHeader(versionInfo->plainText.c_str());

  plat::DString name;
  addConfigFile("/etc/zav/config.d/common", 50);
  addConfigFile("/etc/zav/config.d/common.custom", 50);
  name.appendFormat("/etc/zav/config.d/%s", appName.c_str());
  addConfigFile(name.c_str(), 50);
  name.truncate(0);
  name.appendFormat("%s/config.d/common", userDir.c_str());
  addConfigFile(name.c_str(), 50);
  addConfigFile(userConfigFile.c_str(), 50);
  addConfigFile("/etc/zav/policy.d/common", 0);
  name.truncate(0);
  name.appendFormat("/etc/zav/policy.d/%s", appName.c_str());
  addConfigFile(name.c_str(), 0);
}

void AppInit::addConfigFile(const char* name, int priority) {
  configFiles.push_back({plat::String(name), priority});
}

void AppInit::initLogging(const char* logSetting, bool noFileBinding) {
  plat::initStdLoggers();
  plat::initFileLogger(logFileName.c_str(), noFileBinding);
  plat::logParam.setParam(logSetting ? logSetting : "*:stderr:0", 100);
}

void AppInit::init(bool readConfig, const char* logSetting) {
  initLogging(logSetting, false);
  plat::mkDir(userDir.c_str(), true, true);
  if (!readConfig)
    return;
  for (const ConfigFile& file : configFiles) {
    if (plat::fileExists(file.name.c_str()))
      plat::ConfigurationFile::readParameters(plat::ParameterSet::global(), file.name.c_str(),
                                              file.priority);
    else
      vlog.debug("Skipping config file %s", file.name.c_str());
  }
}
