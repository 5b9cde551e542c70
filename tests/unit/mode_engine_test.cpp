// The mode engine against recorders of the window, the registry side, the network reset worker
// and the clock: every effect lands in one log, in the order it happened.

#include "common/error.h"
#include "common/texts.h"
#include "core/mode_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using Log = std::vector<std::wstring>;

const wchar_t* Name(TKindMode kind) {
  return kind == TKindMode::kmGame ? L"game" : kind == TKindMode::kmWeb ? L"web" : L"none";
}
const wchar_t* Name(TStateMode state) { return state == TStateMode::smON ? L"on" : L"off"; }

struct RecordingUi : IModeUserInterface {
  Log& log;
  std::wstring status;
  std::map<TKindMode, TStateMode> pictures{{TKindMode::kmGame, TStateMode::smOFF},
                                           {TKindMode::kmWeb, TStateMode::smOFF}};
  std::map<TKindMode, std::vector<TStateMode>> cells;
  int tray = -1;
  bool answer = true;
  bool topmost = false;
  std::map<TMenuCheck, bool> checks;
  // What the position of each painted step showed: the status text at that moment.
  std::vector<std::pair<std::int32_t, std::wstring>> painted;
  std::function<void()> onEvents;

  explicit RecordingUi(Log& l) : log(l) {}
  void BuildControls() override {
    log.push_back(L"build");
    cells[TKindMode::kmGame].assign(15, TStateMode::smOFF);
    cells[TKindMode::kmWeb].assign(15, TStateMode::smOFF);
  }
  std::wstring StatusText() const override { return status; }
  void SetStatusText(const std::wstring& text) override {
    status = text;
    log.push_back(L"text " + text);
  }
  TStateMode ButtonPicture(TKindMode button) const override { return pictures.at(button); }
  void SetButtonPicture(TKindMode button, TStateMode state) override {
    pictures[button] = state;
    log.push_back(std::wstring(L"picture ") + Name(button) + L" " + Name(state));
  }
  void SetBarVisible(TKindMode bar, bool visible) override {
    log.push_back(std::wstring(visible ? L"show " : L"hide ") + Name(bar));
  }
  void SetBarCells(TKindMode bar, TStateMode state) override {
    cells[bar].assign(15, state);
    log.push_back(std::wstring(L"cells ") + Name(bar) + L" " + Name(state));
  }
  void SetBarPosition(TKindMode bar, std::int32_t position) override {
    TStateMode& cell = cells[bar].at(static_cast<std::size_t>(position - 1));
    cell = cell == TStateMode::smON ? TStateMode::smOFF : TStateMode::smON;
    painted.emplace_back(position - 1, status);
    log.push_back(std::wstring(L"position ") + Name(bar) + L" " + std::to_wstring(position));
  }
  void SetTrayIndex(int index) override {
    tray = index;
    log.push_back(L"tray " + std::to_wstring(index));
  }
  bool ConfirmSwitch(TKindMode target) override {
    log.push_back(std::wstring(L"confirm ") + Name(target));
    return answer;
  }
  void ShowWarning(const std::wstring& text) override { log.push_back(L"warning " + text); }
  void ShowMessage(const std::wstring& text) override { log.push_back(L"message " + text); }
  void SetMenuCheck(TMenuCheck entry, bool checked) override { checks[entry] = checked; }
  bool Topmost() const override { return topmost; }
  void ProcessPendingEvents() override {
    if (onEvents) onEvents();
  }
};

struct RecordingTuning : IModeTuning {
  Log& log;
  bool pageLoading = false;
  bool gamePing = false;
  bool browserLeft = false;
  bool windowStart = false;
  bool legacyKey = false;
  bool failGameSet = false;
  // Writes refused, as for a user without administrator rights.
  bool refuseWrites = false;

