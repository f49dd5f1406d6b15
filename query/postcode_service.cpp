#include "postcode_service.h"
