#pragma once

#include "shellcontext.h"

#include <QDialog>

namespace Ui {
class Settings;
}

// Chooses the output device: an installed printer, a fixed port or a typed
// port name. OK writes the choice to the settings file; Cancel writes nothing.
class Settings final : public QDialog
{
    Q_OBJECT

public:
    Settings(const ShellContext &context, QWidget *parent);
    ~Settings() override;

private slots:
    void on_cbPrinterPorts_activated(int index);
    void on_buttonBox_accepted();
    void on_pushButton_clicked();
    void on_btnAddPort_clicked();

private:
    void fillPrinterPorts();
    void loadSavedPrinterPort();
    void showAddPort(bool visible);

    Ui::Settings *ui;
    ShellContext context;
};
