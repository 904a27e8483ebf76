// Drives the main window as a user would: geometry, captions in both languages, the order
// boxes and their "Default Order" check boxes, choosing files, and whole conversions whose
// message boxes are read and closed from a timer.

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <memory>

#include "app/mainwindow.h"
#include "calc/lutcalc.h"
#include "lut/read_lutfile.h"
#include "testutil.h"

namespace {

// A LUT that is different in every channel, so that a swapped channel or lattice order shows:
// R follows the red index, G is half the green index, B falls with the blue index. All values
// are multiples of 1/64 and print exactly with six decimals.
void sampleNode(int n, int r, int g, int b, float out[3])
{
    const float last = float(n - 1);
    out[0] = float(r) / last;
    out[1] = float(g) / (2.0f * last);
    out[2] = 1.0f - float(b) / last;
}

QString fixed6(float v)
{
    return QString::number(double(v), 'f', 6);
}

// The data lines of that LUT in .cube's number form, in the given channel and lattice order.
QStringList sampleLines(int n, bool dataRGB, bool blueFastest)
{
    QStringList lines;
    float v[3];
    for (int outer = 0; outer < n; ++outer)
        for (int middle = 0; middle < n; ++middle)
            for (int inner = 0; inner < n; ++inner) {
                if (blueFastest)
                    sampleNode(n, outer, middle, inner, v);
                else
                    sampleNode(n, inner, middle, outer, v);
                const int first = dataRGB ? 0 : 2;
                lines << fixed6(v[first]) + ' ' + fixed6(v[1]) + ' ' + fixed6(v[2 - first]);
            }
    return lines;
}

// A standard .cube file of that LUT: R G B on each line, red fastest.
QByteArray sampleCube(int n)
{
    return "# made by the window test\nTITLE \"sample\"\nLUT_3D_SIZE " + QByteArray::number(n) + "\n"
        + sampleLines(n, true, false).join('\n').toLatin1() + "\n";
}

QStringList readLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
}

bool parseLine(const QString &line, float out[3])
{
    const QStringList parts = line.split(' ');
    if (parts.size() != 3)
        return false;
    for (int c = 0; c < 3; ++c) {
        bool ok = false;
        out[c] = parts[c].toFloat(&ok);
        if (!ok)
            return false;
    }
    return true;
}

// Everything a user can read off a message box.
struct ShownBox {
    QString title;
    QString text;
    QString informative;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool parented = false;
};

// Watches for modal message boxes while a test presses a button, records them and presses
// their OK button, so that a blocking box never stops the test.
class BoxCatcher : public QObject
{
public:
    BoxCatcher()
    {
        connect(&timer, &QTimer::timeout, this, &BoxCatcher::poll);
        timer.start(10);
    }
    QList<ShownBox> boxes;

private:
    void poll()
    {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        ShownBox shown;
        shown.title = box->windowTitle();
        shown.text = box->text();
        shown.informative = box->informativeText();
        shown.icon = box->icon();
        shown.buttons = box->standardButtons();
        shown.parented = box->parentWidget() != nullptr;
        boxes.append(shown);
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->reject();
    }
    QTimer timer;
};

struct DialogCall {
    QWidget *parent = nullptr;
    QString caption;
    QString dir;
    QString filter;
    int count = 0;
};

const char *const expectedFilter =
    "lut (*.cube *.3dl *.lut *.davlut *.mga *.m3d *.look *.csp *.cub *.itx *.spi1d *.spi3d *.csv *.tms1d *.tms3d);;"
    "icc (*.icc *.icm);;texture (*.bmp *.png);;UTIs (*.tiff *.tif *.dat);;All (*.*)";

}

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void startState();
    void geometry_data();
    void geometry();
    void tinyWindowKeepsColumnsApart();
    void renderedWindow_data();
    void renderedWindow();
    void captions_data();
    void captions();
    void languageRoundTrip();
    void orderBoxes_data();
    void orderBoxes();
    void chooseInput_data();
    void chooseInput();
    void chooseInputCancelledOrUnreadable();
    void chooseOutput();
    void missingFile_data();
    void missingFile();
    void convertSameSizeUnchanged();
    void convertNativeNonAsciiPaths();
    void convertResampled();
    void convertChosenOrders();
    void convertInputReadAsBGR();
    void convertToTypedPath();
    void conversionFails_data();
    void conversionFails();
    void convertLutRefuses_data();
    void convertLutRefuses();

