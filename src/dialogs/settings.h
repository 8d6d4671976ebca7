#pragma once

#include "printsystem.h"
#include "shellcontext.h"

#include <QDialog>

#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QSpinBox;
struct OutputSelection;
struct PortFormat;
struct PrinterInfo;

namespace Ui {
class Settings;
}

// Chooses the output device: an installed printer, a fixed port or a typed
// port name, and for a port the encoding, the code table, the cut and the
// cash drawer. It opens on the
// output actually in use; OK writes the choice to the settings file, and a
// choice the file does not take keeps the dialog open; Cancel writes nothing.
// "Probni ispis" outputs a sample through the choice shown, saved or not.
class Settings final : public QDialog
{
    Q_OBJECT

public:
    // `portModeNow`: the mode in use when the file does not say.
    // `printerInUse`: in printer mode, the printer the window's next invoice
    // goes to (empty: none); without it, decided from the file as the window
    // would at its set-up. `printers`: as the window just asked the print
    // system; without them the dialog asks itself.
    Settings(const ShellContext &context, QWidget *parent, bool portModeNow = false,
             const std::optional<QString> &printerInUse = std::nullopt,
             const std::optional<PrinterList> &printers = std::nullopt);
    ~Settings() override;

    void accept() override;

signals:
    // A new version was installed from here; the program restarts once these
    // are closed.
    void restartDeferred();

private slots:
    void on_cbPrinterPorts_activated(int index);
    void on_pushButton_clicked();
    void on_btnAddPort_clicked();

private:
    void buildEncodingChoice();
    void fillPrinterPorts(const OutputSelection &selection, bool portModeNow,
                          const std::optional<QString> &printerInUse, const PrinterList &installed);
    void loadEncoding(const OutputSelection &selection);
    void showAddPort(bool visible);
    // The port's code page and table mean nothing to a printer.
    void enablePortDetails();
    std::optional<PrinterInfo> shownChoice() const;
    QString shownEncoding() const;
    QString shownCodeTable() const;
    PortFormat shownFormat() const;
    void testPrint();

    Ui::Settings *ui;
    ShellContext context;
    QLabel *inUse = nullptr;
    QComboBox *encoding = nullptr;
    QSpinBox *codeTable = nullptr;
    QCheckBox *cutPaper = nullptr;
    QCheckBox *openDrawer = nullptr;
    QPushButton *testPrintButton = nullptr;
    QLabel *testResult = nullptr;
};
