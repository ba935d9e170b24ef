#include "utilities/splash.h"

#include "browser/messagebox.h"
#include "fileops/file_dialog.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QScreen>
#include <QTransform>
#include <QWidget>

namespace utilities {

namespace {

const qint64 MaxPixels = 0x800000;
const char SplashFile[] = "/tmp/boot_splash.bin";
// The boot loader reads the picture from sector 2048 of the boot medium.
// notrunc: where the medium is a file, the rest of it stays; fsync: on the
// medium before dd ends.
const char WriteCommand[] = "dd";
const char* const WriteArguments[] = { "if=/tmp/boot_splash.bin", "of=/dev/mmcblk0", "bs=512",
                                       "seek=2048", "conv=notrunc,fsync" };
const int WriteTimeoutMs = 30000;

QString tr(const char* text)
{
    return QCoreApplication::translate("MainWindow", text);
}

bool writeToBootMedium(const QByteArray& bytes)
{
    // /tmp is everyone's: never write through a link planted there.
    QFile::remove(QLatin1String(SplashFile));
    QFile file{ QLatin1String(SplashFile) };
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(bytes) != bytes.size() || !file.flush())
        return false;
    file.close();
    QStringList arguments;
    for (const char* argument : WriteArguments)
        arguments << QLatin1String(argument);
    QProcess dd;
    dd.setProcessChannelMode(QProcess::MergedChannels);
    dd.start(QLatin1String(WriteCommand), arguments);
    const bool written = dd.waitForFinished(WriteTimeoutMs)
                         && dd.exitStatus() == QProcess::NormalExit && dd.exitCode() == 0;
    QFile::remove(QLatin1String(SplashFile));
    return written;
}

} // namespace

bool loadSplashImage(const QString& path, QImage& image)
{
    // Refused before decoding where the format tells its size: the device
    // has little memory.
    QImageReader reader(path);
    const QSize size = reader.size();
    if (size.isValid() && qint64(size.width()) * size.height() > MaxPixels)
        return false;
    image = reader.read();
    return !image.isNull() && qint64(image.width()) * image.height() <= MaxPixels;
}

QByteArray splashBytes(const QImage& picture, const QSize& screenSize)
{
    const qint64 s = qMin(screenSize.width(), screenSize.height());
    const qint64 l = qMax(screenSize.width(), screenSize.height());
    const qint64 w = picture.width();
    const qint64 h = picture.height();
    QImage image = picture;
    if (l * w > s * h) {
        const qint64 width = (s * h + l / 2) / l;
        image = image.copy(int((w - width) / 2), 0, int(width), int(h));
    } else if (s * h > l * w) {
        const qint64 height = (l * w + s / 2) / s;
        image = image.copy(0, int((h - height) / 2), int(w), int(height));
    }
    if (image.format() != QImage::Format_RGB32)
        image = image.convertToFormat(QImage::Format_RGB32);
    if (image.size() != QSize(int(s), int(l)))
        image = image.scaled(int(s), int(l), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image = image.transformed(QTransform().rotate(90), Qt::SmoothTransformation)
                .convertToFormat(QImage::Format_RGB32);

    QByteArray bytes(int(s * l), '\0');
    int minimum = 255;
    int maximum = 0;
    for (int row = 0; row < s; ++row) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(row));
        for (int column = 0; column < l; ++column) {
            const QRgb pixel = line[column];
            const int grey = (11 * qRed(pixel) + 16 * qGreen(pixel) + 5 * qBlue(pixel)) / 32;
            bytes[int(row * l + column)] = char(grey);
            minimum = qMin(minimum, grey);
            maximum = qMax(maximum, grey);
        }
    }
    if (maximum != minimum && maximum - minimum < 255) {
        for (char& byte : bytes) {
            const int v = ((quint8(byte) - minimum) * 256) / (maximum - minimum);
            byte = char(qBound(0, v, 255));
        }
    }
    return bytes;
}

void setSplash(QWidget* window)
{
    const QString path = chooseExistingFile(
        window, tr("Select image for splash (dangerous!)"), window->windowTitle(),
        tr("Images (*.png *.bmp *.jpg *.gif *.tiff *.pbm *.pgm *.ppm *.pnm)"),
        QFileDialog::ReadOnly | QFileDialog::HideNameFilterDetails);
    if (path.isEmpty())
        return;
    QImage image;
    if (!loadSplashImage(path, image)) {
        showMessageBox(window, QMessageBox::Critical, tr("Error!"),
                       tr("Can't load image %1").arg(path), QMessageBox::Ok | QMessageBox::Cancel);
        return;
    }
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    if (!writeToBootMedium(splashBytes(image, screen)))
        showMessageBox(window, QMessageBox::Critical, tr("Error!"),
                       tr("Can't write the splash picture to the boot medium"),
                       QMessageBox::Ok | QMessageBox::Cancel);
}

} // namespace utilities