private:
    QString path(const QString &name) const { return dir.filePath(name); }
    void chooseInput(const QStringList &paths);
    void setOutputPath(const QString &text);
    void selectIndex(QComboBox *box, int index);
    QList<ShownBox> pressConvert();
    QStringList convertExpectingSuccess(const QString &out, int size);
    void checkCaptions(bool chinese);

    QTemporaryDir tmp;
    QDir dir;
    std::unique_ptr<MainWindow> w;
    DialogCall openCall;
    DialogCall saveCall;
    QStringList openAnswer;
    QString saveAnswer;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(tmp.isValid());
    dir = QDir(tmp.path());
    QVERIFY(TestUtil::writeFile(path("lut33.cube"), sampleCube(33)));
    QVERIFY(TestUtil::writeFile(path("lut17.cube"), sampleCube(17)));
    QVERIFY(TestUtil::writeFile(path("grade.cube"), sampleCube(33)));
    QVERIFY(TestUtil::writeFile(path("noextension"), sampleCube(17)));
    QVERIFY(TestUtil::writeFile(path("only1d.cube"), "LUT_1D_SIZE 3\n0 0 0\n0.5 0.5 0.5\n1 1 1\n"));
    // Header fine, samples missing: only a full read notices.
    QVERIFY(TestUtil::writeFile(path("short.cube"), "LUT_3D_SIZE 2\n0 0 0\n1 0 0\n"));
    QVERIFY(TestUtil::writeFile(path("badsize.cube"), "LUT_3D_SIZE many\n0 0 0\n"));
}

void TestMainWindow::init()
{
    w = std::make_unique<MainWindow>();
    openCall = DialogCall();
    saveCall = DialogCall();
    w->openFilesDialog = [this](QWidget *parent, const QString &caption, const QString &start, const QString &filter) {
        openCall = DialogCall{parent, caption, start, filter, openCall.count + 1};
        return openAnswer;
    };
    w->saveFileDialog = [this](QWidget *parent, const QString &caption, const QString &start, const QString &filter) {
        saveCall = DialogCall{parent, caption, start, filter, saveCall.count + 1};
        return saveAnswer;
    };
    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w.get()));
}

void TestMainWindow::cleanup()
{
    w.reset();
}

void TestMainWindow::chooseInput(const QStringList &paths)
{
    openAnswer = paths;
    QTest::mouseClick(w->inputButton, Qt::LeftButton);
}

void TestMainWindow::setOutputPath(const QString &text)
{
    saveAnswer = text;
    QTest::mouseClick(w->outputButton, Qt::LeftButton);
}

// Steps through the items with the arrow keys, as a user would with the keyboard.
void TestMainWindow::selectIndex(QComboBox *box, int index)
{
    while (box->currentIndex() < index)
        QTest::keyClick(box, Qt::Key_Down);
    while (box->currentIndex() > index)
        QTest::keyClick(box, Qt::Key_Up);
    QCOMPARE(box->currentIndex(), index);
}

QList<ShownBox> TestMainWindow::pressConvert()
{
    BoxCatcher catcher;
    QTest::mouseClick(w->writeButton, Qt::LeftButton);
    return catcher.boxes;
}

// Presses convert, expects the success message and a .cube of `size` points at `out`, and
// gives its data lines (empty when anything else happened).
QStringList TestMainWindow::convertExpectingSuccess(const QString &out, int size)
{
    const QList<ShownBox> boxes = pressConvert();
    if (boxes.size() != 1 || boxes[0].title != QLatin1String("Successful")
        || boxes[0].text != QLatin1String("Export successful !") || boxes[0].icon != QMessageBox::Warning) {
        for (const ShownBox &box : boxes)
            qWarning("message: %s / %s / %s", qPrintable(box.title), qPrintable(box.text), qPrintable(box.informative));
        return {};
    }
    const QStringList lines = readLines(out);
    if (lines.size() != 2 + size * size * size || lines[0] != QLatin1String("TITLE ")
        || lines[1] != QStringLiteral("LUT_3D_SIZE %1").arg(size)) {
        qWarning("%s: %d lines, header %s", qPrintable(out), int(lines.size()), qPrintable(lines.mid(0, 2).join(" | ")));
        return {};
    }
    return lines.mid(2);
}

