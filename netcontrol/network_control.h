#pragma once

// The network-control library's one function. Connect(0) drops the machine's network connection;
// Connect(-1) re-establishes it. C calling convention, exported by its plain name; it never
// throws and reports nothing, and its result needs no reading.

#ifdef __cplusplus
extern "C" {
#endif

int __cdecl Connect(int aConnect);

#ifdef __cplusplus
}

// A call never holds its caller longer than this, whatever the system does.
inline constexpr unsigned long kConnectCallBoundMs = 60000;
#endif
