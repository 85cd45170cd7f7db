#include "platform/TimeFormat.h"
