// One input of each fuzz target, shared with the regression test that replays
// every input the fuzzers ever found. Only the system's own failures are
// expected; anything else (a crash, another exception) is a fault.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>

namespace enlazor::fuzz {

// A scratch folder for one process, on a memory file system where there is one.
const std::filesystem::path& Scratch();

// Arbitrary bytes as a Séneca export file, exported into a work directory.
void ExportOnce(const uint8_t* data, size_t size);
// Arbitrary bytes as a table: every field of every row read as text and integer.
void TableOnce(const uint8_t* data, size_t size);
// Arbitrary bytes as SOLUC beside the sample school's other tables, imported.
void ImportOnce(const uint8_t* data, size_t size, const std::filesystem::path& sourceFolder);

}  // namespace enlazor::fuzz
