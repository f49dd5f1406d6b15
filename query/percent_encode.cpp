#include "percent_encode.h"
