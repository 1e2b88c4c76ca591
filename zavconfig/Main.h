// The program-wide objects and the start-up of zavconfig, with its command
// mode: each argument left after the parameters is one command carried out
// through the server's X extension. The display opened here stays open until
// the process ends.
#pragma once

#include "plat/BoolParameter.h"
#include "plat/StringParameter.h"

#include <X11/Xlib.h>

#include <string>
#include <vector>

class ChatOptions;

namespace plat {
class ParameterSet;
}

namespace zavconfig {

// Null until openDisplay() succeeds.
extern Display* dpy;
// The program path from argument 0.
extern const char* programName;
extern plat::StringParameter displayname;
extern plat::BoolParameter noWindow;
extern plat::BoolParameter iconic;
// The chat configuration file, "$HOME/.zav/config.d/chat" expanded at
// start-up; read into the chat settings and written by their editing.
extern plat::String chatConfigFile;
// The extension's first event and first error codes.
extern int zavExtEventBase;
extern int zavExtErrorBase;

// dpy when already open; else opens the display named by "display" (empty:
// the DISPLAY environment variable), stores the result in dpy and returns it
// (null on failure).
Display* openDisplay();

// Handler of SIGHUP, SIGINT and SIGTERM: while window mode runs it tells the
// main loop, which logs and ends with status 1; otherwise it exits with 1.
void CleanupSignalHandler(int sig);

// Prints the banner, the command forms and the parameter help to stdout and
// exits with status 1.
[[noreturn]] void usage();
// A bad argument: one line on stderr naming it and the reason, then usage().
[[noreturn]] void usageError(const std::string& reason);

// Why argv[first..argc) cannot run as commands, or "" when it can as far as
// can be told before anything is done: a command without its value, an
// argument with a dash that is no command, a word that is no name=value
// setting, or a setting of a parameter the server lacks (asked only with a
// display; nothing is set). localSets are zavconfig's own parameters, which
// the reason names when the argument was one of theirs.
std::string commandLineRefusal(Display* display, int argc, char** argv, int first,
                               const std::vector<plat::ParameterSet*>& localSets);

// Runs argv[first..argc) as commands on the display, each result on stdout,
// each failure on stderr. A line that commandLineRefusal() refuses ends in
// usageError() before any command runs, as does a name=value whose value
// the server refuses when it is sent. Returns the exit status: 1 when any
// command failed, else 0.
int runCommandMode(Display* display, int argc, char** argv, int first,
                   const std::vector<plat::ParameterSet*>& localSets = {});

// Window mode on the display: the main window with the clipboard bridge, the
// connection prompts and notices, the chat window over the chat settings,
// and the main loop. Returns 1 when a signal ended it, 0 after a failure
// (logged).
int runWindowMode(Display* display, ChatOptions* chatOptions);

// The whole program: start-up, then command mode or window mode.
int zavconfigMain(int argc, char** argv);

} // namespace zavconfig
