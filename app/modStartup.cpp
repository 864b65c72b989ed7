#include "app/modStartup.h"
