#include "app/mainwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPaintEvent>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QSysInfo>

#include "calc/lutcalc.h"
#include "formats/registry.h"
#include "lut/lutlimits.h"
#include "lut/read_lutfile.h"
#include "lut/write_lutfile.h"

namespace {

// Captions of both languages. Entries 1-8 label the input side and 10-15 the output side;
// 0, 9, 16 and 17 name the buttons and the language label, whose texts come from
// the button texts below instead.
const QString labelTextZh[18] = {
    QStringLiteral("输入文件"), QStringLiteral("文件名"),   QStringLiteral("类型"),
    QStringLiteral("默认顺序"), QStringLiteral("数据顺序"), QStringLiteral("表格顺序"),
    QStringLiteral("3D尺寸"),   QStringLiteral("1D尺寸"),   QStringLiteral("维度"),
    QStringLiteral("输出文件"), QStringLiteral("路径"),     QStringLiteral("类型"),
    QStringLiteral("3D尺寸"),   QStringLiteral("默认顺序"), QStringLiteral("数据顺序"),
    QStringLiteral("表格顺序"), QStringLiteral("语言"),     QStringLiteral("开始转换"),
};

const QString labelTextEn[18] = {
    QStringLiteral("Input File"),    QStringLiteral("File Name"),  QStringLiteral("Type"),
    QStringLiteral("Default Order"), QStringLiteral("Data Order"), QStringLiteral("Table Order"),
    QStringLiteral("3D Size"),       QStringLiteral("1D Size"),    QStringLiteral("Dimension"),
    QStringLiteral("Output File"),   QStringLiteral("File Path"),  QStringLiteral("Type"),
    QStringLiteral("3D Size"),       QStringLiteral("Default Order"), QStringLiteral("Data Order"),
    QStringLiteral("Table Order"),   QStringLiteral("Language"),   QStringLiteral("Begin"),
};

struct ButtonTexts {
    const char *input;
    const char *output;
    const char *write;
};
const ButtonTexts buttonTextEn = {"Input File", "Output File", "Generate Lut"};
const ButtonTexts buttonTextZh = {"输入文件", "输出文件", "生成 Lut"};
const char *const languageCaption = "语言/Language:";

// Lattice points per axis offered by the output size box, by index.
const int outputSizes[] = {17, 33};

const char *const lutFilter =
    "lut (*.cube *.3dl *.lut *.davlut *.mga *.m3d *.look *.csp *.cub *.itx *.spi1d *.spi3d *.csv *.tms1d *.tms3d);;"
    "icc (*.icc *.icm);;texture (*.bmp *.png);;UTIs (*.tiff *.tif *.dat);;All (*.*)";

// The given font, made smaller only as far as needed for the longest caption of either
// language to fit a label `width` pixels wide. Fonts differ between systems; the fixed
// label width does not.
QFont captionFont(QFont font, int width)
{
    const bool byPoints = font.pointSizeF() > 0;
    qreal size = byPoints ? font.pointSizeF() : font.pixelSize();
    const qreal smallest = byPoints ? 6.0 : 8.0;
    auto fits = [width](const QFont &f) {
        const QFontMetrics metrics(f);
        for (const QString *table : {labelTextEn, labelTextZh})
            for (int i = 0; i < 18; ++i)
                if (metrics.horizontalAdvance(table[i]) > width)
                    return false;
        return true;
    };
    while (!fits(font) && size > smallest) {
        size -= byPoints ? 0.5 : 1.0;
        if (byPoints)
            font.setPointSizeF(size);
        else
            font.setPixelSize(int(size));
    }
    return font;
}

// "Default Order" goes with the first item of both order boxes of its side.
void untickUnlessFirstItems(QCheckBox *check, const QComboBox *data, const QComboBox *table)
{
    if (data->currentIndex() != 0 || table->currentIndex() != 0)
        check->setChecked(false);
}

// Resetting the first box alone would untick the check box again while the second box still
// holds its other item, so both change together before anyone hears of it.
void selectFirstItems(QComboBox *data, QComboBox *table)
{
    const QSignalBlocker blockData(data);
    const QSignalBlocker blockTable(table);
    data->setCurrentIndex(0);
    table->setCurrentIndex(0);
}

// x of a column: the given fraction of the width plus an offset, truncated toward zero.
inline int columnX(int width, int twelfths, int offset)
{
    return int(double(width) * twelfths / 12 + offset);
}

// A caption is 40 pixels high beside fields that are mostly 30 or less: its text is centred
// on the upper 30 pixels, level with the field.
QLabel *makeCaption(QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setContentsMargins(0, 0, 0, 10);
    return label;
}

QComboBox *makeCombox(QWidget *parent, const QStringList &items)
{
    auto *box = new QComboBox(parent);
    box->addItems(items);
    return box;
}

QLineEdit *makeReadOnlyEdit(QWidget *parent)
{
    auto *edit = new QLineEdit(parent);
    edit->setEnabled(false);
    return edit;
}

void place(QWidget *widget, int x, int y, int w, int h)
{
    widget->setGeometry(x, y, w, h);
}

void placeNatural(QWidget *widget, int x, int y)
{
    widget->move(x, y);
    widget->resize(widget->sizeHint());
}

// The text after the last `mark`, the mark included; the whole text when there is none.
QString fromLast(const QString &text, QChar mark)
{
    const int at = text.lastIndexOf(mark);
    return at < 0 ? text : text.mid(at);
}

}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setWindowTitle(QSysInfo::productType() == QLatin1String("windows") ? QStringLiteral("Lutwright (v1.3.30)")
                                                                        : QStringLiteral("Lutwright"));
    openFilesDialog = [](QWidget *p, const QString &caption, const QString &dir, const QString &filter) {
        return QFileDialog::getOpenFileNames(p, caption, dir, filter);
    };
    saveFileDialog = [](QWidget *p, const QString &caption, const QString &dir, const QString &filter) {
        return QFileDialog::getSaveFileName(p, caption, dir, filter);
    };
    showMessage = &MainWindow::warningBox;
    setFont(captionFont(font(), captionWidth));

    createButtons();
    createInputSide();
    createOutputSide();
    createLanguageChoice();
    refreshWindow();
    setMinimumSize(smallestWidth, smallestHeight);
    resize(1000, 480);
}

