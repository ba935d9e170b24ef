#pragma once

#include <QByteArray>
#include <QString>

class QImage;
class QSize;
class QWidget;

namespace utilities {

// "Set boot splash picture...": the owner picks a picture, which becomes the
// picture the device shows while it boots, written raw into the boot medium.
void setSplash(QWidget* window);

// The picture from path, refused (false) when it can't be read or has more
// than 8388608 pixels.
bool loadSplashImage(const QString& path, QImage& image);

// The bytes the boot loader shows on a screen of screenSize: the picture's
// centre in the upright screen's proportions, scaled to it, turned a quarter
// clockwise, one grey byte a pixel, row after row, the grey levels stretched
// over 0 to 255.
QByteArray splashBytes(const QImage& image, const QSize& screenSize);

} // namespace utilities
