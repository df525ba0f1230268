// Built into the journal only with the sanitizers (LUMO_SANITIZE). A recording run that the
// session module starts has the journal's group as its effective group and is therefore not
// dumpable (the kernel marks such a start as secure). The leak checker stops the program's
// threads at its end by tracing them from a helper process, which it may not do in such a
// process, and would end every such run with a failure of its own. So the leak check is left
// out there, and only there: every run started plainly keeps it.

#include <sys/auxv.h>

extern "C" __attribute__((visibility("default"), used)) const char* __asan_default_options() {
  return getauxval(AT_SECURE) != 0 ? "detect_leaks=0" : "";
}
