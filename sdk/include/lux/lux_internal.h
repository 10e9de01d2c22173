/* Internal functions of the Corvia Tarn runtime, for Corvia's own tools. They are not
 * exported: a client asks for them by name with lux_Lookup, which stores the function's
 * address in a pointer variable of the type declared here. A runtime that does not offer a
 * name answers lux_Lookup with luxError_LibVersion. */
#ifndef LUX_INTERNAL_H
#define LUX_INTERNAL_H

#include "lux/lux_capi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Switches the runtime's stream of realtime event records on or off. */
typedef luxResult luxi_EnableRealtimeEventOutput_Fn(luxBool enable);

/* One field of a usage-metrics event. */
typedef struct luxiMetricField_ {
  const char* Key;
  const char* Value;
} luxiMetricField;
LUX_STATIC_ASSERT(sizeof(luxiMetricField) == 2 * sizeof(const char*));

/* Hands one usage-metrics event, `fieldCount` key/value fields, to the runtime, which records it
 * under `category`. `flags` is reserved and must be 0. */
typedef luxResult luxi_ReportGenericMetrics_Fn(const char* category, const luxiMetricField* fields,
                                               int32_t fieldCount, uint32_t flags);

#ifdef __cplusplus
}
#endif

#endif /* LUX_INTERNAL_H */
