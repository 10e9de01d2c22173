#include "shell_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "hub/hub_message.h"
#include "platform/machine.h"
#include "platform/named_event.h"
#include "shell_requests.h"
#include "support/machine_prefix.h"

// The simulated runtime's sessions and shell: the session registry's status flags, the shell's
// transitions, and the shell service's answers to requests the validator's e2e runs never send.

namespace luxsim {
namespace {

// Each status change as "session flags", the flags in the order of luxSessionStatus.
class StatusLog : public RuntimeObserver {
 public:
  void OnSessionStatusChanged(const Session& session) override {
    const SessionStatus& s = session.status;
    std::string line = std::to_string(session.id) + " ";
    for (const bool flag :
         {s.visible, s.hmdPresent, s.hmdMounted, s.displayLost, s.shouldQuit, s.shouldRecenter}) {
      line += flag ? '1' : '0';
    }
    lines.push_back(line);
  }
  std::vector<std::string> Take() { return std::exchange(lines, {}); }
  std::vector<std::string> lines;
};

class ShellTest : public testing::Test {
 protected:
  void SetUp() override { Build({}); }

  // A fresh headset, registry and shell with `options`, wired as the runtime service wires them.
  void Build(ShellState::Options options) {
    shell_.reset();
    registry_.reset();
    headset_.reset();
    std::filesystem::create_directories(platform::RuntimeRunFolder());
    headset_ = HeadsetState::Create(true);
    ASSERT_TRUE(headset_);
    registry_ = std::make_unique<SessionRegistry>(*headset_, [] { return 12.5; });
    headset_->AddListener([this] { registry_->RefreshStatuses(); });
    registry_->AddObserver(&log_);
    shell_ = std::make_unique<ShellState>(*registry_, *headset_, options);
  }

  // A new application: a client of process `pid` with one session, its warning acknowledged
  // when `inView`.
  struct App {
    ClientId client;
    SessionId session;
  };
  App Launch(uint32_t pid, bool inView = true) {
    const ClientId client = registry_->AddClient(pid).id;
    const App app{client, registry_->CreateSession(client).id};
    EXPECT_TRUE(!inView || shell_->AcknowledgeWarning().IsDone());
    return app;
  }
  App Another(const App& app) { return {app.client, registry_->CreateSession(app.client).id}; }
  const SessionStatus& Status(const App& app) {
    return registry_->FindSession(app.client, app.session)->status;
  }
  bool Visible(const App& app) { return Status(app).visible; }
  std::string_view Location() { return LocationName(shell_->Location()); }

  testsupport::ScopedMachinePrefix prefix_;
  StatusLog log_;
  std::optional<HeadsetState> headset_;
  std::unique_ptr<SessionRegistry> registry_;
  std::unique_ptr<ShellState> shell_;  // goes first
};

TEST_F(ShellTest, TheRegistryReportsEachStatusChange) {
  shell_.reset();  // the registry on its own: nothing covers the session in focus
  const App app = Launch(100, false);
  EXPECT_DOUBLE_EQ(registry_->FindSession(app.client, app.session)->createdTime, 12.5);
  const App second = Another(app);
  registry_->DestroySession(app.client, second.session);
  headset_->SetMounted(false);
  headset_->SetMounted(true);
  registry_->RequestRecenter(app.session);
  registry_->ClearRecenter(*registry_->FindSession(app.client, app.session));
  registry_->RequestQuit(app.session);
  headset_->SetConnected(false);  // the display is lost for good
  EXPECT_FALSE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  headset_->SetConnected(true);
  EXPECT_EQ(log_.Take(), (std::vector<std::string>{"1 111000", "1 011000", "2 111000", "1 111000",
                                                   "1 010000", "1 111000", "1 111001", "1 111000",
                                                   "1 111010", "1 000110", "1 111110"}));
  const App other = Launch(200, false);
  EXPECT_EQ(registry_->FindSession(other.client, app.session), nullptr);
  EXPECT_FALSE(registry_->DestroySession(other.client, app.session));
}

TEST_F(ShellTest, WithoutAnApplicationTheUserIsInTheMenu) {
  EXPECT_EQ(Location(), "UM");
  EXPECT_EQ(shell_->FrontProcess(), 0u);
  EXPECT_FALSE(shell_->HealthAndSafetyWarningNeeded());
  EXPECT_EQ(shell_->RequestLocation("APP").reason, "No application is in front");
  EXPECT_EQ(shell_->RequestLocation("APP_CLOSE").reason, "No application is in front");
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_EQ(shell_->AcknowledgeWarning().reason, "No health and safety warning is shown");
  EXPECT_EQ(shell_->PromptResponse(true).reason, "No prompt is shown");
}

TEST_F(ShellTest, ANewApplicationComesToTheFrontBehindTheWarning) {
  const App app = Launch(100, false);
  EXPECT_EQ(shell_->FrontProcess(), 100u);
  EXPECT_TRUE(shell_->HealthAndSafetyWarningNeeded());
  EXPECT_EQ(Location(), "HSW");
  EXPECT_FALSE(Visible(app));
  // The older shell's prompt response can only acknowledge it.
  EXPECT_EQ(shell_->PromptResponse(false).reason,
            "The health and safety warning can only be acknowledged");
  EXPECT_TRUE(shell_->PromptResponse(true).IsDone());
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(app));
  // The same application's next session is not warned again; another application is.
  const App again = Another(app);
  EXPECT_TRUE(Visible(again));
  const App other = Launch(200, false);
  EXPECT_EQ(Location(), "HSW");
  EXPECT_FALSE(Visible(other));
  EXPECT_FALSE(Visible(again));

