#include "shell_state.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "platform/machine.h"
#include "support/machine_prefix.h"

// The simulated runtime's shell: the transitions the validator's runs rely on without being
// able to notice their absence. The rest of the shell shows in the end-to-end runs' verdicts.

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

// What the validator's runs need from the shell and could not tell apart from a shell that
// lacks it: each new application comes to the front behind the warning, which the validator
// must acknowledge (an older shell only through its prompt response), and the close prompt asks
// the application to quit only once the validator confirms it.
TEST_F(ShellTest, EachNewApplicationComesToTheFrontBehindTheWarningUntilItIsAcknowledged) {
  EXPECT_EQ(Location(), "UM");
  const App app = Launch(100, false);
  EXPECT_EQ(shell_->FrontProcess(), 100u);
  EXPECT_EQ(Location(), "HSW");
  EXPECT_FALSE(Visible(app));
  EXPECT_TRUE(shell_->PromptResponse(true).IsDone());
  EXPECT_EQ(Location(), "APP");
  EXPECT_TRUE(Visible(app));
  const App other = Launch(200, false);
  EXPECT_EQ(Location(), "HSW");
  EXPECT_FALSE(Visible(other));
}

TEST_F(ShellTest, TheClosePromptAsksTheApplicationToQuitOnlyWhenConfirmed) {
  const App app = Launch(100);
  EXPECT_TRUE(shell_->RequestLocation("APP_CLOSE").IsDone());
  EXPECT_EQ(Location(), "APP_CLOSE");
  EXPECT_FALSE(Status(app).shouldQuit);
  EXPECT_TRUE(shell_->PromptResponse(true).IsDone());
  EXPECT_TRUE(Status(app).shouldQuit);
}

}  // namespace
}  // namespace luxsim
