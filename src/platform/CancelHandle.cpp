#include "platform/CancelHandle.h"
