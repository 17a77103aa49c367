// What the portable part of the platform layer needs from each system's part.
#pragma once

#include <cstdint>

namespace enlazor::platform::internal {

uint64_t CurrentProcessId();
// True when no process with that number runs: its temporary files are leftovers.
bool ProcessIsGone(uint64_t pid);
// The write and move seams of the tests: true when this write or move must fail.
bool WriteMustFail();
bool RenameMustFail();
// The system's error code for "is a folder".
int IsFolderError();

}  // namespace enlazor::platform::internal