  Build({.healthAndSafetyWarning = false});
  EXPECT_TRUE(Visible(Launch(300, false)));
  EXPECT_EQ(Location(), "APP");
}

TEST_F(ShellTest, TheMenuHidesTheApplicationUntilTheUserGoesBack) {
  const App app = Launch(100);
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_FALSE(Visible(app));
  EXPECT_EQ(shell_->FrontProcess(), 100u);  // still the application the user goes back to
  EXPECT_EQ(shell_->RequestLocation("app").reason, "Unknown location: app");
  EXPECT_EQ(shell_->RequestLocation("HSW").reason, "No health and safety warning is pending");
  EXPECT_TRUE(shell_->RequestLocation("APP").IsDone());
  EXPECT_TRUE(Visible(app));

  // Going back to an application still warned shows the warning, which can be asked for too.
  const App warned = Launch(200, false);
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_TRUE(shell_->RequestLocation("HSW").IsDone());
  EXPECT_EQ(Location(), "HSW");
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_TRUE(shell_->RequestLocation("APP").IsDone());
  EXPECT_EQ(Location(), "HSW");
  EXPECT_FALSE(Visible(warned));
}

TEST_F(ShellTest, TheClosePromptAsksTheApplicationToQuitOnlyWhenConfirmed) {
  const App app = Launch(100);
  EXPECT_TRUE(shell_->RequestLocation("APP_CLOSE").IsDone());
  EXPECT_EQ(Location(), "APP_CLOSE");
  EXPECT_FALSE(Visible(app));
  EXPECT_TRUE(shell_->PromptResponse(false).IsDone());
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(app));
  EXPECT_FALSE(Status(app).shouldQuit);
  EXPECT_TRUE(shell_->RequestLocation("APP_CLOSE").IsDone());
  EXPECT_TRUE(shell_->PromptResponse(true).IsDone());
  EXPECT_TRUE(Status(app).shouldQuit);
  EXPECT_EQ(Location(), "APP_CLOSE");
  EXPECT_EQ(shell_->PromptResponse(true).reason, "No prompt is shown");
}

TEST_F(ShellTest, ClosingAnApplicationAsksEachOfItsSessionsToQuitAndTheNextComesIntoView) {
  const App app = Launch(100);
  const App second = Another(app);
  const App other = Launch(200);
  // A process in the background is asked to quit; the one in front stays in view.
  EXPECT_TRUE(shell_->CloseApp(100).IsDone());
  EXPECT_TRUE(Status(app).shouldQuit);
  EXPECT_TRUE(Status(second).shouldQuit);
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(other));
  EXPECT_EQ(shell_->CloseApp(999).reason, "No application session of process 999");
  // The one in front is being closed: the location says so and it is out of view.
  EXPECT_TRUE(shell_->CloseApp(200).IsDone());
  EXPECT_EQ(Location(), "APP_CLOSE");
  EXPECT_FALSE(Visible(other));
  // When it ends, the newest remaining session comes into view.
  registry_->DestroySession(other.client, other.session);
  EXPECT_EQ(shell_->FrontProcess(), 100u);
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(second));
  registry_->RemoveClient(app.client);
  EXPECT_EQ(shell_->FrontProcess(), 0u);
  EXPECT_EQ(Location(), "UM");
}

