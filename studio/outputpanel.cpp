#include "studio/outputpanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <algorithm>

#include "engine/formatoptions.h"
#include "lut/lutlimits.h"

namespace {

using Texts::Id;

// Sizes offered in a list when a format holds every size (any other can be typed).
const int commonSizes[] = {2, 3, 5, 9, 16, 17, 25, 32, 33, 64, 65, 129, 256};
const int commonLengths[] = {256, 1024, 4096, 16384, 65536};
// A format holding more sizes than this takes a typed one; fewer are all listed.
constexpr int listedSizes = 24;

// What may be typed into a box of numbers: a number within its range, or the word of its first
// item ("Keep").
class NumberValidator : public QIntValidator
{
public:
    NumberValidator(int lo, int hi, const QString &word, QObject *parent) : QIntValidator(lo, hi, parent), word_(word) {}

    State validate(QString &input, int &pos) const override
    {
        if (!input.isEmpty() && word_.startsWith(input, Qt::CaseInsensitive))
            return input.size() == word_.size() ? Acceptable : Intermediate;
        return QIntValidator::validate(input, pos);
    }

private:
    QString word_;
};

// The number a box holds: 0 for its first item ("Keep", "Default"), -1 when what was typed is
// no number within [lo, hi].
int numberIn(const QComboBox *box, int lo, int hi)
{
    if (!box->isEditable())
        return box->currentData().toInt();
    if (box->currentText().trimmed().compare(box->itemText(0), Qt::CaseInsensitive) == 0)
        return 0;
    bool ok = false;
    const int v = box->currentText().trimmed().toInt(&ok);
    return ok && v >= lo && v <= hi ? v : -1;
}

// Fill a box with its first item (0) and `values`; `current` stays chosen where it is among
// them or, in an editable box, typed.
void fillNumbers(QComboBox *box, const QString &first, const std::vector<int> &values, int current, bool editable,
                 int lo, int hi)
{
    const QSignalBlocker block(box);
    box->clear();
    for (QValidator *old : box->findChildren<QValidator *>(QString(), Qt::FindDirectChildrenOnly))
        delete old;
    box->setEditable(editable);
    if (editable) {
        box->setInsertPolicy(QComboBox::NoInsert);
        box->setValidator(new NumberValidator(lo, hi, first, box));
    }
    box->addItem(first, 0);
    for (int v : values)
        box->addItem(QString::number(v), v);
    const int at = box->findData(current);
    if (at >= 0)
        box->setCurrentIndex(at);
    else if (editable && current >= lo && current <= hi)
        box->setEditText(QString::number(current));
    else
        box->setCurrentIndex(0);
}

void fillOrders(QComboBox *box)
{
    box->addItem(QString(), QString());
    box->addItem(QString(), QStringLiteral("rgb"));
    box->addItem(QString(), QStringLiteral("bgr"));
}

void nameOrders(QComboBox *box, Texts::Language language, bool table)
{
    box->setItemText(0, Texts::text(Id::OwnOrder, language));
    box->setItemText(1, Texts::text(table ? Id::TableRgb : Id::DataRgb, language));
    box->setItemText(2, Texts::text(table ? Id::TableBgr : Id::DataBgr, language));
}

LutIO::Order orderIn(const QComboBox *box)
{
    LutIO::Order o;
    LutIO::parseOrder(box->currentData().toString(), o);
    return o;
}

void chooseData(QComboBox *box, const QVariant &value)
{
    const int at = box->findData(value);
    if (at >= 0)
        box->setCurrentIndex(at);
}

// A box as narrow as a few characters allow, so that long format names never widen the panel.
void fitNarrow(QComboBox *box)
{
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(12);
}

QString formatKey(const Formats::Format *f)
{
    return f ? QString::fromLatin1(f->name) : QString();
}

}

