#include "platform/IntegerText.h"
