#pragma once

#include <functional>
#include <string>

// How MSMQ is tested and set up; only mmOCSetup works.
enum class TMSMQMethod : int { mmOCSetup = 0, mmUnsupported = 1 };

// A callback bound to an object; an empty one is skipped.
using TNotifyCallback = std::function<void()>;

// Whether MSMQ counts as installed: "Workgroup" is REG_DWORD 1 under its parameters key, opened
// with full access. A "Workgroup" of another type lets the registry error through.
bool IsMSMQInstalled(TMSMQMethod method);

// Installs or removes the MSMQ components with ocsetup, waiting until it has ended.
void SetupMSMQ(TMSMQMethod method, bool install, const TNotifyCallback& beforeExecute,
               const TNotifyCallback& afterExecute);

// Starts a program through the shell with the verb "open" and waits for it to end while the
// window messages go on being handled. A failed start is shown to the user; the after-callback
// then does not run.
void ExecuteAndWait(const std::wstring& fileName, const std::wstring& parameters,
                    const TNotifyCallback& beforeExecute, const TNotifyCallback& afterExecute);
