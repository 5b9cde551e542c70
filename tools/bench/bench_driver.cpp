// The Windows side of tools/bench/run: times programs from their start to their first visible
// window, reads their memory and object counts, and runs the soak of mode changes through
// LAGVANE's real window. Prints markdown tables and asserts nothing.
//
//   bench_driver startup RUNS VERSION PROGRAM CLASS [PROGRAM CLASS]
//   bench_driver soak GAME_CHANGES WEB_CHANGES VERSION
//
// PROGRAM is a path below the driver's folder, CLASS the class of the window that counts as shown.
// VERSION is written as the installed version, so the maker's server offers no update.

#include "common/texts.h"
#include "driver.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

using namespace driver;

namespace {

const std::wstring kLagvaneKey = L"SOFTWARE\\LAGVANE";
// What the driver reads from a running program; nullopt where the system does not report it.
struct Figures {
  double workingSetMiB = 0;
  double privateMiB = 0;
  // Wine fills only the older structure and leaves PrivateUsage out; the commit charge
  // (PagefileUsage), which Windows reports as the same number, stands in for it then.
  bool privateFromCommitCharge = false;
  std::optional<DWORD> handles;
  std::optional<DWORD> gdiObjects;
  std::optional<DWORD> userObjects;
};

bool UnderWine() { return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr; }

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to) {
  static const LONGLONG frequency = [] {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return f.QuadPart;
  }();
  return static_cast<double>(to.QuadPart - from.QuadPart) / static_cast<double>(frequency);
}

LARGE_INTEGER Now() {
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return now;
}

std::optional<DWORD> Nonzero(DWORD value) { return value ? std::optional<DWORD>(value) : std::nullopt; }

// A count of 0 for a process with windows means that the system keeps no count: Wine answers
// GetGuiResources that way.
Figures Read(HANDLE process) {
  Figures figures;
  PROCESS_MEMORY_COUNTERS_EX memory{};
  memory.cb = sizeof memory;
  if (GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory)) {
    figures.workingSetMiB = static_cast<double>(memory.WorkingSetSize) / (1024.0 * 1024.0);
    figures.privateFromCommitCharge = memory.cb < sizeof memory || memory.PrivateUsage == 0;
    figures.privateMiB = static_cast<double>(figures.privateFromCommitCharge ? memory.PagefileUsage : memory.PrivateUsage) /
                         (1024.0 * 1024.0);
  }
  DWORD handles = 0;
  if (GetProcessHandleCount(process, &handles)) figures.handles = Nonzero(handles);
  figures.gdiObjects = Nonzero(GetGuiResources(process, GR_GDIOBJECTS));
  figures.userObjects = Nonzero(GetGuiResources(process, GR_USEROBJECTS));
  return figures;
}

const char* NotReported() { return UnderWine() ? "not reported by Wine" : "not reported"; }

std::string Count(std::optional<DWORD> value) {
  return value ? std::to_string(*value) : NotReported();
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string Utf8(const std::wstring& text) {
  std::string out(static_cast<std::size_t>(WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr)), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), static_cast<int>(out.size()), nullptr, nullptr);
  out.pop_back();
  return out;
}

double Median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const std::size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// As the installer leaves it: the built version installed, the first-run marker gone.
void PrepareRegistry(const std::wstring& version) {
  reg::WriteString(HKEY_CURRENT_USER, kLagvaneKey, L"LAGVANE.exe", version);
  reg::DeleteValue(HKEY_CURRENT_USER, kLagvaneKey, L"NeedOptimization");
}

UniqueHandle OpenForFigures(DWORD processId) {
  return UniqueHandle(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId));
}

HWND VisibleWindowOfClass(DWORD processId, const std::wstring& className) {
  for (HWND window : TopLevelWindows(processId)) {
    if (ClassNameOf(window) == className) return window;
  }
  return nullptr;
}

// Ends a program as a user's close would, and makes sure it is gone before the next start.
void Close(AppProcess& app, HWND window) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  if (!app.WaitForExit(30s)) std::fprintf(stderr, "bench_driver: a program did not end on WM_CLOSE; it is ended\n");
}

struct Subject {
  std::wstring program;
  std::wstring windowClass;
  std::vector<double> startSeconds;
  std::vector<double> workingSet;
  std::vector<double> privateBytes;
  Figures last;
};

