#include "settings.h"
#include "ui_settings.h"

#include "buildconfig.h"
#include "outputchoice.h"
#include "settingsfile.h"
#include "updates.h"

#include <QPrinterInfo>

Settings::Settings(const ShellContext &context, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::Settings)
    , context(context)
{
    qRegisterMetaType<PrinterInfo>("PrinterInfo");
    ui->setupUi(this);
    ui->label_2->setText(ui->label_2->text().arg(QLatin1String(VELMOR_VERSION)));

    fillPrinterPorts();
    loadSavedPrinterPort();
    showAddPort(false);
}

Settings::~Settings()
{
    delete ui;
}

void Settings::fillPrinterPorts()
{
    QStringList printers;
    for (const QPrinterInfo &info : QPrinterInfo::availablePrinters())
        printers << info.printerName();

    for (const PortEntry &entry : portEntries(printers))
        ui->cbPrinterPorts->insertItem(ui->cbPrinterPorts->count(), entry.text, QVariant::fromValue(entry.info));
}

void Settings::loadSavedPrinterPort()
{
    const std::optional<PrinterInfo> saved = SettingsFile(context.settingsFile).outputSelection().complete();
    if (!saved)
        return;

    QStringList texts;
    for (int i = 0; i < ui->cbPrinterPorts->count(); ++i)
        texts << ui->cbPrinterPorts->itemText(i);

    int index = findSavedEntry(texts, *saved);
    if (index < 0) {
        // Known only to the file (a typed port, a printer since removed): it
        // reaches the file again only if OK is pressed with it chosen.
        index = ui->cbPrinterPorts->count();
        ui->cbPrinterPorts->insertItem(index, saved->printerPort, QVariant::fromValue(*saved));
    }
    ui->cbPrinterPorts->setCurrentIndex(index);
}

void Settings::showAddPort(bool visible)
{
    ui->lblPortName->setVisible(visible);
    ui->txtPortName->setVisible(visible);
}

void Settings::on_btnAddPort_clicked()
{
    showAddPort(true);
}

void Settings::on_cbPrinterPorts_activated(int index)
{
    Q_UNUSED(index)
    showAddPort(false);
}

void Settings::on_buttonBox_accepted()
{
    // accept() has hidden the dialog already, so every child reads as not
    // visible: the editor's own hidden state is what tells the two rules apart.
    const int index = ui->cbPrinterPorts->currentIndex();
    std::optional<PrinterInfo> current;
    if (index >= 0)
        current = ui->cbPrinterPorts->itemData(index).value<PrinterInfo>();

    const std::optional<PrinterInfo> toSave =
        selectionToSave(ui->txtPortName->isHidden(), ui->txtPortName->toPlainText(), current);
    if (toSave)
        SettingsFile(context.settingsFile).writeOutputSelection(*toSave);
}

void Settings::on_pushButton_clicked()
{
    // Here an up-to-date answer is said, not closed on.
    auto *updates = new Updates(context, this, false);
    updates->exec();
    delete updates;
}
