#pragma once

// The state machine of the two optimisation modes and the progress animation that shows each
// change. It reaches the window, the tuning sets, the network reset worker and the clock only
// through the small interfaces below, so it runs the same against the real window and against
// the recorders of its tests.

#include "common/types.h"

#include <cstdint>
#include <memory>
#include <string>

// The four menu entries whose check marks follow the state.
enum class TMenuCheck { actGamePingExecute, actWebPingExecute, actWindowStart, actStayOnTop };

// What the engine asks of the user interface. Bars and buttons are named by their mode:
// kmGame or kmWeb.
class IModeUserInterface {
public:
  virtual ~IModeUserInterface() = default;
  // The two progress bars of 15 cells, every cell off, and the two buttons on their off pictures.
  virtual void BuildControls() = 0;
  virtual std::wstring StatusText() const = 0;
  virtual void SetStatusText(const std::wstring& text) = 0;
  virtual TStateMode ButtonPicture(TKindMode button) const = 0;
  virtual void SetButtonPicture(TKindMode button, TStateMode state) = 0;
  virtual void SetBarVisible(TKindMode bar, bool visible) = 0;
  virtual void SetBarCells(TKindMode bar, TStateMode state) = 0;
  // Position n (1..15) flips cell n - 1; the cell is painted before this returns.
  virtual void SetBarPosition(TKindMode bar, std::int32_t position) = 0;
  virtual void SetTrayIndex(int index) = 0;
  // Asks whether to leave the active mode for `target`; true on Yes.
  virtual bool ConfirmSwitch(TKindMode target) = 0;
  virtual void ShowWarning(const std::wstring& text) = 0;
  // A plain message box: no icon, the application title as caption, one OK button.
  virtual void ShowMessage(const std::wstring& text) = 0;
  virtual void SetMenuCheck(TMenuCheck entry, bool checked) = 0;
  virtual bool Topmost() const = 0;
  virtual void ProcessPendingEvents() = 0;
};

// The registry side of the modes.
class IModeTuning {
public:
  virtual ~IModeTuning() = default;
  // Writes (smON) or removes (smOFF) "TCPNoDelay" and every interface's "TcpAckFrequency".
  // False when switching on could not write the set (no administrator rights); nothing of it is
  // then left behind. Removing is silent and answers true.
  virtual bool SwitchGameSet(TStateMode state) = 0;
  // False, with nothing left behind, when the set could not be written.
  virtual bool DoBrowserSpeedUp() = 0;
  virtual void DelBrowserSpeedUp() = 0;
  virtual bool CheckBrowserSpeedUp() = 0;
  virtual bool CheckPageLoadingUp() = 0;
  virtual bool CheckGamePing() = 0;
  virtual bool CheckWindowStart() = 0;
  // The key left behind by earlier versions, removed at every start.
  virtual bool LegacyKeyExists() = 0;
  virtual void DeleteLegacyKey() = 0;
};

struct TWaitOutcome {
  enum class Kind { Ended, TimedOut, Failed };
  Kind kind = Kind::Ended;
  std::wstring failureText;  // the system's text for a failed wait
};

// One network reset: a thread that drops the connection and then re-establishes it.
class INetworkResetWorker {
public:
  // Releases the worker's handle; a thread still running goes on to its end by itself.
  virtual ~INetworkResetWorker() = default;
  virtual void Start() = 0;
  virtual bool HasHandle() const = 0;
  virtual TWaitOutcome WaitFor(std::uint32_t milliseconds) = 0;
};

class INetworkReset {
public:
  virtual ~INetworkReset() = default;
  // A new worker, created suspended; an error when the system cannot create it.
  virtual std::unique_ptr<INetworkResetWorker> CreateWorker() = 0;
};

class IPause {
public:
  virtual ~IPause() = default;
  virtual void Sleep(std::uint32_t milliseconds) = 0;
};

// One step of the animation that shows a text as the step begins.
struct TProgressStep {
  std::int32_t step;
  const wchar_t* text;
};

class TModeEngine {
public:
  static constexpr std::int32_t kCellCount = 15;
  static constexpr std::uint32_t kGamePauseMs = 300;
  static constexpr std::uint32_t kWebPauseMs = 20;
  static constexpr std::uint32_t kWorkerWaitMs = 14000;

  TModeEngine(IModeUserInterface& ui, IModeTuning& tuning, INetworkReset& networkReset, IPause& pause)
      : ui_(ui), tuning_(tuning), networkReset_(networkReset), pause_(pause) {}
  TModeEngine(const TModeEngine&) = delete;
  TModeEngine& operator=(const TModeEngine&) = delete;

  void actGamePingExecuteExecute();
  void actWebPingExecuteExecute();
  void InitControls();
  void ppMenuPopup();
  void PlayProgress(TKindMode kind);

  bool Executing() const noexcept { return bExecute; }
  // The session is ending and its close query has removed the tweaks: a change that is running
  // stops where it stands, writes nothing more and shows nothing more, and no change starts.
  void Abandon() noexcept { abandoned_ = true; }

  TKindMode KindMode() const noexcept { return FKindMode; }
  void SetKindMode(TKindMode value);
  TStateMode GamePing() const noexcept { return FGamePing; }
  void SetGamePing(TStateMode value);
  TStateMode WebPing() const noexcept { return FWebPing; }
  void SetWebPing(TStateMode value);
  TStateMode GamePingReg() const noexcept { return FGamePingReg; }
  // False when switching the set on could not write it.
  bool SetGamePingReg(TStateMode value);
  TStateMode WebPingReg() const noexcept { return FWebPingReg; }
  bool SetWebPingReg(TStateMode value);
  std::wstring TextInfo() const { return ui_.StatusText(); }
  void SetTextInfo(const std::wstring& value) { ui_.SetStatusText(value); }
  TStateMode GamePingImage() const { return ui_.ButtonPicture(TKindMode::kmGame); }
  void SetGamePingImage(TStateMode value) { ui_.SetButtonPicture(TKindMode::kmGame, value); }
  TStateMode WebPingImage() const { return ui_.ButtonPicture(TKindMode::kmWeb); }
  void SetWebPingImage(TStateMode value) { ui_.SetButtonPicture(TKindMode::kmWeb, value); }

  // The text that a step of a kind's animation shows as it begins, or null for none.
  static const wchar_t* StepText(TKindMode kind, std::int32_t step) noexcept;
  static const wchar_t* StatusTextOf(TKindMode kind) noexcept;

private:
  // Runs a mode action behind the busy guard; the flag is cleared however the action ends.
  template <typename Action>
  void Guarded(const wchar_t* busyText, Action action);
  void ShowKind(TKindMode kind);
  // Leaves a change that Abandon has ended.
  void StopIfAbandoned() const;

  IModeUserInterface& ui_;
  IModeTuning& tuning_;
  INetworkReset& networkReset_;
  IPause& pause_;

  bool bExecute = false;
  bool abandoned_ = false;
  // Until the restore has run, the state fields mean nothing (they all read smON).
  bool restored_ = false;
  TKindMode FKindMode = TKindMode::kmNone;
  // The window object starts zeroed, so every state reads smON until something sets it.
  TStateMode FGamePing = TStateMode::smON;
  TStateMode FGamePingReg = TStateMode::smON;
  TStateMode FWebPing = TStateMode::smON;
  TStateMode FWebPingReg = TStateMode::smON;
};
