#ifndef FORMATS_CDL_H
#define FORMATS_CDL_H

#include <QPair>
#include <QString>
#include <QVector>

#include <vector>

#include "calc/ops.h"

class QIODevice;

// The ASC Color Decision List files (.cc, .ccc, .cdl): the parser shared by the three registry
// entries of formats/cdl.cpp, and the rules a correction's numbers follow, which the command
// line's --cdl shares.
namespace Cdl {

struct Correction {
    int line = 0;
    bool hasId = false;
    QString id;
    QString ref;   // a ColorCorrectionRef: its numbers are in another file
    float slope[3] = {1, 1, 1};
    float offset[3] = {0, 0, 0};
    float power[3] = {1, 1, 1};
    float saturation = 1.0f;
    QVector<QPair<QString, QString>> metadata;   // its descriptions, in file order
};

struct Document {
    enum Kind { Single, Collection, DecisionList } kind = Single;
    QVector<QPair<QString, QString>> metadata;   // the collection's or list's own descriptions
    std::vector<Correction> corrections;
};

// Parse a .cc, .ccc or .cdl document (any of the three roots, whatever the extension). False
// with the reason, "line N: ...".
bool parse(QIODevice &device, Document &doc, QString *why);
bool parseFile(const QString &path, Document &doc, QString *why);

// The correction `id` names: the first whose id it is, else the one at that place counted
// from 1; the first when `id` is empty. -1 with the reason when none is.
int pick(const Document &doc, const QString &id, QString *why);

// Whether the numbers make a correction: all finite, every power above 0.
bool check(const Ops::AscCdl &cdl, QString *why);

// The command line's form "S,O,P,SAT" (one slope, offset and power for all three channels)
// or "SR,SG,SB,OR,OG,OB,PR,PG,PB,SAT", as a node of the Fwd style.
bool parseNumbers(const QString &text, Ops::AscCdl &cdl, QString *why);

}

#endif
