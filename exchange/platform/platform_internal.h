// What the portable part of the platform layer needs from each system's part.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace enlazor::platform::internal {

namespace fs = std::filesystem;

uint64_t CurrentProcessId();
// The write and move seams of the tests: true when this write or move must fail.
bool WriteMustFail();
bool RenameMustFail();
// 0 when nothing is at path or a plain file is; else the error code that says
// what it is instead (a folder, a device, a pipe).
int NotAFile(const fs::path& path);
// The full path, without . and .., links followed as far as they exist; never raises.
fs::path Normal(const fs::path& path);
// The same name without regard to case, as Windows compares names.
bool SameNameNoCase(std::string_view a, std::string_view b);
// The failures of file operations, each text written once: reading, writing,
// replacing a file, with the path and the system's reason.
[[noreturn]] void RaiseRead(const fs::path& path, int error);
[[noreturn]] void RaiseWrite(const fs::path& path, int error);
[[noreturn]] void RaiseReplace(const fs::path& path, int error);
// A C library error (errno) as a short Spanish text.
std::string ErrnoText(int error);
// The system's error codes for "is a folder" and "permission denied".
int IsFolderError();
int AccessDeniedError();

}  // namespace enlazor::platform::internal
