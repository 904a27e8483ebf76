#ifndef FINDX_H
#define FINDX_H

// What LutCalc::FindX estimates for one unsampled source colour from the sampled colours
// around it.

#include <QVector>

#include "calc/lutcalc.h"
#include "calc/samplestore.h"

// One estimate: the lower and upper sampled colours bracketing the target, and the colour
// interpolated between them. `pair` numbers the (lower, upper) pairs in the order examined.
struct FindXEstimate {
    quint64 pair = 0;
    int lower[3] = {0, 0, 0};
    int upper[3] = {0, 0, 0};
    float colour[3] = {0.0f, 0.0f, 0.0f};
};

struct FindXResult {
    int target[3] = {0, 0, 0};
    bool exact = false;                    // the target itself was sampled
    float exactColour[3] = {0.0f, 0.0f, 0.0f};
    quint64 sampleCount = 0;
    quint64 lowerCount = 0;                // sampled colours at or below the target
    quint64 upperCount = 0;                // at or above
    quint64 pairs = 0;                     // pairs examined
    QVector<FindXEstimate> estimates;      // nearest brackets first
};

#endif
