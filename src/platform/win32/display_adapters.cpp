#include "platform/display_adapters.h"

#include <dxgi.h>

// DXGI's adapters, read once when the factory is created: EnumAdapters in DXGI's order, each
// adapter's LUID from GetDesc.

namespace platform {

int32_t DisplayAdapterFactory::Create(std::optional<DisplayAdapterFactory>& factory) {
  factory.reset();
  IDXGIFactory* dxgi = nullptr;
  const HRESULT created =
      CreateDXGIFactory(__uuidof(IDXGIFactory), reinterpret_cast<void**>(&dxgi));
  if (FAILED(created)) return created;
  std::vector<AdapterLuid> adapters;
  IDXGIAdapter* adapter = nullptr;
  for (UINT index = 0; dxgi->EnumAdapters(index, &adapter) != DXGI_ERROR_NOT_FOUND; ++index) {
    if (adapter == nullptr) continue;
    DXGI_ADAPTER_DESC description{};
    const bool described = SUCCEEDED(adapter->GetDesc(&description));
    adapter->Release();
    adapter = nullptr;
    if (!described) continue;
    adapters.push_back({description.AdapterLuid.LowPart, description.AdapterLuid.HighPart});
  }
  dxgi->Release();
  factory.emplace(DisplayAdapterFactory(std::move(adapters)));
  return 0;
}

}  // namespace platform
