// jetsh: the prompt a person types at, with line editing and a history kept across sessions
// (the BSD editline library, through its readline interface).

#include <editline/readline.h>

#include <cstdlib>

#include "tools/JetShell.h"

namespace lumo::tools {

namespace {

constexpr int kHistoryLines = 2000;
constexpr const char* kPrompt = "jetsh> ";
constexpr const char* kContinuationPrompt = "   ...> ";

}  // namespace

PromptLineSource::PromptLineSource(std::string historyFile) : historyFile_(std::move(historyFile)) {
  using_history();
  stifle_history(kHistoryLines);
  if (!historyFile_.empty()) read_history(historyFile_.c_str());
}

PromptLineSource::~PromptLineSource() {
  if (!historyFile_.empty()) write_history(historyFile_.c_str());
}

std::optional<std::string> PromptLineSource::ReadLine(bool continued) {
  char* raw = readline(continued ? kContinuationPrompt : kPrompt);
  if (raw == nullptr) return std::nullopt;
  std::string line(raw);
  std::free(raw);
  if (line.find_first_not_of(" \t") != std::string::npos) add_history(line.c_str());
  return line;
}

}  // namespace lumo::tools
