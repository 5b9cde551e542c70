// The smallest honest counterpart of LAGVANE's start: it asks the maker's server for the version
// manifest twice (the check and the read), shows a plain window, sends the start report, and
// then waits in its message loop until it is closed. Plain blocking Winsock, no error boxes: a
// failed request is ignored, as the start report's is.

#include "common/unique_handle.h"
#include "update/http_request.h"
#include "update/maker_server.h"

#include <winsock2.h>
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

constexpr wchar_t kClassName[] = L"BenchMinimalWindow";

// Reads an answer up to the end of its Content-Length body, as LAGVANE's transfer does before it
// closes the connection.
void ReadAnswer(SOCKET socket) {
  std::string received;
  char buffer[16 * 1024];
  std::size_t needed = std::string::npos;
  while (needed == std::string::npos || received.size() < needed) {
    const int n = recv(socket, buffer, sizeof buffer, 0);
    if (n <= 0) return;
    received.append(buffer, static_cast<std::size_t>(n));
    if (needed != std::string::npos) continue;
    const std::size_t headEnd = received.find("\r\n\r\n");
    if (headEnd == std::string::npos) continue;
    const std::size_t length = received.find("Content-Length:");
    if (length == std::string::npos || length > headEnd) return;
    needed = headEnd + 4 + std::strtoul(received.c_str() + length + 15, nullptr, 10);
  }
}

void Get(const ServerAddress& server, const char* pathAndQuery) {
  UniqueSocket socket(::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
  if (!socket) return;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(server.port);
  address.sin_addr.s_addr = inet_addr(server.host.c_str());
  if (connect(socket.get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == SOCKET_ERROR) return;
  const std::string request = BuildRequest(server, pathAndQuery);
  if (send(socket.get(), request.data(), static_cast<int>(request.size()), 0) != static_cast<int>(request.size())) {
    return;
  }
  ReadAnswer(socket.get());
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  // LAGVANE_SERVER is the loopback address of this build tree, "127.0.0.1:port".
  const ServerAddress server = ParseServerAddress(LAGVANE_SERVER).value_or(ServerAddress{"127.0.0.1", 80});
  WSADATA data;
  if (WSAStartup(MAKEWORD(2, 2), &data) != 0) return 1;
  Get(server, kManifestPath);
  Get(server, kManifestPath);

  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = kClassName;
  RegisterClassExW(&windowClass);
  // The size of LAGVANE's main window, so both ask the display for the same area.
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, kClassName, L"minimal", WS_POPUP | WS_SYSMENU, 400, 400, 478, 212,
                                nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  ShowWindow(window, SW_SHOW);
  UpdateWindow(window);
  Get(server, kStartReportPath);

  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  WSACleanup();
  return 0;
}
