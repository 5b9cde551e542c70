#pragma once

#include "common/types.h"
#include "tuning/reg_set.h"

#include <string>

// The web, page-loading and window-start tuning sets and the game set's test, on one
// process-wide instance.
class TSpeedUp : public TRegSet {
public:
  static void CreateInstance();
  // Creates the instance first when there is none.
  static TSpeedUp& GetInstance();
  // Frees the instance; GetInstance would make a new one.
  static void ReleaseInstance() noexcept;

  bool CheckGamePing() noexcept;
  void DoPageLoadingUp() noexcept;
  void DelPageLoadingUp() noexcept;
  bool CheckPageLoadingUp() noexcept;
  // False when a value could not be written; the values it did write are then removed again.
  bool DoBrowserSpeedUp() noexcept;
  void DelBrowserSpeedUp() noexcept;
  bool CheckBrowserSpeedUp() noexcept;
  void DoWindowStart();
  void DelWindowStart() noexcept;
  bool CheckWindowStart() noexcept;
};

// The running executable's full path, as the system gives it for the process's own module.
std::wstring GetExeName();

// Switches the game set: "TCPNoDelay" and every interface's "TcpAckFrequency", written for smON
// and deleted for smOFF, through the given instance. False when switching on could not write a
// value (typically no administrator rights); the values it did write are then removed again, so
// the set is either whole or absent. Switching off is silent and answers true.
bool SwitchGameSet(TRegSet& instance, TStateMode state) noexcept;