void TestMainWindow::startState()
{
    // The Windows build names its version in the title.
    QCOMPARE(w->windowTitle(), QSysInfo::productType() == QLatin1String("windows") ? QStringLiteral("Lutwright (v1.3.30)")
                                                                                 : QStringLiteral("Lutwright"));
    QCOMPARE(w->size(), QSize(1000, 480));
    for (QLineEdit *edit : {w->inNameEdit, w->inTypeEdit, w->in3DSizeEdit, w->in1DSizeEdit, w->inDimensionEdit}) {
        QVERIFY(!edit->isEnabled());
        QVERIFY(edit->text().isEmpty());
    }
    QVERIFY(w->outPathEdit->isEnabled());
    QVERIFY(w->outPathEdit->text().isEmpty());
    QVERIFY(w->inCheckBox->isChecked());
    QVERIFY(w->outCheckBox->isChecked());

    auto items = [](QComboBox *box) {
        QStringList list;
        for (int i = 0; i < box->count(); ++i)
            list << box->itemText(i);
        return list;
    };
    QCOMPARE(items(w->inDataCombox), QStringList({"RGB", "BGR"}));
    QCOMPARE(items(w->inTableCombox), QStringList({"BGR", "RGB"}));
    QCOMPARE(items(w->outTypeCombox), QStringList({".cube"}));
    QCOMPARE(items(w->outSizeCombox), QStringList({"17", "33"}));
    QCOMPARE(items(w->outDataCombox), QStringList({"BGR", "RGB"}));
    QCOMPARE(items(w->outTableCombox), QStringList({"BGR", "RGB"}));
    QCOMPARE(items(w->languageCombox), QStringList({"English", QStringLiteral("简体中文")}));
    for (QComboBox *box : {w->inDataCombox, w->inTableCombox, w->outTypeCombox, w->outSizeCombox,
                           w->outDataCombox, w->outTableCombox, w->languageCombox})
        QCOMPARE(box->currentIndex(), 0);

    QCOMPARE(w->labelCount, 8);
    QCOMPARE(w->language, 0);
    QVERIFY(w->inputPath.isEmpty());
    QVERIFY(w->outputPath.isEmpty());
    for (QLabel *label : w->labels)
        QCOMPARE(label->parentWidget(), w.get());
}

void TestMainWindow::geometry_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<int>("outLabelX");
    QTest::addColumn<int>("outFieldX");
    QTest::addColumn<int>("rightX");
    QTest::addColumn<int>("languageX");

    QTest::newRow("1000 x 480") << QSize(1000, 480) << 436 << 551 << 853 << 843;
    QTest::newRow("1200 x 600") << QSize(1200, 600) << 520 << 635 << 1020 << 1010;
    QTest::newRow("1333 x 701") << QSize(1333, 701) << 575 << 690 << 1130 << 1120;
}

void TestMainWindow::geometry()
{
    QFETCH(QSize, size);
    QFETCH(int, outLabelX);
    QFETCH(int, outFieldX);
    QFETCH(int, rightX);
    QFETCH(int, languageX);

    w->resize(size);
    QTRY_COMPARE(w->size(), size);
    const int h = size.height();

    QCOMPARE(w->inputButton->geometry(), QRect(20, 10, 100, 40));
    QCOMPARE(w->outputButton->geometry(), QRect(outLabelX, 10, 100, 40));
    QCOMPARE(w->writeButton->geometry(), QRect(rightX, h - 50, 120, 40));
    for (int i = 0; i < 8; ++i)
        QCOMPARE(w->labels[i]->geometry(), QRect(20, 60 + 50 * i, 100, 40));
    for (int i = 0; i < 6; ++i)
        QCOMPARE(w->labels[8 + i]->geometry(), QRect(outLabelX, 60 + 50 * i, 100, 40));

    QCOMPARE(w->inNameEdit->geometry(), QRect(135, 60, 280, 30));
    QCOMPARE(w->inTypeEdit->geometry(), QRect(135, 110, 100, 30));
    QCOMPARE(w->inCheckBox->geometry(), QRect(135, 160, 100, 40));
    QCOMPARE(w->in3DSizeEdit->geometry(), QRect(135, 310, 100, 30));
    QCOMPARE(w->in1DSizeEdit->geometry(), QRect(135, 360, 100, 30));
    QCOMPARE(w->inDimensionEdit->geometry(), QRect(135, 410, 100, 30));
    QCOMPARE(w->outPathEdit->geometry(), QRect(outFieldX, 60, 280, 30));
    QCOMPARE(w->outCheckBox->geometry(), QRect(outFieldX, 210, 100, 40));

    // Comboboxes and the language label take their natural size.
    const struct {
        QWidget *widget;
        QPoint at;
    } natural[] = {
        {w->inDataCombox, {135, 210}},       {w->inTableCombox, {135, 260}},
        {w->outTypeCombox, {outFieldX, 110}}, {w->outSizeCombox, {outFieldX, 160}},
        {w->outDataCombox, {outFieldX, 260}}, {w->outTableCombox, {outFieldX, 310}},
        {w->languageLabel, {languageX, 10}},  {w->languageCombox, {languageX, 40}},
    };
    for (const auto &n : natural) {
        QCOMPARE(n.widget->pos(), n.at);
        QCOMPARE(n.widget->size(), n.widget->sizeHint());
    }
}

