// Functions of system DLLs looked up at run time: calls of newer systems, and DLLs
// loaded only when needed.
#pragma once

#include <windows.h>

namespace vantrel::win32 {

// The function `name` of the system DLL `dll`, or null. The DLL comes from System32
// only, never from the program's or the working folder, and stays loaded. Casting
// through void(*)() is the conversion between function pointer types that the
// compiler accepts as deliberate.
template <typename Function>
Function SystemFunction(const wchar_t* dll, const char* name) {
  const HMODULE module = LoadLibraryExW(dll, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (!module) return nullptr;
  using Plain = void (*)();
  return reinterpret_cast<Function>(reinterpret_cast<Plain>(GetProcAddress(module, name)));
}

}  // namespace vantrel::win32
