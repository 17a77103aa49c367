#include <initguid.h>  // the annotation API's identifiers are defined here, once

#include "app/win32/accessibility.h"

#include <oleacc.h>

namespace enlazor::win32 {
namespace {

// The annotated properties of each window, to be cleared at the end.
const MSAAPROPID kProperties[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION, PROPID_ACC_ROLE};

std::wstring Read(HWND window, HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
  IAccessible* accessible = nullptr;
  if (FAILED(
          ::AccessibleObjectFromWindow(window, OBJID_CLIENT, IID_IAccessible, reinterpret_cast<void**>(&accessible))) ||
      !accessible) {
    return {};
  }
  VARIANT self{};
  self.vt = VT_I4;
  self.lVal = CHILDID_SELF;
  BSTR text = nullptr;
  std::wstring read;
  if (SUCCEEDED((accessible->*get)(self, &text)) && text) read.assign(text, ::SysStringLen(text));
  ::SysFreeString(text);
  accessible->Release();
  return read;
}

}  // namespace

Annotations::Annotations() {
  ::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                     reinterpret_cast<void**>(&services_));
}

Annotations::~Annotations() {
  if (!services_) return;
  for (HWND window : named_) {
    services_->ClearHwndProps(window, OBJID_CLIENT, CHILDID_SELF, kProperties, std::size(kProperties));
  }
  services_->Release();
}

bool Annotations::Name(HWND window, const std::wstring& name, const std::wstring& description, bool staticText) {
  if (!services_) return false;
  bool done = SUCCEEDED(services_->SetHwndPropStr(window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_NAME, name.c_str()));
  if (!description.empty()) {
    done = SUCCEEDED(services_->SetHwndPropStr(window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                                               description.c_str())) &&
           done;
  }
  if (staticText) {
    VARIANT role{};
    role.vt = VT_I4;
    role.lVal = ROLE_SYSTEM_STATICTEXT;
    done = SUCCEEDED(services_->SetHwndProp(window, OBJID_CLIENT, CHILDID_SELF, PROPID_ACC_ROLE, role)) && done;
  }
  named_.push_back(window);
  return done;
}

std::wstring AccessibleName(HWND window) { return Read(window, &IAccessible::get_accName); }

std::wstring AccessibleDescription(HWND window) { return Read(window, &IAccessible::get_accDescription); }

}  // namespace enlazor::win32
