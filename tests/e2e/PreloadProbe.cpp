// A library that tells when it is loaded: put into LD_PRELOAD, it appends one line to the file
// beside itself (its own path with ".log" added) in every process that loads it, naming the
// process's real and effective uid and its program. The tests of the session module use it to
// see whether anything the PAM environment names is ever loaded.

#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

__attribute__((constructor)) void ReportLoad() {
  Dl_info self{};
  if (dladdr(reinterpret_cast<void*>(&ReportLoad), &self) == 0 || self.dli_fname == nullptr) return;
  char log[4096];
  snprintf(log, sizeof log, "%s.log", self.dli_fname);
  char program[1024] = {};
  const ssize_t length = readlink("/proc/self/exe", program, sizeof program - 1);
  if (length < 0) strcpy(program, "?");
  char line[1200];
  const int size = snprintf(line, sizeof line, "uid=%u euid=%u exe=%s\n", static_cast<unsigned>(getuid()),
                            static_cast<unsigned>(geteuid()), program);
  const int fd = open(log, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  if (size > 0) {
    ssize_t ignored = write(fd, line, static_cast<size_t>(size));
    (void)ignored;
  }
  close(fd);
}

}  // namespace
