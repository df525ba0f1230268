// The module's arguments, as they stand after the module's name in a PAM service file.

#include <cstdlib>
#include <cstring>

#include "app/pam/LogonJournalModule.h"

namespace lumo::pam {

namespace {

bool ParseSeconds(const char* text, int& seconds) {
  char* end = nullptr;
  const long value = strtol(text, &end, 10);
  if (end == text || *end != '\0' || value < 1 || value > kMaxTimeoutSeconds) return false;
  seconds = static_cast<int>(value);
  return true;
}

const char* ValueOf(const char* argument, const char* key) {
  const size_t length = strlen(key);
  return strncmp(argument, key, length) == 0 && argument[length] == '=' ? argument + length + 1
                                                                        : nullptr;
}

}  // namespace

ModuleOptions ParseOptions(int argc, const char** argv, const ModuleOptions& defaults,
                           std::vector<std::string>& problems) {
  ModuleOptions options = defaults;
  for (int i = 0; i < argc; ++i) {
    const char* argument = argv[i];
    if (argument == nullptr) continue;
    if (strcmp(argument, "debug") == 0) {
      options.debug = true;
    } else if (const char* journal = ValueOf(argument, "journal")) {
      if (journal[0] == '/') {
        options.journal = journal;
      } else {
        problems.push_back(std::string("journal= needs an absolute path, not \"") + journal + "\"");
      }
    } else if (const char* timeout = ValueOf(argument, "timeout")) {
      if (!ParseSeconds(timeout, options.timeoutSeconds)) {
        problems.push_back(std::string("timeout= needs whole seconds from 1 to ") +
                           std::to_string(kMaxTimeoutSeconds) + ", not \"" + timeout + "\"");
      }
    } else if (const char* group = ValueOf(argument, "group")) {
      if (group[0] != '\0') {
        options.group = group;
      } else {
        problems.push_back("group= needs a group name");
      }
    } else {
      problems.push_back(std::string("unknown argument \"") + argument + "\"");
    }
  }
  return options;
}

}  // namespace lumo::pam
