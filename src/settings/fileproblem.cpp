#include "fileproblem.h"

#include <QFileDevice>

QString fileProblem(const QFileDevice &file)
{
    switch (file.error()) {
    case QFileDevice::NoError:
        return QString();
    case QFileDevice::PermissionsError:
        return QStringLiteral("nema dopuštenja");
    case QFileDevice::ResourceError:
        return QStringLiteral("nema mjesta na disku ili je datoteka zauzeta");
    case QFileDevice::OpenError:
        return QStringLiteral("datoteka se ne može otvoriti");
    case QFileDevice::ReadError:
        return QStringLiteral("greška pri čitanju");
    case QFileDevice::WriteError:
        return QStringLiteral("greška pri pisanju");
    case QFileDevice::RenameError:
    case QFileDevice::CopyError:
        return QStringLiteral("datoteka se ne može premjestiti");
    case QFileDevice::RemoveError:
        return QStringLiteral("datoteka se ne može obrisati");
    default:
        return QStringLiteral("greška datoteke %1").arg(int(file.error()));
    }
}
