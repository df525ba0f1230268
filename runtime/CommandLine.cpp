#include "runtime/CommandLine.h"

#include <fstream>
#include <iterator>
#include <mutex>
#include <vector>

#include "runtime/OsFacts.h"

namespace lumo {
namespace {

struct Arguments {
  std::mutex mutex;
  bool set = false;
  std::vector<std::string> values;  // without the program name
};

Arguments& State() {
  static Arguments arguments;
  return arguments;
}

// The kernel's copy of argv: NUL-separated, the program name first.
std::vector<std::string> ArgumentsFromProc() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> values;
  size_t start = 0;
  while (start < all.size()) {
    size_t end = all.find('\0', start);
    if (end == std::string::npos) end = all.size();
    values.push_back(all.substr(start, end - start));
    start = end + 1;
  }
  if (!values.empty()) values.erase(values.begin());
  return values;
}

const std::vector<std::string>& Values(Arguments& arguments) {
  if (!arguments.set) {
    arguments.values = ArgumentsFromProc();
    arguments.set = true;
  }
  return arguments.values;
}

}  // namespace

void SetCommandLine(int argc, const char* const* argv) {
  Arguments& arguments = State();
  std::lock_guard lock(arguments.mutex);
  arguments.values.clear();
  for (int i = 1; i < argc && argv != nullptr; ++i) {
    arguments.values.emplace_back(argv[i] != nullptr ? argv[i] : "");
  }
  arguments.set = true;
}

int ParamCount() {
  Arguments& arguments = State();
  std::lock_guard lock(arguments.mutex);
  return static_cast<int>(Values(arguments).size());
}

std::string ParamStr(int index) {
  if (index == 0) return ExecutablePath();
  Arguments& arguments = State();
  std::lock_guard lock(arguments.mutex);
  const std::vector<std::string>& values = Values(arguments);
  if (index < 0 || index > static_cast<int>(values.size())) return std::string();
  return values[static_cast<size_t>(index) - 1];
}

}  // namespace lumo