  explicit RecordingTuning(Log& l) : log(l) {}
  bool SwitchGameSet(TStateMode state) override {
    log.push_back(std::wstring(L"game set ") + Name(state));
    if (failGameSet) throw Exception(L"registry gone");
    return state == TStateMode::smOFF || !refuseWrites;
  }
  bool DoBrowserSpeedUp() override {
    log.push_back(L"web set on");
    return !refuseWrites;
  }
  void DelBrowserSpeedUp() override { log.push_back(L"web set off"); }
  bool CheckBrowserSpeedUp() override { return browserLeft; }
  bool CheckPageLoadingUp() override { return pageLoading; }
  bool CheckGamePing() override { return gamePing; }
  bool CheckWindowStart() override { return windowStart; }
  bool LegacyKeyExists() override { return legacyKey; }
  void DeleteLegacyKey() override { log.push_back(L"delete legacy key"); }
};

struct RecordingReset : INetworkReset {
  enum class Mode { Normal, CannotCreate, Missing, NoHandle };
  Log& log;
  Mode mode = Mode::Normal;
  TWaitOutcome outcome;

  struct Worker : INetworkResetWorker {
    RecordingReset& owner;
    bool handle;
    Worker(RecordingReset& o, bool h) : owner(o), handle(h) {}
    ~Worker() override { owner.log.push_back(L"worker released"); }
    void Start() override { owner.log.push_back(L"worker started"); }
    bool HasHandle() const override { return handle; }
    TWaitOutcome WaitFor(std::uint32_t milliseconds) override {
      owner.log.push_back(L"wait " + std::to_wstring(milliseconds));
      return owner.outcome;
    }
  };

  explicit RecordingReset(Log& l) : log(l) {}
  std::unique_ptr<INetworkResetWorker> CreateWorker() override {
    if (mode == Mode::CannotCreate) throw Exception(L"Not enough storage is available to process this command.");
    log.push_back(L"worker created");
    if (mode == Mode::Missing) return nullptr;
    return std::make_unique<Worker>(*this, mode != Mode::NoHandle);
  }
};

struct InstantPause : IPause {
  Log& log;
  explicit InstantPause(Log& l) : log(l) {}
  void Sleep(std::uint32_t milliseconds) override { log.push_back(L"pause " + std::to_wstring(milliseconds)); }
};

enum class Start { None, Game, Web };

// One engine with its recorders.
struct Rig {
  Log log;
  RecordingUi ui{log};
  RecordingTuning tuning{log};
  RecordingReset reset{log};
  InstantPause pause{log};
  TModeEngine engine{ui, tuning, reset, pause};

  // Restores a start state and forgets what the restore did.
  void StartIn(Start start) {
    tuning.gamePing = start == Start::Game;
    tuning.pageLoading = start == Start::Web;
    engine.InitControls();
    tuning.gamePing = tuning.pageLoading = false;
    log.clear();
    ui.painted.clear();
  }
  std::size_t IndexOf(const std::wstring& entry) const {
    return static_cast<std::size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
  }
};

class ModeEngine : public ::testing::Test, protected Rig {};

