#ifndef LIRRO_TESTS_FILEOPS_PROGRAMTESTUTIL_H
#define LIRRO_TESTS_FILEOPS_PROGRAMTESTUTIL_H

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QList>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>
#include <QtTest>

#include <functional>

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

// What a modal window showed before the test closed it.
struct ModalSeen
{
    QString className;
    QString title;
    QString text; // the message box's text, or the output window's label
    int icon = -1;
    QFont font;
    Qt::WindowFlags flags;
};

// Answers every modal window that opens, from inside its own event loop:
// message boxes get the button named in answers (in turn; Ok when none is
// left), other dialogs run the next custom action or are closed.
class ModalDriver : public QObject
{
public:
    QList<ModalSeen> seen;
    QList<QMessageBox::StandardButton> answers;
    QList<std::function<void(QDialog*)>> actions;
    // Runs while the window is open, before it is answered.
    std::function<void(QWidget*)> whileOpen;

    ModalDriver()
    {
        timer.setInterval(10);
        connect(&timer, &QTimer::timeout, this, &ModalDriver::poll);
        timer.start();
    }

private:
    void poll()
    {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || !modal->isVisible() || modal == last)
            return;
        last = modal;
        ModalSeen s;
        s.className = QString::fromLatin1(modal->metaObject()->className());
        s.title = modal->windowTitle();
        s.flags = modal->windowFlags();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            s.text = box->text();
            s.icon = box->icon();
        } else if (auto* label = modal->findChild<QLabel*>()) {
            s.text = label->text();
            s.font = label->font();
        }
        seen.append(s);
        if (whileOpen)
            whileOpen(modal);
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            const QMessageBox::StandardButton b = answers.isEmpty() ? QMessageBox::Ok
                                                                    : answers.takeFirst();
            box->done(b);
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            if (!actions.isEmpty())
                actions.takeFirst()(dialog);
            else
                dialog->reject();
        }
    }

    QTimer timer;
    QPointer<QWidget> last;
};

inline bool writeFile(const QString& path, const QByteArray& bytes,
                      QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size()
           && f.setPermissions(mode);
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QFile::Permissions Executable = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                      | QFile::ExeGroup | QFile::ExeOther;

// Switches root's power to read any file off and on again, so that a
// mode 0111 file really can't be opened for reading (children started
// meanwhile get it back at their exec).
inline bool setReadOverride(bool on)
{
    __user_cap_header_struct header{ _LINUX_CAPABILITY_VERSION_3, 0 };
    __user_cap_data_struct data[2];
    if (syscall(SYS_capget, &header, data) != 0)
        return false;
    const unsigned mask = (1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH);
    if (on)
        data[0].effective |= mask;
    else
        data[0].effective &= ~mask;
    return syscall(SYS_capset, &header, data) == 0;
}

// A ZIP archive of stored entries (name, contents), enough for unzip.
inline QByteArray makeZip(const QList<QPair<QByteArray, QByteArray>>& entries)
{
    auto crc32 = [](const QByteArray& bytes) {
        quint32 crc = 0xffffffffu;
        for (const char ch : bytes) {
            crc ^= quint8(ch);
            for (int k = 0; k < 8; ++k)
                crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
        }
        return ~crc;
    };
    auto le16 = [](QByteArray& out, quint16 v) {
        out.append(char(v & 0xff)).append(char(v >> 8));
    };
    auto le32 = [&](QByteArray& out, quint32 v) {
        le16(out, quint16(v & 0xffff));
        le16(out, quint16(v >> 16));
    };
    QByteArray local, central;
    for (const auto& entry : entries) {
        const quint32 crc = crc32(entry.second);
        const quint32 offset = quint32(local.size());
        le32(local, 0x04034b50u);
        for (quint16 v : { 10, 0, 0, 0, 0x21 })
            le16(local, v); // version, flags, stored, time, date (1980-01-01)
        le32(local, crc);
        le32(local, quint32(entry.second.size()));
        le32(local, quint32(entry.second.size()));
        le16(local, quint16(entry.first.size()));
        le16(local, 0);
        local += entry.first + entry.second;

        le32(central, 0x02014b50u);
        for (quint16 v : { (3 << 8) | 20, 10, 0, 0, 0, 0x21 })
            le16(central, v);
        le32(central, crc);
        le32(central, quint32(entry.second.size()));
        le32(central, quint32(entry.second.size()));
        le16(central, quint16(entry.first.size()));
        for (quint16 v : { 0, 0, 0, 0 })
            le16(central, v); // extra, comment, disk, internal attributes
        le32(central, 0100644u << 16);
        le32(central, offset);
        central += entry.first;
    }
    QByteArray zip = local + central;
    le32(zip, 0x06054b50u);
    for (quint16 v : { 0, 0 })
        le16(zip, v);
    le16(zip, quint16(entries.size()));
    le16(zip, quint16(entries.size()));
    le32(zip, quint32(central.size()));
    le32(zip, quint32(local.size()));
    le16(zip, 0);
    return zip;
}

#endif
