#include "main_window/frmMain.h"
