#include "shell_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/machine.h"
#include "support/machine_prefix.h"

// The simulated runtime's shell: its transitions over the sessions of the runtime.

namespace luxsim {
namespace {

class ShellTest : public testing::Test {
 protected:
  // A headset, registry and shell, wired as the runtime service wires them.
  void SetUp() override {
    std::filesystem::create_directories(platform::RuntimeRunFolder());
    headset_ = HeadsetState::Create(true);
    ASSERT_TRUE(headset_);
    registry_ = std::make_unique<SessionRegistry>(*headset_, [] { return 12.5; });
    headset_->AddListener([this] { registry_->RefreshStatuses(); });
    shell_ = std::make_unique<ShellState>(*registry_, *headset_, ShellState::Options{});
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
  std::optional<HeadsetState> headset_;
  std::unique_ptr<SessionRegistry> registry_;
  std::unique_ptr<ShellState> shell_;  // goes first
};

TEST_F(ShellTest, TheUserIsInTheMenuUntilANewApplicationComesToTheFrontBehindTheWarning) {
  EXPECT_EQ(Location(), "UM");
  EXPECT_EQ(shell_->FrontProcess(), 0u);
  EXPECT_FALSE(shell_->HealthAndSafetyWarningNeeded());
  EXPECT_EQ(shell_->RequestLocation("APP").reason, "No application is in front");
  EXPECT_EQ(shell_->RequestLocation("APP_CLOSE").reason, "No application is in front");
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_EQ(shell_->AcknowledgeWarning().reason, "No health and safety warning is shown");
  EXPECT_EQ(shell_->PromptResponse(true).reason, "No prompt is shown");

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
  // A shell without the warning: SdkVersionE2E, which has no line about dismissing it.
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
  // A session ending in the background leaves the user where they are.
  const App front = Launch(150);
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  registry_->DestroySession(app.client, app.session);
  EXPECT_EQ(Location(), "UM");
  EXPECT_FALSE(Visible(front));

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

TEST_F(ShellTest, TheProximitySensorDecidesWhetherTheHeadsetIsWorn) {
  const App app = Launch(100);
  shell_->SetWorn(false);
  EXPECT_FALSE(headset_->Mounted());
  EXPECT_FALSE(Status(app).hmdMounted);
  EXPECT_FALSE(Visible(app));
  shell_->SetWorn(true);
  EXPECT_TRUE(Visible(app));
  // Unplugged, the display is lost until the headset is back.
  headset_->SetConnected(false);
  EXPECT_TRUE(Status(app).displayLost);
  headset_->SetConnected(true);
  EXPECT_FALSE(Status(app).displayLost);
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

TEST_F(ShellTest, AClientThatLeavesTakesItsAcknowledgementAndDashAlongAndSoDoesTheShell) {
  const App app = Launch(100);
  EXPECT_TRUE(shell_->ShowDash(100, true).IsDone());
  registry_->RemoveClient(app.client);
  const App again = Launch(100, false);  // the process starts again: a new application
  EXPECT_EQ(Location(), "HSW");
  EXPECT_TRUE(shell_->AcknowledgeWarning().IsDone());
  EXPECT_FALSE(shell_->DashShownOverFront());
  EXPECT_TRUE(Visible(again));
  // The shell that goes leaves the registry as it was.
  const App warned = Launch(200, false);
  shell_.reset();
  registry_->RefreshStatuses();
  EXPECT_TRUE(Visible(warned));
  registry_->CreateSession(warned.client);  // no report reaches the shell that is gone
}

}  // namespace
}  // namespace luxsim
