#include "settings.h"
#include "ui_settings.h"

#include "buildconfig.h"
#include "outputchoice.h"
#include "outputsetup.h"
#include "portencoding.h"
#include "portoutput.h"
#include "printdocument.h"
#include "settingsfile.h"
#include "updates.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTextDocument>

namespace {

// PC852 with ESC t 18: Croatian letters on Epson-compatible ESC/POS printers.
const QString croatianEscPos = QStringLiteral("CP852+18");

} // namespace

Settings::Settings(const ShellContext &context, QWidget *parent, bool portModeNow,
                   const std::optional<QString> &printerInUse, const std::optional<PrinterList> &printers)
    : QDialog(parent)
    , ui(new Ui::Settings)
    , context(context)
{
    qRegisterMetaType<PrinterInfo>("PrinterInfo");
    ui->setupUi(this);
    ui->label_2->setText(ui->label_2->text().arg(QLatin1String(VELMOR_VERSION)));
    // One line: Tab moves on, Enter accepts, and neither ends up in the name.
    ui->txtPortName->setClearButtonEnabled(true);

    buildEncodingChoice();
    const OutputSelection selection = SettingsFile(context.settingsFile).outputSelection();
    // Asked off the GUI thread: a print system that does not answer leaves
    // the ports to choose from, and says so.
    fillPrinterPorts(selection, portModeNow, printerInUse, printers ? *printers : askPrinters());
    loadEncoding(selection);
    showAddPort(false);
}

Settings::~Settings()
{
    delete ui;
}

void Settings::buildEncodingChoice()
{
    // Below the port choice; the form's fixed layout makes room for it.
    auto *box = new QWidget(ui->tabSettings);
    box->setObjectName(QStringLiteral("outputDetails"));
    auto *form = new QFormLayout(box);
    form->setContentsMargins(0, 0, 0, 0);
    inUse = new QLabel(box);
    inUse->setObjectName(QStringLiteral("lblInUse"));
    inUse->setWordWrap(true);
    encoding = new QComboBox(box);
    encoding->setObjectName(QStringLiteral("cbEncoding"));
    encoding->addItem(tr("UTF-8"), QString());
    encoding->addItem(tr("PC852 + ESC t 18 (hrvatski, ESC/POS)"), croatianEscPos);
    for (const QString &name : portEncodings().mid(1))
        encoding->addItem(name, name);
    codeTable = new QSpinBox(box);
    codeTable->setObjectName(QStringLiteral("sbCodeTable"));
    codeTable->setRange(-1, 255);
    codeTable->setSpecialValueText(tr("bez naredbe"));
    cutPaper = new QCheckBox(tr("Odreži papir nakon računa"), box);
    cutPaper->setObjectName(QStringLiteral("cbCutPaper"));
    openDrawer = new QCheckBox(tr("Otvori ladicu blagajne uz račun"), box);
    openDrawer->setObjectName(QStringLiteral("cbOpenDrawer"));
    testPrintButton = new QPushButton(tr("Probni ispis"), box);
    testPrintButton->setObjectName(QStringLiteral("btnTestPrint"));
    testResult = new QLabel(box);
    testResult->setObjectName(QStringLiteral("lblTestResult"));
    testResult->setWordWrap(true);
    form->addRow(inUse);
    form->addRow(tr("Kodna stranica porta:"), encoding);
    form->addRow(tr("Kodna tablica (ESC t n):"), codeTable);
    form->addRow(cutPaper);
    form->addRow(openDrawer);
    form->addRow(testPrintButton, testResult);

    resize(480, 530);
    ui->layoutWidget->setGeometry(9, 9, 430, 29);
    ui->layoutWidget1->setGeometry(10, 40, 429, 30);
    box->setGeometry(10, 76, 429, 230);
    for (QWidget *below : {static_cast<QWidget *>(ui->pushButton), static_cast<QWidget *>(ui->label),
                           static_cast<QWidget *>(ui->label_2)})
        below->move(below->x(), below->y() + 160);

    connect(encoding, QOverload<int>::of(&QComboBox::activated), this, [this] {
        if (encoding->currentData().toString() == croatianEscPos)
            codeTable->setValue(18);
    });
    connect(testPrintButton, &QPushButton::clicked, this, &Settings::testPrint);
    // Updates come by the package manager in a build without the self-update.
    ui->pushButton->setVisible(context.selfUpdate);
    // Keys alone choose the output: the choice has the focus (Home, End or
    // the arrows), and Enter is OK's wherever it is pressed.
    ui->cbPrinterPorts->setFocus();
    for (QPushButton *button : {ui->btnAddPort, ui->pushButton, testPrintButton})
        button->setAutoDefault(false);
}

