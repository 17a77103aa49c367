#include "export/codes.h"

#include <algorithm>

#include "exchange/codec.h"
#include "exchange/failure.h"

namespace enlazor {
namespace {

std::string_view FirstCharacter(std::string_view text) { return text.substr(0, 1); }

}  // namespace

std::string SubjectBaseCode(std::string_view name) {
  std::string initials(FirstCharacter(name));
  for (size_t i = 1; i + 1 < name.size(); ++i) {
    if (name[i] == ' ') initials += name[i + 1];
  }
  return initials.substr(0, 2);
}

std::string TeacherBaseCode(std::string_view given, std::string_view surname1, std::string_view surname2) {
  return std::string(FirstCharacter(given)) + std::string(FirstCharacter(surname1)) +
         std::string(FirstCharacter(surname2));
}

std::string UnitCode(std::string_view unitName) {
  const size_t length = unitName.size();
  if (length < 5) return std::string(unitName);
  return {unitName[0], unitName[3], unitName[4], unitName[length - 1]};
}

UnitPlacement PlaceUnit(std::string_view code) {
  UnitPlacement placement;
  placement.nivel = code.size() > 1 ? std::string(code.substr(1, 2)) : "NIV";
  placement.curso = std::string(code.substr(0, 1));
  placement.grupo = code.empty() ? std::string() : std::string(1, code.back());
  return placement;
}

std::string NumberedCode(std::string_view base, unsigned n) {
  const std::string number = std::to_string(n);
  if (number.size() > kCodeWidth) {
    throw Failure(Format("No quedan códigos libres de cuatro caracteres para '%s'", {AnsiToUtf8(base)}));
  }
  const size_t keep = std::min(base.size(), kCodeWidth - number.size());
  return std::string(base.substr(0, keep)) + number;
}

uint32_t CodeList::Key(std::string_view code) {
  // Codes are cut to their field before they are compared; no code holds a NUL.
  const std::string upper = UpperAnsiText(code.substr(0, kCodeWidth));
  uint32_t key = 0;
  for (size_t i = 0; i < upper.size(); ++i)
    key |= static_cast<uint32_t>(static_cast<unsigned char>(upper[i])) << (8 * i);
  return key;
}

bool CodeList::Holds(std::string_view code) const { return held_.count(Key(code)) != 0; }

void CodeList::Hold(std::string_view code) { held_.insert(Key(code)); }

std::string CodeList::Unique(std::string_view base) {
  std::string code(base);
  if (Holds(code)) {
    // Numbers below the last one given for this base are all taken already.
    unsigned& n = next_[Key(base)];
    if (n == 0) n = 1;
    while (Holds(code = NumberedCode(base, n))) ++n;
  }
  Hold(code);
  return code;
}

std::string IdentifiedCodes::CodeFor(std::string_view identifier, std::string_view derived) {
  const std::string id(identifier);
  const std::string key = UpperAnsiText(derived);
  const auto holder = holder_.find(key);
  if (holder == holder_.end() || holder->second == id) {
    if (holder == holder_.end()) {
      holder_.emplace(key, id);
      list_.Hold(derived);
    }
    return std::string(derived);
  }
  auto& code = given_[{id, std::string(derived)}];
  if (code.empty()) {
    code = list_.Unique(derived);
    holder_.emplace(UpperAnsiText(code), id);
  }
  return code;
}

SlotTimes ApplyTimeRule(std::string start, std::string end) {
  if (start.size() < 4) start.insert(start.begin(), '0');
  if (end.size() < 4) end.insert(end.begin(), '0');
  const int64_t endValue = ToInt32OrFail(end);
  const int64_t startValue = ToInt32OrFail(start);
  auto clock = [](const std::string& text) {
    return text.substr(0, 2) + ":" + text.substr(std::min<size_t>(2, text.size()), 2);
  };
  return {clock(start), clock(end), std::to_string(endValue - startValue)};
}

}  // namespace enlazor