TEST_F(ModeEngine, TransitionTableOfThreeStatesTwoActionsAndBothAnswers) {
  struct Case {
    Start start;
    bool gameAction;
    bool answer;
    Log outline;
    TStateMode game, web;
    TKindMode kind;
    const wchar_t* status;
    int tray;
  };
  const Log gameOn = {L"game set on", L"worker created", L"worker started", L"wait 14000", L"worker released",
                      L"picture game on"};
  const Log gameOff = {L"game set off", L"worker created", L"worker started", L"wait 14000", L"worker released",
                       L"picture game off"};
  const auto join = [](std::initializer_list<Log> parts) {
    Log all;
    for (const Log& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
  };
  const auto on = TStateMode::smON;
  const auto off = TStateMode::smOFF;
  const Case cases[] = {
      {Start::None, true, true, join({gameOn, {L"tray 1"}}), on, off, TKindMode::kmGame, texts::kStatusGame, 1},
      {Start::None, false, true, {L"web set on", L"picture web on", L"tray 2"}, off, on, TKindMode::kmWeb,
       texts::kStatusWeb, 2},
      {Start::Game, true, true, join({gameOff, {L"tray 0"}}), off, off, TKindMode::kmNone, texts::kStatusNone, 0},
      {Start::Game, false, true,
       join({{L"confirm web"}, gameOff, {L"web set on", L"picture web on", L"tray 2"}}), off, on, TKindMode::kmWeb,
       texts::kStatusWeb, 2},
      {Start::Game, false, false, {L"confirm web"}, on, off, TKindMode::kmGame, texts::kStatusGame, 1},
      {Start::Web, true, true, join({{L"confirm game", L"web set off", L"picture web off"}, gameOn, {L"tray 1"}}),
       on, off, TKindMode::kmGame, texts::kStatusGame, 1},
      {Start::Web, true, false, {L"confirm game"}, off, on, TKindMode::kmWeb, texts::kStatusWeb, 2},
      {Start::Web, false, true, {L"web set off", L"picture web off", L"tray 0"}, off, off, TKindMode::kmNone,
       texts::kStatusNone, 0},
  };
  for (const Case& c : cases) {
    Rig rig;
    TModeEngine& e = rig.engine;
    rig.StartIn(c.start);
    rig.ui.answer = c.answer;
    const std::wstring statusBefore = rig.ui.status;

    c.gameAction ? e.actGamePingExecuteExecute() : e.actWebPingExecuteExecute();

    SCOPED_TRACE(::testing::Message() << "start " << static_cast<int>(c.start) << (c.gameAction ? " game" : " web")
                                      << (c.answer ? " yes" : " no"));
    Log outline;
    for (const std::wstring& entry : rig.log) {
      if (entry.starts_with(L"position") || entry.starts_with(L"pause") || entry.starts_with(L"text ") ||
          entry.starts_with(L"show") || entry.starts_with(L"hide")) {
        continue;
      }
      outline.push_back(entry);
    }
    EXPECT_EQ(outline, c.outline);
    EXPECT_EQ(e.GamePing(), c.game);
    EXPECT_EQ(e.WebPing(), c.web);
    EXPECT_EQ(rig.ui.status, c.status);
    EXPECT_EQ(rig.ui.tray, c.tray);
    EXPECT_EQ(e.GamePingImage(), c.game);
    EXPECT_EQ(e.WebPingImage(), c.web);
    if (!c.answer) {
      EXPECT_EQ(rig.ui.status, statusBefore) << "a declined switch changes nothing";
      EXPECT_EQ(e.KindMode(), c.kind);
    }
    EXPECT_FALSE(e.Executing());
  }
}

TEST_F(ModeEngine, GameChangeWritesStartsTheWorkerAnimatesWaitsThenShowsPictureTrayAndText) {
  StartIn(Start::None);
  engine.actGamePingExecuteExecute();
  const std::size_t reg = IndexOf(L"game set on");
  const std::size_t started = IndexOf(L"worker started");
  const std::size_t firstStep = IndexOf(L"position game 1");
  const std::size_t lastStep = IndexOf(L"position game 15");
  const std::size_t wait = IndexOf(L"wait 14000");
  const std::size_t released = IndexOf(L"worker released");
  const std::size_t picture = IndexOf(L"picture game on");
  const std::size_t tray = IndexOf(L"tray 1");
  ASSERT_LT(tray, log.size());
  EXPECT_LT(reg, started);
  EXPECT_LT(started, firstStep);
  EXPECT_LT(firstStep, lastStep);
  EXPECT_LT(lastStep, wait);
  EXPECT_LT(wait, released);
  EXPECT_LT(released, picture);
  EXPECT_LT(picture, tray);
  EXPECT_EQ(log.back(), std::wstring(L"text ") + texts::kStatusGame);
  EXPECT_EQ(std::count(log.begin(), log.end(), L"pause 300"), 15);
  EXPECT_EQ(engine.KindMode(), TKindMode::kmGame);
  EXPECT_EQ(engine.GamePingReg(), TStateMode::smON);
}

// For each change: the order in which the cells are painted and the text on the label as each
// is painted; the bar ends full or empty, and the last text stays until the final status.
TEST_F(ModeEngine, EachChangeRunsItsDirectionWithItsTextsAtEveryStep) {
  struct Case {
    Start start;
    bool gameAction;
    TKindMode bar;
    std::vector<std::pair<std::vector<int>, const wchar_t*>> runs;  // steps in time order, each with its text
    TStateMode cellsAfter;
    const wchar_t* pauseEntry;
  };
  const Case cases[] = {
      {Start::None, true, TKindMode::kmGame,
       {{{0, 1}, texts::kGameOpening},
        {{2, 3, 4, 5}, texts::kGameStep2},
        {{6, 7}, texts::kGameStep6},
        {{8, 9, 10}, texts::kGameStep8},
        {{11, 12, 13}, texts::kGameStep11},
        {{14}, texts::kGameStep14}},
       TStateMode::smON, L"pause 300"},
      {Start::Game, true, TKindMode::kmGame,
       {{{14, 13, 12}, texts::kGameStep14},
        {{11, 10, 9}, texts::kGameStep11},
        {{8, 7}, texts::kGameStep8},
        {{6, 5, 4, 3}, texts::kGameStep6},
        {{2, 1, 0}, texts::kGameStep2}},
       TStateMode::smOFF, L"pause 300"},
      {Start::None, false, TKindMode::kmWeb,
       {{{14, 13}, texts::kWebOpening},
        {{12, 11, 10}, texts::kWebStep12},
        {{9, 8, 7}, texts::kWebStep9},
        {{6, 5, 4, 3}, texts::kWebStep6},
        {{2, 1, 0}, texts::kWebStep2}},
       TStateMode::smON, L"pause 20"},
      {Start::Web, false, TKindMode::kmWeb,
       {{{0, 1}, texts::kWebOpening},
        {{2, 3, 4, 5}, texts::kWebStep2},
        {{6, 7, 8}, texts::kWebStep6},
        {{9, 10, 11}, texts::kWebStep9},
        {{12, 13, 14}, texts::kWebStep12}},
       TStateMode::smOFF, L"pause 20"},
  };
  for (const Case& c : cases) {
    Rig rig;
    TModeEngine& e = rig.engine;
    rig.StartIn(c.start);
    std::wstring lastAnimationText;
    rig.ui.onEvents = [&] { lastAnimationText = rig.ui.status; };
    c.gameAction ? e.actGamePingExecuteExecute() : e.actWebPingExecuteExecute();

    std::vector<std::pair<std::int32_t, std::wstring>> expected;
    for (const auto& [steps, text] : c.runs) {
      for (int step : steps) expected.emplace_back(step, text);
    }
    EXPECT_EQ(rig.ui.painted, expected) << "bar " << static_cast<int>(c.bar);
    EXPECT_EQ(rig.ui.cells[c.bar], std::vector<TStateMode>(15, c.cellsAfter));
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), c.pauseEntry), 15);
    const TKindMode other = c.bar == TKindMode::kmGame ? TKindMode::kmWeb : TKindMode::kmGame;
    const std::wstring hideOther = std::wstring(L"hide ") + Name(other);
    const std::wstring showBar = std::wstring(L"show ") + Name(c.bar);
    const auto hidePos = std::find(rig.log.begin(), rig.log.end(), hideOther);
    EXPECT_LT(hidePos, std::find(rig.log.begin(), rig.log.end(), showBar)) << "the other bar goes first";
    EXPECT_EQ(lastAnimationText, c.runs.back().second);
  }
}

