#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace QasValidator {

/// Base address of the guideline pages on Corvia's developer documentation site.
inline constexpr char GuidelineBaseUrl[] =
    "https://developer.corvia.com/documentation/distribute/latest/concepts/";

/// Address of the SQM guideline page `id`, followed by "#" and `anchor` when the anchor is not
/// empty; empty for an unknown id.
std::string GetGuidelineUrl(int32_t id, std::string_view anchor = {});

/// Logs "Please refer to SQM Guidelines: " with the address of page `id`.
void CiteGuideline(int32_t id);

}  // namespace QasValidator
