#include "platform.h"

PlatformHooks platform;