TEST_F(ModeEngine, PressDuringAChangeShowsThatControlsOwnWarningAndChangesNothing) {
  for (const bool gameChange : {true, false}) {
    Rig rig;
    TModeEngine& e = rig.engine;
    e.InitControls();
    int calls = 0;
    rig.ui.onEvents = [&] {
      if (calls++ != 3) return;
      e.actGamePingExecuteExecute();
      e.actWebPingExecuteExecute();
    };
    gameChange ? e.actGamePingExecuteExecute() : e.actWebPingExecuteExecute();

    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), std::wstring(L"warning ") + texts::kGameBusy), 1);
    EXPECT_EQ(std::count(rig.log.begin(), rig.log.end(), std::wstring(L"warning ") + texts::kWebBusy), 1);
    // Only the running change's own effects: one registry switch, one animation.
    EXPECT_EQ(std::count_if(rig.log.begin(), rig.log.end(), [](const std::wstring& s) { return s.find(L" set ") != std::wstring::npos; }), 1);
    EXPECT_EQ(std::count_if(rig.log.begin(), rig.log.end(), [](const std::wstring& s) { return s.starts_with(L"position"); }), 15);
    EXPECT_EQ(e.GamePing(), gameChange ? TStateMode::smON : TStateMode::smOFF);
    EXPECT_EQ(e.WebPing(), gameChange ? TStateMode::smOFF : TStateMode::smON);
    EXPECT_FALSE(e.Executing());
  }
}

