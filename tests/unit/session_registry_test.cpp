#include "session_registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

#include "platform/named_event.h"

namespace luxsim {
namespace {

// Writes every report as one line.
class Recorder : public RuntimeObserver {
 public:
  std::vector<std::string> lines;

  void OnClientConnected(const Client& client) override { Add("connected", client.pid); }
  void OnClientDisconnected(const Client& client) override { Add("disconnected", client.pid); }
  void OnSessionCreated(const Session& session) override { Add("created", session.id); }
  void OnSessionDestroyed(const Session& session) override { Add("destroyed", session.id); }
  void OnSessionStatusChanged(const Session& session) override {
    const SessionStatus& s = session.status;
    lines.push_back("status " + std::to_string(session.id) + " " + Flags(s));
  }
  void OnFrameSubmitted(const Session& session, int64_t frame,
                        const std::vector<SubmittedLayer>& layers) override {
    lines.push_back("frame " + std::to_string(session.id) + " " + std::to_string(frame) + " " +
                    std::to_string(layers.size()));
  }
  void OnSwapChainCommitted(const Session& session, uint64_t chain) override {
    lines.push_back("commit " + std::to_string(session.id) + " " + std::to_string(chain));
  }
  void OnRecenterFlagCleared(const Session& session) override { Add("recentered", session.id); }

  static std::string Flags(const SessionStatus& s) {
    std::string text;
    for (const bool flag :
         {s.visible, s.hmdPresent, s.hmdMounted, s.displayLost, s.shouldQuit, s.shouldRecenter}) {
      text += flag ? '1' : '0';
    }
    return text;
  }

 private:
  void Add(const std::string& what, uint64_t number) {
    lines.push_back(what + " " + std::to_string(number));
  }
};

class SessionRegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    prefix_ = testing::TempDir() + "session_registry_prefix_" + std::to_string(getpid());
    std::filesystem::remove_all(prefix_);
    std::filesystem::create_directories(prefix_ + "/run/corvia");
    setenv("CORVIA_MACHINE_PREFIX", prefix_.c_str(), 1);
    headset_ = HeadsetState::Create(true);
    ASSERT_TRUE(headset_.has_value());
    registry_ = std::make_unique<SessionRegistry>(*headset_, [this] { return now_; });
    headset_->AddListener([this] { registry_->RefreshStatuses(); });
    registry_->AddObserver(&recorder_);
  }
  void TearDown() override {
    registry_.reset();
    headset_.reset();
    unsetenv("CORVIA_MACHINE_PREFIX");
    std::filesystem::remove_all(prefix_);
  }

  std::vector<std::string> TakeLines() { return std::exchange(recorder_.lines, {}); }

  std::string prefix_;
  double now_ = 12.5;
  std::optional<HeadsetState> headset_;
  std::unique_ptr<SessionRegistry> registry_;
  Recorder recorder_;
};

TEST_F(SessionRegistryTest, TheNewestSessionHasTheFocusAndIsVisible) {
  const ClientId app = registry_->AddClient(100).id;
  const Session& first = registry_->CreateSession(app);
  EXPECT_EQ(first.pid, 100u);
  EXPECT_DOUBLE_EQ(first.createdTime, 12.5);
  const SessionId firstId = first.id;
  const SessionId secondId = registry_->CreateSession(app).id;
  EXPECT_EQ(TakeLines(),
            (std::vector<std::string>{"connected 100", "created 1", "status 1 111000", "created 2",
                                      "status 1 011000", "status 2 111000"}));
  registry_->DestroySession(app, secondId);
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"destroyed 2", "status 1 111000"}));
  EXPECT_TRUE(registry_->FindSession(app, firstId)->status.visible);
}

TEST_F(SessionRegistryTest, SessionsBelongToTheirClient) {
  const ClientId app = registry_->AddClient(100).id;
  const ClientId other = registry_->AddClient(200).id;
  const SessionId session = registry_->CreateSession(app).id;
  EXPECT_EQ(registry_->FindSession(other, session), nullptr);
  EXPECT_FALSE(registry_->DestroySession(other, session));
  EXPECT_NE(registry_->FindSession(app, session), nullptr);
  registry_->RemoveClient(app);
  EXPECT_EQ(registry_->FindSession(app, session), nullptr);
  EXPECT_EQ(registry_->FindClient(app), nullptr);
  const std::vector<std::string> lines = TakeLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[lines.size() - 2], "destroyed 1");
  EXPECT_EQ(lines.back(), "disconnected 100");
}

TEST_F(SessionRegistryTest, TakingTheHeadsetOffHidesTheApplication) {
  const ClientId app = registry_->AddClient(100).id;
  registry_->CreateSession(app);
  TakeLines();
  headset_->SetMounted(false);
  headset_->SetMounted(true);
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"status 1 010000", "status 1 111000"}));
}

TEST_F(SessionRegistryTest, UnpluggingTheHeadsetLosesTheDisplayUntilItIsBack) {
  const ClientId app = registry_->AddClient(100).id;
  registry_->CreateSession(app);
  TakeLines();
  headset_->SetConnected(false);
  EXPECT_FALSE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  headset_->SetConnected(true);
  EXPECT_TRUE(platform::IsNamedEventSignalled("CorviaHMDConnected"));
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"status 1 000100", "status 1 111000"}));
}

