// The one-pass form of a run's conversion.
#ifndef JOINT2SI_FAST_REWRITE_H
#define JOINT2SI_FAST_REWRITE_H

#include "convert/fast_convert.h"
#include "convert/units.h"

/// The one-pass form of the run's conversion.
FastConversion conversion_for(const Conversion &conversion);

#endif
