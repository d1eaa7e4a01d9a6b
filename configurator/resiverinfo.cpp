#include "resiverinfo.h"
