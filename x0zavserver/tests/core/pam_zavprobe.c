/* A PAM module for tests: records the state of the process that runs the
 * PAM conversation (ids, groups, environment, umask, working directory, limits,
 * signals, open descriptors) in the file named by its argument "out=PATH",
 * then answers PAM_IGNORE so the rest of the stack decides. */
#define _GNU_SOURCE
#include <dirent.h>
#include <security/pam_modules.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

extern char** environ;

PAM_EXTERN int pam_sm_authenticate(pam_handle_t* pamh, int flags, int argc, const char** argv) {
  (void)pamh;
  (void)flags;
  const char* path = NULL;
  for (int i = 0; i < argc; i++)
    if (strncmp(argv[i], "out=", 4) == 0)
      path = argv[i] + 4;
  if (!path)
    return PAM_IGNORE;
  FILE* f = fopen(path, "a");
  if (!f)
    return PAM_IGNORE;
  uid_t r, e, s;
  gid_t gr, ge, gs;
  getresuid(&r, &e, &s);
  getresgid(&gr, &ge, &gs);
  fprintf(f, "uids %u %u %u\n", (unsigned)r, (unsigned)e, (unsigned)s);
  fprintf(f, "gids %u %u %u\n", (unsigned)gr, (unsigned)ge, (unsigned)gs);
  gid_t groups[256];
  int count = getgroups(256, groups);
  fprintf(f, "groups");
  for (int i = 0; i < count; i++)
    fprintf(f, " %u", (unsigned)groups[i]);
  fprintf(f, "\n");
  int n = 0;
  for (char** v = environ; v && *v; v++, n++)
    fprintf(f, "env %s\n", *v);
  fprintf(f, "envcount %d\n", n);
  mode_t m = umask(0);
  umask(m);
  fprintf(f, "umask %03o\n", (unsigned)m);
  char cwd[4096];
  fprintf(f, "cwd %s\n", getcwd(cwd, sizeof cwd) ? cwd : "?");
  struct rlimit rl;
  getrlimit(RLIMIT_FSIZE, &rl);
  fprintf(f, "fsize %s\n", rl.rlim_cur == RLIM_INFINITY ? "unlimited" : "limited");
  getrlimit(RLIMIT_CORE, &rl);
  fprintf(f, "core %llu\n", (unsigned long long)rl.rlim_cur);
  sigset_t mask;
  sigprocmask(SIG_SETMASK, NULL, &mask);
  int blocked = 0, ignored = 0;
  for (int sig = 1; sig < 32; sig++) {
    struct sigaction sa;
    if (sigismember(&mask, sig))
      blocked++;
    if (sigaction(sig, NULL, &sa) == 0 && sa.sa_handler == SIG_IGN)
      ignored++;
  }
  fprintf(f, "blocked %d\nignored %d\n", blocked, ignored);
  DIR* d = opendir("/proc/self/fd");
  if (d) {
    struct dirent* de;
    while ((de = readdir(d)) != NULL) {
      char link[4096], target[4096];
      if (de->d_name[0] == '.')
        continue;
      snprintf(link, sizeof link, "/proc/self/fd/%s", de->d_name);
      ssize_t k = readlink(link, target, sizeof target - 1);
      target[k > 0 ? k : 0] = '\0';
      fprintf(f, "fd %s %s\n", de->d_name, target);
    }
    closedir(d);
  }
  fclose(f);
  return PAM_IGNORE;
}

PAM_EXTERN int pam_sm_setcred(pam_handle_t* pamh, int flags, int argc, const char** argv) {
  (void)pamh;
  (void)flags;
  (void)argc;
  (void)argv;
  return PAM_IGNORE;
}
