#include "driver.h"

#include "common/texts.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace driver {

namespace {

std::runtime_error Failure(const std::string& what) {
  return std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

struct FindState {
  DWORD processId;
  DWORD threadId;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM param) {
  auto* state = reinterpret_cast<FindState*>(param);
  DWORD processId = 0;
  const DWORD threadId = GetWindowThreadProcessId(window, &processId);
  const bool matches = state->threadId ? threadId == state->threadId : processId == state->processId;
  if (matches && (!state->visibleOnly || IsWindowVisible(window))) state->found.push_back(window);
  return TRUE;
}

std::optional<MessageBoxInfo> FirstMessageBox(const std::vector<HWND>& windows) {
  for (HWND window : windows) {
    if (ClassNameOf(window) != L"#32770") continue;
    MessageBoxInfo info;
    info.window = window;
    info.caption = TextOf(window);
    // A message box's text is the static control with id 0xFFFF; its icon a static with SS_ICON.
    if (HWND text = GetDlgItem(window, 0xFFFF)) info.text = TextOf(text);
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
      if (ClassNameOf(child) == L"Static" &&
          (GetWindowLongPtrW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON && IsWindowVisible(child) &&
          SendMessageW(child, STM_GETICON, 0, 0)) {
        info.hasIcon = true;
      }
    }
    return info;
  }
  return std::nullopt;
}

}  // namespace

bool WaitUntil(const std::function<bool()>& done, Millis timeout, Millis interval) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return done();
    std::this_thread::sleep_for(interval);
  }
}

std::wstring BinDir() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring ClassNameOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

std::wstring TextOf(HWND window) {
  // WM_GETTEXT rather than GetWindowText, which does not read other processes' controls.
  const LRESULT length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const LRESULT copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<std::size_t>(copied));
  return text;
}

RECT WindowRectOf(HWND window) {
  RECT rect{};
  GetWindowRect(window, &rect);
  return rect;
}

std::vector<HWND> TopLevelWindows(DWORD processId, bool visibleOnly) {
  FindState state{processId, 0, visibleOnly, {}};
  EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&state));
  return state.found;
}

std::vector<std::wstring> ModulesOf(DWORD processId) {
  std::vector<std::wstring> names;
  const HANDLE listed = CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, processId);
  UniqueHandle snapshot(listed == INVALID_HANDLE_VALUE ? nullptr : listed);
  if (!snapshot) throw Failure("cannot list the modules of process " + std::to_string(processId));
  MODULEENTRY32W module{};
  module.dwSize = sizeof(module);
  for (BOOL more = Module32FirstW(snapshot.get(), &module); more; more = Module32NextW(snapshot.get(), &module)) {
    std::wstring name = module.szModule;
    for (wchar_t& c : name) c = static_cast<wchar_t>(towlower(c));
    names.push_back(std::move(name));
  }
  return names;
}

namespace {

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
  return TRUE;
}

}  // namespace

std::vector<HWND> ChildWindows(HWND parent) {
  std::vector<HWND> children;
  EnumChildWindows(parent, &CollectChild, reinterpret_cast<LPARAM>(&children));
  return children;
}

HWND FindControl(DWORD processId, const std::wstring& className, const std::wstring& text) {
  for (HWND top : TopLevelWindows(processId)) {
    for (HWND child : ChildWindows(top)) {
      if (ClassNameOf(child) == className && (text.empty() || TextOf(child) == text)) return child;
    }
  }
  return nullptr;
}

std::optional<MessageBoxInfo> FindMessageBox(DWORD processId) {
  return FirstMessageBox(TopLevelWindows(processId));
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, Millis timeout) {
  std::optional<MessageBoxInfo> box;
  WaitUntil([&] { return (box = FindMessageBox(processId)).has_value(); }, timeout);
  return box;
}

std::optional<MessageBoxInfo> WaitForThreadMessageBox(DWORD threadId, Millis timeout) {
  std::optional<MessageBoxInfo> box;
  WaitUntil(
      [&] {
        FindState state{0, threadId, true, {}};
        EnumThreadWindows(threadId, CollectWindow, reinterpret_cast<LPARAM>(&state));
        return (box = FirstMessageBox(state.found)).has_value();
      },
      timeout);
  return box;
}

