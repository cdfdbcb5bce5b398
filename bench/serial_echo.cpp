// Serial echo for the round-trip measurement: every byte received is read on the
// window's thread through Input() and written back, as the program's receive
// handler would. Ends with 0 when the port goes away, 2 when it cannot open.
//   serial_echo.exe [COM number]
#include <windows.h>

#include <cstdlib>

#include "win32/serial.h"

namespace {

constexpr UINT kData = WM_APP + 1;
constexpr UINT kLost = WM_APP + 2;
vantrel::win32::SerialPort* g_port = nullptr;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == kData) {
    const auto bytes = g_port->Input();
    if (!bytes.empty()) g_port->Write(bytes);
    return 0;
  }
  if (msg == kLost) {
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
  vantrel::win32::SerialPort port(hwnd, kData, kLost);
  g_port = &port;
  port.SetCommPort(argc > 1 ? std::atoi(argv[1]) : 1);
  port.SetSettings("9600,n,8,1");
  port.SetInBufferSize(1024);
  port.SetRThreshold(1);
  port.SetInputLen(0);
  port.SetNullDiscard(false);
  if (!port.SetPortOpen(true)) return 2;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  port.SetPortOpen(false);
  return 0;
}
