#include "shell_state.h"

#include <gtest/gtest.h>

#include <memory>

#include "shell_rig.h"
#include "support/machine_prefix.h"

namespace luxsim {
namespace {

class ShellStateTest : public testing::Test {
 protected:
  void SetUp() override { Build({}); }

  // A fresh headset, registry and shell with `options`.
  void Build(ShellState::Options options) {
    rig_.reset();
    rig_ = std::make_unique<ShellRig>(options);
    ASSERT_NE(rig_->shell, nullptr);
    headset_ = &*rig_->headset;
    registry_ = rig_->registry.get();
    shell_ = rig_->shell.get();
  }

  // A new application: a client of process `pid` with one session.
  struct App {
    ClientId client;
    SessionId session;
  };
  App Launch(uint32_t pid) {
    const ClientId client = registry_->AddClient(pid).id;
    return {client, registry_->CreateSession(client).id};
  }
  // Launches an application and acknowledges its warning.
  App LaunchInView(uint32_t pid) {
    const App app = Launch(pid);
    EXPECT_TRUE(shell_->AcknowledgeWarning().IsDone());
    return app;
  }

  const SessionStatus& Status(const App& app) {
    return registry_->FindSession(app.client, app.session)->status;
  }
  bool Visible(const App& app) { return Status(app).visible; }
  std::string_view Location() { return LocationName(shell_->Location()); }

  testsupport::ScopedMachinePrefix prefix_;
  std::unique_ptr<ShellRig> rig_;
  HeadsetState* headset_ = nullptr;
  SessionRegistry* registry_ = nullptr;
  ShellState* shell_ = nullptr;
};

TEST(ShellLocationNames, RoundTrip) {
  for (const char* name : {"UM", "APP", "HSW", "APP_CLOSE"}) {
    const std::optional<ShellLocation> location = LocationFromName(name);
    ASSERT_TRUE(location.has_value()) << name;
    EXPECT_EQ(LocationName(*location), name);
  }
  EXPECT_FALSE(LocationFromName("app").has_value());
  EXPECT_FALSE(LocationFromName("").has_value());
}

TEST_F(ShellStateTest, WithoutAnApplicationTheUserIsInTheMenu) {
  EXPECT_EQ(Location(), "UM");
  EXPECT_EQ(shell_->FrontProcess(), 0u);
  EXPECT_FALSE(shell_->HealthAndSafetyWarningNeeded());
  EXPECT_FALSE(shell_->DashShownOverFront());
  EXPECT_EQ(shell_->RequestLocation("APP").reason, "No application is in front");
  EXPECT_EQ(shell_->RequestLocation("APP_CLOSE").reason, "No application is in front");
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_EQ(shell_->AcknowledgeWarning().reason, "No health and safety warning is shown");
  EXPECT_EQ(shell_->PromptResponse(true).reason, "No prompt is shown");
}

TEST_F(ShellStateTest, ANewApplicationComesToTheFrontBehindTheWarning) {
  const App app = Launch(100);
  EXPECT_EQ(shell_->FrontProcess(), 100u);
  EXPECT_TRUE(shell_->HealthAndSafetyWarningNeeded());
  EXPECT_EQ(Location(), "HSW");
  EXPECT_FALSE(Visible(app));

  EXPECT_TRUE(shell_->AcknowledgeWarning().IsDone());
  EXPECT_FALSE(shell_->HealthAndSafetyWarningNeeded());
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(app));

  // The same application's next session is not warned again; another application is.
  const App again{app.client, registry_->CreateSession(app.client).id};
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(again));
  const App other = Launch(200);
  EXPECT_EQ(shell_->FrontProcess(), 200u);
  EXPECT_EQ(Location(), "HSW");
  EXPECT_FALSE(Visible(other));
  EXPECT_FALSE(Visible(again));
}

TEST_F(ShellStateTest, TheOlderShellsPromptResponseAcknowledgesTheWarning) {
  const App app = Launch(100);
  EXPECT_EQ(shell_->PromptResponse(false).reason,
            "The health and safety warning can only be acknowledged");
  EXPECT_EQ(Location(), "HSW");
  EXPECT_TRUE(shell_->PromptResponse(true).IsDone());
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(app));
}

TEST_F(ShellStateTest, WithTheWarningSwitchedOffAnApplicationIsInViewAtOnce) {
  Build({.healthAndSafetyWarning = false});
  const App app = Launch(100);
  EXPECT_FALSE(shell_->HealthAndSafetyWarningNeeded());
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(app));
}

TEST_F(ShellStateTest, TheMenuHidesTheApplicationUntilTheUserGoesBack) {
  const App app = LaunchInView(100);
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_EQ(Location(), "UM");
  EXPECT_FALSE(Visible(app));
  EXPECT_EQ(shell_->FrontProcess(), 100u);  // still the application the user goes back to
  EXPECT_EQ(shell_->RequestLocation("NOWHERE").reason, "Unknown location: NOWHERE");
  EXPECT_EQ(shell_->RequestLocation("HSW").reason, "No health and safety warning is pending");
  EXPECT_EQ(Location(), "UM");
  EXPECT_TRUE(shell_->RequestLocation("APP").IsDone());
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(app));
}

