// The SDK header of this name, as the headers widl generates from our interface definitions
// include it: on POSIX everything it would declare comes from the platform layer.
#pragma once
#include "zov/win32.h"