// One start: the time from CreateProcess to the first visible window of the class, polled every
// 2 ms (the resolution of the figure); the figures once the start's work has settled.
bool MeasureStart(Subject& subject, const std::wstring& version) {
  PrepareRegistry(version);
  const LARGE_INTEGER start = Now();
  AppProcess app = AppProcess::Start(L"", subject.program);
  HWND window = nullptr;
  while (!(window = VisibleWindowOfClass(app.Id(), subject.windowClass))) {
    if (!app.Running() || Seconds(start, Now()) > 60) {
      std::fprintf(stderr, "bench_driver: %s showed no window\n", Utf8(subject.program).c_str());
      return false;
    }
    Sleep(2);
  }
  subject.startSeconds.push_back(Seconds(start, Now()));
  // After the start report, which follows the window, and the first paint.
  std::this_thread::sleep_for(1500ms);
  const UniqueHandle process = OpenForFigures(app.Id());
  subject.last = Read(process.get());
  subject.workingSet.push_back(subject.last.workingSetMiB);
  subject.privateBytes.push_back(subject.last.privateMiB);
  Close(app, window);
  return true;
}

void PrintCommitChargeNote(const Figures& figures) {
  if (figures.privateFromCommitCharge) {
    std::printf("\nPrivate bytes: %s leaves PROCESS_MEMORY_COUNTERS_EX.PrivateUsage empty, so the figure is "
                "PagefileUsage, the commit charge, which Windows reports as the same number.\n",
                UnderWine() ? "Wine" : "the system");
  }
}

std::string Ratio(double a, double b) { return b > 0 ? Fixed(a / b, 2) + " ×" : "–"; }

int Startup(int runs, const std::wstring& version, std::vector<Subject> subjects) {
  // Alternating, so that whatever else the machine does falls on both alike.
  for (int run = 0; run < runs; ++run) {
    for (Subject& subject : subjects) {
      if (!MeasureStart(subject, version)) return 1;
      std::this_thread::sleep_for(300ms);
    }
  }
  const bool pair = subjects.size() == 2;
  std::printf("| figure |");
  for (const Subject& subject : subjects) std::printf(" %s |", Utf8(subject.program).c_str());
  std::printf(pair ? " ratio |\n|---|---:|---:|---:|\n" : "\n|---|---:|\n");
  const auto row = [&](const std::string& name, auto value, int decimals) {
    std::printf("| %s |", name.c_str());
    for (const Subject& subject : subjects) std::printf(" %s |", Fixed(value(subject), decimals).c_str());
    if (pair) std::printf(" %s |", Ratio(value(subjects[0]), value(subjects[1])).c_str());
    std::printf("\n");
  };
  const std::string median = " (median of " + std::to_string(runs) + ")";
  row("start to visible window, ms" + median, [](const Subject& s) { return Median(s.startSeconds) * 1000; }, 0);
  row("fastest start, ms", [](const Subject& s) { return *std::min_element(s.startSeconds.begin(), s.startSeconds.end()) * 1000; }, 0);
  row("slowest start, ms", [](const Subject& s) { return *std::max_element(s.startSeconds.begin(), s.startSeconds.end()) * 1000; }, 0);
  row("working set after start, MiB" + median, [](const Subject& s) { return Median(s.workingSet); }, 1);
  row("private bytes after start, MiB" + median, [](const Subject& s) { return Median(s.privateBytes); }, 1);
  const auto countRow = [&](const char* name, std::optional<DWORD> Figures::*field) {
    std::printf("| %s |", name);
    for (const Subject& subject : subjects) std::printf(" %s |", Count(subject.last.*field).c_str());
    if (pair) {
      const auto a = subjects[0].last.*field;
      const auto b = subjects[1].last.*field;
      std::printf(" %s |", a && b ? Ratio(*a, *b).c_str() : "–");
    }
    std::printf("\n");
  };
  countRow("handles after start (last run)", &Figures::handles);
  countRow("GDI objects after start (last run)", &Figures::gdiObjects);
  countRow("USER objects after start (last run)", &Figures::userObjects);
  PrintCommitChargeNote(subjects[0].last);
  return 0;
}

std::size_t LinesIn(const std::wstring& path) {
  FILE* file = _wfopen(path.c_str(), L"r");
  if (!file) return 0;
  std::size_t lines = 0;
  for (int c; (c = std::fgetc(file)) != EOF;) lines += c == '\n';
  std::fclose(file);
  return lines;
}

std::string Change(double before, double after, int decimals) {
  return (after >= before ? "+" : "") + Fixed(after - before, decimals);
}

std::string CountChange(std::optional<DWORD> before, std::optional<DWORD> after) {
  if (!before || !after) return "–";
  return Change(*before, *after, 0);
}

