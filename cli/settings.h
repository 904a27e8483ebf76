#ifndef CLI_SETTINGS_H
#define CLI_SETTINGS_H

#include <QString>

#include <vector>

#include "cli/args.h"
#include "engine/cliformats.h"
#include "engine/convertjob.h"
#include "engine/lutio.h"

// The options several subcommands share, checked once.
struct Settings {
    CliFormats::Choice inFormat;                  // from --in-format; empty when not given
    LutIO::Orders inOrders;
    LutIO::Orders outOrders;
    const Formats::Format *outFormat = nullptr;   // from --to
    LutIO::Shape shape;
    qint64 scale = 0;           // 0 when not given: the format's own default
    int bits = 0;               // --bits; 0 when not given: the format's own depth
    bool headerless = false;    // --headerless: the .3dl form without its Mesh lines
    bool strict = false;        // --strict: a conversion that loses anything fails instead
    int threads = 1;
    QString cdlId;              // --cdl-id: the correction read of a .ccc or .cdl
    // --cdl or --cdl-file: an ASC CDL put before each input's LUT, or after it (--cdl-after).
    LutTransform grade;
    bool gradeAfter = false;

    // Option specs of these settings, to be added to a subcommand's own.
    static void addInputOptions(std::vector<OptionSpec> &specs);
    static void addOutputOptions(std::vector<OptionSpec> &specs);
    static void addThreadsOption(std::vector<OptionSpec> &specs);
    static void addGradeOptions(std::vector<OptionSpec> &specs);

    // Read what `args` holds of them; false with `error` on a bad value.
    bool read(Args &args, QString *error);
    // Parse a subcommand's arguments by `specs` into `args` and these settings; false when the
    // command line is wrong, which has then been reported.
    bool parse(const QStringList &arguments, const std::vector<OptionSpec> &specs, Args &args);

    // The scale for an output format: --scale, else the format's default.
    qint64 scaleFor(const Formats::Format &format) const;
    // The readers' and writers' settings from --cdl-id, --bits and --headerless.
    Formats::Options options() const;
    // What the conversion engine takes of these settings.
    Convert::Settings conversion() const;
    // The output format: --to, else from the output path (of the formats sharing its extension,
    // one whose name the file's name holds, as "grade_hald.png"); nullptr with `error` when it
    // cannot be written.
    const Formats::Format *outputFormat(const QString &outPath, QString *error) const;
    // Whether --size / --length fit the output format (a .3dl, a texture or a Hald image holds
    // only some lattice sizes); false with `error` otherwise.
    bool shapeFits(const Formats::Format &format, QString *error) const;
};

#endif
