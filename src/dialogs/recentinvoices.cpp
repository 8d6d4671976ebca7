#include "recentinvoices.h"

#include "invoicetext.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

RecentInvoices::RecentInvoices(const Journal &journal, QWidget *parent)
    : QDialog(parent)
    , journal(journal)
    , table(new QTableWidget(this))
    , reprint(new QPushButton(tr("Ponovi ispis"), this))
{
    setObjectName(QStringLiteral("RecentInvoices"));
    setWindowTitle(tr("Zadnji računi"));
    resize(760, 420);
    table->setObjectName(QStringLiteral("tblInvoices"));
    table->setColumnCount(4);
    table->setHorizontalHeaderLabels({tr("Vrijeme"), tr("Ishod"), tr("Izlaz"), tr("Račun")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    reprint->setObjectName(QStringLiteral("btnReprint"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(reprint, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(reprint, &QPushButton::clicked, this, [this] {
        const int row = table->currentRow();
        if (row >= 0 && row < entries.size())
            emit reprintRequested(entries.at(row));
        refresh();
    });
    connect(table, &QTableWidget::itemSelectionChanged, this,
            [this] { reprint->setEnabled(table->currentRow() >= 0); });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    refresh();
}

void RecentInvoices::refresh()
{
    const qint64 selected = table->currentRow() >= 0 && table->currentRow() < entries.size()
                                ? entries.at(table->currentRow()).id
                                : 0;
    entries = journal.latest(shownEntries);
    table->setRowCount(entries.size());
    int selectRow = entries.isEmpty() ? -1 : 0;
    for (int row = 0; row < entries.size(); ++row) {
        const JournalEntry &entry = entries.at(row);
        const QString outcome = entry.outcome == QLatin1String(JournalEntry::printed) ? tr("ispisan")
                                : entry.outcome == QLatin1String(JournalEntry::failed)
                                    ? tr("nije ispisan: %1").arg(entry.reason)
                                : entry.outcome == QLatin1String(JournalEntry::skipped)
                                    ? tr("preskočen: %1").arg(entry.reason)
                                    : tr("nedovršen");
        const QStringList cells = {entry.time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy. HH:mm:ss")), outcome,
                                   entry.target, invoiceTitle(entry.text, entry.mode == QLatin1String(JournalEntry::printerMode))};
        for (int column = 0; column < cells.size(); ++column)
            table->setItem(row, column, new QTableWidgetItem(cells.at(column)));
        if (entry.id == selected)
            selectRow = row;
    }
    table->resizeColumnsToContents();
    if (selectRow >= 0)
        table->selectRow(selectRow);
    reprint->setEnabled(selectRow >= 0);
}