void AnswerMessageBox(HWND box, int buttonId) {
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), 0);
}

namespace {
// A mouse input at a screen point. Wine maps an absolute coordinate n to (n * width) >> 16, so
// round up to land on the pixel.
INPUT MouseAt(POINT screenPoint, DWORD flags) {
  const auto scale = [](int value, int size) { return static_cast<LONG>(std::ceil(value * 65536.0 / size)); };
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = scale(screenPoint.x, GetSystemMetrics(SM_CXSCREEN));
  input.mi.dy = scale(screenPoint.y, GetSystemMetrics(SM_CYSCREEN));
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE;
  return input;
}
}  // namespace

void ClickAt(POINT screenPoint) {
  INPUT inputs[3] = {MouseAt(screenPoint, MOUSEEVENTF_MOVE), MouseAt(screenPoint, MOUSEEVENTF_LEFTDOWN),
                     MouseAt(screenPoint, MOUSEEVENTF_LEFTUP)};
  SendInput(3, inputs, sizeof(INPUT));
}

void RightClickAt(POINT screenPoint) {
  INPUT inputs[3] = {MouseAt(screenPoint, MOUSEEVENTF_MOVE), MouseAt(screenPoint, MOUSEEVENTF_RIGHTDOWN),
                     MouseAt(screenPoint, MOUSEEVENTF_RIGHTUP)};
  SendInput(3, inputs, sizeof(INPUT));
}

void DoubleClickAt(POINT screenPoint) {
  INPUT inputs[5] = {MouseAt(screenPoint, MOUSEEVENTF_MOVE), MouseAt(screenPoint, MOUSEEVENTF_LEFTDOWN),
                     MouseAt(screenPoint, MOUSEEVENTF_LEFTUP), MouseAt(screenPoint, MOUSEEVENTF_LEFTDOWN),
                     MouseAt(screenPoint, MOUSEEVENTF_LEFTUP)};
  SendInput(5, inputs, sizeof(INPUT));
}

void PressKey(WORD virtualKey) {
  INPUT inputs[2]{};
  inputs[0].type = INPUT_KEYBOARD;
  inputs[0].ki.wVk = virtualKey;
  inputs[1] = inputs[0];
  inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
  SendInput(2, inputs, sizeof(INPUT));
}

