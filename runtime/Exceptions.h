#pragma once
// The runtime's exception classes. Every failure in the system is reported by raising one of
// these; only the GUI runtime's default error handler catches them at the top.
//
//   Exception                 message + help context
//   ├─ EAbort                 silent exception: ends the current operation without a message
//   ├─ EDatabaseError         refusals and errors of the dataset and database components
//   ├─ EConvertError          a value could not be converted (text to number, text to date, ...)
//   ├─ EVariantError          an operation a variant of that type does not support
//   └─ EOleError
//      └─ EOleSysError        a failed automation call: system error code (HRESULT-like)
//         └─ EOleException    an error reported by an automation object with its own
//                             description, source, help file and help context (the engine's
//                             errors travel as this class, the code being the DAO number)

#include <cstdint>
#include <exception>
#include <string>

namespace lumo {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message, int helpContext = 0)
      : message_(std::move(message)), helpContext_(helpContext) {}

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  int HelpContext() const noexcept { return helpContext_; }
  void SetHelpContext(int helpContext) noexcept { helpContext_ = helpContext; }

 private:
  std::string message_;
  int helpContext_;
};

class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
  using Exception::Exception;
};

class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

class EConvertError : public Exception {
 public:
  using Exception::Exception;
};

class EVariantError : public Exception {
 public:
  using Exception::Exception;
};

class EOleError : public Exception {
 public:
  using Exception::Exception;
};

// A failed automation call without error information from the object: the message is the
// system's text for the code.
class EOleSysError : public EOleError {
 public:
  EOleSysError(std::string message, int32_t errorCode, int helpContext = 0)
      : EOleError(std::move(message), helpContext), errorCode_(errorCode) {}
  int32_t ErrorCode() const noexcept { return errorCode_; }

 private:
  int32_t errorCode_;
};

// An error the automation object described itself. The description arrives as the object
// wrote it; callers see it without trailing blanks, control characters and full stops, the
// way the automation layer has always presented such messages.
class EOleException : public EOleSysError {
 public:
  EOleException(const std::string& description, int32_t errorCode, std::string source,
                std::string helpFile, int helpContext)
      : EOleSysError(TrimDescription(description), errorCode, helpContext),
        source_(std::move(source)),
        helpFile_(std::move(helpFile)) {}

  const std::string& Source() const noexcept { return source_; }
  const std::string& HelpFile() const noexcept { return helpFile_; }

  // Drops trailing characters up to and including blank (codes 0..32) and full stops.
  static std::string TrimDescription(std::string text) {
    while (!text.empty()) {
      unsigned char last = static_cast<unsigned char>(text.back());
      if (last > ' ' && last != '.') break;
      text.pop_back();
    }
    return text;
  }

 private:
  std::string source_;
  std::string helpFile_;
};

}  // namespace lumo
