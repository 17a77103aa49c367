// What the portable part of the platform layer needs from each system's part.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "exchange/platform/platform.h"

namespace enlazor::platform::internal {

namespace fs = std::filesystem;

uint64_t CurrentProcessId();
// Counts a system call of the kind; 0 when it goes ahead, else the error
// this system gives for the fault a test planned there (see FailCallForTesting).
int Injected(Call call);
// This system's error code for a fault.
int FaultError(Fault fault);
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
