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
    const bool qtLoaded = qt->load(croatian, QStringLiteral("qt"), QStringLiteral("_"),
                                   QLibraryInfo::location(QLibraryInfo::TranslationsPath));
    if (qtLoaded)
        QCoreApplication::installTranslator(qt);
    return qtLoaded;
}
