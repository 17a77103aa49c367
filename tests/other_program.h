// Another program started by a test, talking through its standard input and
// output: the same on Linux and on Windows.
#pragma once

#include <string>
#include <vector>

namespace enlazor::testing {

class OtherProgram {
 public:
  // program and its arguments, in UTF-8.
  explicit OtherProgram(const std::vector<std::string>& command);
  ~OtherProgram();
  OtherProgram(const OtherProgram&) = delete;
  OtherProgram& operator=(const OtherProgram&) = delete;

  // The next line it writes, without its end; empty at its end.
  std::string ReadLine();
  // Ends its input and waits for it; its exit code.
  int Wait();

 private:
  struct Impl;
  Impl* impl_;
};

// The path of a helper built beside the tests (hold_table), with ".exe" on Windows.
std::string Helper(const std::string& name);

}  // namespace enlazor::testing
