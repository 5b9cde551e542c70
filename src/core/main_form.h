#pragma once

#include "common/types.h"
#include "ui/window.h"

#include <windows.h>

class TSpeedUp;

// The program's one lasting window: its life from creation to destruction, and its state as
// properties (reading gives the stored value; assigning stores it and does the work).
class TfrmMain : public Window<TfrmMain> {
public:
  TfrmMain() = default;
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;
  // Destroys the window, which runs FormDestroy.
  ~TfrmMain();

  // Creates the window and runs FormCreate. False when creation stopped at an error (it has been
  // shown) or ended the program on purpose: the message loop must then not run.
  bool Create();
  // The message loop's first showing: places the window and runs FormShow.
  void ShowFirstTime();

  TStateMode GamePing() const noexcept { return FGamePing; }
  TStateMode WebPing() const noexcept { return FWebPing; }
  TKindMode KindMode() const noexcept { return FKindMode; }
  TStateMode GamePingReg() const noexcept { return FGamePingReg; }
  void SetGamePingReg(TStateMode value);
  TStateMode WebPingReg() const noexcept { return FWebPingReg; }
  void SetWebPingReg(TStateMode value);
  TSpeedUp* SpeedUp() const noexcept { return FSpeedUp; }

  static constexpr wchar_t kClassName[] = L"TfrmMain";

private:
  friend class Window<TfrmMain>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();

  void FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormDestroy() noexcept;
  // Runs the close query once; a second close request after it only ends the loop.
  void CloseAndEnd();

  TSpeedUp* FSpeedUp = nullptr;
  TKindMode FKindMode = TKindMode::kmNone;
  TStateMode FGamePing = TStateMode::smOFF;
  TStateMode FWebPing = TStateMode::smOFF;
  TStateMode FGamePingReg = TStateMode::smOFF;
  TStateMode FWebPingReg = TStateMode::smOFF;

  bool closeQueryDone_ = false;
  bool shown_ = false;
};
