#include "buildconfig.h"
#include "deployment.h"
#include "engine.h"
#include "invoicetext.h"
#include "journal.h"
#include "logfile.h"
#include "mainwindow.h"
#include "singleinstance.h"
#include "translation.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QGuiApplication>
#include <QTextStream>

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("main", text);
}

void utf8(QTextStream &stream)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    stream.setEncoding(QStringConverter::Utf8);
#else
    stream.setCodec("UTF-8");
#endif
}

QTextStream &out()
{
    static QTextStream stream(stdout);
    utf8(stream);
    return stream;
}

QTextStream &errors()
{
    static QTextStream stream(stderr);
    utf8(stream);
    return stream;
}

int usage()
{
    out() << tr("Upotreba: velmor-tarsila [--journal [N]] [--help] [--version]\n"
                "\n"
                "Velmor Tarsila: ljuska za web-aplikaciju računa, s ispisom računa na pisač ili port.\n"
                "Bez opcija otvara prozor. Svoje datoteke (settings.ini, journal.sqlite,\n"
                "velmor-tarsila.log, report.pdf) drži u mapi u kojoj radi; naredba\n"
                "velmor-tarsila pokreće ga u ~/.local/share/velmor-tarsila.\n"
                "\n"
                "  --journal [N]  ispisuje zadnjih N ispisa iz dnevnika (zadano 20), bez prozora\n"
                "  --help         ova pomoć\n"
                "  --version      inačica programa\n")
          << Qt::flush;
    return 0;
}

// `--journal [N]`: the newest N journal entries for a terminal; no window,
// no display needed.
int listJournal(int argc, char *argv[], int at)
{
    int count = 20;
    if (at + 1 < argc) {
        bool number = false;
        count = QString::fromLocal8Bit(argv[at + 1]).toInt(&number);
        if (!number || count < 1) {
            errors() << tr("--journal N: N mora biti pozitivan cijeli broj") << '\n';
            return 2;
        }
    }
    // A printed invoice is kept as its HTML: listed as the lines it shows.
    return writeJournalListing(deploymentContext().journalFile, count, out(), errors(), [](const JournalEntry &entry) {
        return entry.mode == QLatin1String(JournalEntry::printerMode) ? invoicePlainText(entry.text) : entry.text;
    });
}

// The first argument that is neither ours nor one of Qt's own options (which
// QApplication takes); empty when there is none.
QString unknownArgument(int argc, char *argv[])
{
    static const char *const qtWithValue[] = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                              "-qwindowgeometry", "-qwindowtitle", "-qwindowicon", "-style",
                                              "-stylesheet", "-session", "-display", "-geometry", "-name",
                                              "-title", "-visual", "-qmljsdebugger"};
    static const char *const qtAlone[] = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (std::any_of(std::begin(qtWithValue), std::end(qtWithValue),
                        [argument](const char *known) { return std::strcmp(argument, known) == 0; })) {
            ++i;
            continue;
        }
        if (std::any_of(std::begin(qtAlone), std::end(qtAlone),
                        [argument](const char *known) { return std::strcmp(argument, known) == 0; }))
            continue;
        return QString::fromLocal8Bit(argument);
    }
    return QString();
}

// Whether a window can be shown at all; Qt itself would abort without one.
bool hasDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    return qEnvironmentVariableIsSet("QT_QPA_PLATFORM") || qEnvironmentVariableIsSet("DISPLAY")
           || qEnvironmentVariableIsSet("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            QCoreApplication app(argc, argv);
            return usage();
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            QCoreApplication app(argc, argv);
            out() << "Velmor Tarsila " << VELMOR_VERSION << '\n' << Qt::flush;
            return 0;
        }
        if (std::strcmp(argv[i], "--journal") == 0) {
            // Reading an HTML invoice's text takes fonts, which take a GUI
            // application; no window is shown, so none needs a display.
            // Qt's own remarks on that (the runtime folder, fonts) are not
            // the listing's: the terminal gets the listing and our errors.
            qputenv("QT_QPA_PLATFORM", "offscreen");
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
            QGuiApplication app(argc, argv);
            return listJournal(argc, argv, i);
        }
    }
    const QString unknown = unknownArgument(argc, argv);
    if (!unknown.isEmpty()) {
        QCoreApplication app(argc, argv);
        errors() << tr("Nepoznata opcija: %1\nPopis opcija: velmor-tarsila --help").arg(unknown) << '\n';
        return 2;
    }
    if (!hasDisplay()) {
        QCoreApplication app(argc, argv);
        errors() << tr("Velmor Tarsila treba grafičku sesiju (DISPLAY); bez nje pokrenite "
                       "QT_QPA_PLATFORM=offscreen velmor-tarsila")
                 << '\n';
        return 1;
    }

    const QString engineNote = prepareEngine();
    QApplication app(argc, argv);
    LogFile log(QStringLiteral("velmor-tarsila.log"));
    LogFile::install(&log);
    if (!engineNote.isEmpty())
        qWarning().noquote() << engineNote;
    if (!installCroatian())
        qWarning("Qtov hrvatski prijevod nije instaliran; Qtovi gumbi ostaju na engleskom.");

    SingleInstance instance(QDir::currentPath());
    switch (instance.handOver()) {
    case SingleInstance::HandedOver:
        qInfo("Velmor Tarsila već radi u mapi %s; taj je prozor doveden naprijed.", qPrintable(QDir::currentPath()));
        return 0;
    case SingleInstance::Busy:
        qWarning("Velmor Tarsila već radi u mapi %s, ali ne odgovara; pokušajte ponovno za koji trenutak.",
                 qPrintable(QDir::currentPath()));
        errors() << tr("Velmor Tarsila već radi, ali ne odgovara; pokušajte ponovno za koji trenutak.") << '\n';
        return 1;
    case SingleInstance::None:
        break;
    }
    if (!instance.listen())
        qWarning("Lokalni priključak za jedan prozor ne može se otvoriti; drugi pokretaj otvorit će drugi prozor.");

    qInfo("Velmor Tarsila %s (%s) pokrenut u mapi %s", VELMOR_VERSION, qPrintable(engineName()),
          qPrintable(QDir::currentPath()));
    MainWindow window(deploymentContext());
    QObject::connect(&instance, &SingleInstance::raiseRequested, &window, [&window] {
        qInfo("Drugi pokretaj: prozor je doveden naprijed");
        window.setWindowState((window.windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
        window.raise();
        window.activateWindow();
    });
    window.showMaximized();
    const int status = app.exec();
    LogFile::install(nullptr);
    return status;
}