void Settings::fillPrinterPorts(const OutputSelection &selection, bool portModeNow,
                                const std::optional<QString> &printerInUse, const PrinterList &installed)
{
    const QStringList printers = installed.names;
    const QString defaultPrinter = installed.defaultName;

    const QList<PortEntry> entries = portEntries(printers, defaultPrinter);
    for (const PortEntry &entry : entries)
        ui->cbPrinterPorts->addItem(entry.text, QVariant::fromValue(entry.info));

    // The output the main window uses now, decided as it decides it.
    const OutputSetup setup = decideOutput(selection, portModeNow);
    const QString name = setup.useSerialPort ? setup.portName : setup.printerName;
    QString note;
    int index = entryInUse(entries, setup.useSerialPort, name, selection.choice.friendlyName, defaultPrinter, &note);
    if (!setup.useSerialPort && printerInUse) {
        // What the window really prints on, which may be a printer gone
        // since it was set up (its invoices then fail, and go nowhere else).
        index = -1;
        for (int i = 0; i < entries.size() && !printerInUse->isEmpty(); ++i) {
            if (!entries.at(i).info.useSerialPort && entries.at(i).info.printerPort == *printerInUse)
                index = i;
        }
        if (printerInUse->isEmpty())
            note = tr("Nema instaliranog pisača; računi se ne ispisuju.");
        else if (index < 0)
            note = tr("Pisač „%1” više nije instaliran; računi se ne ispisuju dok se ne vrati ili dok ne odaberete "
                      "drugi.")
                       .arg(*printerInUse);
        else if (*printerInUse == name || name.isEmpty())
            note.clear();
    }
    if (index < 0 && setup.useSerialPort && !name.isEmpty()) {
        // A port known only to the file: it reaches the file again only if OK
        // is pressed with it chosen.
        index = ui->cbPrinterPorts->count();
        ui->cbPrinterPorts->addItem(portEntryText(name), QVariant::fromValue(PrinterInfo(name, true, QString())));
    }
    if (setup.useSerialPort && name.isEmpty())
        note = tr("U postavkama nije zadan port.");
    ui->cbPrinterPorts->setCurrentIndex(index);
    if (!installed.answered && !setup.useSerialPort)
        note = tr("Pisači se ne mogu prikazati: %1.").arg(installed.problem);
    QString said = tr("U upotrebi: %1").arg(index >= 0 ? ui->cbPrinterPorts->currentText() : tr("ništa"));
    if (!note.isEmpty())
        said += QLatin1Char('\n') + note;
    inUse->setText(said);
}

void Settings::loadEncoding(const OutputSelection &selection)
{
    const QString saved = selection.portEncoding.trimmed().toUpper();
    bool number = false;
    const int table = selection.portCodeTable.trimmed().toInt(&number);
    codeTable->setValue(number && table >= 0 && table <= 255 ? table : -1);
    cutPaper->setChecked(selection.portCutPaper);
    openDrawer->setChecked(selection.portOpenDrawer);
    if (saved.isEmpty() || saved == QLatin1String("UTF-8")) {
        encoding->setCurrentIndex(0);
    } else if (saved == QLatin1String("CP852") && codeTable->value() == 18) {
        encoding->setCurrentIndex(encoding->findData(croatianEscPos));
    } else if (encoding->findData(saved) >= 0) {
        encoding->setCurrentIndex(encoding->findData(saved));
    } else {
        // Kept as written, so that OK does not quietly turn it into another.
        encoding->addItem(tr("%1 (nepoznata)").arg(selection.portEncoding), selection.portEncoding);
        encoding->setCurrentIndex(encoding->count() - 1);
    }
}

void Settings::showAddPort(bool visible)
{
    ui->lblPortName->setVisible(visible);
    ui->txtPortName->setVisible(visible);
    enablePortDetails();
}

