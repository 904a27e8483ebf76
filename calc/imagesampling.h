#ifndef IMAGESAMPLING_H
#define IMAGESAMPLING_H

// Sampling a pair of images of the same scene (a source and the same picture after a grade):
// which target colour each distinct 8-bit source colour became.

#include <QSize>
#include <QString>

#include "calc/samplestore.h"
#include "calc/sampletree.h"

// Everything sampled from one pair of images; released with the object.
struct ImagePairSamples {
    SampleMap map;
    DATA_3D_ST tree;
    SampleList list;      // sampled colours, red code slowest, blue code fastest
    quint64 count = 0;
    QSize size;           // of both images
};

// Pairs the images pixel by pixel. Both must load and have the same size, which is checked
// from their headers before any pixel is decoded. False with a reason otherwise.
bool sampleImagePair(const QString &sourcePath, const QString &targetPath, ImagePairSamples &samples, QString *error);

#endif
