#ifndef IMAGEPAIR_H
#define IMAGEPAIR_H

// Colour samples taken from a pair of images of the same scene (a source and the same picture
// after a grade): which target colour each distinct 8-bit source colour became. They are held
// in a dense map over all 256^3 source codes and in a sparse sorted tree; LutCalc::FindX
// estimates the target of an unsampled source colour from sampled colours around it, and
// LutCalc::JPG_to_lut3d runs the whole and writes what it found.

#include <QString>
#include <QVector>

#include "calc/findx.h"
#include "calc/imagesampling.h"
#include "calc/lutcalc.h"

struct ImagePairResult {
    bool ok = false;
    QString errorString;
    quint64 sampleCount = 0;
    QString dumpPath;                      // every sample; empty when it could not be written
    QString reportPath;                    // the estimates; empty when it could not be written
    QVector<FindXResult> estimates;        // for the greys 128, 32 and 64, in that order
};

#endif
