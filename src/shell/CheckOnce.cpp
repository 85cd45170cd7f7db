#include "shell/CheckOnce.h"
