/* The SDK header compiled as C: the sizes a C application sees. */
#include <stddef.h>

#include "lux/lux_internal.h"

size_t LuxCapiLayoutFromC(int which) {
  switch (which) {
    case 0:
      return sizeof(luxErrorInfo);
    case 1:
      return sizeof(luxInitParams);
    case 2:
      return sizeof(luxGraphicsLuid);
    case 3:
      return sizeof(luxPosef);
    case 4:
      return sizeof(luxSessionStatus);
    case 5:
      return offsetof(luxEyeRenderDesc, HmdToEyePose);
    case 6:
      return sizeof(luxiMetricField);
    default:
      return 0;
  }
}
