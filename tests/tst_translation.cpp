#include "settings.h"
#include "testhelpers.h"
#include "translation.h"
#include "updates.h"

#include <QDate>
#include <QDialogButtonBox>
#include <QDirIterator>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

// Croatian wherever a person looks: Qt's own dialogs, our forms, dates, and
// no text of ours left English or without its diacritics.
class TestTranslation : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void qtDialogsInCroatian_data();
    void qtDialogsInCroatian();
    void formsInCroatian();
    void datesInCroatian();
    void everyFormTextTranslated();
    void noTextWithoutDiacritics();

private:
    QString buttonText(QDialogButtonBox *box, QDialogButtonBox::StandardButton which) const
    {
        return box && box->button(which) ? box->button(which)->text() : QStringLiteral("(no button)");
    }
    std::unique_ptr<ScopedWorkDir> workDir;
};

void TestTranslation::initTestCase()
{
    QVERIFY2(installCroatian(), "Qt's Croatian translation (qttranslations5-l10n) is not installed");
    workDir = std::make_unique<ScopedWorkDir>();
}

void TestTranslation::qtDialogsInCroatian_data()
{
    QTest::addColumn<int>("button");
    QTest::addColumn<QString>("text");
    QTest::newRow("Close") << int(QMessageBox::Close) << "Zatvori";
    QTest::newRow("Cancel") << int(QMessageBox::Cancel) << "Odustani";
    QTest::newRow("OK") << int(QMessageBox::Ok) << "U redu";
}

void TestTranslation::qtDialogsInCroatian()
{
    QFETCH(int, button);
    QFETCH(QString, text);
    QMessageBox box(QMessageBox::Warning, QStringLiteral("x"), QStringLiteral("x"),
                    QMessageBox::StandardButton(button));
    QCOMPARE(box.button(QMessageBox::StandardButton(button))->text().remove(QLatin1Char('&')), text);
}

void TestTranslation::formsInCroatian()
{
    const ShellContext context = testContext(QStringLiteral("https://127.0.0.1:1"));
    Settings settings(context, nullptr);
    QCOMPARE(settings.windowTitle(), QStringLiteral("Postavke"));
    QCOMPARE(settings.findChild<QTabWidget *>()->tabText(0), QStringLiteral("Postavke"));
    QCOMPARE(settings.findChild<QLabel *>(QStringLiteral("lblPrinterPort"))->text(), QStringLiteral("Pisač ili port:"));
    auto *buttons = settings.findChild<QDialogButtonBox *>();
    QCOMPARE(buttonText(buttons, QDialogButtonBox::Cancel).remove(QLatin1Char('&')), QStringLiteral("Odustani"));

    Updates updates(context, nullptr);
    QVERIFY(updates.windowTitle() != QLatin1String("Dialog"));
    QCOMPARE(updates.findChild<QPushButton *>(QStringLiteral("pushButton"))->text(), QStringLiteral("Zatvori"));
}

void TestTranslation::datesInCroatian()
{
    QVERIFY2(QLocale().toString(QDate(2026, 12, 7), QLocale::LongFormat).contains(QStringLiteral("prosinca")),
             qPrintable(QLocale().toString(QDate(2026, 12, 7), QLocale::LongFormat)));
}

void TestTranslation::everyFormTextTranslated()
{
    QTranslator own;
    QVERIFY(own.load(QStringLiteral(":/translations/velmor_hr.qm")));
    const QStringList neutral{QStringLiteral("+"), QStringLiteral("Velmor Tarsila")};
    QDirIterator forms(QStringLiteral(VELMOR_SOURCE_DIR "/resources"), {QStringLiteral("*.ui")});
    int checked = 0;
    while (forms.hasNext()) {
        QFile file(forms.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QXmlStreamReader xml(&file);
        QString context;
        while (xml.readNextStartElement() || !xml.atEnd()) {
            if (!xml.isStartElement())
                continue;
            if (xml.name() == QLatin1String("class") && context.isEmpty())
                context = xml.readElementText();
            else if (xml.name() == QLatin1String("string")) {
                const bool notr = xml.attributes().value(QLatin1String("notr")) == QLatin1String("true");
                const QString text = xml.readElementText();
                if (notr || text.isEmpty() || neutral.contains(text))
                    continue;
                ++checked;
                QVERIFY2(!own.translate(context.toUtf8(), text.toUtf8()).isEmpty(),
                         qPrintable(QStringLiteral("%1: \"%2\" has no Croatian").arg(file.fileName(), text)));
            }
        }
    }
    QVERIFY(checked > 5);
}

void TestTranslation::noTextWithoutDiacritics()
{
    // Words a Croatian text needs diacritics for, as they look without them;
    // the program's original update texts are shown through the translation.
    const QRegularExpression bare(QStringLiteral(
        "\\b(moze|nije dohvacena|greska|azur\\w*|Azur\\w*|[Rr]acun\\w*|pisaca?|[Vv]ec|izvjestaj\\w*|Izvjestaj\\w*|"
        "procitati|ucitati|uredaj\\w*|posluzitelj\\w*|ostecen\\w*|kljuc|sadrzi|pricekajte|uspjesno|cime)\\b"));
    const QRegularExpression literal(QStringLiteral("\"(?:[^\"\\\\]|\\\\.)*\""));
    const QStringList kept{QStringLiteral("Dogodila se greska prilikom provjere dostupnosti azuriranja! "),
                           QStringLiteral("Nema dostupnih azuriranja. Vec koristite najnoviju verziju!"),
                           QStringLiteral("Dostupna je nova verzija. Dohvat nove verzije u tijeku. Molimo pricekajte!"),
                           QStringLiteral("Nova verzija je uspjesno dohvacena. Aplikacija ce se zatvoriti i ponovo "
                                          "pokrenuti!"),
                           QStringLiteral("nisam upisao nista")};
    QStringList found;
    QDirIterator sources(QStringLiteral(VELMOR_SOURCE_DIR "/src"), {QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                         QDir::Files, QDirIterator::Subdirectories);
    while (sources.hasNext()) {
        QFile file(sources.next());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
        for (int i = 0; i < lines.size(); ++i) {
            if (lines.at(i).trimmed().startsWith(QLatin1String("//")))
                continue;
            QRegularExpressionMatchIterator it = literal.globalMatch(lines.at(i));
            while (it.hasNext()) {
                const QString text = it.next().captured().mid(1).chopped(1);
                if (kept.contains(text) || !bare.match(text).hasMatch())
                    continue;
                found << QStringLiteral("%1:%2: %3").arg(file.fileName()).arg(i + 1).arg(text);
            }
        }
    }
    QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
}

QTEST_MAIN(TestTranslation)
#include "tst_translation.moc"
