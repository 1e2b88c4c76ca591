#include "zavconfig/Main.h"

#include "chat/ChatOptions.h"
#include "plat/ConfigurationFile.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/ModuleFileName.h"
#include "plat/ParameterSet.h"
#include "plat/unix/AppInit.h"
#include "serverconfig/ConnectionsList.h"
#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/Widget.h"
#include "zavconfig/StatusDialogCallback.h"
#include "zavconfig/zavext.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

static plat::LogWriter vlog("zavconfig");

namespace zavconfig {

Display* dpy = nullptr;
const char* programName = "zavconfig";
plat::StringParameter displayname("display", "The X display", "");
plat::BoolParameter noWindow("nowin", "Don't display a window", false);
plat::BoolParameter iconic("iconic", "Start with window iconified", false);
plat::String chatConfigFile;
int zavExtEventBase = 0;
int zavExtErrorBase = 0;

Display* openDisplay() {
  if (dpy)
    return dpy;
  plat::String name = displayname.getValue();
  dpy = XOpenDisplay(name.c_str());
  return dpy;
}

void CleanupSignalHandler(int) {
  vlog.status("CleanupSignalHandler called");
  exit(1);
}

void usage() {
  const AppInit::VersionInfo* version = AppInit::instance()->getVersionInfo();
  if (version)
    puts(version->plainText.c_str());
  const char* forms[] = {
      "\nusage: %s [parameters]\n",
      "       %s [parameters] -connect <host>[:<port>]\n",
      "       %s [parameters] -disconnect\n",
      "       %s [parameters] [-set] <Xzav-param>=<value> ...\n",
      "       %s [parameters] -list\n",
      "       %s [parameters] -listconnections\n",
      "       %s [parameters] -get <param>\n",
      "       %s [parameters] -desc <param>\n",
  };
  for (const char* form : forms)
    printf(form, programName);
  printf("\n%s", plat::ParameterSet::usageText());
  printf("The parameters are:\n\n");
  plat::ParameterSet::global().printHelp(true, 79, 14);
  exit(1);
}

namespace {

// The argument after a command, or usage() when there is none.
const char* commandArgument(int argc, char** argv, int* i) {
  if (*i + 1 >= argc)
    usage();
  return argv[++*i];
}

void getStatusValues(Display* display, const char* arg) {
  // "#" alone lists every name=value text; "#name" gives one value.
  char** list = zavext::getStatus(display, arg[1] ? arg + 1 : nullptr);
  if (!list) {
    fprintf(stderr, "getting status param %s failed\n", arg);
    return;
  }
  if (arg[1]) {
    puts(list[0]);
  } else {
    for (int i = 0; list[i]; i++)
      puts(list[i]);
  }
  XFree(list[0]);
  XFree(list);
}

// One line per connection: user, peer address and access text. A failed
// request prints nothing.
void listConnections(Display* display) {
  StatusDialogCallback callback(display, nullptr);
  serverconfig::ConnectionsList connections(&callback);
  connections.refresh();
  for (const serverconfig::ConnectionsList::Entry& e : connections.getEntries())
    printf("%s@%s %s\n", e.user.c_str(), e.address.c_str(), e.accessText());
}

void getParam(Display* display, const char* name) {
  char* value;
  int length;
  if (!zavext::getParam(display, name, &value, &length)) {
    fprintf(stderr, "getting param %s failed\n", name);
    return;
  }
  printf("%.*s\n", length, value);
  XFree(value);
}

} // namespace

int runCommandMode(Display* display, int argc, char** argv, int first) {
  for (int i = first; i < argc; i++) {
    const char* cmd = argv[i];
    if (strcmp(cmd, "-connect") == 0) {
      const char* host = commandArgument(argc, argv, &i);
      if (!zavext::connect(display, host))
        fprintf(stderr, "connecting to %s failed\n", host);
    } else if (strcmp(cmd, "-disconnect") == 0) {
      if (!zavext::connect(display, ""))
        fprintf(stderr, "disconnecting all clients failed\n");
    } else if (strcmp(cmd, "-listconnections") == 0) {
      // The connections are the whole answer: the commands after it do not run.
      listConnections(display);
      return 0;
    } else if (strcmp(cmd, "-get") == 0) {
      const char* name = commandArgument(argc, argv, &i);
      if (name[0] == '#')
        getStatusValues(display, name);
      else
        getParam(display, name);
    } else if (strcmp(cmd, "-desc") == 0) {
      const char* name = commandArgument(argc, argv, &i);
      char* desc = zavext::getParamDesc(display, name);
      if (desc) {
        puts(desc);
        XFree(desc);
      } else {
        fprintf(stderr, "getting description for param %s failed\n", name);
      }
    } else if (strcmp(cmd, "-list") == 0) {
      int count;
      char** names = zavext::listParams(display, &count);
      for (int n = 0; n < count; n++)
        puts(names[n]);
      zavext::freeList(names);
    } else if (strcmp(cmd, "-set") == 0) {
      const char* text = commandArgument(argc, argv, &i);
      if (!zavext::setParam(display, text))
        fprintf(stderr, "setting param %s failed\n", text);
    } else if (strcmp(cmd, "-dumpxml") == 0) {
      char* xml = zavext::getParamsXml(display);
      if (xml) {
        puts(xml);
        XFree(xml);
      }
    } else if (strcmp(cmd, "-reload") == 0) {
      if (!zavext::reloadConfig(display))
        fputs("Could not reload server configuration.", stderr);
    } else if (zavext::setParam(display, cmd)) {
      fprintf(stderr, "set parameter %s\n", cmd);
    } else {
      usage();
    }
  }
  return 0;
}

int zavconfigMain(int argc, char** argv) {
  programName = argv[0];
  AppInit* app;
  try {
    app =
        AppInit::create("zavconfig", true, false, nullptr, nullptr, "Zav\u00ae Configuration Tool");
  } catch (plat::Exception& e) {
    fprintf(stderr, "%s: %s\n", programName, e.str());
    return 1;
  }

  signal(SIGHUP, CleanupSignalHandler);
  signal(SIGINT, CleanupSignalHandler);
  signal(SIGTERM, CleanupSignalHandler);
  plat::ModuleFileName::setDefaultArgv0(argv[0]);
  signal(SIGXFSZ, SIG_IGN);
  wvw::Widget::getDefaultStyle()->font = &wvw::FontProp::helv15_u;

  try {
    plat::ConfigurationFile::readParameters(plat::ParameterSet::global(), app->getUserConfigFile(),
                                            50);
  } catch (plat::Exception& e) {
    vlog.debug("%s", e.str());
  }

  // The chat settings are local to main; the command line may set them too,
  // and they are offered each parameter before the global ones.
  ChatOptions chatOptions;
  try {
    chatConfigFile = plat::EnvExpandedString("$HOME/.zav/config.d/chat").c_str();
    plat::ConfigurationFile::readParameters(chatOptions, chatConfigFile.c_str(), 50);
  } catch (plat::Exception& e) {
    vlog.debug("%s", e.str());
  }

  std::vector<plat::ParameterSet*> sets = {&chatOptions, &plat::ParameterSet::global()};
  int first;
  try {
    first = plat::ParameterSet::parseCommandLine(argc, argv, 1, 50, sets);
  } catch (plat::Exception& e) {
    fprintf(stderr, "%s: %s\n", programName, e.str());
    return 1;
  }
  if (first < argc && (strcmp(argv[first], "--help") == 0 || strcmp(argv[first], "-help") == 0 ||
                       strcmp(argv[first], "-?") == 0))
    usage();

  plat::String display = displayname.getValue();
  if (!openDisplay()) {
    fprintf(stderr, "%s: unable to open display \"%s\"\n", programName,
            XDisplayName(display.c_str()));
    return 1;
  }
  if (!zavext::queryExtension(dpy, &zavExtEventBase, &zavExtErrorBase)) {
    fprintf(stderr, "No ZAV extension on display %s\n", XDisplayName(display.c_str()));
    return 1;
  }
  if (display.c_str()[0])
    setenv("DISPLAY", display.c_str(), 1);

  if (first < argc)
    return runCommandMode(dpy, argc, argv, first);
  fprintf(stderr, "%s: window mode is not available in this build\n", programName);
  return 0;
}

} // namespace zavconfig