// Game changes run the network reset on the worker thread through the recording library, made
// instant; internet changes only write the registry. Each change waits for the final status text
// before the next click, as a user who watches the window would.
int Soak(int gameChanges, int webChanges, const std::wstring& version) {
  PrepareRegistry(version);
  reg::DeleteValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\MSMQ\\Parameters", L"TCPNoDelay");
  reg::DeleteTree(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\PCHealth\\Clients\\Dialog Comments");
  const std::wstring log = BinDir() + L"\\bench-recording\\bench-connect.log";
  DeleteFileW(log.c_str());
  SetEnvironmentVariableW(L"LAGVANE_CONNECT_LOG", log.c_str());
  SetEnvironmentVariableW(L"LAGVANE_CONNECT_DELAY_MS", nullptr);

  AppProcess app = AppProcess::Start(L"", L"bench-recording\\LAGVANE.exe");
  HWND window = app.MainWindow(60s);
  const std::optional<ModeControls> controls = window ? WaitForModeControls(app, 20s) : std::nullopt;
  if (!controls) {
    std::fprintf(stderr, "bench_driver: the soak found no main window with its controls\n");
    return 1;
  }
  const HWND label = controls->label, game = controls->game, web = controls->web;
  const UniqueHandle process = OpenForFigures(app.Id());
  const Figures before = Read(process.get());

  int done = 0;
  std::string stopped;
  const LARGE_INTEGER start = Now();
  const auto change = [&](HWND button, const wchar_t* status) {
    Click(button);
    if (WaitUntil([&] { return TextOf(label) == status; }, 30s, 10ms)) {
      ++done;
      return true;
    }
    stopped = "stopped: status \"" + Utf8(TextOf(label)) + "\" instead of \"" + Utf8(status) + "\"";
    if (auto box = FindMessageBox(app.Id())) stopped += ", box \"" + Utf8(box->text) + "\"";
    return false;
  };
  // On and off in turn, so every run of changes ends with no mode.
  const auto pairs = [&](int changes, HWND button, const wchar_t* on) {
    for (int i = 0; i < changes; ++i) {
      if (!change(button, i % 2 == 0 ? on : texts::kStatusNone)) return;
    }
  };
  pairs(gameChanges, game, texts::kStatusGame);
  const int gameDone = done;
  if (stopped.empty()) pairs(webChanges, web, texts::kStatusWeb);
  const double seconds = Seconds(start, Now());
  std::this_thread::sleep_for(1500ms);
  const Figures after = Read(process.get());
  const std::size_t connectCalls = LinesIn(log) / 2;
  Close(app, window);

  std::printf("%d mode changes (%d game, %d internet) in %.0f s; %zu Connect calls recorded "
              "(2 per game change).%s%s\n\n",
              done, gameDone, done - gameDone, seconds, connectCalls, stopped.empty() ? "" : " ",
              stopped.c_str());
  std::printf("| figure | before | after | change |\n|---|---:|---:|---:|\n");
  std::printf("| working set, MiB | %s | %s | %s |\n", Fixed(before.workingSetMiB, 1).c_str(),
              Fixed(after.workingSetMiB, 1).c_str(), Change(before.workingSetMiB, after.workingSetMiB, 1).c_str());
  std::printf("| private bytes, MiB | %s | %s | %s |\n", Fixed(before.privateMiB, 1).c_str(),
              Fixed(after.privateMiB, 1).c_str(), Change(before.privateMiB, after.privateMiB, 1).c_str());
  const auto countRow = [&](const char* name, std::optional<DWORD> Figures::*field) {
    std::printf("| %s | %s | %s | %s |\n", name, Count(before.*field).c_str(), Count(after.*field).c_str(),
                CountChange(before.*field, after.*field).c_str());
  };
  countRow("handles", &Figures::handles);
  countRow("GDI objects", &Figures::gdiObjects);
  countRow("USER objects", &Figures::userObjects);
  PrintCommitChargeNote(after);
  return stopped.empty() ? 0 : 1;
}

int Usage() {
  std::fprintf(stderr,
               "usage: bench_driver startup RUNS VERSION PROGRAM CLASS [PROGRAM CLASS]\n"
               "       bench_driver soak GAME_CHANGES WEB_CHANGES VERSION\n");
  return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::vector<std::wstring> args(argv + 1, argv + argc);
  try {
    if (args.size() >= 5 && args.size() % 2 == 1 && args[0] == L"startup") {
      std::vector<Subject> subjects;
      for (std::size_t i = 3; i + 1 < args.size(); i += 2) subjects.push_back({args[i], args[i + 1], {}, {}, {}, {}});
      return Startup(std::max(1, _wtoi(args[1].c_str())), args[2], std::move(subjects));
    }
    if (args.size() == 4 && args[0] == L"soak") {
      // Even counts: each mode goes on and off again.
      const auto even = [](const std::wstring& text) { return (std::max(0, _wtoi(text.c_str())) + 1) / 2 * 2; };
      return Soak(even(args[1]), even(args[2]), args[3]);
    }
  } catch (const std::exception& error) {
    std::fprintf(stderr, "bench_driver: %s\n", error.what());
    return 1;
  }
  return Usage();
}