TEST_F(ShellTest, ASessionEndingInTheBackgroundLeavesTheUserWhereTheyAre) {
  const App background = Launch(100);
  const App front = Launch(200);
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  registry_->DestroySession(background.client, background.session);
  EXPECT_EQ(Location(), "UM");
  EXPECT_FALSE(Visible(front));
}

TEST_F(ShellTest, TheProximitySensorDecidesWhetherTheHeadsetIsWorn) {
  const App app = Launch(100);
  shell_->SetWorn(false);
  EXPECT_FALSE(headset_->Mounted());
  EXPECT_FALSE(Status(app).hmdMounted);
  EXPECT_FALSE(Visible(app));
  shell_->SetWorn(true);
  EXPECT_TRUE(Visible(app));
}

TEST_F(ShellTest, TheDashHidesTheApplicationInFrontBehindAnOverlay) {
  const App app = Launch(100);
  registry_->FindClient(app.client)->focusAware = true;
  EXPECT_TRUE(shell_->ShowDash(100, true).IsDone());
  EXPECT_TRUE(shell_->DashShownOverFront());
  EXPECT_EQ(Location(), "APP");
  EXPECT_FALSE(Visible(app));
  EXPECT_TRUE(Status(app).overlayPresent);
  // The menu covers it without an overlay; the headset taken off leaves nothing behind the dash.
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_FALSE(Status(app).overlayPresent);
  EXPECT_TRUE(shell_->RequestLocation("APP").IsDone());
  EXPECT_TRUE(Status(app).overlayPresent);
  shell_->SetWorn(false);
  EXPECT_FALSE(Status(app).overlayPresent);
  shell_->SetWorn(true);
  EXPECT_TRUE(shell_->ShowDash(100, false).IsDone());
  EXPECT_TRUE(Visible(app));
  EXPECT_FALSE(Status(app).overlayPresent);

  EXPECT_EQ(shell_->ShowDash(999, true).reason, "No application session of process 999");
  EXPECT_TRUE(shell_->ShowDash(999, false).IsDone());  // nothing shown there: nothing to hide
  // A dash over a process in the background covers neither it nor the one in front.
  const App other = Launch(200);
  EXPECT_TRUE(shell_->ShowDash(100, true).IsDone());
  EXPECT_FALSE(shell_->DashShownOverFront());
  EXPECT_TRUE(Visible(other));
  EXPECT_FALSE(Status(other).overlayPresent);
  EXPECT_FALSE(Status(app).overlayPresent);
}

TEST_F(ShellTest, FocusAwarenessAndRecenterRequestsGoByProcess) {
  const App aware = Launch(100);
  const App second = Another(aware);
  registry_->FindClient(aware.client)->focusAware = true;
  Launch(200);
  EXPECT_EQ(shell_->FocusAware(100), std::optional<bool>(true));
  EXPECT_EQ(shell_->FocusAware(200), std::optional<bool>(false));
  EXPECT_EQ(shell_->FocusAware(300), std::nullopt);
  EXPECT_TRUE(shell_->RequestRecenter(100).IsDone());
  EXPECT_TRUE(Status(aware).shouldRecenter);
  EXPECT_TRUE(Status(second).shouldRecenter);
  EXPECT_EQ(shell_->RequestRecenter(5).reason, "No application session of process 5");
}

