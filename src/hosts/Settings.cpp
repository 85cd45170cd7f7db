#include "hosts/Settings.h"