void TestMainWindow::tinyWindowKeepsColumnsApart()
{
    w->resize(300, 200);
    QTRY_COMPARE(w->size(), QSize(1000, 460));

    // At the smallest size every widget still lies within its own column and the window.
    const int firstSeparator = 1000 * 5 / 12;
    const int secondSeparator = 1000 * 10 / 12;
    const QList<QWidget *> left = {w->inputButton, w->inNameEdit, w->inTypeEdit, w->inCheckBox, w->inDataCombox,
                                   w->inTableCombox, w->in3DSizeEdit, w->in1DSizeEdit, w->inDimensionEdit,
                                   w->labels[0], w->labels[7]};
    const QList<QWidget *> middle = {w->outputButton, w->outPathEdit, w->outTypeCombox, w->outSizeCombox,
                                     w->outCheckBox, w->outDataCombox, w->outTableCombox, w->labels[8], w->labels[13]};
    const QList<QWidget *> right = {w->languageLabel, w->languageCombox, w->writeButton};
    for (QWidget *x : left)
        QVERIFY2(x->geometry().right() < firstSeparator && x->geometry().bottom() < 460, qPrintable(x->metaObject()->className()));
    for (QWidget *x : middle)
        QVERIFY2(x->geometry().left() > firstSeparator + 1 && x->geometry().right() < secondSeparator,
                 qPrintable(x->metaObject()->className()));
    for (QWidget *x : right)
        QVERIFY2(x->geometry().left() > secondSeparator + 1 && x->geometry().right() < 1000, qPrintable(x->metaObject()->className()));
    QVERIFY(!w->writeButton->geometry().intersects(w->languageCombox->geometry()));
}

void TestMainWindow::renderedWindow_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("screenshot");

    QTest::newRow("English 1000 x 480") << 0 << QSize(1000, 480) << "window-en.png";
    QTest::newRow("Chinese 1000 x 480") << 1 << QSize(1000, 480) << "window-zh.png";
    QTest::newRow("English 1200 x 600") << 0 << QSize(1200, 600) << "";
}

// Background, border and etched separators, read back from the rendered window. With
// LUTWRIGHT_SCREENSHOT_DIR set, the renders are also kept as the documentation's pictures.
void TestMainWindow::renderedWindow()
{
    QFETCH(int, language);
    QFETCH(QSize, size);
    QFETCH(QString, screenshot);

    selectIndex(w->languageCombox, language);
    chooseInput({path("grade.cube")});
    w->outPathEdit->setFocus();
    QTest::keyClicks(w->outPathEdit, "/home/colourist/grade-17.cube");
    w->outPathEdit->clearFocus();
    w->resize(size);
    QTRY_COMPARE(w->size(), size);

    const QImage image = w->grab().toImage();
    QCOMPARE(image.size(), size);
    const int wd = size.width();
    const int h = size.height();
    const int x5 = int(wd * 5.0 / 12);
    const int x10 = int(wd * 10.0 / 12);
    const QColor grey(200, 200, 200);
    for (int y : {5, h / 2, h - 5}) {
        QCOMPARE(image.pixelColor(x5, y), QColor(Qt::black));
        QCOMPARE(image.pixelColor(x5 + 1, y), QColor(Qt::white));
        QCOMPARE(image.pixelColor(x10, y), QColor(Qt::black));
        QCOMPARE(image.pixelColor(x10 + 1, y), QColor(Qt::white));
        QCOMPARE(image.pixelColor(0, y), QColor(Qt::black));
        QCOMPARE(image.pixelColor(wd - 1, y), QColor(Qt::black));
    }
    QCOMPARE(image.pixelColor(x5 - 1, h - 5), grey);
    QCOMPARE(image.pixelColor(x5 + 2, h - 5), grey);
    QCOMPARE(image.pixelColor(x10 + 2, h / 2), grey);
    QCOMPARE(image.pixelColor(wd / 2, h - 1), QColor(Qt::black));

    const QString out = qEnvironmentVariable("LUTWRIGHT_SCREENSHOT_DIR");
    if (!out.isEmpty() && !screenshot.isEmpty())
        QVERIFY(image.save(QDir(out).filePath(screenshot)));
}