OutputPanel::OutputPanel(QWidget *parent)
    : QWidget(parent)
{
    chooseFolder = [](QWidget *, const QString &) { return QString(); };
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    createInput();
    createOutput();
    layout->addWidget(inputGroup_);
    layout->addWidget(outputGroup_);
    layout->addStretch(1);
    offerForDevice();
    retranslate(language_);
}

void OutputPanel::createInput()
{
    inputGroup_ = new QGroupBox(this);
    auto *form = new QFormLayout(inputGroup_);
    readAsBox = new QComboBox(inputGroup_);
    readAsBox->setObjectName(QStringLiteral("readAs"));
    readAsBox->addItem(QString(), QString());
    for (const Formats::Format *f : Convert::readableFormats())
        readAsBox->addItem(Formats::labelOf(*f), QString::fromLatin1(f->name));
    inDataBox = new QComboBox(inputGroup_);
    inDataBox->setObjectName(QStringLiteral("inData"));
    inTableBox = new QComboBox(inputGroup_);
    inTableBox->setObjectName(QStringLiteral("inTable"));
    fillOrders(inDataBox);
    fillOrders(inTableBox);
    for (QComboBox *b : {readAsBox, inDataBox, inTableBox})
        fitNarrow(b);
    auto caption = [&](Id id) {
        auto *label = new QLabel(inputGroup_);
        captions_.emplace_back(label, id);
        return label;
    };
    form->addRow(caption(Id::ReadAs), readAsBox);
    form->addRow(caption(Id::DataOrder), inDataBox);
    form->addRow(caption(Id::TableOrder), inTableBox);
    for (QComboBox *box : {readAsBox, inDataBox, inTableBox})
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &OutputPanel::inputChanged);
}

void OutputPanel::createOutput()
{
    outputGroup_ = new QGroupBox(this);
    auto *form = new QFormLayout(outputGroup_);
    auto caption = [&](Id id) {
        auto *label = new QLabel(outputGroup_);
        captions_.emplace_back(label, id);
        return label;
    };
    auto box = [&](const char *name) {
        auto *b = new QComboBox(outputGroup_);
        b->setObjectName(QLatin1String(name));
        fitNarrow(b);
        return b;
    };
    deviceBox = box("device");
    deviceBox->addItem(QString(), QString());
    for (const Devices::Device &d : Devices::all())
        deviceBox->addItem(QLatin1String(d.label), QLatin1String(d.name));
    rangeBox = box("range");
    rangeBox->addItem(QString(), Devices::rangeText(Devices::Range::Full));
    rangeBox->addItem(QString(), Devices::rangeText(Devices::Range::Legal));
    formatBox = box("format");
    for (const Formats::Format *f : Convert::writableFormats())
        formatBox->addItem(QStringLiteral("%1 (%2)").arg(Formats::labelOf(*f), CliFormats::extensionsText(*f)),
                           QString::fromLatin1(f->name));
    formatBox->setCurrentIndex(std::max(0, formatBox->findData(QStringLiteral("cube"))));
    sizeBox = box("size");
    lengthBox = box("length");
    bitsBox = box("bits");
    headerlessBox = new QCheckBox(outputGroup_);
    headerlessBox->setObjectName(QStringLiteral("headerless"));
    outDataBox = box("outData");
    outTableBox = box("outTable");
    fillOrders(outDataBox);
    fillOrders(outTableBox);
    strictBox = new QCheckBox(outputGroup_);
    strictBox->setObjectName(QStringLiteral("strict"));
    folderEdit = new QLineEdit(outputGroup_);
    folderEdit->setObjectName(QStringLiteral("folder"));
    browseButton = new QPushButton(outputGroup_);
    browseButton->setObjectName(QStringLiteral("browse"));
    patternEdit = new QLineEdit(Convert::defaultPattern(), outputGroup_);
    patternEdit->setObjectName(QStringLiteral("pattern"));
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(folderEdit, 1);
    folderRow->addWidget(browseButton);

    form->addRow(caption(Id::Device), deviceBox);
    form->addRow(caption(Id::InputRange), rangeBox);
    form->addRow(caption(Id::Format), formatBox);
    form->addRow(caption(Id::LatticeSize), sizeBox);
    form->addRow(caption(Id::Length1D), lengthBox);
    form->addRow(caption(Id::Bits), bitsBox);
    form->addRow(QString(), headerlessBox);
    form->addRow(caption(Id::DataOrder), outDataBox);
    form->addRow(caption(Id::TableOrder), outTableBox);
    form->addRow(QString(), strictBox);
    form->addRow(caption(Id::Folder), folderRow);
    form->addRow(caption(Id::Pattern), patternEdit);

    connect(deviceBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &OutputPanel::offerForDevice);
    connect(formatBox, QOverload<int>::of(&QComboBox::currentIndexChanged), this, &OutputPanel::offerForFormat);
    connect(headerlessBox, &QCheckBox::toggled, this, &OutputPanel::offerForFormat);
    connect(browseButton, &QPushButton::clicked, this, &OutputPanel::browse);
}