TEST_F(ShellTest, AClientThatLeavesTakesItsAcknowledgementAndDashAlong) {
  const App app = Launch(100);
  EXPECT_TRUE(shell_->ShowDash(100, true).IsDone());
  registry_->RemoveClient(app.client);
  const App again = Launch(100, false);  // the process starts again: a new application
  EXPECT_EQ(Location(), "HSW");
  EXPECT_TRUE(shell_->AcknowledgeWarning().IsDone());
  EXPECT_FALSE(shell_->DashShownOverFront());
  EXPECT_TRUE(Visible(again));
}

TEST_F(ShellTest, AudioAndMirrorSettingsAreKept) {
  EXPECT_TRUE(shell_->SetAudioMode("windowsDefault", "input").IsDone());
  EXPECT_EQ(shell_->Audio().output, "tarn");
  EXPECT_EQ(shell_->Audio().input, "windowsDefault");
  EXPECT_EQ(shell_->SetAudioMode("tarn", "both").reason, "Unknown audio mode: both");
  EXPECT_TRUE(shell_->SetMirrorMode("on", "fromTarn").IsDone());
  EXPECT_EQ(shell_->MirrorModes(),
            (std::map<std::string, std::string>{{"fromDesktop", "off"}, {"fromTarn", "on"}}));
  EXPECT_EQ(shell_->SetMirrorMode("", "fromTarn").reason, "The mirror mode is empty");
}

TEST_F(ShellTest, TheShellLeavesTheRegistryAsItWasWhenItGoes) {
  const App app = Launch(100, false);
  shell_.reset();
  registry_->RefreshStatuses();
  EXPECT_TRUE(Visible(app));
  registry_->CreateSession(app.client);  // no report reaches the shell that is gone
}

// ---- The shell service's requests ----

// Sends the request as the validator's client writes it; the response's payload type and
// message.
std::string Answer(ShellRequests& requests, const std::string& path, const std::string& data) {
  Json::Value value;
  if (!data.empty()) value = *QasValidator::ParseHubMessage(data);
  const ShellResponse response =
      requests.Answer(QasValidator::BuildRequestEnvelope(path, value, 7));
  const std::optional<Json::Value> message = QasValidator::ParseHubMessage(response.message);
  if (!message || (*message)["sequenceId"] != "7" || response.path != path) return "bad envelope";
  return QasValidator::PayloadType(*message) + ": " + (*message)["payload"]["message"].asString();
}

TEST_F(ShellTest, RequestsOfTheWrongShapeOrUnknownToTheShellAreAnsweredWithAnError) {
  Launch(500, false);
  ShellRequests requests(*shell_, false);
  ShellRequests older(*shell_, true);
  const std::string pid = R"(Bad request data: expected {"pid": process id})";
  const struct {
    ShellRequests& shell;
    std::string path, data, message;
  } cases[] = {
      {requests, "/life_cycle/close_app", R"({"pid":4294967296})", pid},
      {requests, "/life_cycle/request_app_should_recenter", R"({"pid":true})", pid},
      {requests, "/hardware/set_proximity_sensor", R"({"wearing_hmd":1})",
       R"(Bad request data: expected {"wearing_hmd": true or false})"},
      {requests, "/life_cycle/prompt_response", R"({"response":2})",
       R"(Bad request data: expected {"response": 1 or 0})"},
      {requests, "/life_cycle/hsw_acked", R"({"response":0})",
       R"(Bad request data: expected {"response": 1})"},
      {requests, "/life_cycle/teleport", "", "Unknown request: /life_cycle/teleport"},
      {older, "/life_cycle/get_dash_visibility", "",
       "Unknown request: /life_cycle/get_dash_visibility"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Answer(c.shell, c.path, c.data), "ERROR: " + c.message) << c.path << " " << c.data;
  }
  // An envelope that cannot be read is answered without a sequence id.
  for (const char* envelope : {"not json", "[1,2]", R"({"sequenceId":5})"}) {
    const std::optional<Json::Value> message =
        QasValidator::ParseHubMessage(requests.Answer(envelope).message);
    ASSERT_TRUE(message) << envelope;
    EXPECT_EQ(QasValidator::PayloadType(*message), "ERROR") << envelope;
    EXPECT_EQ((*message)["sequenceId"].asString(), "") << envelope;
  }
  EXPECT_EQ(requests.Answer(R"({"sequenceId":"3"})").path, "");
}

}  // namespace
}  // namespace luxsim