void Click(HWND window) {
  const RECT r = WindowRectOf(window);
  ClickAt({(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

void MoveTo(POINT screenPoint) {
  INPUT input = MouseAt(screenPoint, MOUSEEVENTF_MOVE);
  SendInput(1, &input, sizeof(INPUT));
}

void Drag(POINT from, POINT to, int steps) {
  // Paced like a hand, so the program's move loop sees each step.
  INPUT press[2] = {MouseAt(from, MOUSEEVENTF_MOVE), MouseAt(from, MOUSEEVENTF_LEFTDOWN)};
  SendInput(2, press, sizeof(INPUT));
  std::this_thread::sleep_for(100ms);
  for (int i = 1; i <= steps; ++i) {
    const POINT at{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps};
    MoveTo(at);
    std::this_thread::sleep_for(30ms);
  }
  INPUT release = MouseAt(to, MOUSEEVENTF_LEFTUP);
  SendInput(1, &release, sizeof(INPUT));
}

AppProcess AppProcess::Start(const std::wstring& arguments, const std::wstring& program) {
  // A full path names an installed program; anything else is one of the build's own.
  const bool fullPath = program.size() > 2 && program[1] == L':' && program[2] == L'\\';
  const std::wstring path = fullPath ? program : BinDir() + L"\\" + program;
  std::wstring commandLine = L"\"" + path + L"\"";
  if (!arguments.empty()) commandLine += L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  // Started from the temporary folder, as from a shortcut: the program must not rely on finding
  // anything in its working folder (the build's folder also holds the test fakes).
  // A test that takes the temporary folder away starts it from the test's own folder.
  wchar_t temp[MAX_PATH + 1] = {};
  const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
  const wchar_t* folder = tempLength > 0 && tempLength <= MAX_PATH ? temp : nullptr;
  if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                      &info)) {
    throw Failure("cannot start LAGVANE.exe");
  }
  UniqueHandle thread(info.hThread);
  return AppProcess(info.hProcess, info.dwProcessId);
}

AppProcess::~AppProcess() {
  if (process_ && Running()) {
    TerminateProcess(process_.get(), 99);
    WaitForSingleObject(process_.get(), 5000);
  }
}

bool AppProcess::Running() const {
  return WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> AppProcess::WaitForExit(Millis timeout) {
  if (WaitForSingleObject(process_.get(), static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0) {
    return std::nullopt;
  }
  DWORD code = 0;
  GetExitCodeProcess(process_.get(), &code);
  return code;
}

HWND AppProcess::WaitForWindow(const wchar_t* className, Millis timeout) {
  HWND found = nullptr;
  WaitUntil(
      [&] {
        for (HWND window : TopLevelWindows(id_)) {
          if (ClassNameOf(window) == className) {
            found = window;
            return true;
          }
        }
        return !Running();
      },
      timeout);
  return found;
}

Screenshot Screenshot::Capture() {
  Screenshot shot;
  shot.width_ = GetSystemMetrics(SM_CXSCREEN);
  shot.height_ = GetSystemMetrics(SM_CYSCREEN);
  UniqueWindowDc screen(nullptr);
  UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = shot.width_;
  info.bmiHeader.biHeight = -shot.height_;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  UniqueHBitmap bitmap(CreateDIBSection(screen.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (!bitmap) throw Failure("cannot capture the screen");
  {
    ScopedSelectObject select(memory.get(), bitmap.get());
    BitBlt(memory.get(), 0, 0, shot.width_, shot.height_, screen.get(), 0, 0, SRCCOPY | CAPTUREBLT);
  }
  GdiFlush();
  const auto* source = static_cast<const std::uint32_t*>(bits);
  shot.pixels_.assign(source, source + static_cast<std::size_t>(shot.width_) * shot.height_);
  return shot;
}

std::optional<ModeControls> WaitForModeControls(AppProcess& app, Millis timeout) {
  ModeControls controls;
  const bool found = WaitUntil(
      [&] {
        controls.label = FindControl(app.Id(), L"TLabel");
        controls.game = FindControl(app.Id(), L"TImage", texts::kHintGame);
        controls.web = FindControl(app.Id(), L"TImage", texts::kHintWeb);
        return controls.label && controls.game && controls.web;
      },
      timeout);
  if (!found) return std::nullopt;
  std::this_thread::sleep_for(1000ms);  // let everything paint
  return controls;
}

HWND WaitForMenu(AppProcess& app, Millis timeout) {
  const HWND menu = app.WaitForWindow(L"#32768", timeout);
  if (!menu) return nullptr;
  // A click on the shell's tray window moves the foreground a moment later.
  std::this_thread::sleep_for(500ms);
  WaitUntil(
      [&] {
        DWORD process = 0;
        GetWindowThreadProcessId(GetForegroundWindow(), &process);
        return process == app.Id();
      },
      timeout);
  std::this_thread::sleep_for(200ms);
  return menu;
}

void ChooseMenuItem(int steps) {
  for (int i = 0; i < steps; ++i) PressKey(VK_DOWN);
  PressKey(VK_RETURN);
}

void ClickFirstMenuItem(HWND menu) {
  const RECT bounds = WindowRectOf(menu);
  // Below the menu's frame, inside an item of at least the system's menu height.
  const int top = bounds.top + GetSystemMetrics(SM_CYFIXEDFRAME) + 1;
  ClickAt({(bounds.left + bounds.right) / 2, top + GetSystemMetrics(SM_CYMENUSIZE) / 2 - 1});
}

std::vector<HWND> TrayIconWindows() {
  std::vector<HWND> icons;
  const HWND tray = FindWindowW(L"__winex11_standalone_tray", nullptr);
  for (HWND icon = tray ? FindWindowExW(tray, nullptr, L"__winex11_tray_icon", nullptr) : nullptr; icon;
       icon = FindWindowExW(tray, icon, L"__winex11_tray_icon", nullptr)) {
    if (IsWindowVisible(icon)) icons.push_back(icon);
  }
  return icons;
}

COLORREF Screenshot::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) throw std::out_of_range("pixel outside the screen");
  const std::uint32_t value = pixels_[static_cast<std::size_t>(y) * width_ + x];
  return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

bool Screenshot::AreaHas(const RECT& area, COLORREF colour) const {
  for (LONG y = std::max<LONG>(area.top, 0); y < std::min<LONG>(area.bottom, height_); ++y) {
    for (LONG x = std::max<LONG>(area.left, 0); x < std::min<LONG>(area.right, width_); ++x) {
      if (Pixel(x, y) == colour) return true;
    }
  }
  return false;
}

bool Screenshot::Save(const std::wstring& path) const {
  const int stride = (width_ * 3 + 3) & ~3;
  BITMAPFILEHEADER file{};
  BITMAPINFOHEADER header{};
  header.biSize = sizeof(header);
  header.biWidth = width_;
  header.biHeight = height_;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biSizeImage = static_cast<DWORD>(stride * height_);
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(file) + sizeof(header);
  file.bfSize = file.bfOffBits + header.biSizeImage;
  std::ofstream out(std::filesystem::path(path), std::ios::binary);
  out.write(reinterpret_cast<const char*>(&file), sizeof(file));
  out.write(reinterpret_cast<const char*>(&header), sizeof(header));
  std::vector<char> row(static_cast<std::size_t>(stride), 0);
  for (int y = height_ - 1; y >= 0; --y) {
    for (int x = 0; x < width_; ++x) {
      const std::uint32_t value = pixels_[static_cast<std::size_t>(y) * width_ + x];
      row[x * 3] = static_cast<char>(value & 0xFF);
      row[x * 3 + 1] = static_cast<char>((value >> 8) & 0xFF);
      row[x * 3 + 2] = static_cast<char>((value >> 16) & 0xFF);
    }
    out.write(row.data(), stride);
  }
  return static_cast<bool>(out);
}

namespace reg {

namespace {
UniqueHKey Open(HKEY root, const std::wstring& path, REGSAM access) {
  UniqueHKey key;
  if (RegOpenKeyExW(root, path.c_str(), 0, access, key.put()) != ERROR_SUCCESS) key.reset();
  return key;
}

UniqueHKey Create(HKEY root, const std::wstring& path, REGSAM view = 0) {
  UniqueHKey key;
  if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr, key.put(), nullptr) !=
      ERROR_SUCCESS) {
    throw Failure("cannot create a registry key");
  }
  return key;
}
}  // namespace

std::optional<DWORD> ReadDword(HKEY root, const std::wstring& path, const std::wstring& name, REGSAM view) {
  UniqueHKey key = Open(root, path, KEY_QUERY_VALUE | view);
  DWORD type = 0;
  DWORD value = 0;
  DWORD size = sizeof(value);
  if (!key || RegQueryValueExW(key.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                               &size) != ERROR_SUCCESS || type != REG_DWORD) {
    return std::nullopt;
  }
  return value;
}

bool ValueExists(HKEY root, const std::wstring& path, const std::wstring& name) {
  UniqueHKey key = Open(root, path, KEY_QUERY_VALUE);
  return key && RegQueryValueExW(key.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

bool KeyExists(HKEY root, const std::wstring& path, REGSAM view) {
  return static_cast<bool>(Open(root, path, KEY_READ | view));
}

void WriteDword(HKEY root, const std::wstring& path, const std::wstring& name, DWORD value) {
  UniqueHKey key = Create(root, path);
  RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void WriteString(HKEY root, const std::wstring& path, const std::wstring& name, const std::wstring& value,
                 REGSAM view) {
  UniqueHKey key = Create(root, path, view);
  RegSetValueExW(key.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                 static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

void DeleteValue(HKEY root, const std::wstring& path, const std::wstring& name) {
  if (UniqueHKey key = Open(root, path, KEY_SET_VALUE)) RegDeleteValueW(key.get(), name.c_str());
}

void DeleteTree(HKEY root, const std::wstring& path, REGSAM view) {
  if (UniqueHKey key = Open(root, path, KEY_ALL_ACCESS | view)) {
    for (;;) {
      wchar_t name[256];
      DWORD length = 256;
      if (RegEnumKeyExW(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
      DeleteTree(key.get(), name, view);
      if (KeyExists(key.get(), name, view)) break;  // undeletable: stop rather than loop
    }
  }
  if (view) {
    RegDeleteKeyExW(root, path.c_str(), view, 0);
  } else {
    RegDeleteKeyW(root, path.c_str());
  }
}

}  // namespace reg

}  // namespace driver
