#include "query_worker.h"
