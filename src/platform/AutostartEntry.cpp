#include "platform/AutostartEntry.h"
