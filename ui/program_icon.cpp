#include "ui/program_icon.h"

namespace cvn::ui {

HICON LoadProgramIcon(int size) {
  const HMODULE module = GetModuleHandleW(nullptr);
  const wchar_t* first_icon = nullptr;
  EnumResourceNamesW(
      module, RT_GROUP_ICON,
      [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR found) -> BOOL {
        *reinterpret_cast<const wchar_t**>(found) = name;
        return FALSE;
      },
      reinterpret_cast<LONG_PTR>(&first_icon));
  if (first_icon != nullptr) {
    if (HANDLE icon = LoadImageW(module, first_icon, IMAGE_ICON, size, size, LR_DEFAULTCOLOR)) {
      return static_cast<HICON>(icon);
    }
  }
  return static_cast<HICON>(
      LoadImageW(nullptr, IDI_APPLICATION, IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
}

HICON ProgramClassIcon(bool small) {
  static const HICON large_icon = LoadProgramIcon(GetSystemMetrics(SM_CXICON));
  static const HICON small_icon = LoadProgramIcon(GetSystemMetrics(SM_CXSMICON));
  return small ? small_icon : large_icon;
}

}  // namespace cvn::ui
