#ifndef STUDIO_OUTPUTPANEL_H
#define STUDIO_OUTPUTPANEL_H

#include <QWidget>

#include <functional>
#include <vector>

#include "engine/convertjob.h"
#include "studio/texts.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSettings;

// How the inputs are read and what the outputs become: the output format or a device preset,
// the options that format takes (the others disabled), the output folder and the file-name
// pattern.
class OutputPanel : public QWidget
{
    Q_OBJECT
public:
    explicit OutputPanel(QWidget *parent = nullptr);

    void retranslate(Texts::Language language);
    void load(const QSettings &settings);
    void save(QSettings &settings) const;

    const Formats::Format *format() const;
    // The device preset chosen; nullptr for none.
    const Devices::Device *device() const;
    // Choose a preset by its name (empty: none); false when there is none of that name.
    bool setDevice(const QString &name);
    // The engine's settings from the choices. False with `error` (for the user) when a typed
    // size is not one the format holds.
    bool conversion(Convert::Settings &settings, QString *error) const;
    // The input side alone, for reading the files into the list.
    CliFormats::Choice inputFormat() const;
    LutIO::Orders inputOrders() const;
    QString folder() const;
    void setFolder(const QString &folder);
    QString pattern() const;

    // How the panel asks for a folder (parent, start folder); empty when the user cancels.
    std::function<QString(QWidget *, const QString &)> chooseFolder;

    QComboBox *readAsBox = nullptr;
    QComboBox *inDataBox = nullptr;
    QComboBox *inTableBox = nullptr;
    QComboBox *deviceBox = nullptr;
    QComboBox *rangeBox = nullptr;
    QComboBox *formatBox = nullptr;
    QComboBox *sizeBox = nullptr;
    QComboBox *lengthBox = nullptr;
    QComboBox *bitsBox = nullptr;
    QCheckBox *headerlessBox = nullptr;
    QComboBox *outDataBox = nullptr;
    QComboBox *outTableBox = nullptr;
    QCheckBox *strictBox = nullptr;
    QLineEdit *folderEdit = nullptr;
    QPushButton *browseButton = nullptr;
    QLineEdit *patternEdit = nullptr;

signals:
    // The input options changed: the files are to be read again.
    void inputChanged();

private:
    void createInput();
    void createOutput();
    // Offer what the chosen format takes, keeping the current choices where it still does.
    void offerForFormat();
    // A device fixes the format and the output orders, and takes only its sizes.
    void offerForDevice();
    void browse();

    Texts::Language language_ = Texts::English;
    QGroupBox *inputGroup_ = nullptr;
    QGroupBox *outputGroup_ = nullptr;
    std::vector<std::pair<QLabel *, Texts::Id>> captions_;
};

#endif
