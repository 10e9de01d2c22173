#include "support/guideline_line.h"

namespace testsupport {

std::string GuidelineLine(const std::string& path) {
  return "Please refer to SQM Guidelines: "
         "https://developer.corvia.com/documentation/distribute/latest/concepts/" +
         path + "\n";
}

}  // namespace testsupport