TEST_F(ModeEngine, RestoreShowsTheRegistrysModeWithoutWritingAnything) {
  struct Case {
    const char* name;
    bool pageLoading, gamePing, browserLeft, legacyKey;
    TStateMode game, web;
    TKindMode kind;
    const wchar_t* status;
    int tray;
    Log effects;  // registry effects, in order
  };
  const auto on = TStateMode::smON;
  const auto off = TStateMode::smOFF;
  const Case cases[] = {
      {"nothing", false, false, false, false, off, off, TKindMode::kmNone, texts::kStatusNone, 0, {}},
      {"game", false, true, false, false, on, off, TKindMode::kmGame, texts::kStatusGame, 1, {}},
      {"page loading wins over game", true, true, false, false, off, on, TKindMode::kmWeb, texts::kStatusWeb, 2, {}},
      {"stale web values go and restore nothing", false, false, true, false, off, off, TKindMode::kmNone,
       texts::kStatusNone, 0, {L"web set off"}},
      {"page loading with stale web values", true, false, true, true, off, on, TKindMode::kmWeb, texts::kStatusWeb, 2,
       {L"web set off", L"delete legacy key"}},
      {"legacy key goes after the restore", false, true, false, true, on, off, TKindMode::kmGame,
       texts::kStatusGame, 1, {L"delete legacy key"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    TModeEngine& e = rig.engine;
    rig.tuning.pageLoading = c.pageLoading;
    rig.tuning.gamePing = c.gamePing;
    rig.tuning.browserLeft = c.browserLeft;
    rig.tuning.legacyKey = c.legacyKey;
    e.InitControls();

    EXPECT_EQ(rig.log.front(), L"build");
    Log effects;
    for (const std::wstring& entry : rig.log) {
      if (entry.find(L" set ") != std::wstring::npos || entry.starts_with(L"worker") || entry.starts_with(L"delete") ||
          entry.starts_with(L"position") || entry.starts_with(L"pause")) {
        effects.push_back(entry);
      }
    }
    EXPECT_EQ(effects, c.effects);
    if (c.legacyKey) EXPECT_EQ(rig.log.back(), L"delete legacy key");
    EXPECT_EQ(e.GamePing(), c.game);
    EXPECT_EQ(e.WebPing(), c.web);
    EXPECT_EQ(e.GamePingImage(), c.game);
    EXPECT_EQ(e.WebPingImage(), c.web);
    EXPECT_EQ(e.KindMode(), c.kind);
    EXPECT_EQ(rig.ui.status, c.status);
    EXPECT_EQ(rig.ui.tray, c.tray);
    EXPECT_FALSE(e.Executing());
    // The register setters are left alone: the zeroed window reads smON.
    EXPECT_EQ(e.GamePingReg(), on);
    EXPECT_EQ(e.WebPingReg(), on);
    const auto shown = [&](const wchar_t* entry) { return std::find(rig.log.begin(), rig.log.end(), entry) != rig.log.end(); };
    switch (c.kind) {
      case TKindMode::kmWeb:
        EXPECT_TRUE(shown(L"hide game") && shown(L"show web") && shown(L"cells web on"));
        break;
      case TKindMode::kmGame:
        EXPECT_TRUE(shown(L"hide web") && shown(L"show game") && shown(L"cells game on"));
        break;
      case TKindMode::kmNone:
        EXPECT_TRUE(shown(L"show game") && !shown(L"hide web") && !shown(L"show web"));
        EXPECT_EQ(rig.ui.cells[TKindMode::kmGame], std::vector<TStateMode>(15, off));
        break;
    }
  }
}

TEST_F(ModeEngine, WaitOutcomesAreReportedAndTheChangeThenCompletes) {
  struct Case {
    TWaitOutcome outcome;
    std::vector<std::wstring> messages;
  };
  const Case cases[] = {
      {{TWaitOutcome::Kind::Ended, L""}, {}},
      {{TWaitOutcome::Kind::TimedOut, L""}, {std::wstring(L"message ") + texts::kWaitTimeout}},
      {{TWaitOutcome::Kind::Failed, L"The handle is invalid."}, {L"message The handle is invalid."}},
  };
  for (const Case& c : cases) {
    Rig rig;
    TModeEngine& e = rig.engine;
    rig.StartIn(Start::None);
    rig.reset.outcome = c.outcome;
    e.actGamePingExecuteExecute();

    Log messages;
    std::copy_if(rig.log.begin(), rig.log.end(), std::back_inserter(messages),
                 [](const std::wstring& s) { return s.starts_with(L"message"); });
    EXPECT_EQ(messages, c.messages);
    const Log tail(rig.log.end() - 3, rig.log.end());
    EXPECT_EQ(tail, (Log{L"picture game on", L"tray 1", std::wstring(L"text ") + texts::kStatusGame}));
    if (!c.messages.empty()) {
      const auto message = std::find(rig.log.begin(), rig.log.end(), c.messages[0]);
      EXPECT_LT(std::find(rig.log.begin(), rig.log.end(), L"worker released"), message)
          << "the worker's handle is released before the box holds the thread";
    }
  }
}

TEST_F(ModeEngine, ErrorInsideAChangeKeepsPictureTrayAndTextAndClearsTheBusyFlag) {
  struct Case {
    const char* name;
    RecordingReset::Mode mode;
    bool failGameSet;
    std::wstring error;
    bool animated;
  };
  const Case cases[] = {
      {"worker cannot be created", RecordingReset::Mode::CannotCreate, false,
       L"Not enough storage is available to process this command.", false},
      {"no worker", RecordingReset::Mode::Missing, false, L"Assertion failure (ufMain, line 593)", true},
      {"worker without handle", RecordingReset::Mode::NoHandle, false, L"Assertion failure (ufMain, line 593)", true},
      {"registry layer throws", RecordingReset::Mode::Normal, true, L"registry gone", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    TModeEngine& e = rig.engine;
    rig.StartIn(Start::None);
    rig.reset.mode = c.mode;
    rig.tuning.failGameSet = c.failGameSet;

    std::wstring error;
    try {
      e.actGamePingExecuteExecute();
    } catch (const Exception& ex) {
      error = ex.Message();
    }
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(e.GamePingImage(), TStateMode::smOFF);
    EXPECT_EQ(rig.ui.tray, 0);
    const bool animated = std::find(rig.log.begin(), rig.log.end(), L"position game 15") != rig.log.end();
    EXPECT_EQ(animated, c.animated);
    EXPECT_EQ(rig.ui.status, c.animated ? texts::kGameStep14 : texts::kStatusNone);
    EXPECT_EQ(std::find(rig.log.begin(), rig.log.end(), L"wait 14000"), rig.log.end());
    EXPECT_FALSE(e.Executing()) << "the controls stay usable";
    EXPECT_EQ(e.GamePing(), TStateMode::smON) << "the state field was set before the error";

    // The next press is a real change again, not a busy warning.
    rig.reset.mode = RecordingReset::Mode::Normal;
    rig.tuning.failGameSet = false;
    rig.log.clear();
    e.actGamePingExecuteExecute();
    EXPECT_EQ(rig.log.front(), L"game set off");
  }
}

TEST_F(ModeEngine, MenuChecksFollowTheModesTheAutostartEntryAndTopmost) {
  struct Case {
    Start start;
    bool windowStart, topmost;
  };
  for (const Case& c : {Case{Start::None, false, false}, Case{Start::Game, true, false}, Case{Start::Web, false, true}}) {
    StartIn(c.start);
    tuning.windowStart = c.windowStart;
    ui.topmost = c.topmost;
    engine.ppMenuPopup();
    EXPECT_EQ(ui.checks[TMenuCheck::actGamePingExecute], c.start == Start::Game);
    EXPECT_EQ(ui.checks[TMenuCheck::actWebPingExecute], c.start == Start::Web);
    EXPECT_EQ(ui.checks[TMenuCheck::actWindowStart], c.windowStart);
    EXPECT_EQ(ui.checks[TMenuCheck::actStayOnTop], c.topmost);
  }
}

// Switching a mode on whose tweaks cannot be written: no network reset, no animation, the warning,
// and every sign of the state shows no mode. Leaving the mode that was on still works.
TEST_F(ModeEngine, AModeThatCannotBeWrittenStaysOffWithTheWarningAndNoReset) {
  struct Case {
    Start start;
    bool gameAction;
    Log outline;
  };
  const Log noRights = {L"tray 0", std::wstring(L"text ") + texts::kStatusNone,
                        std::wstring(L"warning ") + texts::kNoAdminRights};
  const auto join = [](Log head, const Log& tail) {
    head.insert(head.end(), tail.begin(), tail.end());
    return head;
  };
  const Case cases[] = {
      {Start::None, true, join({L"game set on", L"picture game off"}, noRights)},
      {Start::None, false, join({L"web set on", L"picture web off"}, noRights)},
      // The confirmed switch: the old mode goes off in full, the new one is refused.
      {Start::Web, true, join({L"confirm game", L"web set off", L"picture web off", L"game set on", L"picture game off"},
                              noRights)},
      {Start::Game, false,
       join({L"confirm web", L"game set off", L"worker created", L"worker started", L"wait 14000", L"worker released",
             L"picture game off", L"web set on", L"picture web off"},
            noRights)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "start " << static_cast<int>(c.start) << (c.gameAction ? " game" : " web"));
    Rig rig;
    rig.StartIn(c.start);
    rig.tuning.refuseWrites = true;
    c.gameAction ? rig.engine.actGamePingExecuteExecute() : rig.engine.actWebPingExecuteExecute();

    Log outline;
    for (const std::wstring& entry : rig.log) {
      const bool statusText = entry == std::wstring(L"text ") + texts::kStatusNone ||
                              entry == std::wstring(L"text ") + texts::kStatusGame ||
                              entry == std::wstring(L"text ") + texts::kStatusWeb;
      if (entry.starts_with(L"position") || entry.starts_with(L"pause") || entry.starts_with(L"show") ||
          entry.starts_with(L"hide") || (entry.starts_with(L"text ") && !statusText)) {
        continue;
      }
      outline.push_back(entry);
    }
    EXPECT_EQ(outline, c.outline);
    EXPECT_EQ(rig.engine.GamePing(), TStateMode::smOFF);
    EXPECT_EQ(rig.engine.WebPing(), TStateMode::smOFF);
    EXPECT_EQ(rig.engine.KindMode(), TKindMode::kmNone);
    EXPECT_EQ(rig.ui.status, texts::kStatusNone);
    EXPECT_EQ(rig.ui.tray, 0);
    EXPECT_EQ(rig.engine.GamePingImage(), TStateMode::smOFF);
    EXPECT_EQ(rig.engine.WebPingImage(), TStateMode::smOFF);
    rig.engine.ppMenuPopup();
    EXPECT_FALSE(rig.ui.checks[TMenuCheck::actGamePingExecute]);
    EXPECT_FALSE(rig.ui.checks[TMenuCheck::actWebPingExecute]);
    EXPECT_FALSE(rig.engine.Executing());

    // With the rights back, the next press switches the mode on.
    rig.tuning.refuseWrites = false;
    rig.engine.actGamePingExecuteExecute();
    EXPECT_EQ(rig.engine.GamePing(), TStateMode::smON);
    EXPECT_EQ(rig.ui.status, texts::kStatusGame);
  }
}

// The session's close query has removed the tweaks in the middle of a change: the change stops
// where it stands, writes nothing more and shows no box.
TEST_F(ModeEngine, AnAbandonedChangeWritesNothingMoreAndShowsNothing) {
  struct Case {
    const char* name;
    Start start;
    bool gameAction;
    int abandonAtEvent;  // the pending-events call during which the session ends
  };
  const Case cases[] = {
      {"game on, during its animation", Start::None, true, 4},
      {"game to internet, during game off", Start::Game, false, 4},
      {"internet to game, during internet off", Start::Web, true, 4},
      {"game to internet, during internet on", Start::Game, false, 20},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    rig.StartIn(c.start);
    rig.reset.outcome = {TWaitOutcome::Kind::TimedOut, L""};
    int events = 0;
    std::size_t endedAt = 0;
    rig.ui.onEvents = [&] {
      if (++events != c.abandonAtEvent) return;
      rig.engine.Abandon();
      endedAt = rig.log.size();
    };
    c.gameAction ? rig.engine.actGamePingExecuteExecute() : rig.engine.actWebPingExecuteExecute();

    ASSERT_GT(endedAt, 0u);
    Log after(rig.log.begin() + static_cast<std::ptrdiff_t>(endedAt), rig.log.end());
    for (const std::wstring& entry : after) {
      EXPECT_EQ(entry.find(L" set "), std::wstring::npos) << "written after the end: " << testing::PrintToString(entry);
      EXPECT_FALSE(entry.starts_with(L"message") || entry.starts_with(L"warning") || entry.starts_with(L"wait") ||
                   entry.starts_with(L"position") || entry.starts_with(L"confirm"))
          << testing::PrintToString(entry);
    }
    EXPECT_FALSE(rig.engine.Executing());
    // Nothing starts any more.
    rig.log.clear();
    rig.engine.actGamePingExecuteExecute();
    rig.engine.actWebPingExecuteExecute();
    EXPECT_TRUE(rig.log.empty());
  }
}

// Before the restore the state fields all read on: the menu marks neither mode and the actions
// do nothing, so nothing is written on a state that was never read.
TEST(ModeEngineBeforeRestore, MarksNoModeAndChangesNothing) {
  Rig rig;
  rig.engine.ppMenuPopup();
  EXPECT_FALSE(rig.ui.checks[TMenuCheck::actGamePingExecute]);
  EXPECT_FALSE(rig.ui.checks[TMenuCheck::actWebPingExecute]);
  rig.engine.actGamePingExecuteExecute();
  rig.engine.actWebPingExecuteExecute();
  EXPECT_TRUE(rig.log.empty());
  EXPECT_FALSE(rig.engine.Executing());
}

TEST(PlayProgress, AnyOtherKindDoesNothing) {
  Log log;
  RecordingUi ui{log};
  RecordingTuning tuning{log};
  RecordingReset reset{log};
  InstantPause pause{log};
  TModeEngine engine{ui, tuning, reset, pause};
  engine.PlayProgress(TKindMode::kmNone);
  engine.PlayProgress(static_cast<TKindMode>(7));
  EXPECT_TRUE(log.empty());
}

}  // namespace