MainWindow::~MainWindow() = default;

void MainWindow::createButtons()
{
    inputButton = new QPushButton(this);
    outputButton = new QPushButton(this);
    writeButton = new QPushButton(this);
    connect(inputButton, &QPushButton::pressed, this, &MainWindow::slotInputButton);
    connect(outputButton, &QPushButton::pressed, this, &MainWindow::slotOutputButton);
    connect(writeButton, &QPushButton::pressed, this, &MainWindow::slotWriteLut);

    labelCount = 0;
    for (; labelCount < 8; ++labelCount)
        labels[labelCount] = makeCaption(this);
    for (int i = labelCount; i < labelCount + 6; ++i)
        labels[i] = makeCaption(this);
}

void MainWindow::createInputSide()
{
    inNameEdit = makeReadOnlyEdit(this);
    inTypeEdit = makeReadOnlyEdit(this);
    in3DSizeEdit = makeReadOnlyEdit(this);
    in1DSizeEdit = makeReadOnlyEdit(this);
    inDimensionEdit = makeReadOnlyEdit(this);

    inCheckBox = new QCheckBox(this);
    inCheckBox->setChecked(true);
    inDataCombox = makeCombox(this, {QStringLiteral("RGB"), QStringLiteral("BGR")});
    inTableCombox = makeCombox(this, {QStringLiteral("BGR"), QStringLiteral("RGB")});
    connectOrderBoxes(inCheckBox, inDataCombox, inTableCombox, &MainWindow::slotInCheckBoxChanged,
                      &MainWindow::slotInComboxChanged);
}

void MainWindow::createOutputSide()
{
    outPathEdit = new QLineEdit(this);
    outTypeCombox = makeCombox(this, {QStringLiteral(".cube")});
    outSizeCombox = makeCombox(this, {QStringLiteral("17"), QStringLiteral("33")});
    outSizeCombox->setCurrentIndex(0);

    outCheckBox = new QCheckBox(this);
    outCheckBox->setChecked(true);
    outDataCombox = makeCombox(this, {QStringLiteral("BGR"), QStringLiteral("RGB")});
    outTableCombox = makeCombox(this, {QStringLiteral("BGR"), QStringLiteral("RGB")});
    connectOrderBoxes(outCheckBox, outDataCombox, outTableCombox, &MainWindow::slotOutCheckBoxChanged,
                      &MainWindow::slotOutComboxChanged);
}

void MainWindow::connectOrderBoxes(QCheckBox *check, QComboBox *data, QComboBox *table,
                                   void (MainWindow::*onCheck)(int), void (MainWindow::*onOrder)(int))
{
    connect(check, &QCheckBox::stateChanged, this, onCheck);
    connect(data, QOverload<int>::of(&QComboBox::currentIndexChanged), this, onOrder);
    connect(table, QOverload<int>::of(&QComboBox::currentIndexChanged), this, onOrder);
}

