#pragma once

// The four adapter operations on a real machine. From Vista on they go through WMI, which does
// the work out of process, so they also work from a 32-bit caller on 64-bit Windows, where
// SetupAPI's class installer refuses WOW64 callers. Older systems are 32-bit only and use
// SetupAPI directly. Both read the same facts for the one adapter rule and name an adapter by
// its Plug and Play device id.

#include "adapter_keeper.h"

#include <memory>

// For the calling thread, which must have COM initialised for the WMI operations.
std::unique_ptr<IAdapterOperations> MakeSystemAdapterOperations();

// COM for the calling thread, undone only when this thread started it.
class TComApartment {
public:
  TComApartment();
  TComApartment(const TComApartment&) = delete;
  TComApartment& operator=(const TComApartment&) = delete;
  ~TComApartment();

private:
  long hr_;
};
