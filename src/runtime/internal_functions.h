#pragma once

#include <cstdint>

#include "lux/lux_internal.h"

// The runtime's internal functions the program calls. Each is a pointer variable named like
// the function; it answers luxError_LibVersion (-3002) until BindInternalFunctions binds it
// through lux_Lookup, and stays bound after the runtime shuts down.
extern luxi_EnableRealtimeEventOutput_Fn* luxi_EnableRealtimeEventOutput;
extern luxi_ReportGenericMetrics_Fn* luxi_ReportGenericMetrics;

namespace LuxLoader {

/// One internal function to bind: the pointer variable and the runtime's name for it.
/// Records link themselves into one process-wide list during static initialisation, each new
/// record at the head.
class InternalFunctionRegistration {
 public:
  InternalFunctionRegistration(void** variable, const char* name);
  InternalFunctionRegistration(const InternalFunctionRegistration&) = delete;
  InternalFunctionRegistration& operator=(const InternalFunctionRegistration&) = delete;

  static const InternalFunctionRegistration* Head();
  const InternalFunctionRegistration* Next() const { return next_; }
  const char* Name() const { return name_; }
  void** Variable() const { return variable_; }

 private:
  void** variable_;
  const char* name_;
  const InternalFunctionRegistration* next_;
};

/// Binds every registered internal function through lux_Lookup, from the head of the list.
/// A name the runtime does not offer (-3002) is skipped; any other negative result stops the
/// walk and is returned. 0 at the end.
int32_t BindInternalFunctions();

}  // namespace LuxLoader