void TestMainWindow::checkCaptions(bool chinese)
{
    const QStringList en = {"File Name", "Type", "Default Order", "Data Order", "Table Order", "3D Size", "1D Size",
                            "Dimension", "File Path", "Type", "3D Size", "Default Order", "Data Order", "Table Order"};
    const QStringList zh = {"文件名", "类型", "默认顺序", "数据顺序", "表格顺序", "3D尺寸", "1D尺寸",
                            "维度", "路径", "类型", "3D尺寸", "默认顺序", "数据顺序", "表格顺序"};
    const QStringList &expected = chinese ? zh : en;
    for (int i = 0; i < 14; ++i)
        QCOMPARE(w->labels[i]->text(), expected[i]);
    QCOMPARE(w->inputButton->text(), chinese ? QStringLiteral("输入文件") : QStringLiteral("Input File"));
    QCOMPARE(w->outputButton->text(), chinese ? QStringLiteral("输出文件") : QStringLiteral("Output File"));
    QCOMPARE(w->writeButton->text(), chinese ? QStringLiteral("生成 Lut") : QStringLiteral("Generate Lut"));
    QCOMPARE(w->languageLabel->text(), QStringLiteral("语言/Language:"));

    // Every caption can be read whole in its label.
    for (QLabel *label : w->labels) {
        const int advance = label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY2(advance <= label->width(), qPrintable(QStringLiteral("%1: %2 px in a label of %3 px, font %4")
                                                      .arg(label->text()).arg(advance).arg(label->width()).arg(label->font().toString())));
    }
}

void TestMainWindow::captions_data()
{
    QTest::addColumn<int>("language");
    QTest::newRow("English") << 0;
    QTest::newRow("Simplified Chinese") << 1;
}

void TestMainWindow::captions()
{
    QFETCH(int, language);
    selectIndex(w->languageCombox, language);
    QCOMPARE(w->language, language);
    checkCaptions(language == 1);
}

void TestMainWindow::languageRoundTrip()
{
    checkCaptions(false);
    selectIndex(w->languageCombox, 1);
    QCOMPARE(w->languageCombox->currentText(), QStringLiteral("简体中文"));
    checkCaptions(true);
    selectIndex(w->languageCombox, 0);
    QCOMPARE(w->language, 0);
    checkCaptions(false);

    // The switch changes texts only, never the user's settings.
    selectIndex(w->outSizeCombox, 1);
    selectIndex(w->languageCombox, 1);
    QCOMPARE(w->outSizeCombox->currentIndex(), 1);
    QVERIFY(w->inCheckBox->isChecked());
}

void TestMainWindow::orderBoxes_data()
{
    QTest::addColumn<bool>("outputSide");
    QTest::newRow("input") << false;
    QTest::newRow("output") << true;
}

void TestMainWindow::orderBoxes()
{
    QFETCH(bool, outputSide);
    QCheckBox *check = outputSide ? w->outCheckBox : w->inCheckBox;
    QComboBox *data = outputSide ? w->outDataCombox : w->inDataCombox;
    QComboBox *table = outputSide ? w->outTableCombox : w->inTableCombox;
    QCheckBox *otherCheck = outputSide ? w->inCheckBox : w->outCheckBox;

    // Another data order unticks "Default Order"; the other side is left alone.
    selectIndex(data, 1);
    QVERIFY(!check->isChecked());
    QVERIFY(otherCheck->isChecked());
    QCOMPARE(table->currentIndex(), 0);

    // Ticking it again brings both boxes back to their first item.
    QTest::keyClick(check, Qt::Key_Space);
    QVERIFY(check->isChecked());
    QCOMPARE(data->currentIndex(), 0);
    QCOMPARE(table->currentIndex(), 0);
    QCOMPARE(data->currentText(), outputSide ? QStringLiteral("BGR") : QStringLiteral("RGB"));
    QCOMPARE(table->currentText(), QStringLiteral("BGR"));

    // The table order alone unticks it too.
    selectIndex(table, 1);
    QVERIFY(!check->isChecked());

    // Both boxes changed: ticking resets both and stays ticked.
    selectIndex(data, 1);
    QTest::keyClick(check, Qt::Key_Space);
    QVERIFY(check->isChecked());
    QCOMPARE(data->currentIndex(), 0);
    QCOMPARE(table->currentIndex(), 0);

    // Unticking by hand changes no box; going back to the first items does not tick it.
    QTest::keyClick(check, Qt::Key_Space);
    QVERIFY(!check->isChecked());
    QCOMPARE(data->currentIndex(), 0);
    QCOMPARE(table->currentIndex(), 0);
    selectIndex(data, 1);
    selectIndex(data, 0);
    QVERIFY(!check->isChecked());
}

void TestMainWindow::chooseInput_data()
{
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("size3D");

    QTest::newRow("33-point cube") << QStringList{"lut33.cube"} << "/lut33.cube" << ".cube" << "33";
    QTest::newRow("17-point cube") << QStringList{"lut17.cube"} << "/lut17.cube" << ".cube" << "17";
    QTest::newRow("no extension: type shows the path") << QStringList{"noextension"} << "/noextension" << "<path>" << "17";
    QTest::newRow("several files: the first is used") << QStringList{"lut17.cube", "lut33.cube"} << "/lut17.cube"
                                                      << ".cube" << "17";
}

