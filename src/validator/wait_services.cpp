#include "validator/wait_services.h"

#include <thread>

#include "platform/key_state.h"

namespace QasValidator {

WaitServices::WaitServices()
    : sleep([](std::chrono::microseconds duration) { std::this_thread::sleep_for(duration); }),
      enterPressed([] { return platform::IsKeyPressed(platform::kKeyEnter); }),
      escapePressed([] { return platform::IsKeyPressed(platform::kKeyEscape); }),
      waitForObject([](platform::Waitable& object, std::chrono::milliseconds timeout) {
        return platform::WaitForSingle(object, static_cast<uint32_t>(timeout.count()));
      }) {}

}  // namespace QasValidator