void Settings::enablePortDetails()
{
    const bool port = !ui->txtPortName->isHidden()
                      || (ui->cbPrinterPorts->currentIndex() >= 0
                          && ui->cbPrinterPorts->currentData().value<PrinterInfo>().useSerialPort);
    for (QWidget *detail : {static_cast<QWidget *>(encoding), static_cast<QWidget *>(codeTable),
                            static_cast<QWidget *>(cutPaper), static_cast<QWidget *>(openDrawer)})
        detail->setEnabled(port);
}

void Settings::on_btnAddPort_clicked()
{
    showAddPort(true);
    ui->txtPortName->setFocus();
}

void Settings::on_cbPrinterPorts_activated(int index)
{
    Q_UNUSED(index)
    showAddPort(false);
}

std::optional<PrinterInfo> Settings::shownChoice() const
{
    const int index = ui->cbPrinterPorts->currentIndex();
    std::optional<PrinterInfo> current;
    if (index >= 0)
        current = ui->cbPrinterPorts->itemData(index).value<PrinterInfo>();
    return selectionToSave(ui->txtPortName->isHidden(), ui->txtPortName->text(), current);
}

QString Settings::shownEncoding() const
{
    const QString chosen = encoding->currentData().toString();
    return chosen == croatianEscPos ? QStringLiteral("CP852") : chosen;
}

QString Settings::shownCodeTable() const
{
    return codeTable->value() < 0 ? QString() : QString::number(codeTable->value());
}

PortFormat Settings::shownFormat() const
{
    return {shownEncoding(), shownCodeTable(), cutPaper->isChecked(), openDrawer->isChecked()};
}

void Settings::accept()
{
    const std::optional<PrinterInfo> toSave = shownChoice();
    const SettingsFile file(context.settingsFile);
    if (toSave) {
        const bool saved = file.writeOutputSelection(keepingStoredName(*toSave, file.outputSelection()))
                           && (!toSave->useSerialPort
                               || (file.writePortEncoding(shownEncoding(), shownCodeTable())
                                   && file.writePortActions(cutPaper->isChecked(), openDrawer->isChecked())));
        if (!saved) {
            QMessageBox::warning(this, windowTitle(),
                                 tr("Izbor se ne može spremiti: datoteka %1 ne da se zapisati. "
                                    "Provjerite smije li se pisati u tu mapu.")
                                     .arg(QDir::toNativeSeparators(QFileInfo(file.path()).absoluteFilePath())));
            return; // still open, nothing lost
        }
    }
    QDialog::accept();
}

void Settings::testPrint()
{
    const std::optional<PrinterInfo> choice = shownChoice();
    if (!choice) {
        testResult->setText(tr("Nije odabran pisač ni port."));
        return;
    }
    const QString target = choice->useSerialPort ? portEntryText(choice->printerPort)
                                                 : printerEntryText(choice->printerPort, false);
    const QString sample = tr("Probni ispis\nčćđšž ČĆĐŠŽ\n%1\n%2\n\n")
                               .arg(QLocale().toString(QDateTime::currentDateTime(), QLocale::ShortFormat), target);
    testResult->setText(tr("Ispisujem…"));
    testPrintButton->setEnabled(false);

    auto shown = [this, target](const OutputResult &result) {
        testPrintButton->setEnabled(true);
        testResult->setText(result.done ? tr("Probni ispis poslan: %1").arg(target)
                                        : tr("Probni ispis nije uspio: %1").arg(result.problem));
    };
    if (choice->useSerialPort) {
        // Said when the write is over; the dialog keeps running meanwhile.
        writeInvoiceToPortLater(choice->printerPort, sample, shownFormat(),
                                std::make_shared<std::atomic<bool>>(false), this, shown);
        return;
    }
    // On the printer by its name: one gone since the list was made says so,
    // and is not replaced by the default one.
    printDocumentLater(
        choice->printerPort,
        [sample](QPrinter &target) {
            QTextDocument document;
            document.setPlainText(sample);
            document.print(&target);
        },
        tr("Probni ispis"), this, shown);
}

void Settings::on_pushButton_clicked()
{
    // Here an up-to-date answer is said, not closed on.
    auto *updates = new Updates(context, this, false);
    // A new version waits for these to be closed: what is chosen here and
    // not saved yet is not lost to a restart.
    updates->setRestartHeld([] { return true; });
    connect(updates, &Updates::restartDeferred, this, [this] {
        inUse->setText(tr("Nova verzija je instalirana; program će se ponovno pokrenuti kad zatvorite Postavke."));
        emit restartDeferred();
    });
    updates->exec();
    delete updates;
}
