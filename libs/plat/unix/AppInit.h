// The start-up singleton of a program, created once at the top of main and
// kept until the process ends. It fixes the per-user directory ("$HOME/.zav"),
// the per-user configuration file, the log file name and the configuration
// chain, builds the version banner, makes sure $HOME is set, and on request
// starts logging, creates the per-user directory and reads the chain.
#pragma once

#include "plat/DString.h"
#include "plat/String.h"

#include <memory>
#include <vector>

// "Built on " followed by the build date and time.
extern const char buildTime[];

class AppInit {
public:
  // The version banner of a program that was given a title.
  struct VersionInfo {
    // Title, edition and version, build line, notices and reference line,
    // with the registered and copyright signs as they are.
    plat::String text;
    // text with "(R)" and "(C)" for the signs, wrapped to 79 columns.
    plat::String plainText;
    // The title without the registered sign, for window titles.
    plat::String titleText;
    plat::String title;
    plat::String extra;
  };

  // One file of the configuration chain.
  struct ConfigFile {
    plat::String name;
    int priority;
  };

  // Builds the singleton and, with doInit, runs init(readConfig, logSetting).
  // logFileName, logSetting and title may be null. A failed home-directory
  // lookup prints "Could not set $HOME: %s\n" on stderr and is thrown on; so
  // is an unknown variable in logFileName. Creating it twice is fatal.
  static AppInit* create(const char* appName, bool doInit, bool readConfig, const char* logFileName,
                         const char* logSetting, const char* title);
  // The singleton; asking before create is fatal.
  static AppInit* instance();

  // Starts logging, makes the per-user directory private (0700) and, with
  // readConfig, reads every existing file of the chain into the "Global"
  // parameter set at its priority.
  void init(bool readConfig, const char* logSetting);
  // Creates the standard loggers and the file logger (bound to "LogFile"
  // unless noFileBinding), then sets "Log" to logSetting or "*:stderr:0" at
  // priority 100.
  void initLogging(const char* logSetting, bool noFileBinding);
  // Appends a file to the end of the chain.
  void addConfigFile(const char* name, int priority);

  const char* getAppName() const { return appName.c_str(); }
  const char* getUserDir() const { return userDir.c_str(); }
  const char* getLogFileName() const { return logFileName.c_str(); }
  const char* getUserConfigFile() const { return userConfigFile.c_str(); }
  // Null when no title was given.
  const VersionInfo* getVersionInfo() const { return versionInfo.get(); }
  const std::vector<ConfigFile>& getConfigFiles() const { return configFiles; }

private:
  AppInit(const char* appName, const char* logFileName, const char* title);
  AppInit(const AppInit&) = delete;
  AppInit& operator=(const AppInit&) = delete;

  static AppInit* singleton;

  plat::String appName;
  plat::DString userDir;
  plat::String logFileName;
  plat::String userConfigFile;
  std::unique_ptr<VersionInfo> versionInfo;
  std::vector<ConfigFile> configFiles;
};
