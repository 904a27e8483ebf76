#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <functional>

#include "lut/lutfile_st.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class Read_LUTFile;

// The one window: the input side (which file and how its samples are ordered), the output side
// (where to write, the output size and order) and a narrow column with the language choice and
// the convert button. Widgets sit at fixed positions computed from the window's size.
class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    QPushButton *inputButton = nullptr;
    QPushButton *outputButton = nullptr;
    QPushButton *writeButton = nullptr;
    QLabel *labels[14] = {};
    QLineEdit *inNameEdit = nullptr;
    QLineEdit *inTypeEdit = nullptr;
    QLineEdit *in3DSizeEdit = nullptr;
    QLineEdit *in1DSizeEdit = nullptr;
    QLineEdit *inDimensionEdit = nullptr;
    QCheckBox *inCheckBox = nullptr;
    QComboBox *inDataCombox = nullptr;
    QComboBox *inTableCombox = nullptr;
    QLineEdit *outPathEdit = nullptr;
    QComboBox *outTypeCombox = nullptr;
    QComboBox *outSizeCombox = nullptr;
    QCheckBox *outCheckBox = nullptr;
    QComboBox *outDataCombox = nullptr;
    QComboBox *outTableCombox = nullptr;
    QComboBox *languageCombox = nullptr;
    QLabel *languageLabel = nullptr;
    QString inputPath;
    QString outputPath;
    int labelCount = 0;
    int language = 0;

    // How the window asks for files. They default to the toolkit's dialogs; a test or a tool
    // may put its own answer in their place. Arguments: parent, caption, start folder, filter.
    std::function<QStringList(QWidget *, const QString &, const QString &, const QString &)> openFilesDialog;
    std::function<QString(QWidget *, const QString &, const QString &, const QString &)> saveFileDialog;
    // How an outcome reaches the user: by default a modal warning box with one OK button and
    // no parent. `reason`, when not empty, goes below the text and says why something failed.
    std::function<void(const QString &title, const QString &text, const QString &reason)> showMessage;

    // Resample `input` to the record's size when the sizes differ, write it, and tell the user.
    void SaveLut(LUTFILE_ST output, Read_LUTFile &input);
    // The same without a message: true when the file was written, else false with the reason.
    static bool ConvertLut(const LUTFILE_ST &output, Read_LUTFile &input, QString *reason);

    // Smallest size at which the columns neither overlap nor run into the separators.
    static constexpr int smallestWidth = 1000;
    static constexpr int smallestHeight = 460;
    // Width of every caption label; the window's font is made to fit it.
    static constexpr int captionWidth = 100;

public slots:
    void slotInputButton();
    void slotOutputButton();
    void slotWriteLut();
    void slotInComboxChanged(int index);
    void slotInCheckBoxChanged(int state);
    void slotOutComboxChanged(int index);
    void slotOutCheckBoxChanged(int state);
    void slotLanguageChanged(int index);

public:
    void refreshWindow();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void createButtons();
    void createInputSide();
    void createOutputSide();
    void createLanguageChoice();
    void connectOrderBoxes(QCheckBox *check, QComboBox *data, QComboBox *table,
                           void (MainWindow::*onCheck)(int), void (MainWindow::*onOrder)(int));
    static void warningBox(const QString &title, const QString &text, const QString &reason);
};

#endif
