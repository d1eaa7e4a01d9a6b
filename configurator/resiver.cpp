#include "resiver.h"
