#include "net/NetProbes.h"
