// Our declaration of the Windows programming interface for the simulated machine: the names, widths and
// values of the 32-bit Windows API as the system uses them. Written from the API's documentation.
#pragma once

#include "sim/api/types.h"
#include "sim/api/kernel.h"
#include "sim/api/registry.h"
#include "sim/api/security.h"
#include "sim/api/user.h"
#include "sim/api/files.h"
#include "sim/api/profile.h"
#include "sim/api/com.h"
#include "sim/api/crt.h"
#include "sim/api/resources.h"
#include "sim/api/setupapi.h"
#include "sim/api/mmsystem.h"
