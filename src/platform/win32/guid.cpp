#include "platform/guid.h"

#include <objbase.h>

#include <cstring>

namespace platform {

Guid NewGuid() {
  GUID created{};
  if (FAILED(CoCreateGuid(&created))) return Guid{};
  Guid guid;
  guid.data1 = created.Data1;
  guid.data2 = created.Data2;
  guid.data3 = created.Data3;
  std::memcpy(guid.data4, created.Data4, sizeof guid.data4);
  return guid;
}

}  // namespace platform
