// Runs the zavkeygen program as a user would: its own environment (a fresh
// HOME), its output captured in files, its exit status returned.
#pragma once

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace testing_support {

struct ProgramResult {
  int status = -1; // exit status, or -1 when the program did not exit
  std::string out;
  std::string err;
};

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// env holds "NAME=value" entries; the program gets these and PATH only.
inline ProgramResult runProgram(const std::string& program, const std::vector<std::string>& args,
                                const std::vector<std::string>& env, const std::string& outputDir) {
  std::string outPath = outputDir + "/stdout", errPath = outputDir + "/stderr";
  pid_t pid = fork();
  if (pid == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0)
      _exit(127);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : args)
      argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<std::string> fullEnv = env;
    for (const char* keep : {"PATH", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS"})
      if (const char* v = getenv(keep))
        fullEnv.push_back(std::string(keep) + "=" + v);
    std::vector<char*> envp;
    for (std::string& e : fullEnv)
      envp.push_back(&e[0]);
    envp.push_back(nullptr);
    execve(program.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  ProgramResult r;
  int wstatus = 0;
  if (pid > 0 && waitpid(pid, &wstatus, 0) == pid && WIFEXITED(wstatus))
    r.status = WEXITSTATUS(wstatus);
  r.out = slurp(outPath);
  r.err = slurp(errPath);
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  return r;
}

} // namespace testing_support
