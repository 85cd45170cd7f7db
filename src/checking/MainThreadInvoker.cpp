#include "checking/MainThreadInvoker.h"
