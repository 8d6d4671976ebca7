// Holds the journal's write lock from a process of its own, as another
// program on the till might. Usage: journallock_harness <journal> <ms>;
// says "locked" once it holds the lock, and lets go after <ms>.
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextStream>
#include <QThread>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 3)
        return 2;
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(QString::fromLocal8Bit(argv[1]));
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    QSqlQuery query(db);
    if (!db.open() || !query.exec(QStringLiteral("BEGIN EXCLUSIVE"))
        || !query.exec(QStringLiteral("UPDATE entries SET reason = reason WHERE id = 0")))
        return 1;
    QTextStream(stdout) << "locked" << Qt::endl;
    QThread::msleep(QByteArray(argv[2]).toULong());
    return query.exec(QStringLiteral("COMMIT")) ? 0 : 1;
}
