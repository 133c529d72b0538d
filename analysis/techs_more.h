// Every built-in indicator class, for the callers that take them all: the price-pane ones and MACD
// (techs.h), the families below (each class whole in its header and source) and the cost
// distribution.
#pragma once

#include "analysis/techs.h"
#include "analysis/techs_cost.h"
#include "analysis/techs_momentum.h"
#include "analysis/techs_own.h"
#include "analysis/techs_price.h"
#include "analysis/techs_range.h"
#include "analysis/techs_volume.h"
