#include "lang/Languages.h"
