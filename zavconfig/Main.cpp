#include "zavconfig/Main.h"

#include "chat/ChatHistory.h"
#include "chat/ChatOptions.h"
#include "chat/ChatWindowImpl.h"
#include "plat/ConfigurationFile.h"
#include "plat/EnvExpandedString.h"
#include "plat/Exception.h"
#include "plat/LogWriter.h"
#include "plat/ModuleFileName.h"
#include "plat/ParameterSet.h"
#include "plat/QuietLogWriter.h"
#include "plat/StringUtils.h"
#include "plat/unix/AppInit.h"
#include "plat/unix/EndSignal.h"
#include "serverconfig/ConnectionsList.h"
#include "serverconfig/StatusIcon.h"
#include "serverconfig/StatusWindowActions.h"
#include "wvw/FontProp.h"
#include "wvw/Style.h"
#include "wvw/Widget.h"
#include "zavconfig/HistorySaver.h"
#include "zavconfig/StatusDialogCallback.h"
#include "zavconfig/WindowIcon.h"
#include "zavconfig/XServerConnectionChat.h"
#include "zavconfig/XServerConnectionFT.h"
#include "zavconfig/ZavConfigWindow.h"
#include "zavconfig/zavext.h"

#include "net/SelectSocketManager.h"
#include "net/io/FdSelectManager.h"
#include "plat/TimerManager.h"
#include "plat/XmlConfig.h"
#include "tx/TXWRootLayout.h"
#include "tx/TXWindow.h"

#include <fcntl.h>
#include <sys/select.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
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

namespace {

// The display connection broke (the X server ended, as at the end of the
// desktop session): Xlib cannot go on and the program must end without
// unwinding, so the chat history is saved here first.
int displayLost(Display* display) {
  vlog.error("The connection to the display %s was lost", DisplayString(display));
  HistorySaver::saveActive();
  exit(1);
}

} // namespace

Display* openDisplay() {
  if (dpy)
    return dpy;
  plat::String name = displayname.getValue();
  dpy = XOpenDisplay(name.c_str());
  if (dpy)
    XSetIOErrorHandler(displayLost);
  return dpy;
}

