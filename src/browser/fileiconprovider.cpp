#include "browser/fileiconprovider.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

// Where Qt keeps the pictures of its common style's file icons.
const char* const StyleImages = ":/qt-project.org/styles/commonstyle/images/";
const int IconSide = 32;

QIcon styleIcon(const char* name)
{
    const QString path = QLatin1String(StyleImages) + QLatin1String(name)
                         + QStringLiteral("-%1.png").arg(IconSide);
    QIcon icon;
    if (QFile::exists(path))
        icon.addFile(path, QSize(IconSide, IconSide));
    return icon;
}

} // namespace

FileIconProvider::FileIconProvider()
    : file(styleIcon("file"))
    , fileLink(styleIcon("filelink"))
    , dir(styleIcon("dirclosed"))
    , dirLink(styleIcon("dirlink"))
{
}

QIcon FileIconProvider::icon(const QFileInfo& info) const
{
    QIcon chosen;
    if (info.isFile())
        chosen = info.isSymLink() ? fileLink : file;
    else if (info.isDir() && !info.isRoot() && info.absoluteFilePath() != QDir::homePath())
        chosen = info.isSymLink() ? dirLink : dir;
    // Drives, the home directory, and a Qt without these pictures.
    return chosen.isNull() ? QFileIconProvider::icon(info) : chosen;
}