void OutputPanel::offerForDevice()
{
    const Devices::Device *d = device();
    if (d) {
        const QSignalBlocker block(formatBox);
        chooseData(formatBox, QLatin1String(d->format));
        // The device reads its format in the format's own orders.
        outDataBox->setCurrentIndex(0);
        outTableBox->setCurrentIndex(0);
    }
    formatBox->setEnabled(!d);
    outDataBox->setEnabled(!d);
    outTableBox->setEnabled(!d);
    rangeBox->setEnabled(d);
    offerForFormat();
}

void OutputPanel::offerForFormat()
{
    const Formats::Format *f = format();
    if (!f)
        return;
    const Devices::Device *d = device();
    Formats::Options options;
    const Convert::FormatOptions base = Convert::optionsOf(*f, options);
    headerlessBox->setEnabled(base.headerless);
    if (!base.headerless)
        headerlessBox->setChecked(false);
    options.headerless = headerlessBox->isChecked();
    const Convert::FormatOptions o = Convert::optionsOf(*f, options);

    const int size = numberIn(sizeBox, 2, LutLimits::max3DSize);
    // A device takes its own sizes; the engine fits any other lattice to the nearest of them.
    const bool everySize = !d && int(o.sizes.size()) > listedSizes;
    std::vector<int> sizes = o.sizes;
    if (d) {
        sizes.clear();
        for (int n : d->sizes)
            if (n > 0)
                sizes.push_back(n);
    } else if (everySize)
        sizes.erase(std::remove_if(sizes.begin(), sizes.end(),
                                   [](int n) { return std::find(std::begin(commonSizes), std::end(commonSizes), n) == std::end(commonSizes); }),
                    sizes.end());
    fillNumbers(sizeBox, Texts::text(Id::Keep, language_), sizes, size, everySize, 2, LutLimits::max3DSize);
    sizeBox->setEnabled(!o.sizes.empty());

    const int length = numberIn(lengthBox, 2, LutLimits::max1DSize);
    if (o.fixedLength > 0)
        fillNumbers(lengthBox, Texts::text(Id::Fixed, language_).arg(o.fixedLength), {}, 0, false, 0, 0);
    else
        fillNumbers(lengthBox, Texts::text(Id::Keep, language_), std::vector<int>(std::begin(commonLengths), std::end(commonLengths)),
                    length, true, 2, LutLimits::max1DSize);
    lengthBox->setEnabled(o.length);

    const int bits = bitsBox->currentData().toInt();
    fillNumbers(bitsBox, o.bits.empty() ? Texts::text(Id::NoChoice, language_)
                                        : Texts::text(Id::FormatDefault, language_).arg(o.defaultBits),
                o.bits, bits, false, 0, 0);
    bitsBox->setEnabled(!o.bits.empty());
}

