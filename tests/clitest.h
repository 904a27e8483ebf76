#ifndef CLITEST_H
#define CLITEST_H

// Running the built lutwright-cli as a user would, for the end-to-end tests.

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cmath>
#include <functional>

#include "calc/lutcalc.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"
#include "testutil.h"

namespace CliTest {

struct Run {
    int code = -1;
    QString out;
    QString err;
    QString all() const { return out + err; }
};

// `program` itself, wherever it was put.
inline Run runProgram(const QString &program, const QStringList &args,
                      const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
                      const QString &workDir = QString())
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(120000)) {
        const bool started = p.error() != QProcess::FailedToStart;
        p.kill();
        p.waitForFinished();
        r.err = started ? QStringLiteral("the program did not finish") : QStringLiteral("the program did not start: ") + p.errorString();
        return r;
    }
    const bool crashed = p.exitStatus() == QProcess::CrashExit;
    r.code = crashed ? -1 : p.exitCode();
    // A crash is said with its code (on Windows the status, such as c0000005), so that a
    // failing comparison of the code shows it.
    if (crashed)
        r.err = QStringLiteral("the program crashed (code %1): %2\n")
                    .arg(uint(p.exitCode()), 0, 16).arg(p.errorString());
    // Console text ends its lines with CR LF on Windows; the expectations use "\n".
    r.out = QString::fromUtf8(p.readAllStandardOutput()).replace(QLatin1String("\r\n"), QLatin1String("\n"));
    r.err += QString::fromUtf8(p.readAllStandardError()).replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return r;
}

// The built lutwright-cli.
inline Run run(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
               const QString &workDir = QString())
{
    return runProgram(QStringLiteral(LUTWRIGHT_CLI), args, env, workDir);
}

// A lattice of n points filled from f(r, g, b) at the node positions.
inline void fill3D(Read_LUTFile &m, int n, const std::function<void(float, float, float, float *)> &f)
{
    m.setSize3D(n, false);
    for (int r = 0; r < n; ++r)
        for (int g = 0; g < n; ++g)
            for (int b = 0; b < n; ++b)
                f(float(r) / float(n - 1), float(g) / float(n - 1), float(b) / float(n - 1), m.lut3D[r][g][b]);
}

inline void fill1D(Read_LUTFile &m, int n, const std::function<void(float, float *)> &f)
{
    m.setSize1D(n, false);
    for (int i = 0; i < n; ++i)
        f(float(i) / float(n - 1), m.lut1D[i]);
}

// A .cube of the n-point lattice f makes, R G B with the red index fastest; empty when it
// cannot be written.
inline QString writeCube(const QString &path, int n, const std::function<void(float, float, float, float *)> &f)
{
    Read_LUTFile m;
    fill3D(m, n, f);
    Write_LUTFile w;
    return w.WriteFile(TestUtil::side(Formats::Id::Cube, path, false, true, false), m) ? path : QString();
}

inline void identity3D(float r, float g, float b, float *o)
{
    o[0] = r;
    o[1] = g;
    o[2] = b;
}

// Empty when every node of the n-point lattice of `m` is within `tolerance` of what `expect`
// gives for the node's position; otherwise the first node that is not.
inline QString latticeDiffers(const Read_LUTFile &m, int n, const std::function<void(const float *, float *)> &expect,
                              float tolerance)
{
    if (m.lut3DSize != n || !m.lut3D)
        return QStringLiteral("a lattice of %1 points, not %2").arg(m.lut3DSize).arg(n);
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j)
            for (int k = 0; k < n; ++k) {
                const float p[3] = {float(i) / float(n - 1), float(j) / float(n - 1), float(k) / float(n - 1)};
                float want[3];
                expect(p, want);
                for (int c = 0; c < 3; ++c)
                    if (!(std::fabs(m.lut3D[i][j][k][c] - want[c]) <= tolerance))
                        return QStringLiteral("node %1 %2 %3 channel %4: %5, not %6")
                            .arg(i).arg(j).arg(k).arg(c).arg(double(m.lut3D[i][j][k][c])).arg(double(want[c]));
            }
    return QString();
}

// What a model does to one colour: through its lattice, or through its 1D table.
inline void eval(const Read_LUTFile &m, const float *in, float *out)
{
    if (m.lut3DSize > 0 && m.lut3D)
        LutCalc::Lut3D_Tetrahedral(in, out, m);
    else
        LutCalc::Lut1D_liner(in, out, m);
}

// The files in a folder, to see that nothing was left behind.
inline QStringList filesIn(const QString &dir)
{
    return QDir(dir).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

}

#endif