void CleanupSignalHandler(int) {
  // Only what is safe in a handler: window mode hears of the signal in
  // whichever wait it is and ends from there; elsewhere the process ends at
  // once.
  if (!os::EndSignal::raise()) {
    // The logger is not safe here; a plain write is.
    static const char notice[] = "zavconfig: CleanupSignalHandler called\n";
    ssize_t ignored = write(2, notice, sizeof(notice) - 1);
    (void)ignored;
    _exit(1);
  }
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

void usageError(const std::string& reason) {
  fflush(stdout);
  fprintf(stderr, "%s\n", reason.c_str());
  fflush(stderr);
  usage();
}

namespace {

// The commands, by whether a value follows them.
const char* const commandsWithValue[] = {"-connect", "-get", "-desc", "-set"};
const char* const commandsWithoutValue[] = {"-disconnect", "-listconnections", "-list",
                                            "-dumpxml", "-reload"};

template <size_t N> bool isOneOf(const char* arg, const char* const (&names)[N]) {
  for (const char* name : names)
    if (strcmp(arg, name) == 0)
      return true;
  return false;
}

// The argument after a command, or usageError() when there is none.
const char* commandArgument(int argc, char** argv, int* i) {
  if (*i + 1 >= argc)
    usageError(std::string(argv[*i]) + " needs a value");
  return argv[++*i];
}

// Whether the server has a parameter of this name; without a display
// (null) it has none.
bool serverHasParam(Display* display, const std::string& name) {
  char* value;
  int length;
  if (!display || name.empty() || !zavext::getParam(display, name.c_str(), &value, &length))
    return false;
  XFree(value);
  return true;
}

// Why an argument with a dash, which is never sent to the server (no server
// parameter begins with one), is neither a command nor a parameter: a command
// given its value after '=', or a setting of the server written as though it
// were one of zavconfig's own parameters.
std::string dashedArgumentReason(Display* display, int argc, char** argv, int at) {
  const char* arg = argv[at];
  const char* equals = strchr(arg, '=');
  std::string before = equals ? std::string(arg, equals - arg) : std::string(arg);
  for (const char* command : commandsWithValue)
    if (equals && before == command)
      return before + " takes its value as the next argument";
  for (const char* command : commandsWithoutValue)
    if (equals && before == command)
      return before + " takes no value";
  std::string name = before.substr(before.compare(0, 2, "--") == 0 ? 2 : 1);
  if (!serverHasParam(display, name))
    return std::string(arg) + ": no such command or parameter";
  std::string value = equals                                    ? std::string(equals + 1)
                      : at + 1 < argc && argv[at + 1][0] != '-' ? std::string(argv[at + 1])
                                                                : std::string("<value>");
  return std::string(arg) + ": the server's parameter is set as " + name + "=" + value;
}

// Why an argument that is neither a command nor a setting the server takes
// was refused: a parameter of zavconfig itself says what its value lacks;
// for the server's parameters the server is asked whether it has the name
// (unless serverHasName already tells). Without a display (null) nothing is
// asked and the server has no names.
std::string refusedCommandReason(Display* display, int argc, char** argv, int at,
                                 const std::vector<plat::ParameterSet*>& localSets,
                                 const bool* serverHasName = nullptr) {
  bool known = false;
  std::string reason = plat::ParameterSet::refusalReason(argc, argv, at, localSets, &known);
  if (known)
    return reason;
  const char* arg = argv[at];
  if (arg[0] == '-')
    return dashedArgumentReason(display, argc, argv, at);
  const char* equals = strchr(arg, '=');
  if (!equals || equals == arg)
    return std::string(arg) + ": not a command or a parameter setting";
  std::string name(arg, equals - arg);
  if (!(serverHasName ? *serverHasName : serverHasParam(display, name)))
    return name + ": the server has no such parameter";
  return name + ": the server does not take " +
         (equals[1] ? "the value " + std::string(equals + 1) : std::string("an empty value"));
}

} // namespace

std::string commandLineRefusal(Display* display, int argc, char** argv, int first,
                               const std::vector<plat::ParameterSet*>& localSets) {
  for (int i = first; i < argc; i++) {
    const char* arg = argv[i];
    if (isOneOf(arg, commandsWithValue)) {
      if (i + 1 >= argc)
        return std::string(arg) + " needs a value";
      i++;
      continue;
    }
    if (isOneOf(arg, commandsWithoutValue))
      continue;
    const char* equals = strchr(arg, '=');
    if (arg[0] != '-' && equals && equals != arg) {
      // A setting of the server: whether it takes the value is known only
      // once it is sent, but a name it lacks is refused now. Without the
      // server to ask, only a value one of zavconfig's own parameters
      // refused is told.
      if (!display) {
        bool known = false;
        std::string reason = plat::ParameterSet::refusalReason(argc, argv, i, localSets, &known);
        if (known)
          return reason;
        continue;
      }
      bool has = serverHasParam(display, std::string(arg, equals - arg));
      if (has)
        continue;
      return refusedCommandReason(display, argc, argv, i, localSets, &has);
    }
    return refusedCommandReason(display, argc, argv, i, localSets);
  }
  return std::string();
}

namespace {

// False when the request failed.
bool getStatusValues(Display* display, const char* arg) {
  // "#" alone lists every name=value text; "#name" gives one value.
  char** list = zavext::getStatus(display, arg[1] ? arg + 1 : nullptr);
  if (!list) {
    fprintf(stderr, "getting status param %s failed\n", arg);
    return false;
  }
  if (arg[1]) {
    puts(list[0]);
  } else {
    for (int i = 0; list[i]; i++)
      puts(list[i]);
  }
  XFree(list[0]);
  XFree(list);
  return true;
}

// One line per connection: user, peer address and access text, each on its
// line whatever a viewer called itself. False when the request failed.
bool listConnections(Display* display) {
  StatusDialogCallback callback(display, nullptr);
  std::vector<serverconfig::ConnectionsList::Entry> entries;
  if (!callback.listConnections(entries)) {
    fprintf(stderr, "listing the connections failed\n");
    return false;
  }
  for (const serverconfig::ConnectionsList::Entry& e : entries)
    printf("%s@%s %s\n", plat::strOneLine(e.user.c_str()).c_str(),
           plat::strOneLine(e.address.c_str()).c_str(), e.accessText());
  return true;
}

bool getParam(Display* display, const char* name) {
  char* value;
  int length;
  if (!zavext::getParam(display, name, &value, &length)) {
    fprintf(stderr, "getting param %s failed\n", name);
    return false;
  }
  printf("%.*s\n", length, value);
  XFree(value);
  return true;
}

} // namespace

int runCommandMode(Display* display, int argc, char** argv, int first,
                   const std::vector<plat::ParameterSet*>& localSets) {
  // A line that cannot run as a whole does nothing: no command is carried
  // out and nothing is printed before the reason.
  std::string refusal = commandLineRefusal(display, argc, argv, first, localSets);
  if (!refusal.empty())
    usageError(refusal);
  // Every command runs; the status tells a script whether any failed.
  bool failed = false;
  for (int i = first; i < argc; i++) {
    const char* cmd = argv[i];
    if (strcmp(cmd, "-connect") == 0) {
      const char* host = commandArgument(argc, argv, &i);
      if (!zavext::connect(display, host)) {
        fprintf(stderr, "connecting to %s failed\n", host);
        failed = true;
      }
    } else if (strcmp(cmd, "-disconnect") == 0) {
      if (!zavext::connect(display, "")) {
        fprintf(stderr, "disconnecting all clients failed\n");
        failed = true;
      }
    } else if (strcmp(cmd, "-listconnections") == 0) {
      // The connections are the whole answer: the commands after it do not run.
      return listConnections(display) && !failed ? 0 : 1;
    } else if (strcmp(cmd, "-get") == 0) {
      const char* name = commandArgument(argc, argv, &i);
      if (!(name[0] == '#' ? getStatusValues(display, name) : getParam(display, name)))
        failed = true;
    } else if (strcmp(cmd, "-desc") == 0) {
      const char* name = commandArgument(argc, argv, &i);
      char* desc = zavext::getParamDesc(display, name);
      if (desc) {
        puts(desc);
        XFree(desc);
      } else {
        fprintf(stderr, "getting description for param %s failed\n", name);
        failed = true;
      }
    } else if (strcmp(cmd, "-list") == 0) {
      int count;
      char** names = zavext::listParams(display, &count);
      if (!names) {
        fprintf(stderr, "listing the parameters failed\n");
        failed = true;
      }
      for (int n = 0; n < count; n++)
        puts(names[n]);
      zavext::freeList(names);
    } else if (strcmp(cmd, "-set") == 0) {
      const char* text = commandArgument(argc, argv, &i);
      if (!zavext::setParam(display, text)) {
        fprintf(stderr, "setting param %s failed\n", text);
        failed = true;
      }
    } else if (strcmp(cmd, "-dumpxml") == 0) {
      char* xml = zavext::getParamsXml(display);
      if (xml) {
        puts(xml);
        XFree(xml);
      } else {
        fprintf(stderr, "getting the parameters as XML failed\n");
        failed = true;
      }
    } else if (strcmp(cmd, "-reload") == 0) {
      if (!zavext::reloadConfig(display)) {
        fputs("Could not reload server configuration.", stderr);
        failed = true;
      }
    } else if (cmd[0] != '-' && zavext::setParam(display, cmd)) {
      fprintf(stderr, "set parameter %s\n", cmd);
    } else {
      usageError(refusedCommandReason(display, argc, argv, i, localSets));
    }
  }
  return failed ? 1 : 0;
}

namespace {

// The toolkit's display-wide state, from TXWindow::init until every window
// is gone.
class Toolkit {
public:
  explicit Toolkit(Display* display) : display_(display) { TXWindow::init(display, "Zavconfig"); }
  ~Toolkit() {
    TXWRootLayout::release(display_);
    TXWindow::shutdown(display_);
  }
  Toolkit(const Toolkit&) = delete;
  Toolkit& operator=(const Toolkit&) = delete;

private:
  Display* display_;
};

// The one loop of window mode. Throws os::EndSignal::Ended when a signal
// asked the program to end, plat::Exception on a failure that ends it.
[[noreturn]] void runMainLoop(Display* display, net::SelectSocketManager* sockets,
                              plat::TimerManager* timers, ZavConfigWindow* window,
                              serverconfig::StatusIcon* statusIcon) {
  const int signalFd = os::EndSignal::fd();
  for (;;) {
    // Failures in the handlers of windows and timers are reported and the
    // program goes on; only the loop's own failures end it.
    // (The window reports a failed event itself, inside handleXEvents, and
    // the events after it are served.)
    try {
      TXWindow::handleXEvents(display);
    } catch (plat::Exception& e) {
      window->handlerFailed(e.str());
    } catch (std::exception& e) {
      window->handlerFailed(e.what());
    }
    int timeout = -1;
    try {
      timeout = timers->processTimers();
    } catch (plat::Exception& e) {
      window->handlerFailed(e.str());
      timeout = 0;
    } catch (std::exception& e) {
      window->handlerFailed(e.what());
      timeout = 0;
    }
    XFlush(display);

    fd_set readFds;
    FD_ZERO(&readFds);
    int xFd = ConnectionNumber(display);
    FD_SET(xFd, &readFds);
    FD_SET(signalFd, &readFds);
    int nfds = std::max(xFd, signalFd) + 1;
    // The status icon's co-process is watched while it is healthy.
    int statusIconFd = statusIcon ? statusIcon->getFd() : -1;
    if (statusIconFd >= 0) {
      FD_SET(statusIconFd, &readFds);
      nfds = std::max(nfds, statusIconFd + 1);
    }
    // Events already read from the connection wait in Xlib's queue.
    if (XPending(display))
      timeout = 0;
    // The file-transfer and chat streams are sockets of the socket manager:
    // they are served inside doSelect.
    int n = sockets->getSelectManager()->doSelect(nfds, &readFds, nullptr, nullptr, timeout);
    if (n < 0)
      throw plat::SystemException("select", errno);
    if (FD_ISSET(signalFd, &readFds))
      throw os::EndSignal::Ended();
    if (statusIconFd >= 0 && FD_ISSET(statusIconFd, &readFds)) {
      try {
        statusIcon->handleRequest();
      } catch (plat::Exception& e) {
        // The co-process failed or ended, or an action of the status window
        // failed: the pipe is not watched again, so the child (whose icon
        // would stay with a menu that does nothing) is ended and the status
        // window goes back to its own "Commands" menu.
        vlog.error("%s", e.str());
        statusIcon->endChild();
        statusIcon = nullptr;
      }
    }
  }
}

} // namespace

int runWindowMode(Display* display, ChatOptions* chatOptions) {
  setProductWindowIcon();
  os::EndSignal::Scope endSignal;
  // Destroyed in the reverse order. The socket manager tells the servers of
  // its streams (the file-transfer and chat connections) of their removal
  // when it goes, so those are built before it and outlive it; whatever is
  // built after it is gone before it is.
  try {
    plat::TimerManager timers;
    Toolkit toolkit(display);
    XServerConnectionFT fileTransfer;
    // The chat window, its history and the chat connection are built here
    // too, before the socket manager, which tells the connection (and so the
    // window) of the stream's end when it goes; they join the program below.
    chat::ChatWindowImpl chatWindow(display, chatOptions, chatConfigFile.c_str());
    chat::ChatHistory chatHistory(chatWindow.render(), chatOptions);
    chatWindow.setHistory(&chatHistory);
    XServerConnectionChat chat(&chatHistory, &chatWindow);
    chatWindow.setChatState(chat.getState());
    net::SelectSocketManager sockets;
    bool haveFileTransfer = false;
    try {
      fileTransfer.connect(display, &sockets);
      haveFileTransfer = true;
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    }

    plat::ParameterSet serverParams("Xzav");
    char* xml = zavext::getParamsXml(display);
    if (!xml)
      throw plat::Exception("Could not get configuration parameters from X Server.");
    try {
      plat::loadXmlConfigText(&serverParams, xml);
    } catch (...) {
      XFree(xml);
      throw;
    }
    XFree(xml);

    StatusDialogCallback statusCallback(
        display, haveFileTransfer ? fileTransfer.getManager()->getUploadManager() : nullptr);
    if (haveFileTransfer)
      statusCallback.setFtExtension(fileTransfer.getExtension());
    ZavConfigWindow window(display, iconic, &serverParams, &statusCallback);
    window.enableLinks(&sockets);
    if (!noWindow)
      window.map();
    // The tray icon, also with "nowin". Its child opens the display this
    // program opened. Without it the status window keeps its own
    // "Commands" menu and everything else runs on.
    std::unique_ptr<serverconfig::StatusIcon> statusIcon;
    try {
      statusIcon.reset(new serverconfig::StatusIcon(window.iconActions(), DisplayString(display)));
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    }
    // The history is loaded before the chat stream comes up: chat lines that
    // arrive with the stream are handled at once, and go after it.
    // A missing or unreadable history starts an empty one; the next save
    // writes it.
    try {
      chatHistory.load();
    } catch (plat::Exception&) {
    }
    HistorySaver saveHistory(&chatHistory,
                             [&window](const char* text) { window.showMessage(text); });
    try {
      chat.connect(display, &sockets);
    } catch (plat::Exception& e) {
      vlog.error("%s", e.str());
    }
    statusCallback.setChat(&chatWindow);
    runMainLoop(display, &sockets, &timers, &window, statusIcon.get());
  } catch (os::EndSignal::Ended&) {
    // Every window-mode object is gone by now, whichever wait saw the signal:
    // the chat history is saved and the tray icon's child ended.
    vlog.status("CleanupSignalHandler called");
    return 1;
  } catch (plat::Exception& e) {
    vlog.error("%s", e.str());
    return 0;
  } catch (std::exception& e) {
    // Out of memory, say: ended as any other failure, not in silence.
    vlog.error("%s", e.what());
    return 0;
  }
}

namespace {

// Reads a configuration file into the set at priority 50; a missing file is
// the usual case and is skipped without the cost of a thrown exception (the
// start-up of every command pays it).
void readConfigFile(plat::ParameterSet& set, const char* path) {
  if (access(path, F_OK) != 0) {
    vlog.debug("Skipping config file %s", path);
    return;
  }
  try {
    plat::ConfigurationFile::readParameters(set, path, 50);
  } catch (plat::Exception& e) {
    vlog.debug("%s", e.str());
  }
}

} // namespace

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

  readConfigFile(plat::ParameterSet::global(), app->getUserConfigFile());

  // The chat settings are local to main; the command line may set them too,
  // and they are offered each parameter before the global ones.
  ChatOptions chatOptions;
  try {
    chatConfigFile = plat::EnvExpandedString("$HOME/.zav/config.d/chat").c_str();
    readConfigFile(chatOptions, chatConfigFile.c_str());
  } catch (plat::Exception& e) {
    vlog.debug("%s", e.str());
  }

  std::vector<plat::ParameterSet*> sets = {&chatOptions, &plat::ParameterSet::global()};
  int first;
  try {
    // A refused value is told in the one reason line of the command mode.
    plat::QuietLogWriter quiet("ConfigParameter");
    first = plat::ParameterSet::parseCommandLine(argc, argv, 1, 50, sets);
  } catch (plat::Exception& e) {
    fprintf(stderr, "%s: %s\n", programName, e.str());
    return 1;
  }
  if (first < argc && (strcmp(argv[first], "--help") == 0 || strcmp(argv[first], "-help") == 0 ||
                       strcmp(argv[first], "-?") == 0))
    usage();

  // The commands are checked before the display is opened: a bad argument
  // is named even where there is no display or no extension to run them.
  std::string refusal =
      first < argc ? commandLineRefusal(nullptr, argc, argv, first, sets) : std::string();
  plat::String display = displayname.getValue();
  if (!openDisplay()) {
    if (!refusal.empty())
      usageError(refusal);
    fprintf(stderr, "%s: unable to open display \"%s\"\n", programName,
            XDisplayName(display.c_str()));
    return 1;
  }
  if (!zavext::queryExtension(dpy, &zavExtEventBase, &zavExtErrorBase)) {
    if (!refusal.empty())
      usageError(refusal);
    fprintf(stderr, "No ZAV extension on display %s\n", XDisplayName(display.c_str()));
    return 1;
  }
  if (display.c_str()[0])
    setenv("DISPLAY", display.c_str(), 1);

  if (first < argc)
    return runCommandMode(dpy, argc, argv, first, sets);
  return runWindowMode(dpy, &chatOptions);
}

} // namespace zavconfig
