#include "gbk.h"
