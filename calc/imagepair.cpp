// Running the whole on a pair of image files and writing what it found: every sample to a dump
// and the estimates for three greys to a report.

#include "calc/imagepair.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTextStream>

namespace {

QString diagnosticsFolder(const QString &requested)
{
    if (!requested.isEmpty())
        return requested;
    return QDir(QStandardPaths::writableLocation(QStandardPaths::TempLocation)).filePath(QStringLiteral("lutwright-imagepair"));
}

bool writeDump(const QString &path, const ImagePairSamples &samples)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&file);
    out.setRealNumberNotation(QTextStream::FixedNotation);
    for (quint64 i = 0; i < samples.list.size(); ++i) {
        const SampleRecord *s = samples.list[i];
        const float *c = samples.map.cell(s->red, s->green, s->blue);
        out << s->red << ' ' << s->green << ' ' << s->blue << ' ' << c[0] << ' ' << c[1] << ' ' << c[2] << '\n';
    }
    out.flush();
    return out.status() == QTextStream::Ok && file.error() == QFileDevice::NoError;
}

}

ImagePairResult LutCalc::JPG_to_lut3d(const QString &sourcePath, const QString &targetPath,
                                      const QString &diagnosticsDir, quint64 maxPairs)
{
    ImagePairResult result;
    ImagePairSamples samples;
    if (!sampleImagePair(sourcePath, targetPath, samples, &result.errorString))
        return result;
    result.ok = true;
    result.sampleCount = samples.count;

    // The dump and the report are diagnostics: the estimates are returned whether or not they
    // can be written.
    const QString folder = diagnosticsFolder(diagnosticsDir);
    const bool haveFolder = QDir().mkpath(folder);
    const QString dumpPath = QDir(folder).filePath(QStringLiteral("samples.txt"));
    if (haveFolder && writeDump(dumpPath, samples))
        result.dumpPath = dumpPath;
    else
        qWarning() << "cannot write the sample dump to" << dumpPath;

    const QString reportPath = QDir(folder).filePath(QStringLiteral("report.txt"));
    QFile reportFile(reportPath);
    const bool reportOpen = haveFolder && reportFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text);
    QTextStream report(&reportFile);
    if (!reportOpen)
        qWarning() << "cannot write the report to" << reportPath;

    static const int greys[] = {128, 32, 64};
    for (int grey : greys) {
        const int target[3] = {grey, grey, grey};
        result.estimates.push_back(FindX(target, nullptr, nullptr, samples.list.data(), samples.list.size(),
                                         samples.map, reportOpen ? &report : nullptr, maxPairs));
    }
    if (reportOpen) {
        report.flush();
        if (report.status() == QTextStream::Ok && reportFile.error() == QFileDevice::NoError)
            result.reportPath = reportPath;
    }
    return result;
}
