#pragma once

#include "common/types.h"
#include "core/dll_thread.h"
#include "core/mode_engine.h"
#include "ui/action_list.h"
#include "ui/popup_menu.h"
#include "ui/window.h"

#include <windows.h>

#include <functional>
#include <memory>

class TSpeedUp;
class TImage;
class TLabel;
class TJvTransparentForm;
class TPNGResourceImage;
class TImageProgressBar;
class TfrmMessageDialogMSMQ;
class TTrayIcon;

// Whether this process was started with the removal switch alone.
bool UninstallSwitchGiven();

// The program's one lasting window: its life from creation to destruction, and its state as
// properties (reading gives the stored value; assigning stores it and does the work).
// It is also the mode engine's user interface and registry side.
class TfrmMain : public Window<TfrmMain>,
                 private IModeUserInterface,
                 private IModeTuning,
                 private IPause {
public:
  TfrmMain();
  TfrmMain(const TfrmMain&) = delete;
  TfrmMain& operator=(const TfrmMain&) = delete;
  // Destroys the window, which runs FormDestroy.
  ~TfrmMain();

  // Creates the window and runs FormCreate. False when the program is to end here: creation
  // stopped at an error (it has been shown), the removal switch was given, or a close was asked
  // for while the window was being built (its close query has then run). The message loop must
  // then not run.
  bool Create();
  // The message loop's first showing: places the window and runs FormShow.
  void ShowFirstTime();

  TStateMode GamePing() const noexcept { return engine_.GamePing(); }
  TStateMode WebPing() const noexcept { return engine_.WebPing(); }
  TKindMode KindMode() const noexcept { return engine_.KindMode(); }
  TStateMode GamePingReg() const noexcept { return engine_.GamePingReg(); }
  void SetGamePingReg(TStateMode value) { engine_.SetGamePingReg(value); }
  TStateMode WebPingReg() const noexcept { return engine_.WebPingReg(); }
  void SetWebPingReg(TStateMode value) { engine_.SetWebPingReg(value); }
  TSpeedUp* SpeedUp() const noexcept { return FSpeedUp; }
  // The tray picture the mode shows (0 none, 1 game, 2 internet).
  int TrayIndex() const noexcept { return trayIndex_; }

  // The mode actions, run by the buttons (and later the menu and the tray icon).
  void actGamePingExecuteExecute();
  void actWebPingExecuteExecute();
  // Sets the four check marks of the menu from the real state; runs before every opening.
  void ppMenuPopup() { engine_.ppMenuPopup(); }
  // Asks in the speech bubble whether to leave the active mode for `kind`; true only on Yes.
  bool ShowConfirmDialog(TKindMode kind);
  // Where the window stands on the screen, or for a minimised one where it comes back to.
  POINT NormalTopLeft() const;

  static constexpr wchar_t kClassName[] = L"TfrmMain";

private:
  // The form data: the design-time controls in their order of creation, and the skin component.
  void CreateFormControls();
  void InitControls() { engine_.InitControls(); }
  // The action list, the popup menu and the tray icon, and the controls' events.
  void CreateActions();
  void CreateTrayIcon();
  void ConnectControlEvents();

  void actOpenExecute();
  void actHomepageExecute();
  void actCloseExecute();
  void actMinExecute();
  void actWindowStartExecute();
  void actStayOnTopExecute();
  void actFormHideExecute();
  void actTovalinExecute();
  void imgGameClick() { actGamePingExecute.Execute(); }
  void imgWebClick() { actWebPingExecute.Execute(); }
  void imgHomeClick() { actHomepage.Execute(); }
  void imgTovalinClick() { actTovalin.Execute(); }
  void imgMinClick() { actMin.Execute(); }
  void imgCloseClick() { actFormHide.Execute(); }
  void imgSetupClick();
  void imgCursorMouseEnter(TImage* Sender);
  void imgCursorMouseLeave(TImage* Sender);
  void TrayIconDblClick() { actOpen.Execute(); }
  // Runs a mode action; a quit asked for while it ran follows once it has finished.
  template <typename Action>
  void RunModeAction(Action action);

  // The mode engine's user interface.
  void BuildControls() override;
  std::wstring StatusText() const override;
  void SetStatusText(const std::wstring& text) override;
  TStateMode ButtonPicture(TKindMode button) const override;
  void SetButtonPicture(TKindMode button, TStateMode state) override;
  void SetBarVisible(TKindMode bar, bool visible) override;
  void SetBarCells(TKindMode bar, TStateMode state) override;
  void SetBarPosition(TKindMode bar, std::int32_t position) override;
  void SetTrayIndex(int index) override;
  bool ConfirmSwitch(TKindMode target) override;
  void ShowWarning(const std::wstring& text) override;
  void ShowMessage(const std::wstring& text) override;
  void SetMenuCheck(TMenuCheck entry, bool checked) override;
  bool Topmost() const override;
  void ProcessPendingEvents() override;
  TImageProgressBar& Bar(TKindMode bar) const;

  // The mode engine's registry side, through the process-wide tuning object.
  TSpeedUp& Tuning() const;
  bool SwitchGameSet(TStateMode state) override;
  bool DoBrowserSpeedUp() override;
  void DelBrowserSpeedUp() override;
  bool CheckBrowserSpeedUp() override;
  bool CheckPageLoadingUp() override;
  bool CheckGamePing() override;
  bool CheckWindowStart() override;
  bool LegacyKeyExists() override;
  void DeleteLegacyKey() override;

  void Sleep(std::uint32_t milliseconds) override;
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
  // The end of a program whose window never finished: the tray icon goes and the tuning object
  // is released, but no tweak is removed, since the state was never read from the registry.
  void EndWithoutRemoval() noexcept;
  // Wraps an action's handler so that it does nothing until the window is finished.
  std::function<void()> WhenReady(std::function<void()> handler);

  TSpeedUp* FSpeedUp = nullptr;
  TDllThreadFactory networkReset_;
  TModeEngine engine_{*this, *this, networkReset_, *this};
  int trayIndex_ = 0;

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

  // The action list, in its order; the menu and the tray icon refer to it.
  TAction actOpen;
  TAction actGamePingExecute;
  TAction actWebPingExecute;
  TAction actHomepage;
  TAction actClose;
  TAction actMin;
  TAction actWindowStart;
  TAction actStayOnTop;
  TAction actFormHide;
  TAction actTovalin;
  TPopupMenu ppMenu;
  std::unique_ptr<TTrayIcon> TrayIcon;

  std::unique_ptr<TPNGResourceImage> FGamePingImage;
  std::unique_ptr<TPNGResourceImage> FWebPingImage;
  std::unique_ptr<TImageProgressBar> FProgressBarGame;
  std::unique_ptr<TImageProgressBar> FProgressBarWeb;

  // Set once FormCreate has finished: until then the tray icon and the menu are live while the
  // window is half built.
  bool ready_ = false;
  bool closeQueryDone_ = false;
  bool closePending_ = false;
  bool shown_ = false;
};
