#include "fileops/outputwindow.h"

#include "browser/screen_watcher.h"
#include "browser/panelrefresh.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QFont>
#include <QIODevice>
#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

namespace {

// As many lines as the panel can hold in the font below.
const int ShownLines = 57;
const char* const OutputFontFamily = "Bitstream Vera Sans Mono";
const int OutputFontPointSize = 15;

QString lastLines(QString text)
{
    while (text.endsWith(QLatin1Char('\n')))
        text.chop(1);
    int feeds = 0;
    for (int i = text.size() - 1; i >= 0; --i) {
        if (text.at(i) == QLatin1Char('\n') && ++feeds == ShownLines)
            return text.mid(i + 1);
    }
    return text;
}

} // namespace

void showOutputWindow(QIODevice* device, const QString& title, const QString& note)
{
    QString text = QString::fromLocal8Bit(device->read(OutputLimit));
    QString last = note;
    if (last.isEmpty() && !device->read(1).isEmpty())
        last = QCoreApplication::translate("FS_VIEW", "[cut after %1 bytes]").arg(OutputLimit);
    if (!last.isEmpty())
        text = lastLines(text) + QLatin1Char('\n') + last;
    text = lastLines(text);

    QFont font(QString::fromLatin1(OutputFontFamily), OutputFontPointSize);
    font.setFixedPitch(true);
    // Where the device's font is missing, still a monospaced one.
    font.setStyleHint(QFont::Monospace);

    QDialog dialog;
    auto* label = new QLabel;
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setText(text);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    screenWatcher.watch(&dialog);
    dialog.setWindowTitle(title);
    dialog.setWindowFlags(dialog.windowFlags() & ~Qt::WindowContextHelpButtonHint);
    dialog.exec();
    dialog.hide();
    repaintAfterDialog();
}
