#include "other_program.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

#include "exchange/platform/platform.h"

namespace enlazor::testing {

#ifdef _WIN32

struct OtherProgram::Impl {
  PROCESS_INFORMATION process{};
  HANDLE input = nullptr, output = nullptr;
};

OtherProgram::OtherProgram(const std::vector<std::string>& command) : impl_(new Impl) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE childIn = nullptr, childOut = nullptr;
  ::CreatePipe(&childIn, &impl_->input, &inherit, 0);
  ::CreatePipe(&impl_->output, &childOut, &inherit, 0);
  ::SetHandleInformation(impl_->input, HANDLE_FLAG_INHERIT, 0);
  ::SetHandleInformation(impl_->output, HANDLE_FLAG_INHERIT, 0);
  std::wstring line;
  for (const auto& arg : command) line += L"\"" + platform::PathFromUtf8(arg).wstring() + L"\" ";
  STARTUPINFOW start{};
  start.cb = sizeof start;
  start.dwFlags = STARTF_USESTDHANDLES;
  start.hStdInput = childIn;
  start.hStdOutput = childOut;
  start.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
  ::CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &start, &impl_->process);
  ::CloseHandle(childIn);
  ::CloseHandle(childOut);
}

std::string OtherProgram::ReadLine() {
  std::string line;
  char c;
  DWORD got = 0;
  while (::ReadFile(impl_->output, &c, 1, &got, nullptr) && got == 1 && c != '\n') {
    if (c != '\r') line += c;
  }
  return line;
}

int OtherProgram::Wait() {
  if (impl_->input) ::CloseHandle(impl_->input);
  impl_->input = nullptr;
  if (!impl_->process.hProcess) return -1;
  ::WaitForSingleObject(impl_->process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(impl_->process.hProcess, &code);
  ::CloseHandle(impl_->process.hProcess);
  ::CloseHandle(impl_->process.hThread);
  impl_->process = {};
  return static_cast<int>(code);
}

OtherProgram::~OtherProgram() {
  Wait();
  ::CloseHandle(impl_->output);
  delete impl_;
}

std::string Helper(const std::string& name) {
  wchar_t self[MAX_PATH];
  ::GetModuleFileNameW(nullptr, self, MAX_PATH);
  return platform::PathToUtf8(std::filesystem::path(self).parent_path() / (name + ".exe"));
}

#else

struct OtherProgram::Impl {
  pid_t pid = 0;
  int input = -1, output = -1;
  int status = -1;
};

OtherProgram::OtherProgram(const std::vector<std::string>& command) : impl_(new Impl) {
  int in[2], out[2];
  if (pipe(in) != 0 || pipe(out) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, in[1]);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  std::vector<char*> argv;
  for (const auto& arg : command) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  if (posix_spawn(&impl_->pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) impl_->pid = 0;
  posix_spawn_file_actions_destroy(&actions);
  close(in[0]);
  close(out[1]);
  impl_->input = in[1];
  impl_->output = out[0];
}

std::string OtherProgram::ReadLine() {
  std::string line;
  char c;
  while (read(impl_->output, &c, 1) == 1 && c != '\n') line += c;
  return line;
}

int OtherProgram::Wait() {
  if (impl_->input >= 0) close(impl_->input);
  impl_->input = -1;
  if (impl_->pid > 0) {
    int status = 0;
    waitpid(impl_->pid, &status, 0);
    impl_->status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    impl_->pid = 0;
  }
  return impl_->status;
}

OtherProgram::~OtherProgram() {
  Wait();
  if (impl_->output >= 0) close(impl_->output);
  delete impl_;
}

std::string Helper(const std::string& name) {
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  const std::string path(self, n > 0 ? static_cast<size_t>(n) : 0);
  return path.substr(0, path.rfind('/') + 1) + name;
}

#endif

}  // namespace enlazor::testing
