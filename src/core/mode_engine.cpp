#include "core/mode_engine.h"

#include "common/error.h"
#include "common/texts.h"

namespace {

// Thrown inside a change that Abandon has ended, and caught by the change's guard.
struct TChangeAbandoned {};

constexpr TProgressStep kGameSteps[] = {
    {2, texts::kGameStep2}, {6, texts::kGameStep6}, {8, texts::kGameStep8},
    {11, texts::kGameStep11}, {14, texts::kGameStep14},
};
constexpr TProgressStep kWebSteps[] = {
    {2, texts::kWebStep2}, {6, texts::kWebStep6}, {9, texts::kWebStep9}, {12, texts::kWebStep12},
};

template <std::size_t N>
const wchar_t* Find(const TProgressStep (&table)[N], std::int32_t step) noexcept {
  for (const TProgressStep& entry : table) {
    if (entry.step == step) return entry.text;
  }
  return nullptr;
}

constexpr int TrayIndexOf(TKindMode kind) noexcept {
  switch (kind) {
    case TKindMode::kmGame: return 1;
    case TKindMode::kmWeb: return 2;
    default: return 0;
  }
}

}  // namespace

const wchar_t* TModeEngine::StepText(TKindMode kind, std::int32_t step) noexcept {
  if (kind == TKindMode::kmGame) return Find(kGameSteps, step);
  if (kind == TKindMode::kmWeb) return Find(kWebSteps, step);
  return nullptr;
}

const wchar_t* TModeEngine::StatusTextOf(TKindMode kind) noexcept {
  switch (kind) {
    case TKindMode::kmGame: return texts::kStatusGame;
    case TKindMode::kmWeb: return texts::kStatusWeb;
    default: return texts::kStatusNone;
  }
}

void TModeEngine::StopIfAbandoned() const {
  if (abandoned_) throw TChangeAbandoned{};
}

template <typename Action>
void TModeEngine::Guarded(const wchar_t* busyText, Action action) {
  // Before the restore the state is not known yet; after the session's end nothing may change.
  if (!restored_ || abandoned_) return;
  if (bExecute) {
    ui_.ShowWarning(busyText);
    return;
  }
  bExecute = true;
  // A change that ends in an error must not lock both controls for the rest of the run.
  struct Clear {
    bool& flag;
    ~Clear() { flag = false; }
  } clear{bExecute};
  try {
    action();
  } catch (const TChangeAbandoned&) {
    // The session's close query has already removed what this change had written.
  }
}

void TModeEngine::actGamePingExecuteExecute() {
  Guarded(texts::kGameBusy, [this] {
    if (WebPing() == TStateMode::smOFF) {
      SetKindMode(GamePing() == TStateMode::smOFF ? TKindMode::kmGame : TKindMode::kmNone);
    } else if (ui_.ConfirmSwitch(TKindMode::kmGame)) {
      StopIfAbandoned();
      SetKindMode(TKindMode::kmGame);
    }
  });
}

void TModeEngine::actWebPingExecuteExecute() {
  Guarded(texts::kWebBusy, [this] {
    if (GamePing() == TStateMode::smOFF) {
      SetKindMode(WebPing() == TStateMode::smOFF ? TKindMode::kmWeb : TKindMode::kmNone);
    } else if (ui_.ConfirmSwitch(TKindMode::kmWeb)) {
      StopIfAbandoned();
      SetKindMode(TKindMode::kmWeb);
    }
  });
}

void TModeEngine::SetKindMode(TKindMode value) {
  FKindMode = value;
  // The active mode always goes off before the other comes on.
  switch (value) {
    case TKindMode::kmNone:
      if (GamePing() == TStateMode::smON) SetGamePing(TStateMode::smOFF);
      if (WebPing() == TStateMode::smON) SetWebPing(TStateMode::smOFF);
      break;
    case TKindMode::kmGame:
      if (WebPing() == TStateMode::smON) SetWebPing(TStateMode::smOFF);
      SetGamePing(TStateMode::smON);
      break;
    case TKindMode::kmWeb:
      if (GamePing() == TStateMode::smON) SetGamePing(TStateMode::smOFF);
      SetWebPing(TStateMode::smON);
      break;
  }
  // A mode whose tweaks could not be written stays off, and the user learns why.
  const bool refused = (value == TKindMode::kmGame && GamePing() != TStateMode::smON) ||
                       (value == TKindMode::kmWeb && WebPing() != TStateMode::smON);
  if (refused) {
    FKindMode = TKindMode::kmNone;
    ShowKind(TKindMode::kmNone);
    ui_.ShowWarning(texts::kNoAdminRights);
    return;
  }
  ShowKind(value);
}

void TModeEngine::ShowKind(TKindMode kind) {
  ui_.SetTrayIndex(TrayIndexOf(kind));
  SetTextInfo(StatusTextOf(kind));
}