void MainWindow::createLanguageChoice()
{
    languageLabel = new QLabel(this);
    languageCombox = makeCombox(this, {QStringLiteral("English"), QStringLiteral("简体中文")});
    language = 0;
    connect(languageCombox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &MainWindow::slotLanguageChanged);
}

void MainWindow::slotInputButton()
{
    const QStringList chosen = openFilesDialog(this, tr("Open ICC/3DLUT File"), QString(), tr(lutFilter));
    if (chosen.isEmpty())
        return;
    inputPath = chosen.first();

    // Only the header: enough to show the lattice size without reading every sample.
    LUTFILE_ST file;
    file.path = inputPath;
    file.formatId = qint32(Formats::Id::Cube);
    file.defaultOrder = true;
    file.dataOrderRGB = true;
    file.tableOrderRGB = true;
    Read_LUTFile lut;
    if (!lut.ReadFile(file, true))
        return;
    inNameEdit->setText(fromLast(QDir::fromNativeSeparators(inputPath), QLatin1Char('/')));
    inTypeEdit->setText(fromLast(inputPath, QLatin1Char('.')));
    in3DSizeEdit->setText(QString::number(lut.lut3DSize));
    in1DSizeEdit->setText(QStringLiteral("0"));
    inDimensionEdit->setText(QStringLiteral("3D"));
}

void MainWindow::slotOutputButton()
{
    const QString name = saveFileDialog(this, tr("Save ICC/3DLUT File"), QString(), tr(lutFilter));
    if (name.isEmpty())
        return;
    outputPath = name;
    outPathEdit->setText(name);
}

void MainWindow::slotWriteLut()
{
    if (outPathEdit->text().isEmpty() || inNameEdit->text().isEmpty()) {
        if (language == 1)
            showMessage(QStringLiteral("错误"), QStringLiteral("请选择 输入/输出 文件！"), QString());
        else
            showMessage(QStringLiteral("Error"), QStringLiteral("Please Select Input/Output File!"), QString());
        return;
    }
    outputPath = outPathEdit->text();

    LUTFILE_ST input;
    input.path = inputPath;
    input.formatId = qint32(Formats::Id::Cube);
    input.defaultOrder = inCheckBox->isChecked();
    input.dataOrderRGB = inDataCombox->currentText() == QLatin1String("RGB");
    input.tableOrderRGB = inTableCombox->currentText() == QLatin1String("RGB");

    Read_LUTFile lut;
    if (!lut.ReadFile(input, false)) {
        QString reason = lut.errorString;
        if (!reason.contains(inputPath))
            reason = QFileInfo(inputPath).fileName() + QStringLiteral(": ") + reason;
        showMessage(QStringLiteral("Error"), QStringLiteral("File Error!"), reason);
        return;
    }

    LUTFILE_ST output;
    output.path = outputPath;
    output.formatId = qint32(Formats::Id::Cube);
    output.defaultOrder = outCheckBox->isChecked();
    output.dataOrderRGB = outDataCombox->currentText() == QLatin1String("RGB");
    output.tableOrderRGB = outTableCombox->currentText() == QLatin1String("RGB");
    output.scale = 1;
    const int sizeIndex = outSizeCombox->currentIndex();
    output.outputSize3D = sizeIndex == 1 ? outputSizes[1] : outputSizes[0];
    SaveLut(output, lut);
}

bool MainWindow::ConvertLut(const LUTFILE_ST &output, Read_LUTFile &input, QString *reason)
{
    auto failWith = [reason](const QString &why) {
        if (reason)
            *reason = why;
        return false;
    };
    // A model that was read header-only has a size but no samples: nothing to convert.
    if (input.lut3DSize <= 0 || !input.lut3D)
        return failWith(QStringLiteral("the input holds no 3D table"));

    Write_LUTFile writer;
    if (input.lut3DSize == output.outputSize3D) {
        if (writer.WriteFile(output, input))
            return true;
        return failWith(writer.errorString);
    }

    if (!LutLimits::valid3DSize(output.outputSize3D))
        return failWith(QStringLiteral("output size %1 is outside 1 to %2")
                            .arg(output.outputSize3D).arg(LutLimits::max3DSize));
    Read_LUTFile resampled;
    resampled.lut3DSize = output.outputSize3D;
    Read_LUTFile::Data3DCalloc(&resampled.lut3D, resampled.lut3DSize);
    if (!resampled.lut3D)
        return failWith(QStringLiteral("not enough memory for a %1-point lattice").arg(output.outputSize3D));
    LutCalc::Lut3D_Out(input, resampled);
    if (writer.WriteFile(output, resampled))
        return true;
    return failWith(writer.errorString);
}

