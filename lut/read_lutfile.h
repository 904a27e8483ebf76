#ifndef READ_LUTFILE_H
#define READ_LUTFILE_H

#include <QObject>
#include <QPair>
#include <QString>
#include <QVector>

#include <vector>

#include "lut/lutfile_st.h"
#include "lut/luttable.h"

class LineReader;

// The in-memory LUT: an optional 3D lattice of RGB triples indexed [red][green][blue], an
// optional 1D table, their input domains and the order flags of the file being read, with the
// two store rules every reader puts its samples through. The reading dispatch, the format
// labels and the seventeen readers declared here are defined under formats/, where the format
// registry describes every format; formats added since are free functions there, not members.
class Read_LUTFile : public QObject
{
    Q_OBJECT
public:
    explicit Read_LUTFile(QObject *parent = nullptr);
    ~Read_LUTFile() override;

    float domainMin3D[3] = {0.0f, 0.0f, 0.0f};
    float domainMax3D[3] = {1.0f, 1.0f, 1.0f};
    Lut3DTable lut3D;
    qint32 lut3DSize = 0;
    float domainMin1D[3] = {0.0f, 0.0f, 0.0f};
    float domainMax1D[3] = {1.0f, 1.0f, 1.0f};
    Lut1DTable lut1D;
    qint32 lut1DSize = 0;
    double meshPoints[256];       // .3dl input mesh points, divided by their largest value
    double gamma = 1.0;           // number of a .3dl "gamma" line
    bool dataOrderRGB = true;
    bool tableOrderRGB = true;
    bool defaultOrder = true;
    qint32 intScale = 1;          // .cube "Mesh" variant: integer samples are divided by this
    bool intData = false;

    // What the file says about itself, as (key, text) pairs in file order ("Description",
    // "InputDescriptor", "baked" ...): shown by the command line's info, never used to compute.
    QVector<QPair<QString, QString>> metadata;

    // Raw stores, for the faithful reading: the store rules place each sample as the file
    // wrote it (no clamping, no division by the range) and the domains keep what the reader
    // set in them (resetUpperEnds does nothing), so that a format's meaning can be worked out
    // from the file's own numbers afterwards.
    bool rawStore = false;
    // Raw stores: the pre-LUT a file puts before its tables (a .csp pre-LUT, the mesh-point
    // line of a .3dl), per channel, as the points it lists: inputs as written, ascending, and
    // the table coordinates (0 to 1) they map to. Empty when the file has none.
    std::vector<float> preLutIn[3];
    std::vector<float> preLutOut[3];

    // Why the last read failed, with the physical line number where there is one
    // ("line 3: LUT_3D_SIZE has no number"); empty after a successful read.
    QString errorString;

    // Allocate a zero-filled table of `size` points per axis (entries for 1D). The caller sets
    // lut3DSize / lut1DSize first. Sizes of 0 or less, or beyond what the program holds, leave
    // the table untouched.
    static void Data3DCalloc(Lut3DTable *table, int size);
    static void Data1DCalloc(Lut1DTable *table, int size);

    // Store rules: clamp each number to [min, max] of its channel, divide by (max - min), and
    // place it by the order flags. i, j, k are the file's lattice counters, outermost first.
    void White3D(int i, int j, int k, float first, float second, float third, const float *min, const float *max);
    void White1D(int index, float first, float second, float third, const float *min, const float *max);

    static QString formatStr(int id);
    static bool formatIs3D(int id);

    bool ReadFile(LUTFILE_ST file, bool headerOnly);

    bool Read_Cube(QString path, bool headerOnly);
    bool Read_Texture(QString path, bool headerOnly);
    bool Read_IUC(QString path, bool headerOnly);
    bool Read_3dl(QString path, bool headerOnly);
    bool Read_Mga(QString path, bool headerOnly);
    bool Read_Look(QString path, bool headerOnly);
    bool Read_1dLut_Discreet(QString path, bool headerOnly);
    bool Read_1dLut(QString path, bool headerOnly);
    bool Read_DavLut(QString path, bool headerOnly);
    bool Read_Csp(QString path, bool headerOnly);
    bool Read_Cub(QString path, bool headerOnly);
    bool Read_Itx(QString path, bool headerOnly);
    bool Read_Spi1D(QString path, bool headerOnly);
    bool Read_Spi3D(QString path, bool headerOnly);
    bool Read_Csv(QString path, bool headerOnly);
    bool Read_TMS1D(QString path, bool headerOnly);
    bool Read_TMS3D(QString path, bool headerOnly);

    // Failure helpers for readers: record the reason and return false.
    bool fail(const QString &why);
    bool failAt(const LineReader &reader, const QString &why);
    bool failAt(int line, const QString &why);

    // Set lut3DSize / lut1DSize and allocate the table unless headerOnly. Sizes beyond what
    // the program holds are refused before anything is allocated (sizes are taken as read
    // from the file, 64 bits wide, so that a huge count cannot wrap into a small one).
    bool setSize3D(qint64 size, bool headerOnly, int line = 0);
    bool setSize1D(qint64 size, bool headerOnly, int line = 0);
    // The samples are normalised: put the upper ends of both domains back to 1 (not in raw stores).
    void resetUpperEnds();
    // Points per axis of the lattice and entries of the 1D table that are actually allocated:
    // never more than lut3DSize / lut1DSize claim, 0 without a table. Loops over the tables
    // take their bounds from these.
    int allocated3DSize() const;
    int allocated1DSize() const;
    // A table that is there to be read, not only announced by a size.
    bool has3D() const { return allocated3DSize() > 0; }
    bool has1D() const { return allocated1DSize() > 0; }
    // Apply the format's own orders when the caller asked for them.
    void applyDefaultOrder(const LutOrders &own);
    // Open a text file through the shared line reader, recording the reason on failure.
    bool openText(LineReader &reader, const QString &path);
    // Why a text opened by openText ended before its end (a read error, or an input beyond the
    // largest LUT); the reading dispatch refuses the read for it whatever the reader made of the rest.
    QString textFailure;
};

#endif
