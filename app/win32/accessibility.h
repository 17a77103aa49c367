// What assistive technology reads of the window: the two command buttons
// both show "Aceptar", so each is named by the action its panel's text says,
// and the painted panel texts are named as static texts. Through Windows'
// accessibility annotation API (IAccPropServices), which changes nothing of
// what is drawn.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

struct IAccPropServices;

namespace enlazor::win32 {

class Annotations {
 public:
  Annotations();
  // Takes the annotations back from every window named here.
  ~Annotations();
  Annotations(const Annotations&) = delete;
  Annotations& operator=(const Annotations&) = delete;

  // Names a window for assistive technology, with a description and, for a
  // painted text, the static-text role; false when the system offers no annotations.
  bool Name(HWND window, const std::wstring& name, const std::wstring& description = {}, bool staticText = false);

 private:
  IAccPropServices* services_ = nullptr;
  std::vector<HWND> named_;
};

// The name and the description assistive technology reads of a window; empty when none answers.
std::wstring AccessibleName(HWND window);
std::wstring AccessibleDescription(HWND window);

}  // namespace enlazor::win32