void MainWindow::SaveLut(LUTFILE_ST output, Read_LUTFile &input)
{
    QString reason;
    if (ConvertLut(output, input, &reason))
        showMessage(QStringLiteral("Successful"), QStringLiteral("Export successful !"), QString());
    else
        showMessage(QStringLiteral("Error"), QStringLiteral("Format not supported !"), reason);
}

void MainWindow::warningBox(const QString &title, const QString &text, const QString &reason)
{
    QMessageBox box(QMessageBox::Warning, title, text, QMessageBox::Ok);
    if (!reason.isEmpty())
        box.setInformativeText(reason);
    box.exec();
}

void MainWindow::slotInComboxChanged(int)
{
    untickUnlessFirstItems(inCheckBox, inDataCombox, inTableCombox);
}

void MainWindow::slotOutComboxChanged(int)
{
    untickUnlessFirstItems(outCheckBox, outDataCombox, outTableCombox);
}

void MainWindow::slotInCheckBoxChanged(int state)
{
    if (state == Qt::Checked)
        selectFirstItems(inDataCombox, inTableCombox);
}

void MainWindow::slotOutCheckBoxChanged(int state)
{
    if (state == Qt::Checked)
        selectFirstItems(outDataCombox, outTableCombox);
}

void MainWindow::slotLanguageChanged(int index)
{
    language = index;
    refreshWindow();
}

void MainWindow::refreshWindow()
{
    const QString *table;
    const ButtonTexts *buttons;
    if (language == 1) {
        table = labelTextZh;
        buttons = &buttonTextZh;
    } else if (language == 0) {
        table = labelTextEn;
        buttons = &buttonTextEn;
    } else {
        return;
    }
    inputButton->setText(QString::fromUtf8(buttons->input));
    outputButton->setText(QString::fromUtf8(buttons->output));
    writeButton->setText(QString::fromUtf8(buttons->write));
    languageLabel->setText(QString::fromUtf8(languageCaption));
    for (int i = 0; i < labelCount; ++i)
        labels[i]->setText(table[i + 1]);
    for (int i = labelCount; i < labelCount + 6; ++i)
        labels[i]->setText(table[i + 2]);
}


void MainWindow::paintEvent(QPaintEvent *)
{
    const int w = width();
    const int h = height();
    QPainter painter(this);
    painter.setBrush(QColor(200, 200, 200));
    painter.drawRect(0, 0, w - 1, h - 1);

    // Etched separators between the three columns: a black line with a white one beside it.
    painter.setPen(Qt::black);
    for (int twelfths : {5, 10}) {
        const int x = columnX(w, twelfths, 0);
        painter.drawLine(x, 0, x, h);
    }
    painter.setPen(Qt::white);
    for (int twelfths : {5, 10}) {
        const int x = columnX(w, twelfths, 1);
        painter.drawLine(x, 0, x, h);
    }
}

void MainWindow::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    const int w = event->size().width();
    const int h = event->size().height();
    const int inLabelX = 20;
    const int inFieldX = 135;
    const int outLabelX = columnX(w, 5, 20);
    const int outFieldX = columnX(w, 5, 135);
    const int rightX = columnX(w, 10, 20);
    const int languageX = columnX(w, 10, 10);

    place(inputButton, inLabelX, 10, 100, 40);
    place(outputButton, outLabelX, 10, 100, 40);
    place(writeButton, rightX, h - 50, 120, 40);
    for (int i = 0; i < labelCount; ++i)
        place(labels[i], inLabelX, 60 + 50 * i, captionWidth, 40);
    for (int i = 0; i < 6; ++i)
        place(labels[labelCount + i], outLabelX, 60 + 50 * i, captionWidth, 40);

    place(inNameEdit, inFieldX, 60, 280, 30);
    place(inTypeEdit, inFieldX, 110, 100, 30);
    place(inCheckBox, inFieldX, 160, 100, 40);
    placeNatural(inDataCombox, inFieldX, 210);
    placeNatural(inTableCombox, inFieldX, 260);
    place(in3DSizeEdit, inFieldX, 310, 100, 30);
    place(in1DSizeEdit, inFieldX, 360, 100, 30);
    place(inDimensionEdit, inFieldX, 410, 100, 30);

    place(outPathEdit, outFieldX, 60, 280, 30);
    placeNatural(outTypeCombox, outFieldX, 110);
    placeNatural(outSizeCombox, outFieldX, 160);
    place(outCheckBox, outFieldX, 210, 100, 40);
    placeNatural(outDataCombox, outFieldX, 260);
    placeNatural(outTableCombox, outFieldX, 310);

    placeNatural(languageLabel, languageX, 10);
    placeNatural(languageCombox, languageX, 40);
}
