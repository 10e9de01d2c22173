/* The SDK headers compiled as C: their layout checks hold for C applications too. */
#include "lux/lux_internal.h"