void TestMainWindow::chooseInput()
{
    QFETCH(QStringList, chosen);
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QString, size3D);

    QStringList full;
    for (const QString &c : chosen)
        full << path(c);
    chooseInput(full);

    QCOMPARE(openCall.count, 1);
    QCOMPARE(openCall.parent, w.get());
    QCOMPARE(openCall.caption, QStringLiteral("Open ICC/3DLUT File"));
    QVERIFY(openCall.dir.isEmpty());
    QCOMPARE(openCall.filter, QString::fromLatin1(expectedFilter));

    QCOMPARE(w->inputPath, full.first());
    QCOMPARE(w->inNameEdit->text(), name);
    QCOMPARE(w->inTypeEdit->text(), type == "<path>" ? full.first() : type);
    QCOMPARE(w->in3DSizeEdit->text(), size3D);
    QCOMPARE(w->in1DSizeEdit->text(), QStringLiteral("0"));
    QCOMPARE(w->inDimensionEdit->text(), QStringLiteral("3D"));
}

void TestMainWindow::chooseInputCancelledOrUnreadable()
{
    chooseInput({path("lut33.cube")});
    QCOMPARE(w->in3DSizeEdit->text(), QStringLiteral("33"));

    // Cancelling changes nothing.
    chooseInput({});
    QCOMPARE(openCall.count, 2);
    QCOMPARE(w->inputPath, path("lut33.cube"));
    QCOMPARE(w->inNameEdit->text(), QStringLiteral("/lut33.cube"));

    // A file whose header cannot be read: no message, the boxes keep the previous file, and
    // the path is the new one, so that converting reports the problem.
    BoxCatcher catcher;
    chooseInput({path("badsize.cube")});
    QCoreApplication::processEvents();
    QVERIFY(catcher.boxes.isEmpty());
    QCOMPARE(w->inputPath, path("badsize.cube"));
    QCOMPARE(w->inNameEdit->text(), QStringLiteral("/lut33.cube"));
    QCOMPARE(w->in3DSizeEdit->text(), QStringLiteral("33"));
}

void TestMainWindow::chooseOutput()
{
    setOutputPath(path("chosen.cube"));
    QCOMPARE(saveCall.count, 1);
    QCOMPARE(saveCall.parent, w.get());
    QCOMPARE(saveCall.caption, QStringLiteral("Save ICC/3DLUT File"));
    QVERIFY(saveCall.dir.isEmpty());
    QCOMPARE(saveCall.filter, QString::fromLatin1(expectedFilter));
    QCOMPARE(w->outputPath, path("chosen.cube"));
    QCOMPARE(w->outPathEdit->text(), path("chosen.cube"));

    // No extension is added, and cancelling keeps what was there.
    setOutputPath(path("plain"));
    QCOMPARE(w->outPathEdit->text(), path("plain"));
    setOutputPath(QString());
    QCOMPARE(saveCall.count, 3);
    QCOMPARE(w->outputPath, path("plain"));
    QCOMPARE(w->outPathEdit->text(), path("plain"));
}

void TestMainWindow::missingFile_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("withInput");
    QTest::addColumn<bool>("withOutput");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("text");

    const QString en = "Please Select Input/Output File!";
    const QString zh = QStringLiteral("请选择 输入/输出 文件！");
    QTest::newRow("English, nothing chosen") << 0 << false << false << "Error" << en;
    QTest::newRow("English, no output path") << 0 << true << false << "Error" << en;
    QTest::newRow("English, no input file") << 0 << false << true << "Error" << en;
    QTest::newRow("Chinese, no output path") << 1 << true << false << QStringLiteral("错误") << zh;
    QTest::newRow("Chinese, no input file") << 1 << false << true << QStringLiteral("错误") << zh;
}

void TestMainWindow::missingFile()
{
    QFETCH(int, language);
    QFETCH(bool, withInput);
    QFETCH(bool, withOutput);
    QFETCH(QString, title);
    QFETCH(QString, text);

    const QString out = path("missing-out.cube");
    QFile::remove(out);
    selectIndex(w->languageCombox, language);
    if (withInput)
        chooseInput({path("lut33.cube")});
    if (withOutput)
        setOutputPath(out);

    const QList<ShownBox> boxes = pressConvert();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, title);
    QCOMPARE(boxes[0].text, text);
    QCOMPARE(boxes[0].icon, QMessageBox::Warning);
    QCOMPARE(boxes[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!boxes[0].parented);
    QVERIFY(!QFile::exists(out));
}

