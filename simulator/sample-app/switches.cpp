#include "switches.h"

#include <signal.h>
#include <string.h>

#include <charconv>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <sstream>

// The switches are one table: each entry names a switch, its value (if it takes one), its help
// line and what it does to the behaviour. A new misbehaviour is a new field of Behaviour and
// one new entry here.

namespace sampleapp {

namespace {

/// Applies a switch's value; returns the error text, empty on success.
using Apply = std::function<std::string(Behaviour&, const std::string& value)>;

struct Switch {
  const char* name;       // without the leading "--"
  const char* valueName;  // null for a switch without a value
  const char* help;
  Apply apply;
  bool launcher = false;  // left out of the VR application's command line
};

std::optional<long long> WholeNumber(const std::string& text, long long minimum,
                                     long long maximum) {
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto [last, error] = std::from_chars(text.data(), end, value);
  if (error != std::errc() || last != end || value < minimum || value > maximum)
    return std::nullopt;
  return value;
}

/// An exit code (0 to 255) into `code`; the error text, empty on success.
std::string ExitCode(int& code, const std::string& value) {
  const auto number = WholeNumber(value, 0, 255);
  if (!number) return "not an exit code (0 to 255): " + value;
  code = static_cast<int>(*number);
  return {};
}

/// A duration in whole milliseconds into `field`, which is a duration or an optional one.
template <typename Field>
Apply Milliseconds(Field Behaviour::*field) {
  return [field](Behaviour& behaviour, const std::string& value) -> std::string {
    const auto ms = WholeNumber(value, 0, std::numeric_limits<int32_t>::max());
    if (!ms) return "not a number of milliseconds: " + value;
    behaviour.*field = std::chrono::milliseconds(*ms);
    return {};
  };
}

/// A whole number from 0 into `field`; `counted` names what it counts in the error text.
Apply Count(int Behaviour::*field, std::string counted) {
  return [field, counted](Behaviour& behaviour, const std::string& value) -> std::string {
    const auto count = WholeNumber(value, 0, std::numeric_limits<int>::max());
    if (!count) return "not a number of " + counted + ": " + value;
    behaviour.*field = static_cast<int>(*count);
    return {};
  };
}

/// A switch without a value that sets `field` to `value`.
template <typename Field>
Apply Sets(Field Behaviour::*field, Field value) {
  return [field, value](Behaviour& behaviour, const std::string&) -> std::string {
    behaviour.*field = value;
    return {};
  };
}

Apply Flag(bool Behaviour::*field) { return Sets(field, true); }

Apply Text(std::string EngineIdentity::*field) {
  return [field](Behaviour& behaviour, const std::string& value) -> std::string {
    behaviour.engine.*field = value;
    return {};
  };
}

/// "PRODUCT.MAJOR.MINOR", three whole numbers of 32 bits.
std::optional<SdkVersion> SdkVersionNumbers(const std::string& text) {
  const size_t first = text.find('.');
  const size_t second = first == std::string::npos ? first : text.find('.', first + 1);
  if (second == std::string::npos) return std::nullopt;
  const long long largest = std::numeric_limits<uint32_t>::max();
  const auto product = WholeNumber(text.substr(0, first), 0, largest);
  const auto major = WholeNumber(text.substr(first + 1, second - first - 1), 0, largest);
  const auto minor = WholeNumber(text.substr(second + 1), 0, largest);
  if (!product || !major || !minor) return std::nullopt;
  return SdkVersion{static_cast<uint32_t>(*product), static_cast<uint32_t>(*major),
                    static_cast<uint32_t>(*minor)};
}

// A signal by number or by name, with or without "SIG" (SEGV, SIGABRT, 6).
std::optional<int> SignalNumber(std::string text) {
  if (const auto number = WholeNumber(text, 1, SIGRTMIN - 1)) return static_cast<int>(*number);
  if (text.rfind("SIG", 0) == 0) text.erase(0, 3);
  for (int signal = 1; signal < SIGRTMIN; ++signal) {
    const char* abbreviation = sigabbrev_np(signal);
    if (abbreviation != nullptr && text == abbreviation) return signal;
  }
  return std::nullopt;
}

const std::vector<Switch>& Switches() {
  static const std::vector<Switch> switches = {
      {"fps", "RATE", "Frames per second to render (default 90)",
       [](Behaviour& behaviour, const std::string& value) -> std::string {
         char* end = nullptr;
         const double rate = std::strtod(value.c_str(), &end);
         if (end == value.c_str() || *end != '\0' || !(rate > 0.0) || rate > 1000.0) {
           return "not a frame rate: " + value;
         }
         behaviour.framesPerSecond = rate;
         return {};
       }},
      {"first-frame-delay-ms", "MS",
       "Wait this long after creating the session before the first frame",
       Milliseconds(&Behaviour::firstFrameDelay)},
      {"first-frame-head-locked", nullptr,
       "Submit only a head-locked quad (layer kind 4) in the first frame",
       Flag(&Behaviour::firstFrameHeadLocked)},
      {"end-after-ms", "MS", "End on its own this long after starting (see --exit-code, --crash)",
       Milliseconds(&Behaviour::endAfter)},
      {"exit-code", "CODE", "Exit code of that end (default 0)",
       [](Behaviour& behaviour, const std::string& value) {
         return ExitCode(behaviour.exitCode, value);
       }},
      {"crash", "SIGNAL", "End by this signal instead of exiting (a number or a name like SEGV)",
       [](Behaviour& behaviour, const std::string& value) -> std::string {
         const auto signal = SignalNumber(value);
         if (!signal || *signal == SIGKILL || *signal == SIGSTOP) return "not a signal: " + value;
         behaviour.crashSignal = *signal;
         return {};
       }},
      {"ignore-close", nullptr, "Ignore the close request (SIGTERM)",
       Flag(&Behaviour::ignoreCloseRequest)},
      {"launcher", nullptr,
       "Start the VR application (this program without this switch) as a child and exit",
       [](Behaviour& behaviour, const std::string&) -> std::string {
         behaviour.launcher = LauncherMode::kExit;
         return {};
       },
       true},
      {"launcher-wait", nullptr,
       "Start the VR application as a child, wait for it and exit with its exit code",
       [](Behaviour& behaviour, const std::string&) -> std::string {
         behaviour.launcher = LauncherMode::kWaitForChild;
         return {};
       },
       true},
      {"transient-error-launches", "N",
       "Raise the runtime's transient internal error (-90011) on the first N launches "
       "counted in --launch-count-file, once the session exists",
       Count(&Behaviour::transientErrorLaunches, "launches")},
      {"transient-error-delay-ms", "MS",
       "Raise that error this long after creating the session (default 0)",
       Milliseconds(&Behaviour::transientErrorDelay)},
      {"launch-count-file", "PATH", "File that counts the launches (created when missing)",
       [](Behaviour& behaviour, const std::string& value) -> std::string {
         behaviour.launchCountFile = value;
         return {};
       }},
      {"engine-name", "NAME", "Engine name to report with lux_IdentifyClient",
       Text(&EngineIdentity::name)},
      {"engine-version", "VERSION", "Engine version to report", Text(&EngineIdentity::version)},
      {"engine-plugin-name", "NAME", "Engine plug-in name to report",
       Text(&EngineIdentity::pluginName)},
      {"engine-plugin-version", "VERSION", "Engine plug-in version to report",
       Text(&EngineIdentity::pluginVersion)},
      {"sdk-version", "PRODUCT.MAJOR.MINOR",
       "Report this client SDK version (lux_ReportClientInfo) instead of the one it was built "
       "with; 1.1.7 is older than the store's minimum",
       [](Behaviour& behaviour, const std::string& value) -> std::string {
         const auto version = SdkVersionNumbers(value);
         if (!version) return "not an SDK version (PRODUCT.MAJOR.MINOR): " + value;
         behaviour.reportedSdkVersion = *version;
         return {};
       }},
      {"focus-aware", nullptr,
       "Declare focus awareness (luxInit_FocusAware) and keep rendering behind the dash",
       Flag(&Behaviour::focusAware)},
      {"no-commit-in-dash", nullptr,
       "Stop committing the swap chain behind the dash, although focus aware",
       Sets(&Behaviour::commitBehindDash, false)},
      {"no-commit-when-visible", nullptr,
       "Do not commit the swap chain while visible (frames are still submitted)",
       Sets(&Behaviour::commitWhenVisible, false)},
      {"commit-when-not-visible", nullptr, "Commit the swap chain in every frame, shown or not",
       Flag(&Behaviour::commitWhenNotVisible)},
      {"stray-commit-after-ms", "MS",
       "Commit the swap chain once, MS ms into every stretch of time in which it is not shown",
       Milliseconds(&Behaviour::strayCommitAfter)},
      {"ignore-recenter", nullptr, "Never clear the recenter flag",
       Flag(&Behaviour::ignoreRecenter)},
      {"recenter-delay-ms", "MS", "Clear the recenter flag only MS ms after it was raised",
       Milliseconds(&Behaviour::recenterDelay)},
      {"ignore-quit", nullptr, "Ignore the quit request (the close request still ends it)",
       Sets(&Behaviour::quitResponse, QuitResponse::kIgnore)},
      {"keep-running-after-quit", nullptr,
       "On the quit request destroy the session but keep running until the close request",
       Sets(&Behaviour::quitResponse, QuitResponse::kDestroySessionAndKeepRunning)},
      {"crash-on-quit", nullptr,
       "On the quit request crash, by the --crash signal (SEGV unless given), without destroying "
       "the session",
       Sets(&Behaviour::quitResponse, QuitResponse::kCrash)},
      {"render-desc-per-10s", "N",
       "Fetch the render descriptions at most N times in any 10 seconds (10 s / N apart; the "
       "last ones serve in between)",
       [](Behaviour& behaviour, const std::string& value) -> std::string {
         const auto count = WholeNumber(value, 1, 100000);
         if (!count) return "not a number of fetches (1 to 100000): " + value;
         behaviour.renderDescriptionsPer10s = static_cast<int>(*count);
         return {};
       }},
      {"fixed-render-pose", nullptr,
       "Keep the render poses of the first frame when the eye poses change",
       Flag(&Behaviour::fixedRenderPose)},
      {"ignore-display-lost", nullptr,
       "Keep submitting frames while the headset's display is lost (each fails with the "
       "display-lost error)",
       Sets(&Behaviour::displayLostResponse, DisplayLostResponse::kIgnore)},
      {"no-frames-after-display-lost", nullptr,
       "Stop submitting frames when the display is lost and never resume",
       Sets(&Behaviour::displayLostResponse, DisplayLostResponse::kStopForGood)},
      {"exit-on-display-lost", "CODE", "End with this exit code when the display is lost",
       [](Behaviour& behaviour, const std::string& value) {
         behaviour.displayLostResponse = DisplayLostResponse::kExit;
         return ExitCode(behaviour.displayLostExitCode, value);
       }},
      {"render-on-first-adapter", nullptr,
       "Render on the machine's first display adapter, whatever adapter the runtime names for "
       "the headset",
       Flag(&Behaviour::renderOnFirstAdapter)},
      {"bundled-runtime", nullptr,
       "Load the copy of the runtime library in the application's own folder",
       Flag(&Behaviour::bundledRuntime)},
      {"runtime-errors", "N",
       "Cause N runtime errors, one every 500 ms from 500 ms after the first frame on",
       Count(&Behaviour::runtimeErrors, "errors")},
      {"read-property", "NAME",
       "Read the runtime property NAME once a second (repeatable: every one given is read)",
       [](Behaviour& behaviour, const std::string& value) -> std::string {
         if (value.empty()) return "no property name";
         behaviour.propertiesRead.push_back(value);
         return {};
       }},
      {"audio-device", "DEVICE",
       "Play the sound on this device instead of the one the runtime selects: default (the "
       "system's), tarn (the headset's), both or none",
       [](Behaviour& behaviour, const std::string& value) -> std::string {
         static const std::map<std::string, AudioDevice> devices = {
             {"default", AudioDevice::kDefault},
             {"tarn", AudioDevice::kTarn},
             {"both", AudioDevice::kBoth},
             {"none", AudioDevice::kNone}};
         const auto device = devices.find(value);
         if (device == devices.end()) return "not default, tarn, both or none: " + value;
         behaviour.audioDevice = device->second;
         return {};
       }},
      {"sound-after-ms", "MS", "Start the sound this long after starting",
       Milliseconds(&Behaviour::soundDelay)},
  };
  return switches;
}

const Switch* FindSwitch(const std::string& name) {
  for (const Switch& entry : Switches()) {
    if (name == entry.name) return &entry;
  }
  return nullptr;
}

}  // namespace

SwitchesOutcome ParseSwitches(const std::vector<std::string>& arguments) {
  SwitchesOutcome outcome;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      outcome.helpRequested = true;
      continue;
    }
    if (argument.rfind("--", 0) != 0) {
      outcome.error = "unexpected argument: " + argument;
      return outcome;
    }
    const size_t equals = argument.find('=');
    const std::string name =
        argument.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
    const Switch* entry = FindSwitch(name);
    if (entry == nullptr) {
      outcome.error = "unknown switch: --" + name;
      return outcome;
    }
    std::string value;
    std::vector<std::string> consumed = {argument};
    if (entry->valueName != nullptr) {
      if (equals != std::string::npos) {
        value = argument.substr(equals + 1);
      } else if (i + 1 < arguments.size()) {
        value = arguments[++i];
        consumed.push_back(value);
      } else {
        outcome.error = "--" + name + " needs a value (" + entry->valueName + ")";
        return outcome;
      }
    } else if (equals != std::string::npos) {
      outcome.error = "--" + name + " takes no value";
      return outcome;
    }
    if (std::string error = entry->apply(outcome.behaviour, value); !error.empty()) {
      outcome.error = "--" + name + ": " + error;
      return outcome;
    }
    if (!entry->launcher) {
      outcome.applicationArguments.insert(outcome.applicationArguments.end(), consumed.begin(),
                                          consumed.end());
    }
  }
  return outcome;
}

std::string UsageText(const std::string& programName) {
  std::ostringstream text;
  text << "Usage: " << programName << " [SWITCH...]\n"
       << "A VR application for the simulated Corvia Tarn runtime. It renders at a chosen rate\n"
       << "and is well behaved unless a switch says otherwise.\n\n";
  for (const Switch& entry : Switches()) {
    text << "  --" << entry.name;
    if (entry.valueName != nullptr) text << " " << entry.valueName;
    text << "\n      " << entry.help << "\n";
  }
  text << "  --help, -h\n      Show this help\n";
  return text.str();
}

}  // namespace sampleapp
