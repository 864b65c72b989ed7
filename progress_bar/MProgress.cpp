#include "progress_bar/MProgress.h"
