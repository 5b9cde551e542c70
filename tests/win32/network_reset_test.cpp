// The real NetworkControl.dll and the worker that calls it. Under Wine the adapters cannot really
// be switched (its WMI provider does not carry out Disable and Enable), so these tests prove what
// can be proved here: the library loads, exports Connect by its plain name, returns within its
// bound from any thread, overlapping calls included, and never takes its caller down.

#include "adapter_record.h"
#include "core/dll_thread.h"
#include "driver.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using ConnectFunction = int(__cdecl*)(int);
// The library's own bound is 60 s per call; anything near it would mean a hang.
constexpr auto kGenerousBound = std::chrono::seconds(90);

TEST(NetworkControl, LoadsAndConnectReturnsWithinItsBoundFromOtherThreads) {
  const HMODULE library = LoadLibraryW((driver::BinDir() + L"\\NetworkControl.dll").c_str());
  ASSERT_NE(library, nullptr) << GetLastError();
  const auto connect = reinterpret_cast<ConnectFunction>(reinterpret_cast<void*>(GetProcAddress(library, "Connect")));
  ASSERT_NE(connect, nullptr) << "Connect is exported by its plain name";

  const auto start = Clock::now();
  // Two overlapping workers, each dropping and re-establishing, as after a timed-out wait.
  std::vector<std::thread> workers;
  for (int i = 0; i < 2; ++i) {
    workers.emplace_back([connect] {
      connect(0);
      connect(-1);
    });
  }
  for (std::thread& worker : workers) worker.join();
  EXPECT_LT(Clock::now() - start, kGenerousBound);
  EXPECT_TRUE(TRegistryAdapterRecord().Read().empty()) << "every drop undone, nothing left recorded";
  // Bad arguments are only other truth values.
  connect(1);
  connect(12345);
  EXPECT_TRUE(FreeLibrary(library));
}

TEST(DllThread, RunsConnectOnItsOwnThreadOnlyOnceStarted) {
  TDllThread notStarted;
  ASSERT_TRUE(notStarted.HasHandle());
  // Created suspended: nothing runs until Start.
  EXPECT_EQ(notStarted.WaitFor(200).kind, TWaitOutcome::Kind::TimedOut);

  TDllThread worker;
  worker.Start();
  const auto start = Clock::now();
  EXPECT_EQ(worker.WaitFor(static_cast<std::uint32_t>(
                std::chrono::duration_cast<std::chrono::milliseconds>(kGenerousBound).count()))
                .kind,
            TWaitOutcome::Kind::Ended);
  EXPECT_LT(Clock::now() - start, kGenerousBound);
  notStarted.Start();
  EXPECT_EQ(notStarted.WaitFor(90000).kind, TWaitOutcome::Kind::Ended);
}

}  // namespace

TEST(DllThread, TheEndOfTheProgramWaitsForStartedWorkersOnly) {
  TDllThread neverStarted;  // created for a change that stopped before the start: nothing to wait for
  TDllThread worker;
  worker.Start();
  const auto start = Clock::now();
  TDllThread::WaitForRunning();
  EXPECT_EQ(worker.WaitFor(0).kind, TWaitOutcome::Kind::Ended);
  EXPECT_LT(Clock::now() - start, kGenerousBound);
  // Once waited for, none is left.
  const auto again = Clock::now();
  TDllThread::WaitForRunning();
  EXPECT_LT(Clock::now() - again, std::chrono::seconds(5));
}
