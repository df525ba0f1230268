#pragma once
// The automation (COM) substitute: what the components need of the platform's COM library,
// without any of its machinery.
//   - CoInitialize/CoUninitialize keep a per-thread count, so that components can initialise
//     and uninitialise "COM" for their thread exactly as on the platform and see the same
//     results (kS_OK on a thread's first call, kS_FALSE on later ones).
//   - A process-wide ProgID registry maps class names (e.g. "DAO.DBEngine.36") to factories;
//     the engine registers its classes there and CreateOleObject makes objects by name.
// The registry is guarded by a mutex and may be used from any thread; the counts are per thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace lumo {

inline constexpr int32_t kS_OK = 0;
inline constexpr int32_t kS_FALSE = 1;
// The platform's codes for "CoInitialize has not been called" and "Invalid class string".
inline constexpr int32_t kCoENotInitialized = static_cast<int32_t>(0x800401F0u);
inline constexpr int32_t kCoEClassString = static_cast<int32_t>(0x800401F3u);

// kS_OK when this call initialised the thread, kS_FALSE when it already was (the count grows
// either way, so every call needs its CoUninitialize). `reserved` is ignored.
int32_t CoInitialize(void* reserved = nullptr);
// Undoes one CoInitialize of this thread; does nothing when the count is already 0.
void CoUninitialize();
// The current thread's initialisation count.
int ComInitCount();

// Base of every automation object created through the ProgID registry. Objects are held by
// std::shared_ptr: a reference is an automation object reference, released when the last
// holder lets go.
class ComObject {
 public:
  virtual ~ComObject() = default;
};

using ComFactory = std::function<std::shared_ptr<ComObject>()>;

// Registers (or replaces) the factory for a class name. Names compare without regard to case.
void RegisterProgId(const std::string& progId, ComFactory factory);
// Removes a class name; returns whether it was registered.
bool UnregisterProgId(const std::string& progId);
bool IsProgIdRegistered(const std::string& progId);
// The registered class names, in the spelling of their registration, in registration order.
std::vector<std::string> RegisteredProgIds();

// Creates an object of the named class with its factory (called outside the registry's lock;
// its exceptions propagate). Raises EOleSysError("CoInitialize has not been called",
// kCoENotInitialized) when this thread has not initialised COM, and
// EOleSysError("Invalid class string", kCoEClassString) for an unknown class name.
std::shared_ptr<ComObject> CreateOleObject(const std::string& progId);

}  // namespace lumo
