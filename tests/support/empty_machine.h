#pragma once

namespace testsupport {

/// Points the machine prefix of this process at an empty folder and clears LIBLUX_DLL_DIR and
/// LD_LIBRARY_PATH, so that the runtime library search finds nothing and no runtime service or
/// headset is there. Call it in a child process (see RunInChild).
void UseEmptyMachine();

}  // namespace testsupport
