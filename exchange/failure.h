// Failures of the runs. A Failure ends a run and reaches the user as the
// default error report; a Refusal is one of the program's own checks and is
// shown in the plain message box. Both carry the Spanish text as their message.
#pragma once

#include <filesystem>
#include <new>
#include <stdexcept>
#include <string>
#include <string_view>

#include "exchange/platform/platform.h"

namespace enlazor {

struct Failure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

struct Refusal : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Replaces each "%s" of a message pattern, in order, with the given texts.
inline std::string Format(std::string_view pattern, std::initializer_list<std::string_view> args) {
  std::string out;
  auto arg = args.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] == 's' && arg != args.end()) {
      out += *arg++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

// What a failure tells the user, in Spanish whatever raised it.
inline std::string FailureText(const std::exception& failure) {
  if (dynamic_cast<const std::bad_alloc*>(&failure)) {
    return "Memoria insuficiente para terminar la orden. Cierre otros programas y repítala";
  }
  if (const auto* system = dynamic_cast<const std::filesystem::filesystem_error*>(&failure)) {
    const std::u8string path = system->path1().u8string();
    return Format("Error del sistema con '%s': %s",
                  {std::string_view(reinterpret_cast<const char*>(path.data()), path.size()),
                   platform::ErrorText(system->code())});
  }
  return failure.what();
}

// A failure's message as the user reads it: a full stop is added when the
// message is not empty and ends in a character above ".".
inline std::string WithFullStop(const std::string& message) {
  if (!message.empty() && static_cast<unsigned char>(message.back()) > '.') return message + ".";
  return message;
}

}  // namespace enlazor
