// The engine identification an application reports (four texts, split at line ends in the
// input: engine name, engine version, plug-in name, plug-in version): every text is parsed as
// a version, the versions are compared, and TestSdkVersion judges the engine.
//
// Checks: of two versions, exactly one of a >= b and a < b holds, and a version matches
// itself.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "checks/engine_version.h"
#include "checks/sdk_judgements.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
  std::vector<std::string> texts(4);
  for (std::string& text : texts) std::getline(lines, text);
  std::vector<std::shared_ptr<QasUtils::EngineVersion>> versions;
  for (const std::string& text : texts) {
    if (auto version = QasUtils::EngineVersion::Parse(text)) versions.push_back(version);
  }
  versions.push_back(std::make_shared<QasUtils::EngineVersion>(5, 6, 4));
  versions.push_back(std::make_shared<QasUtils::EngineVersion>(4, 12, -1));
  for (const auto& a : versions) {
    if (!a->Matches(*a)) std::abort();
    for (const auto& b : versions) {
      if ((*a >= *b) == (*a < *b)) std::abort();
    }
  }
  QasValidator::JudgeEngine(
      QasValidator::EngineIdentification{texts[0], texts[1], texts[2], texts[3]});
  return 0;
}
