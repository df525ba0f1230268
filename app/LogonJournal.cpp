// The logon journal's entry: "logonjournal /set <kind>" records one event (the session module
// runs it so), "logonjournal" shows today's logons.

#include "app/Main.h"
#include "gui/Application.h"
#include "runtime/CommandLine.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Arguments arrive as bytes in whatever encoding the caller used; the journal stores UTF-8,
// so a byte that does not belong to a well-formed UTF-8 sequence becomes U+FFFD.
std::string ValidUtf8(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  size_t i = 0;
  while (i < bytes.size()) {
    const auto lead = static_cast<unsigned char>(bytes[i]);
    size_t length = lead < 0x80           ? 1
                    : (lead >> 5) == 0x6  ? 2
                    : (lead >> 4) == 0xE  ? 3
                    : (lead >> 3) == 0x1E ? 4
                                          : 0;
    bool valid = length > 0 && i + length <= bytes.size();
    for (size_t k = 1; valid && k < length; ++k)
      valid = (static_cast<unsigned char>(bytes[i + k]) & 0xC0) == 0x80;
    if (valid && length > 1) {
      // Overlong forms, surrogates and values beyond U+10FFFF are not well formed either.
      const auto second = static_cast<unsigned char>(bytes[i + 1]);
      if (length == 2) valid = lead >= 0xC2;
      if (length == 3)
        valid = !(lead == 0xE0 && second < 0xA0) && !(lead == 0xED && second >= 0xA0);
      if (length == 4)
        valid =
            lead <= 0xF4 && !(lead == 0xF0 && second < 0x90) && !(lead == 0xF4 && second >= 0x90);
    }
    if (valid) {
      text.append(bytes, i, length);
      i += length;
    } else {
      text += "\xEF\xBF\xBD";
      ++i;
    }
  }
  return text;
}

constexpr const char* kUsage =
    "Usage: logonjournal [/set logon|logoff]\n"
    "Keeps a journal of logons in the table Logon of the database that logonjournal.ini\n"
    "beside the program names (section db, key main; default logon1.mdb beside it).\n"
    "\n"
    "  /set logon     record a logon of the calling user (the session module runs this)\n"
    "  /set logoff    stamp the logoff time into the user's newest open row\n"
    "  (none)         show today's logons in the window \"Logon-\xC3\x9C"
    "bersicht\"\n"
    "  --help         this text\n"
    "  --version      the program's version\n"
    "\n"
    "Errors go to standard error and the system log; the exit status is then 1.\n";

}  // namespace

int main(int argc, char** argv) {
  // Answered before anything else starts: no window, no database, no INI file.
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::printf("logonjournal %s\n", LUMO_VERSION);
    return 0;
  }
  std::setlocale(LC_ALL, "");
  std::vector<std::string> arguments(argv, argv + argc);
  for (size_t i = 1; i < arguments.size(); ++i) arguments[i] = ValidUtf8(arguments[i]);
  std::vector<const char*> pointers;
  for (const std::string& argument : arguments) pointers.push_back(argument.c_str());
  lumo::SetCommandLine(argc, pointers.data());

  lumo::RegisterJournalClasses();
  lumo::Application.Initialize();
  lumo::Tfmain* fmain = nullptr;
  lumo::Application.CreateForm(fmain);
  return lumo::Application.Run();
}
