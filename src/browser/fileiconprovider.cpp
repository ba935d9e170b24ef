#include "browser/fileiconprovider.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QPixmap>

namespace {

// Where Qt keeps the pictures of its common style's file icons.
const char* const StyleImages = ":/qt-project.org/styles/commonstyle/images/";
const int IconSide = 32;
const char* const PictureFormat = "png";

QIcon styleIcon(const char* name)
{
    const QString path = QLatin1String(StyleImages) + QLatin1String(name)
                         + QStringLiteral("-%1.png").arg(IconSide);
    // By its format: a picture of unnamed format is first offered to every
    // installed image plugin, which loads them all.
    QImageReader reader(path, PictureFormat);
    reader.setAutoDetectImageFormat(false);
    const QImage picture = reader.read();
    return picture.isNull() ? QIcon() : QIcon(QPixmap::fromImage(picture));
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
    else if (info.isDir() && info.absoluteFilePath() != QDir::homePath())
        chosen = info.isSymLink() ? dirLink : dir;
    // The home directory, and a Qt without these pictures. The root gets the
    // folder too: the model asks for its icon at every start, and the
    // style's drive picture would load every image plugin for a row the
    // list never shows.
    return chosen.isNull() ? QFileIconProvider::icon(info) : chosen;
}
