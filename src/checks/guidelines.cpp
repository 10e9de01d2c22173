#include "checks/guidelines.h"

#include <map>

#include "log/validator_log.h"

namespace QasValidator {

namespace {

const std::map<int32_t, std::string>& GuidelinePages() {
  static const std::map<int32_t, std::string> pages = [] {
    const std::map<int32_t, std::string_view> paths = {
        {0, "publish-tarn-app-submission/"},
        {1, "sqm-pc-sdk-2/"},
        {2, "sqm-pc-sdk-3/"},
        {3, "sqm-pc-sdk-4/"},
        {4, "sqm-pc-audio-1/"},
        {5, "sqm-pc-input-1/"},
        {6, "sqm-pc-input-3/"},
        {7, "sqm-pc-input-4/"},
        {8, "sqm-pc-input-9/"},
        {9, "sqm-pc-performance-1/"},
        {10, "sqm-pc-performance-3/"},
        {12, "sqm-pc-security-2/"},
        {13, "sqm-pc-security-3/"},
    };
    std::map<int32_t, std::string> urls;
    for (const auto& [id, path] : paths) urls[id] = std::string(GuidelineBaseUrl).append(path);
    return urls;
  }();
  return pages;
}

}  // namespace

std::string GetGuidelineUrl(int32_t id, std::string_view anchor) {
  const auto page = GuidelinePages().find(id);
  if (page == GuidelinePages().end()) return {};
  std::string url = page->second;
  if (!anchor.empty()) url.append("#").append(anchor);
  return url;
}

void CiteGuideline(int32_t id) { LogInfo("Please refer to SQM Guidelines: ", GetGuidelineUrl(id)); }

}  // namespace QasValidator
