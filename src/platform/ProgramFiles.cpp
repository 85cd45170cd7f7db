#include "platform/ProgramFiles.h"
