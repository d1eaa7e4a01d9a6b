#include "adjview.h"
