#include "checking/AddressKind.h"
