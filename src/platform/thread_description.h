#pragma once

namespace platform {

/// Names the calling thread for debuggers and process listings (SetThreadDescription). Systems
/// with shorter thread names keep the first characters.
void SetCurrentThreadDescription(const char* description);

}  // namespace platform