void TestMainWindow::convertSameSizeUnchanged()
{
    const QString out = path("same33.cube");
    chooseInput({path("lut33.cube")});
    setOutputPath(out);
    selectIndex(w->outSizeCombox, 1);

    // Output defaults "BGR"/"BGR": B, G, R on each line, red fastest, the read numbers as they were.
    QCOMPARE(convertExpectingSuccess(out, 33), sampleLines(33, false, false));
    QCOMPARE(w->outputPath, out);
}

// A user's paths: a chosen input with a non-ASCII name, and an output typed in the system's own
// form (backslashes and a drive letter on Windows) into a non-ASCII folder.
void TestMainWindow::convertNativeNonAsciiPaths()
{
    const QString in = path(QStringLiteral("色彩 ñ.cube"));
    QVERIFY(TestUtil::writeFile(in, sampleCube(33)));
    QVERIFY(dir.mkpath(QStringLiteral("saída")));
    const QString out = QDir::toNativeSeparators(path(QStringLiteral("saída/grâde 33.cube")));
    chooseInput({in});
    QCOMPARE(w->inNameEdit->text(), QStringLiteral("/色彩 ñ.cube"));
    QCOMPARE(w->in3DSizeEdit->text(), QStringLiteral("33"));
    w->outPathEdit->insert(out);   // pasted: key clicks carry ASCII only
    selectIndex(w->outSizeCombox, 1);
    QCOMPARE(convertExpectingSuccess(out, 33), sampleLines(33, false, false));
}

void TestMainWindow::convertResampled()
{
    const QString out = path("resampled17.cube");
    chooseInput({path("lut33.cube")});
    setOutputPath(out);
    QCOMPARE(w->outSizeCombox->currentText(), QStringLiteral("17"));
    const QStringList lines = convertExpectingSuccess(out, 17);
    QVERIFY(!lines.isEmpty());

    // What the resampler makes of the same input, and what the LUT is at those points.
    Read_LUTFile source;
    LUTFILE_ST in;
    in.path = path("lut33.cube");
    QVERIFY(source.ReadFile(in, false));
    Read_LUTFile expected;
    expected.lut3DSize = 17;
    Read_LUTFile::Data3DCalloc(&expected.lut3D, 17);
    QVERIFY(expected.lut3D);
    LutCalc::Lut3D_Out(source, expected);

    int line = 0;
    float got[3];
    float exact[3];
    for (int b = 0; b < 17; ++b)
        for (int g = 0; g < 17; ++g)
            for (int r = 0; r < 17; ++r, ++line) {
                QVERIFY2(parseLine(lines[line], got), qPrintable(lines[line]));
                const float *node = expected.lut3D[r][g][b];
                sampleNode(17, r, g, b, exact);
                for (int c = 0; c < 3; ++c) {
                    // Line order B, G, R; six decimals.
                    if (std::fabs(got[c] - node[2 - c]) > 5.1e-7f || std::fabs(got[c] - exact[2 - c]) > 1e-6f)
                        QFAIL(qPrintable(QString("line %1: %2").arg(line + 3).arg(lines[line])));
                }
            }
}

void TestMainWindow::convertChosenOrders()
{
    const QString out = path("rgb-order.cube");
    chooseInput({path("lut17.cube")});
    setOutputPath(out);
    selectIndex(w->outDataCombox, 1);
    selectIndex(w->outTableCombox, 1);
    QVERIFY(!w->outCheckBox->isChecked());

    // "RGB"/"RGB": R, G, B on each line, blue fastest.
    QCOMPARE(convertExpectingSuccess(out, 17), sampleLines(17, true, true));
}

void TestMainWindow::convertInputReadAsBGR()
{
    // Reading the R, G, B lines as B, G, R and writing B, G, R gives the file's lines back.
    const QString out = path("bgr-roundtrip.cube");
    chooseInput({path("lut17.cube")});
    setOutputPath(out);
    selectIndex(w->inDataCombox, 1);
    QVERIFY(!w->inCheckBox->isChecked());
    QCOMPARE(convertExpectingSuccess(out, 17), sampleLines(17, true, false));
}

void TestMainWindow::convertToTypedPath()
{
    // A path typed by hand is used exactly as typed; the language does not change the outcome text.
    const QString out = path("typed-without-extension");
    QFile::remove(out);
    selectIndex(w->languageCombox, 1);
    chooseInput({path("lut17.cube")});
    w->outPathEdit->setFocus();
    w->outPathEdit->insert(out);   // pasted: key clicks carry ASCII only

    QCOMPARE(convertExpectingSuccess(out, 17), sampleLines(17, false, false));
    QCOMPARE(w->outputPath, out);
    QVERIFY(!QFile::exists(out + ".cube"));
}

