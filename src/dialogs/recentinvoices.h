#pragma once

#include "journal.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QTableWidget;

// "Zadnji računi": the latest journal entries, newest first, and printing the
// chosen one again.
class RecentInvoices final : public QDialog
{
    Q_OBJECT

public:
    static constexpr int shownEntries = 200;

    explicit RecentInvoices(const Journal &journal, QWidget *parent = nullptr);

    // Reads the journal again, keeping the selection where it can.
    void refresh();

signals:
    void reprintRequested(const JournalEntry &entry);

private:
    const Journal &journal;
    QList<JournalEntry> entries;
    QTableWidget *table;
    QPushButton *reprint;
};
