#include "hosts/HostList.h"
