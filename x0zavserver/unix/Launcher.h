// The set-user-id launcher: makes the request and reply pipes, forks, runs
// the root co-process in the child and executes the server core as the real
// user in the parent.
#pragma once

namespace os {

// The program entry; returns the exit status.
int launcherMain(int argc, char** argv);

// Opens the core while still root and checks it as os::RootOnlyFile does
// (no links; the core and its folders owned by root and writable by no one
// else), gives up every root id for the real user and group, then executes
// that very file with the launcher's arguments and the two pipe arguments.
// Never returns on success; throws plat::Exception naming the core and what
// is wrong when it is refused, or when the ids cannot be dropped or the core
// cannot be executed.
void execServerCore(int argc, char** argv, int readFd, int writeFd);

// Becomes root with a clean process state and serves the core's requests;
// returns when the core has gone.
void runRootCoprocess(int readFd, int writeFd);

// Where the core is executed from.
extern const char* const serverCorePath;

} // namespace os
