#include "massiveadr.h"