void TestMainWindow::conversionFails_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reason");

    const QString fileError = "File Error!";
    const QString notSupported = "Format not supported !";
    QTest::newRow("samples missing") << 0 << "short.cube" << "out.cube" << fileError << "lattice ends";
    QTest::newRow("samples missing, Chinese") << 1 << "short.cube" << "out.cube" << fileError << "lattice ends";
    QTest::newRow("input gone since it was chosen") << 0 << "vanishing.cube" << "out.cube" << fileError << "cannot open";
    QTest::newRow("input header unreadable") << 0 << "badsize.cube" << "out.cube" << fileError
                                             << "LUT_3D_SIZE has no number";
    QTest::newRow("only a 1D table") << 0 << "only1d.cube" << "from1d.cube" << notSupported << "no 3D table";
    QTest::newRow("only a 1D table, Chinese") << 1 << "only1d.cube" << "from1d.cube" << notSupported << "no 3D table";
    QTest::newRow("output folder does not exist") << 0 << "lut33.cube" << "no/such/folder/out.cube" << notSupported
                                                  << "cannot open";
    QTest::newRow("output is a folder") << 0 << "lut33.cube" << "." << notSupported << "";
}

// Every failure names itself in English, whatever the language, says why below the text, and
// writes nothing.
void TestMainWindow::conversionFails()
{
    QFETCH(int, language);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QString, text);
    QFETCH(QString, reason);

    const QString out = path(output);
    const bool outIsFolder = output == ".";
    if (!outIsFolder)
        QFile::remove(out);
    selectIndex(w->languageCombox, language);
    if (input == "vanishing.cube") {
        QVERIFY(TestUtil::writeFile(path(input), sampleCube(2)));
        chooseInput({path(input)});
        QVERIFY(QFile::remove(path(input)));
    } else if (input == "badsize.cube") {
        // The boxes show an earlier file; the path is the unreadable one.
        chooseInput({path("lut17.cube")});
        chooseInput({path(input)});
    } else {
        chooseInput({path(input)});
    }
    QVERIFY(!w->inNameEdit->text().isEmpty());
    setOutputPath(out);

    const QList<ShownBox> boxes = pressConvert();
    QCOMPARE(boxes.size(), 1);
    QCOMPARE(boxes[0].title, QStringLiteral("Error"));
    QCOMPARE(boxes[0].text, text);
    QCOMPARE(boxes[0].icon, QMessageBox::Warning);
    QVERIFY(!boxes[0].informative.isEmpty());
    QVERIFY2(boxes[0].informative.contains(reason), qPrintable(boxes[0].informative));
    if (text == QLatin1String("File Error!"))
        QVERIFY2(boxes[0].informative.contains(input), qPrintable(boxes[0].informative));
    QCOMPARE(w->outputPath, out);
    if (outIsFolder)
        QVERIFY(QFileInfo(out).isDir());
    else
        QVERIFY(!QFile::exists(out));
}

void TestMainWindow::convertLutRefuses_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<bool>("headerOnly");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("reason");

    // Sizes that are equal must not make an empty model look like a table.
    QTest::newRow("1D only, size 0") << "only1d.cube" << false << 0 << "no 3D table";
    QTest::newRow("read header only, same size") << "lut17.cube" << true << 17 << "no 3D table";
    QTest::newRow("size beyond the limit") << "lut17.cube" << false << 300 << "outside 1 to 256";
    QTest::newRow("size 0") << "lut17.cube" << false << 0 << "outside 1 to 256";
}

void TestMainWindow::convertLutRefuses()
{
    QFETCH(QString, input);
    QFETCH(bool, headerOnly);
    QFETCH(int, size);
    QFETCH(QString, reason);

    Read_LUTFile lut;
    LUTFILE_ST in;
    in.path = path(input);
    QVERIFY(lut.ReadFile(in, headerOnly));

    const QString out = path("refused.cube");
    QFile::remove(out);
    LUTFILE_ST file;
    file.path = out;
    file.outputSize3D = size;
    QString why;
    QVERIFY(!MainWindow::ConvertLut(file, lut, &why));
    QVERIFY2(why.contains(reason), qPrintable(why));
    QVERIFY(!QFile::exists(out));
}

#if defined(__SANITIZE_ADDRESS__)
// The offscreen platform plugin never frees its screen at exit; what hangs off the screen goes
// with it. The window's own allocations stay reported.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libqoffscreen.so\n"
           "leak:QScreen::QScreen\n";
}
#endif

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
