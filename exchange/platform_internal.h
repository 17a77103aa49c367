// What the portable part of the platform layer needs from each system's part.
#pragma once

#include <cstdint>

namespace enlazor::platform::internal {

uint64_t CurrentProcessId();
// The write and move seams of the tests: true when this write or move must fail.
bool WriteMustFail();
bool RenameMustFail();
// The system's error codes for "is a folder" and "permission denied".
int IsFolderError();
int AccessDeniedError();

}  // namespace enlazor::platform::internal
