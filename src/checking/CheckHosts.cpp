#include "checking/CheckHosts.h"
