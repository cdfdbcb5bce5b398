// Serial echo for the round-trip measurement: every byte received is taken on the
// window's thread and written back, as the program's receive handler would. Ends
// with 0 when the port goes away, 2 when it cannot open.
//   serial_echo.exe [COM number]
#include <windows.h>

#include <cstdlib>

#include "win32/serial.h"

namespace {

constexpr vantrel::win32::SerialPort::Messages kMessages{WM_APP + 1, WM_APP + 2, WM_APP + 3};
vantrel::win32::SerialPort* g_port = nullptr;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kMessages.data && g_port->Current(wp)) {
    const auto bytes = g_port->TakeReceived();
    if (!bytes.empty()) g_port->Write(bytes);
    return 0;
  }
  if (msg == kMessages.opened) {
    if (g_port->OpenResult(wp, lp) == false) PostQuitMessage(2);
    return 0;
  }
  if (msg == kMessages.lost) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int main(int argc, char** argv) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"VantrelSerialEcho";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              wc.hInstance, nullptr);
  vantrel::win32::SerialPort port(hwnd, kMessages);
  g_port = &port;
  port.Open({argc > 1 ? std::atoi(argv[1]) : 1, {false, true}, 1024});
  MSG msg;
  int code = 0;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  if (msg.message == WM_QUIT) code = static_cast<int>(msg.wParam);
  port.Close();
  return code;
}
