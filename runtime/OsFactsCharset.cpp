// Character classification and the ANSI/OEM conversions (see OsFacts.h). ANSI text is UTF-8 on
// this platform; the OEM code page is 850, the one the platform's Western European consoles use.

#include <errno.h>
#include <iconv.h>

#include <cctype>

#include "runtime/OsFacts.h"

namespace lumo {
namespace {

bool IsContinuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Bytes making up the UTF-8 character at `text` (1 for a byte that starts no valid sequence,
// so that malformed input is stepped over one byte at a time).
size_t Utf8SequenceLength(const char* text, size_t available) {
  unsigned char lead = static_cast<unsigned char>(text[0]);
  size_t length = lead >= 0xF0 && lead <= 0xF4 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 1;
  if (lead >= 0xF5 || length > available) return 1;
  for (size_t i = 1; i < length; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(text[i]))) return 1;
  }
  return length;
}

// One iconv descriptor per direction and thread: descriptors carry conversion state and must
// not be shared between threads.
class Converter {
 public:
  Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
  ~Converter() {
    if (Available()) iconv_close(handle_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  bool Available() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

  // Converts all of `input`; a character the target lacks, or a malformed one, becomes '?'.
  std::string Convert(const std::string& input, bool inputIsUtf8) {
    std::string output;
    output.reserve(input.size());
    iconv(handle_, nullptr, nullptr, nullptr, nullptr);
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    char chunk[256];
    while (inLeft > 0) {
      char* out = chunk;
      size_t outLeft = sizeof chunk;
      size_t result = iconv(handle_, &in, &inLeft, &out, &outLeft);
      output.append(chunk, static_cast<size_t>(out - chunk));
      if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
      if (errno != EILSEQ && errno != EINVAL) break;
      size_t skip = inputIsUtf8 ? Utf8SequenceLength(in, inLeft) : 1;
      output.push_back('?');
      in += skip;
      inLeft -= skip;
    }
    return output;
  }

 private:
  iconv_t handle_;
};

// Without the gconv module for code page 850 only ASCII can be carried over.
std::string AsciiOnly(const std::string& input, bool inputIsUtf8) {
  std::string output;
  for (size_t i = 0; i < input.size();) {
    unsigned char c = static_cast<unsigned char>(input[i]);
    size_t length = c < 0x80 || !inputIsUtf8 ? 1 : Utf8SequenceLength(&input[i], input.size() - i);
    output.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    i += length;
  }
  return output;
}

}  // namespace

bool IsCharAlphaNumericA(char c) {
  unsigned char byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || std::isalnum(byte) != 0;
}

std::string CharToOemA(const std::string& utf8) {
  thread_local Converter converter("CP850", "UTF-8");
  return converter.Available() ? converter.Convert(utf8, true) : AsciiOnly(utf8, true);
}

std::string OemToCharA(const std::string& oem) {
  thread_local Converter converter("UTF-8", "CP850");
  return converter.Available() ? converter.Convert(oem, false) : AsciiOnly(oem, false);
}

}  // namespace lumo
