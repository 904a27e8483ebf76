#ifndef CALC_TRANSFORM_H
#define CALC_TRANSFORM_H

#include <QPair>
#include <QString>
#include <QVector>

#include <cstddef>
#include <memory>
#include <vector>

#include "calc/ops.h"

class Read_LUTFile;

// What a LUT file does, as its format defines it: a short chain of steps applied in order.
// A step is either the tables of a model or one process node (matrix, CDL, range, log, curve
// and the other nodes of calc/ops.h).
//
// Tables: the model's 1D table, when the step uses it, is a per-channel shaper over its own
// input domain (domainMin1D .. domainMax1D, linear between entries, the end entries beyond);
// then its lattice, when used, is looked up tetrahedrally over its domain (domainMin3D ..
// domainMax3D). Values are as the file means them: floats as read, integers divided by their
// full-scale code, nothing clamped that the format does not clamp.
//
// Steps are shared and never changed once added, so a transform copies cheaply.
class LutTransform
{
public:
    struct Step {
        std::shared_ptr<const Read_LUTFile> tables;
        bool shaper = false;    // apply the model's 1D table
        bool lattice = false;   // apply the model's lattice
        std::shared_ptr<const Ops::Node> node;
    };

    // What the file said about itself (as Read_LUTFile::metadata), for info and writers.
    QVector<QPair<QString, QString>> metadata;

    // A transform of one model's tables: its 1D table then its lattice, each if it has one.
    static LutTransform ofTables(std::shared_ptr<const Read_LUTFile> model);
    // The same without owning the model, which must outlive the transform.
    static LutTransform viewOf(const Read_LUTFile &model);
    // The model looked up as the numbered path compares it: its lattice, or its 1D table
    // when it has no lattice (a 1D table beside a lattice is not applied).
    static LutTransform latticeViewOf(const Read_LUTFile &model);

    void addTables(std::shared_ptr<const Read_LUTFile> model);
    void addNode(std::shared_ptr<const Ops::Node> node);
    // This transform, then `next`.
    void append(const LutTransform &next);

    const std::vector<Step> &steps() const { return steps_; }
    bool isEmpty() const { return steps_.empty(); }

    // The model when the transform is nothing but one step of tables, else nullptr.
    const Read_LUTFile *tables() const;
    // Whether that step has a shaper and a lattice.
    bool hasShaper() const;
    bool hasLattice() const;

    // Whether a step acts on each channel alone (a 1D table without a lattice, a curve, a range,
    // a log or exponent, a matrix without cross terms, a CDL without saturation).
    static bool separable(const Step &step);

    // Apply to `count` RGB triples (in and out may be the same array).
    void apply(const float *in, float *out, std::size_t count) const;
    void apply(float *rgb) const { apply(rgb, rgb, 1); }

    // The input box the transform is defined over: the domain of its first table when it starts
    // with tables, the span of its points when it starts with a curve, else 0 to 1.
    void domain(float *min, float *max) const;
    // Lattice points per axis of its largest lattice, 0 without one; entries of its largest 1D
    // table or curve, 0 without one.
    int latticeSize() const;
    int shaperSize() const;
    // The smallest and largest output value of the last step's table (per channel), when the
    // transform ends in tables; false otherwise.
    bool tableRange(float *min, float *max) const;

private:
    std::vector<Step> steps_;
};

#endif
