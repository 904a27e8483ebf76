// Our side of scripts/crosscheck.d/clf.sh: prints what this program makes of CLF and .cube
// files, one node per line ("R G B", nine significant digits, red index slowest).
//
//   clfdump eval FILE.clf N        the chain evaluated at every node of an N-point lattice
//   clfdump read FILE [N]          the model a read gives (a CLF chain baked at N points)
//   clfdump write IN.cube OUT.clf  a .cube written as CLF
//   clfdump apply FILE N [LO HI [ID]]  any file read faithfully (its format told by its name;
//                                  of a .ccc or .cdl the correction ID, else the first),
//                                  evaluated at every node of an N-point lattice over LO to HI
//                                  (default 0 to 1)

#include <QCoreApplication>
#include <QLoggingCategory>

#include <cstdio>

#include "formats/clf.h"
#include "formats/faithful.h"
#include "formats/registry.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

void print(const float *v)
{
    std::printf("%.9g %.9g %.9g\n", double(v[0]), double(v[1]), double(v[2]));
}

int fail(const QString &why)
{
    std::fprintf(stderr, "clfdump: %s\n", qPrintable(why));
    return 1;
}

bool readAny(Read_LUTFile &lut, const QString &path, int bakeSize)
{
    if (path.endsWith(QLatin1String(".clf"), Qt::CaseInsensitive)) {
        Formats::Options options;
        options.bakeSize = bakeSize;
        return Read_Clf(lut, path, false, options);
    }
    LUTFILE_ST side;
    side.path = path;
    side.formatId = qint32(Formats::Id::Cube);
    return lut.ReadFile(side, false);
}

}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 3 && args[0] == QLatin1String("eval")) {
        Clf::Document doc;
        QString why;
        if (!Clf::parseFile(args[1], false, doc, &why))
            return fail(why);
        const int n = args[2].toInt();
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b) {
                    float rgb[3] = {float(r) / float(n - 1), float(g) / float(n - 1), float(b) / float(n - 1)};
                    doc.chain.apply(rgb);
                    print(rgb);
                }
        return 0;
    }
    if (args.size() >= 2 && args[0] == QLatin1String("read")) {
        Read_LUTFile lut;
        if (!readAny(lut, args[1], args.size() > 2 ? args[2].toInt() : 0))
            return fail(lut.errorString);
        const int n = lut.lut3DSize;
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b)
                    print(lut.lut3D[r][g][b]);
        for (int i = 0; n == 0 && i < lut.lut1DSize; ++i)
            print(lut.lut1D[i]);
        return 0;
    }
    if (args.size() >= 3 && args[0] == QLatin1String("write")) {
        Read_LUTFile lut;
        if (!readAny(lut, args[1], 0))
            return fail(lut.errorString);
        Write_LUTFile writer;
        Formats::Options options;
        options.sourceName = args[1];
        if (!Write_Clf(writer, args[2], lut, options))
            return fail(writer.errorString);
        return 0;
    }
    if (args.size() >= 3 && args[0] == QLatin1String("apply")) {
        QString why;
        const Formats::Format *format = Formats::detect(args[1], &why);
        if (!format)
            return fail(why);
        LUTFILE_ST side;
        side.path = args[1];
        side.formatId = qint32(format->id);
        Formats::Options options;
        options.cdlId = args.value(5);
        LutTransform t;
        if (!Formats::readTransform(*format, side, options, t, &why))
            return fail(why);
        const int n = args[2].toInt();
        const float lo = args.size() > 4 ? args[3].toFloat() : 0.0f, hi = args.size() > 4 ? args[4].toFloat() : 1.0f;
        auto at = [&](int i) { return lo + (hi - lo) * (float(i) / float(n - 1)); };
        for (int r = 0; r < n; ++r)
            for (int g = 0; g < n; ++g)
                for (int b = 0; b < n; ++b) {
                    float rgb[3] = {at(r), at(g), at(b)};
                    t.apply(rgb);
                    print(rgb);
                }
        return 0;
    }
    std::fprintf(stderr, "usage: clfdump eval FILE.clf N | read FILE [N] | write IN.cube OUT.clf | apply FILE N [LO HI [ID]]\n");
    return 2;
}
