// corvia-hdmi-cable: the operator's hand on a simulated machine. It plugs the headset's HDMI
// cable in or pulls it out, as the validator asks the operator to when no breaker box is in
// use. It talks to the machine's runtime service like any client of the runtime.

#include <iostream>
#include <string>

#include "lux/lux_capi.h"
#include "lux/lux_simulator.h"

namespace {

int Usage(const char* program) {
  std::cerr << "Usage: " << program << " plug|unplug\n"
            << "Plugs the simulated headset's HDMI cable in or pulls it out.\n";
  return 2;
}

int Fail(const std::string& what) {
  luxErrorInfo info{};
  lux_GetLastErrorInfo(&info);
  std::cerr << "corvia-hdmi-cable: " << what << ": " << info.Result << " " << info.ErrorString
            << std::endl;
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) return Usage(argv[0]);
  const std::string action = argv[1];
  if (action != "plug" && action != "unplug") return Usage(argv[0]);
  if (LUX_FAILURE(lux_Initialize(nullptr))) return Fail("cannot reach the runtime");
  luxsim_SetHdmiCable_Fn* setCable = nullptr;
  int status = 0;
  if (LUX_FAILURE(lux_Lookup("luxsim_SetHdmiCable", reinterpret_cast<void**>(&setCable)))) {
    status = Fail("the runtime has no simulated cable");
  } else if (LUX_FAILURE(setCable(action == "plug" ? luxTrue : luxFalse))) {
    status = Fail("cannot " + action + " the cable");
  }
  lux_Shutdown();
  return status;
}
