#pragma once

#include "common/types.h"
#include "ui/window.h"

#include <windows.h>

#include <memory>

class TSpeedUp;
class TImage;
class TLabel;
class TJvTransparentForm;
class TPNGResourceImage;
class TImageProgressBar;
class TfrmMessageDialogMSMQ;

// The program's one lasting window: its life from creation to destruction, and its state as
// properties (reading gives the stored value; assigning stores it and does the work).
class TfrmMain : public Window<TfrmMain> {
public:
  TfrmMain();
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
  // The form data: the design-time controls in their order of creation, and the skin component.
  void CreateFormControls();
  // The buttons and bars; the mode engine's part of it joins at its numbered steps.
  void InitControls();
  friend class Window<TfrmMain>;
  LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();

  // False when the program is to end here without showing its window (the removal switch).
  bool FormCreate();
  void FormShow();
  bool FormCloseQuery();
  void FormDestroy() noexcept;
  void InstallMSMQ();
  void MSMQInstallStarted();
  void MSMQInstallFinished();
  void MSMQUninstallStarted();
  void MSMQUninstallFinished();
  void ShowMSMQNotice(const wchar_t* picture);
  // Runs the close query once; a second close request after it only ends the loop.
  void CloseAndEnd();

  TSpeedUp* FSpeedUp = nullptr;
  TKindMode FKindMode = TKindMode::kmNone;
  TStateMode FGamePing = TStateMode::smOFF;
  TStateMode FWebPing = TStateMode::smOFF;
  TStateMode FGamePingReg = TStateMode::smOFF;
  TStateMode FWebPingReg = TStateMode::smOFF;

  std::unique_ptr<TImage> imgBackground;
  std::unique_ptr<TImage> imgClose;
  std::unique_ptr<TImage> imgMin;
  std::unique_ptr<TLabel> lblTextInfo;
  std::unique_ptr<TImage> imgGame;
  std::unique_ptr<TImage> imgWeb;
  std::unique_ptr<TImage> imgHome;
  std::unique_ptr<TImage> imgSetup;
  std::unique_ptr<TImage> imgTovalin;
  std::unique_ptr<TImage> Image1;
  std::unique_ptr<TImage> Image2;
  // After the controls, so it goes before them: it watches imgBackground.
  std::unique_ptr<TJvTransparentForm> jtfBackground;
  std::unique_ptr<TfrmMessageDialogMSMQ> FMessageDialogMSMQ;

  std::unique_ptr<TPNGResourceImage> FGamePingImage;
  std::unique_ptr<TPNGResourceImage> FWebPingImage;
  std::unique_ptr<TImageProgressBar> FProgressBarGame;
  std::unique_ptr<TImageProgressBar> FProgressBarWeb;

  bool closeQueryDone_ = false;
  bool shown_ = false;
};