void OutputPanel::retranslate(Texts::Language language)
{
    language_ = language;
    inputGroup_->setTitle(Texts::text(Id::InputGroup, language));
    outputGroup_->setTitle(Texts::text(Id::OutputGroup, language));
    for (const auto &c : captions_)
        c.first->setText(Texts::text(c.second, language));
    readAsBox->setItemText(0, Texts::text(Id::ByName, language));
    deviceBox->setItemText(0, Texts::text(Id::NoDevice, language));
    deviceBox->setToolTip(Texts::text(Id::DeviceTip, language));
    rangeBox->setItemText(0, Texts::text(Id::FullRange, language));
    rangeBox->setItemText(1, Texts::text(Id::LegalRange, language));
    rangeBox->setToolTip(Texts::text(Id::RangeTip, language));
    for (QComboBox *b : {inDataBox, outDataBox})
        nameOrders(b, language, false);
    for (QComboBox *b : {inTableBox, outTableBox})
        nameOrders(b, language, true);
    headerlessBox->setText(Texts::text(Id::Headerless, language));
    strictBox->setText(Texts::text(Id::Strict, language));
    strictBox->setToolTip(Texts::text(Id::StrictTip, language));
    browseButton->setText(Texts::text(Id::Browse, language));
    patternEdit->setToolTip(Texts::text(Id::PatternTip, language));
    offerForFormat();
}

const Formats::Format *OutputPanel::format() const
{
    return Formats::byName(formatBox->currentData().toString());
}

const Devices::Device *OutputPanel::device() const
{
    const QString name = deviceBox->currentData().toString();
    return name.isEmpty() ? nullptr : Devices::byName(name);
}

bool OutputPanel::setDevice(const QString &name)
{
    const Devices::Device *d = name.isEmpty() ? nullptr : Devices::byName(name);
    if (!name.isEmpty() && !d)
        return false;
    deviceBox->setCurrentIndex(d ? deviceBox->findData(QLatin1String(d->name)) : 0);
    return true;
}

bool OutputPanel::conversion(Convert::Settings &s, QString *error) const
{
    s = Convert::Settings();
    s.inFormat = inputFormat();
    s.inOrders = inputOrders();
    if (outDataBox->isEnabled())
        s.outOrders.data = orderIn(outDataBox);
    if (outTableBox->isEnabled())
        s.outOrders.table = orderIn(outTableBox);
    s.device = device();
    if (s.device)
        Devices::parseRange(rangeBox->currentData().toString(), &s.range);
    s.shape.size3D = sizeBox->isEnabled() ? numberIn(sizeBox, 2, LutLimits::max3DSize) : 0;
    s.shape.length1D = lengthBox->isEnabled() ? numberIn(lengthBox, 2, LutLimits::max1DSize) : 0;
    s.options.bits = bitsBox->isEnabled() ? bitsBox->currentData().toInt() : 0;
    s.options.headerless = headerlessBox->isEnabled() && headerlessBox->isChecked();
    s.strict = strictBox->isChecked();
    const Formats::Format *f = format();
    if (s.shape.size3D > 0 && f) {
        const std::vector<int> sizes = Convert::optionsOf(*f, s.options).sizes;
        if (std::find(sizes.begin(), sizes.end(), s.shape.size3D) == sizes.end())
            s.shape.size3D = -1;
    }
    if (s.shape.size3D < 0 || s.shape.length1D < 0) {
        *error = Texts::text(Id::BadSize, language_)
                     .arg(s.shape.size3D < 0 ? sizeBox->currentText() : lengthBox->currentText(),
                          f ? Formats::labelOf(*f) : QString());
        return false;
    }
    return true;
}

CliFormats::Choice OutputPanel::inputFormat() const
{
    const QString name = readAsBox->currentData().toString();
    if (name.isEmpty())
        return {};
    const Formats::Format *f = Formats::byName(name);
    return f ? CliFormats::Choice{f} : CliFormats::Choice{};
}

