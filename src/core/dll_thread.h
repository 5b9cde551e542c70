#pragma once

#include "common/unique_handle.h"
#include "core/mode_engine.h"

// The network reset worker: a thread, made suspended, that calls Connect(0) and then
// Connect(-1) of NetworkControl.dll. It shares no data with the program; the program only keeps
// a handle of each started one for the wait at its end.
class TDllThread : public INetworkResetWorker {
public:
  // Creates the thread suspended; an error with the system's text when it cannot.
  TDllThread();
  TDllThread(const TDllThread&) = delete;
  TDllThread& operator=(const TDllThread&) = delete;

  void Start() override;
  bool HasHandle() const override { return static_cast<bool>(handle_); }
  TWaitOutcome WaitFor(std::uint32_t milliseconds) override;
  // The thread's body: drop the connection, then bring it back.
  static void Execute() noexcept;
  // For the program's very end, once its window is gone: waits for the started workers still
  // inside the library, each no longer than its two calls may take, so the network is up when
  // the process ends.
  static void WaitForRunning() noexcept;

private:

  UniqueHandle handle_;
};

// Makes one TDllThread per game change.
class TDllThreadFactory : public INetworkReset {
public:
  std::unique_ptr<INetworkResetWorker> CreateWorker() override { return std::make_unique<TDllThread>(); }
};
