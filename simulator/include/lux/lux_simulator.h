/* Functions that only the simulated Corvia Tarn runtime offers, for applications that test
 * how tools react to the runtime. Like the internal functions, they are not exported: a client
 * asks for them by name with lux_Lookup, which stores the function's address in a pointer
 * variable of the type declared here. A real runtime answers lux_Lookup for these names with
 * luxError_LibVersion. */
#ifndef LUX_SIMULATOR_H
#define LUX_SIMULATOR_H

#include "lux/lux_capi.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Makes the runtime report the runtime error `code` (negative) with `text` for the calling
 * process in its realtime event stream, as if one of the process's calls had failed with it.
 * `notCounted` marks the error as one that tools neither count nor print. Name for
 * lux_Lookup: "luxsim_RaiseRuntimeError". */
typedef luxResult luxsim_RaiseRuntimeError_Fn(luxResult code, const char* text, luxBool notCounted);

/* Plugs the simulated headset's HDMI cable in (`connected` true) or pulls it out, as an
 * operator's hand or a breaker box does. Name for lux_Lookup: "luxsim_SetHdmiCable". */
typedef luxResult luxsim_SetHdmiCable_Fn(luxBool connected);

/* Tells the runtime on which display adapter the application renders the frames of `session`,
 * which a real runtime learns from the application's graphics device. Frames rendered on
 * another adapter than the headset's (the one lux_Create names) never reach the headset: the
 * runtime answers them with luxSuccess_NotVisible and takes none. Name for lux_Lookup:
 * "luxsim_SetRenderAdapter". */
typedef luxResult luxsim_SetRenderAdapter_Fn(luxSession session, luxGraphicsLuid adapter);

#ifdef __cplusplus
}
#endif

#endif /* LUX_SIMULATOR_H */
