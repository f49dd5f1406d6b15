#include "result_page.h"
