// The whole window framework.
#pragma once

#include "winfw/ctrls.h"
#include "winfw/dblbuf.h"
#include "winfw/dialog.h"
#include "winfw/frame.h"
#include "winfw/gdi.h"
#include "winfw/module.h"
#include "winfw/msgloop.h"
#include "winfw/theme.h"
#include "winfw/typedmap.h"
#include "winfw/types.h"
#include "winfw/window.h"
