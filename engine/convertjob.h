#ifndef ENGINE_CONVERTJOB_H
#define ENGINE_CONVERTJOB_H

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <functional>
#include <vector>

#include "calc/transform.h"
#include "engine/cliformats.h"
#include "engine/devices.h"
#include "engine/lutio.h"

// Converting files, for every front end: one file read with the input options, shaped for the
// output format, checked for what that loses and written through a temporary file renamed into
// place; a batch of them on threads. Nothing here prints or words a message for a front end:
// results come back as data through a listener.
namespace Convert {

// Everything a conversion takes besides the files.
struct Settings {
    CliFormats::Choice inFormat;     // read every input as one of these; empty: by its name
    LutIO::Orders inOrders;
    LutIO::Orders outOrders;
    LutIO::Shape shape;
    Formats::Options options;        // bits, headerless (the source's name is set per file)
    qint64 scale = 0;                // integer full scale written; 0: the format's own default
    bool strict = false;             // a conversion that would lose anything fails instead
    LutTransform grade;              // a CDL put before every input, or after it (gradeAfter)
    bool gradeAfter = false;
    LutTransform profiles;           // the transform between two ICC profiles, after every input
    QString profilesName;            // "A to B": the source's name when the pair alone is converted
    const Devices::Device *device = nullptr;   // outputs made to fit this device
    Devices::Range range = Devices::Range::Full;   // the range the inputs were made for

    qint64 scaleFor(const Formats::Format &format) const { return scale > 0 ? scale : format.defaultScale; }
};

// Why an output was refused before anything ran.
enum class Refusal {
    None,
    ReplacesItself,   // the output is the input's own file
    ReplacesInput,    // the output is another input's file (`other`)
    AlreadyMade,      // another input (`other`) makes the same output
};

// One file to convert.
struct Request {
    QString input;                   // empty: the profile pair alone is the source
    QString output;
    Refusal refusal = Refusal::None;
    QString other;                   // the input a refusal names
};

// How one file ended.
struct Outcome {
    enum Kind {
        Written,        // the output is in place (see loss and writeWarning)
        Failed,         // reading, shaping or writing failed: `failure` says why
        StrictRefused,  // not written, since it would lose what `loss` says
        Refused,        // not run: the request's refusal
    };
    Kind kind = Failed;
    QString failure;
    // What the conversion loses (any() is false when nothing); given whether or not the output
    // was then written.
    LutIO::Loss loss;
    // Something else about a written output that the user should know.
    QString writeWarning;
    // The file written: the request's output, or the name a device asks for.
    QString output;
    // What was changed so that the device takes the output.
    QStringList deviceChanges;

    bool written() const { return kind == Written; }
};

// Convert `input` into `output` in `format`.
Outcome convertFile(const QString &input, const QString &output, const Formats::Format &format, const Settings &settings);

// The path a file has or would have, with links and "." / ".." resolved, to tell whether two
// names mean the same file.
QString identity(const QString &path);

// Requests for `inputs`, each output named by `outputFor`, refusing an output that would replace
// an input or that another input also makes (the first input to name it keeps it). With a
// device, the name it makes of each output is the one compared.
std::vector<Request> plan(const QStringList &inputs, const std::function<QString(const QString &)> &outputFor,
                          const Devices::Device *device = nullptr);

// The file name an output pattern gives an input: `{name}` is the input's name without its
// extension, `{ext}` its extension, `{format}` the output format's name and `{folder}` the
// input's folder relative to the folder it was found in (`folder`; "" for a file named alone),
// and the output format's extension is appended. Empty when the name would be empty, absolute,
// or leave its folder through "..".
QString patternName(const QString &pattern, const QString &input, const QString &folder, const Formats::Format &format);
// The pattern the command line's -d uses: NAME.EXT.
inline QString defaultPattern() { return QStringLiteral("{name}"); }

// What a batch reports. Calls come from the worker threads, one at a time.
class Listener
{
public:
    virtual ~Listener();
    virtual void started(std::size_t index);
    virtual void finished(std::size_t index, const Request &request, const Outcome &outcome) = 0;
};

struct BatchResult {
    int total = 0;
    int failed = 0;   // every outcome but Written
    int notRun = 0;   // left when the batch was stopped
};

// Convert every request in `format` on up to `threads` threads. Once `stop` is set no new file
// starts; the files being written finish.
BatchResult run(const std::vector<Request> &requests, const Formats::Format &format, const Settings &settings,
                int threads, Listener &listener, const std::atomic<bool> &stop);

}

#endif
