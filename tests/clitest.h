#ifndef CLITEST_H
#define CLITEST_H

// Running the built lutwright-cli as a user would, for the end-to-end tests.

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>

#include "calc/lutcalc.h"
#include "lut/read_lutfile.h"

namespace CliTest {

struct Run {
    int code = -1;
    QString out;
    QString err;
    QString all() const { return out + err; }
};

inline Run run(const QStringList &args, const QProcessEnvironment &env = QProcessEnvironment::systemEnvironment(),
               const QString &workDir = QString())
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(LUTWRIGHT_CLI), args);
    Run r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("the program did not finish");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
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
