#include "platform/display_adapters.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <string>
#include <system_error>

#include "platform/machine.h"

// The display adapters are the DRM cards that sysfs lists under the machine prefix
// (sys/class/drm/cardN), in the order of N. An adapter's LUID stands for the device that drives
// the card: the 64-bit FNV-1a hash of the device's canonical path (of the card itself when it
// names no device), low half first. It is the same for every program of the machine and stays
// while the device is there.

namespace platform {

namespace {

struct Card {
  uint32_t number;
  AdapterLuid luid;
};

/// N of a name "cardN"; nothing for other names (connectors such as "card0-HDMI-A-1",
/// render nodes, "version").
std::optional<uint32_t> CardNumber(const std::string& name) {
  constexpr std::string_view kCard = "card";
  if (name.size() <= kCard.size() || name.compare(0, kCard.size(), kCard) != 0) return {};
  uint32_t number = 0;
  const char* end = name.data() + name.size();
  const auto [last, error] = std::from_chars(name.data() + kCard.size(), end, number);
  if (error != std::errc() || last != end) return {};
  return number;
}

AdapterLuid LuidOfDevice(const std::filesystem::path& card) {
  std::error_code error;
  std::filesystem::path device = std::filesystem::canonical(card / "device", error);
  if (error) device = std::filesystem::weakly_canonical(card, error);
  uint64_t hash = 0xcbf29ce484222325ull;
  for (const char c : device.string()) {
    hash ^= static_cast<uint8_t>(c);
    hash *= 0x100000001b3ull;
  }
  return {static_cast<uint32_t>(hash), static_cast<int32_t>(static_cast<uint32_t>(hash >> 32))};
}

}  // namespace

int32_t DisplayAdapterFactory::Create(std::optional<DisplayAdapterFactory>& factory) {
  factory.reset();
  std::error_code error;
  std::filesystem::directory_iterator entries(MachinePath("sys/class/drm"), error);
  std::vector<Card> cards;
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    const std::filesystem::path& path = entries->path();
    if (const std::optional<uint32_t> number = CardNumber(path.filename().string())) {
      cards.push_back({*number, LuidOfDevice(path)});
    }
  }
  // A system error as an HRESULT (HRESULT_FROM_WIN32).
  if (error)
    return static_cast<int32_t>(0x80070000u | (static_cast<uint32_t>(error.value()) & 0xFFFFu));
  std::sort(cards.begin(), cards.end(),
            [](const Card& a, const Card& b) { return a.number < b.number; });
  std::vector<AdapterLuid> adapters;
  for (const Card& card : cards) adapters.push_back(card.luid);
  factory.emplace(DisplayAdapterFactory(std::move(adapters)));
  return 0;
}

}  // namespace platform
