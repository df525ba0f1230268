#pragma once
// The shared library liblumo as a whole: which version a program runs with. A program built
// against one version may run with a later one of the same soname, so bug reports and
// "--version" texts are better with this than with the version it was compiled against.

namespace lumo {

// "major.minor.patch" of the loaded liblumo.
const char* LibraryVersion() noexcept;

}  // namespace lumo