TEST_F(SessionRegistryTest, LaterHeadsetListenersSeeTheStatusThatFollowsFromTheChange) {
  const ClientId app = registry_->AddClient(100).id;
  const Session& session = registry_->CreateSession(app);
  std::vector<std::string> seen;
  headset_->AddListener([&] { seen.push_back(Recorder::Flags(session.status)); });
  headset_->SetMounted(false);
  headset_->SetConnected(false);
  headset_->SetConnected(false);  // no change, no call
  EXPECT_EQ(seen, (std::vector<std::string>{"010000", "000100"}));
}

TEST_F(SessionRegistryTest, QuitAndRecenterRequestsShowInTheStatus) {
  const ClientId app = registry_->AddClient(100).id;
  const Session& session = registry_->CreateSession(app);
  TakeLines();
  registry_->RequestRecenter(session.id);
  registry_->ClearRecenter(session);
  registry_->RequestQuit(session.id);
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"status 1 111001", "recentered 1",
                                                   "status 1 111000", "status 1 111010"}));
}

TEST_F(SessionRegistryTest, FramesAndCommitsOfKnownSwapChainsAreReported) {
  const ClientId app = registry_->AddClient(100).id;
  const Session& session = registry_->CreateSession(app);
  const uint64_t chain = registry_->CreateSwapChain(session);
  TakeLines();
  registry_->ReportFrame(session, 7, {SubmittedLayer{}, SubmittedLayer{}});
  EXPECT_TRUE(registry_->CommitSwapChain(session, chain));
  EXPECT_FALSE(registry_->CommitSwapChain(session, chain + 1));
  EXPECT_TRUE(registry_->DestroySwapChain(session, chain));
  EXPECT_FALSE(registry_->CommitSwapChain(session, chain));
  EXPECT_EQ(session.framesSubmitted, 1u);
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"frame 1 7 2", "commit 1 1"}));
}

TEST_F(SessionRegistryTest, TheShellCanMoveTheFocus) {
  const ClientId app = registry_->AddClient(100).id;
  const SessionId first = registry_->CreateSession(app).id;
  registry_->CreateSession(app);
  TakeLines();
  registry_->SetFocus(first);
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"status 1 111000", "status 2 011000"}));
}

TEST_F(SessionRegistryTest, TheShellsViewHidesTheSessionInFocus) {
  const ClientId app = registry_->AddClient(100).id;
  EXPECT_EQ(registry_->FocusedSession(), nullptr);
  bool shown = false;
  registry_->SetShellView([&shown](const Session&) {
    return shown ? ShellShows::kSession : ShellShows::kSomethingElse;
  });
  const SessionId first = registry_->CreateSession(app).id;
  ASSERT_NE(registry_->FocusedSession(), nullptr);
  EXPECT_EQ(registry_->FocusedSession()->id, first);
  shown = true;
  registry_->RefreshStatuses();
  // Out of focus, a session stays hidden whatever the shell shows.
  const SessionId second = registry_->CreateSession(app).id;
  EXPECT_EQ(registry_->FocusedSession()->id, second);
  registry_->SetShellView(nullptr);
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"connected 100", "created 1", "status 1 011000",
                                                   "status 1 111000", "created 2",
                                                   "status 1 011000", "status 2 111000"}));
}

TEST_F(SessionRegistryTest, TheDashOverTheSessionInFocusIsReportedAsAnOverlay) {
  const ClientId app = registry_->AddClient(100).id;
  registry_->SetShellView([](const Session&) { return ShellShows::kDashOverSession; });
  const SessionId first = registry_->CreateSession(app).id;
  const Session* session = registry_->FindSession(app, first);
  ASSERT_NE(session, nullptr);
  EXPECT_FALSE(session->status.visible);
  EXPECT_TRUE(session->status.overlayPresent);
  // Taking the headset off leaves nothing to draw behind the dash.
  headset_->SetMounted(false);
  registry_->RefreshStatuses();
  EXPECT_FALSE(session->status.overlayPresent);
  headset_->SetMounted(true);
  registry_->RefreshStatuses();
  EXPECT_TRUE(session->status.overlayPresent);
  // Out of focus, the dash is over another session.
  const SessionId second = registry_->CreateSession(app).id;
  EXPECT_FALSE(session->status.overlayPresent);
  EXPECT_TRUE(registry_->FindSession(app, second)->status.overlayPresent);
  registry_->SetShellView(nullptr);
}

TEST_F(SessionRegistryTest, ARemovedObserverHearsNoMore) {
  Recorder second;
  registry_->AddObserver(&second);
  registry_->AddClient(100);
  registry_->RemoveObserver(&second);
  registry_->AddClient(200);
  EXPECT_EQ(second.lines, (std::vector<std::string>{"connected 100"}));
  EXPECT_EQ(TakeLines(), (std::vector<std::string>{"connected 100", "connected 200"}));
}

}  // namespace
}  // namespace luxsim