void TModeEngine::SetGamePing(TStateMode value) {
  StopIfAbandoned();
  FGamePing = value;
  if (!SetGamePingReg(value)) {
    // Nothing of the set is left written, so the network is not reset and the mode stays off.
    FGamePing = FGamePingReg = TStateMode::smOFF;
    SetGamePingImage(TStateMode::smOFF);
    return;
  }
  std::unique_ptr<INetworkResetWorker> worker = networkReset_.CreateWorker();
  if (worker) worker->Start();
  PlayProgress(TKindMode::kmGame);
  if (!worker || !worker->HasHandle()) throw Exception(AssertionText(L"ufMain", 593));
  const TWaitOutcome outcome = worker->WaitFor(kWorkerWaitMs);
  // The handle goes now; a worker still inside the library runs on to its end by itself.
  worker.reset();
  switch (outcome.kind) {
    case TWaitOutcome::Kind::TimedOut:
      ui_.ShowMessage(texts::kWaitTimeout);
      break;
    case TWaitOutcome::Kind::Failed:
      ui_.ShowMessage(outcome.failureText);
      break;
    case TWaitOutcome::Kind::Ended:
      break;
  }
  SetGamePingImage(value);
}

void TModeEngine::SetWebPing(TStateMode value) {
  StopIfAbandoned();
  FWebPing = value;
  if (!SetWebPingReg(value)) {
    FWebPing = FWebPingReg = TStateMode::smOFF;
    SetWebPingImage(TStateMode::smOFF);
    return;
  }
  PlayProgress(TKindMode::kmWeb);
  SetWebPingImage(value);
}

bool TModeEngine::SetGamePingReg(TStateMode value) {
  FGamePingReg = value;
  return tuning_.SwitchGameSet(value);
}

bool TModeEngine::SetWebPingReg(TStateMode value) {
  FWebPingReg = value;
  if (value == TStateMode::smON) return tuning_.DoBrowserSpeedUp();
  tuning_.DelBrowserSpeedUp();
  return true;
}

void TModeEngine::PlayProgress(TKindMode kind) {
  if (kind != TKindMode::kmGame && kind != TKindMode::kmWeb) return;
  const bool game = kind == TKindMode::kmGame;
  const TKindMode other = game ? TKindMode::kmWeb : TKindMode::kmGame;
  SetTextInfo(game ? texts::kGameOpening : texts::kWebOpening);
  ui_.SetBarVisible(other, false);
  ui_.SetBarVisible(kind, true);
  // Game fills from the left and internet from the right; switching off runs the other way.
  const bool switchingOn = (game ? GamePing() : WebPing()) == TStateMode::smON;
  const bool upwards = game ? switchingOn : !switchingOn;
  const std::uint32_t pause = game ? kGamePauseMs : kWebPauseMs;
  for (std::int32_t n = 0; n < kCellCount; ++n) {
    const std::int32_t i = upwards ? n : kCellCount - 1 - n;
    if (const wchar_t* text = StepText(kind, i)) SetTextInfo(text);
    ui_.SetBarPosition(kind, i + 1);
    ui_.ProcessPendingEvents();
    StopIfAbandoned();
    pause_.Sleep(pause);
  }
}

void TModeEngine::InitControls() {
  bExecute = false;
  ui_.BuildControls();
  // Internet tweaks left by an earlier run are removed and never restore internet mode.
  if (tuning_.CheckBrowserSpeedUp()) tuning_.DelBrowserSpeedUp();
  // Only shows a state: no tweak is written, no animation plays, no worker starts.
  if (tuning_.CheckPageLoadingUp()) {
    FWebPing = TStateMode::smON;
    SetWebPingImage(TStateMode::smON);
    FGamePing = TStateMode::smOFF;
    SetGamePingImage(TStateMode::smOFF);
    ui_.SetBarVisible(TKindMode::kmGame, false);
    ui_.SetBarVisible(TKindMode::kmWeb, true);
    ui_.SetBarCells(TKindMode::kmWeb, TStateMode::smON);
    FKindMode = TKindMode::kmWeb;
    SetTextInfo(texts::kStatusWeb);
    ui_.SetTrayIndex(2);
  } else if (tuning_.CheckGamePing()) {
    FGamePing = TStateMode::smON;
    SetGamePingImage(TStateMode::smON);
    FWebPing = TStateMode::smOFF;
    SetWebPingImage(TStateMode::smOFF);
    ui_.SetBarVisible(TKindMode::kmWeb, false);
    ui_.SetBarVisible(TKindMode::kmGame, true);
    ui_.SetBarCells(TKindMode::kmGame, TStateMode::smON);
    FKindMode = TKindMode::kmGame;
    SetTextInfo(texts::kStatusGame);
    ui_.SetTrayIndex(1);
  } else {
    FWebPing = TStateMode::smOFF;
    SetWebPingImage(TStateMode::smOFF);
    FGamePing = TStateMode::smOFF;
    SetGamePingImage(TStateMode::smOFF);
    ui_.SetBarVisible(TKindMode::kmGame, true);
    // Both modes are off, so this switches nothing and only shows the state.
    SetKindMode(TKindMode::kmNone);
  }
  if (tuning_.LegacyKeyExists()) tuning_.DeleteLegacyKey();
  restored_ = true;
}

void TModeEngine::ppMenuPopup() {
  // Before the restore both modes would read as on.
  ui_.SetMenuCheck(TMenuCheck::actGamePingExecute, restored_ && GamePing() == TStateMode::smON);
  ui_.SetMenuCheck(TMenuCheck::actWebPingExecute, restored_ && WebPing() == TStateMode::smON);
  ui_.SetMenuCheck(TMenuCheck::actWindowStart, tuning_.CheckWindowStart());
  ui_.SetMenuCheck(TMenuCheck::actStayOnTop, ui_.Topmost());
}