TEST_F(ShellStateTest, GoingBackToAnApplicationStillWarnedShowsTheWarning) {
  const App app = Launch(100);
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_TRUE(shell_->HealthAndSafetyWarningNeeded());
  EXPECT_EQ(Location(), "UM");
  // The location read earlier can be requested again.
  EXPECT_TRUE(shell_->RequestLocation("HSW").IsDone());
  EXPECT_EQ(Location(), "HSW");
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_TRUE(shell_->RequestLocation("APP").IsDone());
  EXPECT_EQ(Location(), "HSW");
  EXPECT_FALSE(Visible(app));
}

TEST_F(ShellStateTest, TheClosePromptAsksTheApplicationToQuitOnlyWhenConfirmed) {
  const App app = LaunchInView(100);
  EXPECT_TRUE(shell_->RequestLocation("APP_CLOSE").IsDone());
  EXPECT_EQ(Location(), "APP_CLOSE");
  EXPECT_FALSE(Visible(app));
  EXPECT_FALSE(Status(app).shouldQuit);

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

TEST_F(ShellStateTest, ClosingAnApplicationAsksEachOfItsSessionsToQuit) {
  const App app = LaunchInView(100);
  const App second{app.client, registry_->CreateSession(app.client).id};
  const App other = LaunchInView(200);
  // A process in the background is asked to quit; the one in front stays in view.
  EXPECT_TRUE(shell_->CloseApp(100).IsDone());
  EXPECT_TRUE(Status(app).shouldQuit);
  EXPECT_TRUE(Status(second).shouldQuit);
  EXPECT_FALSE(Status(other).shouldQuit);
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(other));
  // The one in front is being closed: the location says so and it is out of view.
  EXPECT_TRUE(shell_->CloseApp(200).IsDone());
  EXPECT_TRUE(Status(other).shouldQuit);
  EXPECT_EQ(Location(), "APP_CLOSE");
  EXPECT_FALSE(Visible(other));
  EXPECT_EQ(shell_->CloseApp(999).reason, "No application session of process 999");
}

TEST_F(ShellStateTest, WhenTheApplicationInFrontEndsTheNextOneComesIntoView) {
  const App first = LaunchInView(100);
  const App second = LaunchInView(200);
  EXPECT_TRUE(shell_->CloseApp(200).IsDone());
  EXPECT_EQ(Location(), "APP_CLOSE");
  registry_->DestroySession(second.client, second.session);
  EXPECT_EQ(shell_->FrontProcess(), 100u);
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(first));
  registry_->RemoveClient(first.client);
  EXPECT_EQ(shell_->FrontProcess(), 0u);
  EXPECT_EQ(Location(), "UM");
}

TEST_F(ShellStateTest, ASessionEndingInTheBackgroundLeavesTheUserWhereTheyAre) {
  const App background = LaunchInView(100);
  const App front = LaunchInView(200);
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  registry_->DestroySession(background.client, background.session);
  EXPECT_EQ(Location(), "UM");
  EXPECT_FALSE(Visible(front));
}

TEST_F(ShellStateTest, TheProximitySensorDecidesWhetherTheHeadsetIsWorn) {
  const App app = LaunchInView(100);
  shell_->SetWorn(false);
  EXPECT_FALSE(headset_->Mounted());
  EXPECT_FALSE(Status(app).hmdMounted);
  EXPECT_FALSE(Visible(app));
  shell_->SetWorn(true);
  EXPECT_TRUE(Status(app).hmdMounted);
  EXPECT_TRUE(Visible(app));
}

TEST_F(ShellStateTest, TheDashHidesTheApplicationWhetherOrNotItIsFocusAware) {
  const App app = LaunchInView(100);
  registry_->FindClient(app.client)->focusAware = true;
  EXPECT_TRUE(shell_->ShowDash(100, true).IsDone());
  EXPECT_TRUE(shell_->DashShownOverFront());
  EXPECT_EQ(Location(), "APP");
  EXPECT_FALSE(Visible(app));
  // The overlay tells the application that it is drawn behind the dash.
  EXPECT_TRUE(Status(app).overlayPresent);
  EXPECT_TRUE(shell_->ShowDash(100, false).IsDone());
  EXPECT_FALSE(shell_->DashShownOverFront());
  EXPECT_TRUE(Visible(app));
  EXPECT_FALSE(Status(app).overlayPresent);

  EXPECT_EQ(shell_->ShowDash(999, true).reason, "No application session of process 999");
  EXPECT_TRUE(shell_->ShowDash(999, false).IsDone());  // nothing shown there: nothing to hide
  // A dash over a process in the background does not cover the one in front.
  const App other = LaunchInView(200);
  EXPECT_TRUE(shell_->ShowDash(100, true).IsDone());
  EXPECT_FALSE(shell_->DashShownOverFront());
  EXPECT_TRUE(Visible(other));
  EXPECT_FALSE(Status(other).overlayPresent);
  EXPECT_FALSE(Status(app).overlayPresent);
}

