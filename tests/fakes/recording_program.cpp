// A stand-in for a program outside the system that the shell starts: the Windows
// optional-component setup program, the web browser. It appends the parameters it was started
// with to the file named by <PREFIX>_LOG (one UTF-8 line each), waits <PREFIX>_DELAY_MS
// milliseconds and exits with <PREFIX>_EXIT (default 0). The build names the prefix, so that
// each stand-in is steered on its own.

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

#ifndef RECORDING_PREFIX
#error "RECORDING_PREFIX names the environment variables of this stand-in"
#endif

namespace {

std::wstring Environment(const wchar_t* suffix) {
  const std::wstring name = std::wstring(RECORDING_PREFIX) + suffix;
  wchar_t value[1024] = {};
  const DWORD length = GetEnvironmentVariableW(name.c_str(), value, 1024);
  return length > 0 && length < 1024 ? std::wstring(value, length) : std::wstring();
}

// The command line without the program's own name.
std::wstring Parameters() {
  const wchar_t* line = GetCommandLineW();
  if (*line == L'"') {
    line = std::wcschr(line + 1, L'"');
    line = line ? line + 1 : L"";
  } else {
    while (*line && *line != L' ' && *line != L'\t') ++line;
  }
  while (*line == L' ' || *line == L'\t') ++line;
  return line;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  const std::wstring log = Environment(L"_LOG");
  if (!log.empty()) {
    const std::wstring parameters = Parameters();
    const int size = WideCharToMultiByte(CP_UTF8, 0, parameters.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, parameters.c_str(), -1, utf8.data(), size, nullptr, nullptr);
    if (FILE* file = _wfopen(log.c_str(), L"ab")) {
      std::fprintf(file, "%s\n", utf8.c_str());
      std::fclose(file);
    }
  }
  if (const std::wstring delay = Environment(L"_DELAY_MS"); !delay.empty()) {
    Sleep(static_cast<DWORD>(std::wcstoul(delay.c_str(), nullptr, 10)));
  }
  const std::wstring code = Environment(L"_EXIT");
  return code.empty() ? 0 : static_cast<int>(std::wcstol(code.c_str(), nullptr, 10));
}
