#ifndef ICCPROFILES_H
#define ICCPROFILES_H

#include <QByteArray>
#include <QString>

#include <memory>
#include <vector>

namespace Ops {
class Node;
}

// ICC profiles as the LUT layer sees them, through Little CMS: what a profile holds, a
// transform from one profile to another, and a device link made from a lattice. The LUT layer
// and the window link the implementation (the luticc library); the command-line program loads
// it on first use, so that text conversions never load Little CMS. A build without Little CMS
// has none, and backend() says why.
//
// Values cross this interface as plain numbers, never as the LUT layer's own types: the module
// links no LUT code. The one exception is the evaluator of a transform only Little CMS can
// compute, a calc/ops.h node whose code lives in the module (which is never unloaded).
namespace IccProfiles {

// A tone curve of a matrix/TRC profile.
struct Curve {
    enum Kind { Gamma, Table, Parametric } kind = Gamma;
    double gamma = 1.0;            // Gamma: y = x^gamma
    std::vector<float> table;      // Table: entries over 0..1, values 0..1, linear in between
    int type = 0;                  // Parametric: the ICC function type 0 to 4 ...
    double params[7] = {};         // ... and its parameters g, a, b, c, d, e, f
};

// One step of a table-based profile (a device link or abstract profile), in its own encoding.
struct Stage {
    enum Kind { Curves, Lattice, Matrix } kind = Curves;
    int size = 0;                  // Curves: entries per channel; Lattice: points per axis
    std::vector<float> values;     // Curves: size R G B triples; Lattice: size^3 triples, red slowest, blue fastest
    double matrix[3][4] = {};      // Matrix: out = m[i][0..2] . in + m[i][3]
};

struct Profile {
    QString deviceClass;           // the header's class signature ("mntr", "link", "abst" ...)
    QString colourSpace;           // data colour space ("RGB ")
    QString connection;            // connection space ("XYZ ", "Lab ", or a link's output space)
    double version = 0.0;          // 2.1, 4.3 ...
    QString description;           // the profile's description text
    QString copyright;

    // A display profile of colorants and tone curves.
    bool matrixShaper = false;
    double colorants[3][3] = {};   // rows X, Y, Z; columns the red, green and blue colorants (D50)
    Curve trc[3];

    // A table-based RGB-to-RGB transform (its AToB0): its steps when each is a curve set of
    // tables, a lattice or a matrix; empty when it holds other steps.
    std::vector<Stage> stages;
    // The same transform evaluated by Little CMS in single precision, for any form it takes;
    // nullptr for matrix/TRC profiles.
    std::shared_ptr<const Ops::Node> evaluator;
};

// What a device link holds: a lattice over 0..1 (values 0..1, red slowest, blue fastest), and
// a per-channel shaper before it when `shaperSize` is not 0.
struct Link {
    int size = 0;
    const float *lattice = nullptr;
    int shaperSize = 0;
    const float *shaper = nullptr; // shaperSize R G B triples
    QString description;
    QString copyright;
};

enum class Intent { Perceptual = 0, Relative = 1, Saturation = 2, Absolute = 3 };

// A profile for a transform between two: a file's bytes, or a built-in one by name.
struct Source {
    QByteArray bytes;              // the profile file; empty for a built-in
    QString builtIn;               // "sRGB", "Rec.709", "Display P3"
    QString name;                  // how the user named it, for messages
};

struct Backend {
    // Read a profile from its bytes (already checked to be a sound ICC file: header, tag
    // table and every tag inside the file). False with the reason.
    bool (*read)(const QByteArray &bytes, Profile *out, QString *why);
    // From RGB through `from` to RGB through `to`, as Little CMS transforms single-precision
    // floats. nullptr with the reason when either is no RGB profile or cannot be read.
    std::shared_ptr<const Ops::Node> (*pair)(const Source &from, const Source &to, Intent intent, QString *why);
    // A version 4 device link profile of `link`, as the bytes of its file.
    bool (*writeLink)(const Link &link, QByteArray *out, QString *why);
    // The built-in profile names `pair` takes.
    const char *const *builtIns;
};

// The ICC code, or nullptr with the reason when it cannot be had.
const Backend *backend(QString *why);

}

#endif
