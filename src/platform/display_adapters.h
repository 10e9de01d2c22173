#pragma once

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

namespace platform {

/// The locally unique identifier of a display adapter (a LUID: low part, then high part).
struct AdapterLuid {
  uint32_t lowPart = 0;
  int32_t highPart = 0;

  bool operator==(const AdapterLuid&) const = default;
};

/// The HRESULT DXGI_ERROR_NOT_FOUND: there is no adapter at that index.
inline constexpr int32_t kDxgiErrorNotFound = static_cast<int32_t>(0x887A0002);

/// The machine's display adapters in DXGI's order: the factory of CreateDXGIFactory with its
/// EnumAdapters and each adapter's GetDesc, reduced to the adapter LUIDs. The list is taken
/// when the factory is created.
class DisplayAdapterFactory {
 public:
  /// Creates a factory (CreateDXGIFactory): 0 and the factory, or the failure's HRESULT and
  /// nothing.
  static int32_t Create(std::optional<DisplayAdapterFactory>& factory);

  /// The LUID of adapter `index` (EnumAdapters, GetDesc): 0, or DXGI_ERROR_NOT_FOUND past the
  /// last adapter.
  int32_t AdapterLuidAt(uint32_t index, AdapterLuid& luid) const;

 private:
  explicit DisplayAdapterFactory(std::vector<AdapterLuid> adapters)
      : adapters_(std::move(adapters)) {}

  std::vector<AdapterLuid> adapters_;
};

}  // namespace platform
