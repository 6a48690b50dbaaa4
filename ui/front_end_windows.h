// The front end of the desktop program's runs: the dialog's fields.
#pragma once

#include "run/front_end.h"

// The one front end of the dialog (its monitor and result fields).
FrontEnd& dialogFrontEnd();
