#include "translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

static void initTranslations()
{
    // The catalogue lives in a static library's resources.
    Q_INIT_RESOURCE(translations);
}

bool installCroatian()
{
    initTranslations();
    const QLocale croatian(QLocale::Croatian, QLocale::Croatia);
    QLocale::setDefault(croatian);

    auto *own = new QTranslator(QCoreApplication::instance());
    if (own->load(croatian, QStringLiteral("velmor"), QStringLiteral("_"), QStringLiteral(":/translations")))
        QCoreApplication::installTranslator(own);
    auto *qt = new QTranslator(QCoreApplication::instance());
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const QString qtTranslations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
#else
    const QString qtTranslations = QLibraryInfo::location(QLibraryInfo::TranslationsPath);
#endif
    const bool qtLoaded = qt->load(croatian, QStringLiteral("qt"), QStringLiteral("_"), qtTranslations);
    if (qtLoaded)
        QCoreApplication::installTranslator(qt);
    return qtLoaded;
}