LutIO::Orders OutputPanel::inputOrders() const
{
    LutIO::Orders o;
    o.data = orderIn(inDataBox);
    o.table = orderIn(inTableBox);
    return o;
}

QString OutputPanel::folder() const
{
    return QDir::fromNativeSeparators(folderEdit->text().trimmed());
}

void OutputPanel::setFolder(const QString &folder)
{
    folderEdit->setText(QDir::toNativeSeparators(folder));
}

QString OutputPanel::pattern() const
{
    return patternEdit->text();
}

void OutputPanel::browse()
{
    const QString chosen = chooseFolder(this, folder());
    if (!chosen.isEmpty())
        setFolder(chosen);
}

void OutputPanel::load(const QSettings &s)
{
    const QSignalBlocker blockReadAs(readAsBox), blockData(inDataBox), blockTable(inTableBox);
    chooseData(readAsBox, s.value(QStringLiteral("input/format"), QString()));
    chooseData(inDataBox, s.value(QStringLiteral("input/data"), QString()));
    chooseData(inTableBox, s.value(QStringLiteral("input/table"), QString()));
    chooseData(formatBox, s.value(QStringLiteral("output/format"), QStringLiteral("cube")));
    headerlessBox->setChecked(s.value(QStringLiteral("output/headerless"), false).toBool());
    chooseData(rangeBox, s.value(QStringLiteral("output/range"), Devices::rangeText(Devices::Range::Full)));
    {
        // A preset no longer known is no preset.
        const QSignalBlocker block(deviceBox);
        if (!setDevice(s.value(QStringLiteral("output/device"), QString()).toString()))
            setDevice(QString());
    }
    offerForDevice();
    chooseData(bitsBox, s.value(QStringLiteral("output/bits"), 0).toInt());
    for (QComboBox *box : {sizeBox, lengthBox}) {
        const int v = s.value(box == sizeBox ? QStringLiteral("output/size") : QStringLiteral("output/length"), 0).toInt();
        const int at = box->findData(v);
        if (at >= 0)
            box->setCurrentIndex(at);
        else if (box->isEditable() && v > 0)
            box->setEditText(QString::number(v));
    }
    if (!device()) {
        chooseData(outDataBox, s.value(QStringLiteral("output/data"), QString()));
        chooseData(outTableBox, s.value(QStringLiteral("output/table"), QString()));
    }
    strictBox->setChecked(s.value(QStringLiteral("output/strict"), false).toBool());
    setFolder(s.value(QStringLiteral("output/folder"), QString()).toString());
    patternEdit->setText(s.value(QStringLiteral("output/pattern"), Convert::defaultPattern()).toString());
}

void OutputPanel::save(QSettings &s) const
{
    s.setValue(QStringLiteral("input/format"), readAsBox->currentData());
    s.setValue(QStringLiteral("input/data"), inDataBox->currentData());
    s.setValue(QStringLiteral("input/table"), inTableBox->currentData());
    s.setValue(QStringLiteral("output/device"), deviceBox->currentData());
    s.setValue(QStringLiteral("output/range"), rangeBox->currentData());
    s.setValue(QStringLiteral("output/format"), formatKey(format()));
    s.setValue(QStringLiteral("output/size"), std::max(0, numberIn(sizeBox, 2, LutLimits::max3DSize)));
    s.setValue(QStringLiteral("output/length"), std::max(0, numberIn(lengthBox, 2, LutLimits::max1DSize)));
    s.setValue(QStringLiteral("output/bits"), bitsBox->currentData().toInt());
    s.setValue(QStringLiteral("output/headerless"), headerlessBox->isChecked());
    s.setValue(QStringLiteral("output/data"), outDataBox->currentData());
    s.setValue(QStringLiteral("output/table"), outTableBox->currentData());
    s.setValue(QStringLiteral("output/strict"), strictBox->isChecked());
    s.setValue(QStringLiteral("output/folder"), folder());
    s.setValue(QStringLiteral("output/pattern"), pattern());
}