TEST_F(ShellStateTest, TheMenuCoversTheApplicationWithoutAnOverlay) {
  const App app = LaunchInView(100);
  EXPECT_TRUE(shell_->ShowDash(100, true).IsDone());
  EXPECT_TRUE(shell_->RequestLocation("UM").IsDone());
  EXPECT_FALSE(Visible(app));
  EXPECT_FALSE(Status(app).overlayPresent);
  EXPECT_TRUE(shell_->RequestLocation("APP").IsDone());
  EXPECT_TRUE(Status(app).overlayPresent);
}

TEST_F(ShellStateTest, FocusAwarenessIsWhatTheApplicationDeclared) {
  const App aware = Launch(100);
  registry_->FindClient(aware.client)->focusAware = true;
  Launch(200);
  EXPECT_EQ(shell_->FocusAware(100), std::optional<bool>(true));
  EXPECT_EQ(shell_->FocusAware(200), std::optional<bool>(false));
  EXPECT_EQ(shell_->FocusAware(300), std::nullopt);
}

TEST_F(ShellStateTest, RecenterRequestsReachEverySessionOfTheProcess) {
  const App app = LaunchInView(100);
  const App second{app.client, registry_->CreateSession(app.client).id};
  EXPECT_TRUE(shell_->RequestRecenter(100).IsDone());
  EXPECT_TRUE(Status(app).shouldRecenter);
  EXPECT_TRUE(Status(second).shouldRecenter);
  EXPECT_EQ(shell_->RequestRecenter(5).reason, "No application session of process 5");
}

TEST_F(ShellStateTest, AClientThatLeavesTakesItsAcknowledgementAndDashAlong) {
  const App app = LaunchInView(100);
  EXPECT_TRUE(shell_->ShowDash(100, true).IsDone());
  registry_->RemoveClient(app.client);
  // The process starts again: a new application to the shell.
  const App again = Launch(100);
  EXPECT_EQ(Location(), "HSW");
  EXPECT_TRUE(shell_->AcknowledgeWarning().IsDone());
  EXPECT_FALSE(shell_->DashShownOverFront());
  EXPECT_TRUE(Visible(again));
}

TEST_F(ShellStateTest, AudioAndMirrorSettingsAreKept) {
  EXPECT_EQ(shell_->Audio().output, "tarn");
  EXPECT_EQ(shell_->Audio().input, "tarn");
  EXPECT_EQ(shell_->AudioOutputDevice(), "tarn_headphones");
  EXPECT_TRUE(shell_->SetAudioMode("windowsDefault", "output").IsDone());
  EXPECT_EQ(shell_->Audio().output, "windowsDefault");
  EXPECT_EQ(shell_->Audio().input, "tarn");
  EXPECT_EQ(shell_->AudioOutputDevice(), "");  // the system's default device
  EXPECT_TRUE(shell_->SetAudioMode("windowsDefault", "input").IsDone());
  EXPECT_TRUE(shell_->SetAudioMode("tarn", "output").IsDone());
  EXPECT_EQ(shell_->Audio().output, "tarn");
  EXPECT_EQ(shell_->Audio().input, "windowsDefault");
  EXPECT_EQ(shell_->AudioOutputDevice(), "tarn_headphones");
  EXPECT_EQ(shell_->SetAudioMode("speakers", "output").reason, "Unknown audio device: speakers");
  EXPECT_EQ(shell_->SetAudioMode("tarn", "both").reason, "Unknown audio mode: both");

  const std::map<std::string, std::string> off = {{"fromDesktop", "off"}, {"fromTarn", "off"}};
  EXPECT_EQ(shell_->MirrorModes(), off);
  EXPECT_TRUE(shell_->SetMirrorMode("on", "fromTarn").IsDone());
  EXPECT_EQ(shell_->MirrorModes().at("fromTarn"), "on");
  EXPECT_EQ(shell_->MirrorModes().at("fromDesktop"), "off");
  EXPECT_EQ(shell_->SetMirrorMode("off", "sideways").reason, "Unknown mirror direction: sideways");
  EXPECT_EQ(shell_->SetMirrorMode("", "fromTarn").reason, "The mirror mode is empty");
  EXPECT_EQ(shell_->MirrorModes().at("fromTarn"), "on");
}

TEST_F(ShellStateTest, TheShellLeavesTheRegistryAsItWasWhenItGoes) {
  const App app = Launch(100);
  EXPECT_FALSE(Visible(app));
  rig_->shell.reset();
  registry_->RefreshStatuses();
  EXPECT_TRUE(Visible(app));
  registry_->CreateSession(app.client);  // no report reaches the shell that is gone
}

}  // namespace
}  // namespace luxsim
