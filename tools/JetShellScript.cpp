// jetsh: how lines of a script become statements, and where the lines come from.

#include <istream>

#include "runtime/StrUtils.h"
#include "tools/JetShell.h"

namespace lumo::tools {

namespace {

bool IsBlank(const std::string& text) { return text.find_first_not_of(" \t\r\n") == std::string::npos; }

}  // namespace

std::vector<ScriptStatement> StatementSplitter::Feed(const std::string& line) {
  ++lineNumber_;
  std::vector<ScriptStatement> done;
  if (closing_ == 0 && IsBlank(current_)) {
    const std::string trimmed = Trim(line);
    if (!trimmed.empty() && trimmed[0] == '.') {
      // A command: the whole line, ";" and "--" included (.savequery takes them as SQL).
      current_.clear();
      done.push_back({trimmed.substr(1), lineNumber_, true});
      return done;
    }
  }
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (closing_ == 0 && IsBlank(current_) && c != ' ' && c != '\t' && c != '\r') startLine_ = lineNumber_;
    if (closing_ != 0) {
      current_ += c;
      if (c == closing_) closing_ = 0;
      continue;
    }
    switch (c) {
      case '\'': closing_ = '\''; break;
      case '"': closing_ = '"'; break;
      case '[': closing_ = ']'; break;
      case '#': closing_ = '#'; break;
      case '-':
        if (i + 1 < line.size() && line[i + 1] == '-') {
          i = line.size();  // a comment: the rest of the line
          continue;
        }
        break;
      case ';':
        // The ";" that ends a PARAMETERS declaration belongs to the query that follows it.
        if (StartsText("PARAMETERS", Trim(current_)) && current_.find(';') == std::string::npos) break;
        Complete(done);
        continue;
      default: break;
    }
    current_ += c;
  }
  // The line break stays: it may be part of a literal, and it separates words.
  if (!current_.empty()) current_ += '\n';
  return done;
}

std::optional<ScriptStatement> StatementSplitter::Finish() {
  std::vector<ScriptStatement> done;
  Complete(done);
  closing_ = 0;
  if (done.empty()) return std::nullopt;
  return done.front();
}

bool StatementSplitter::Pending() const { return closing_ != 0 || !IsBlank(current_); }

void StatementSplitter::Complete(std::vector<ScriptStatement>& done) {
  const size_t begin = current_.find_first_not_of(" \t\r\n");
  if (begin != std::string::npos) {
    const size_t end = current_.find_last_not_of(" \t\r\n");
    done.push_back({current_.substr(begin, end - begin + 1), startLine_, false});
  }
  current_.clear();
}

std::optional<std::string> StreamLineSource::ReadLine(bool /*continued*/) {
  std::string line;
  if (!std::getline(in_, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace lumo::tools
