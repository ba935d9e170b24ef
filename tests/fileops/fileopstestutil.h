#ifndef LIRRO_TESTS_FILEOPS_FILEOPSTESTUTIL_H
#define LIRRO_TESTS_FILEOPS_FILEOPSTESTUTIL_H

#include "browser/fs_view.h"
#include "platform/sys/sysstatus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QTimer>
#include <QtTest>

#include <sys/stat.h>

// Reaches the view's protected command slots and helpers.
class TestView : public FS_VIEW
{
public:
    using FS_VIEW::actionCopy;
    using FS_VIEW::actionCopyTo;
    using FS_VIEW::actionCut;
    using FS_VIEW::actionDelete;
    using FS_VIEW::actionInfo;
    using FS_VIEW::actionPaste;
    using FS_VIEW::actionRename;
    using FS_VIEW::actionSetMulti;
    using FS_VIEW::permissionTriple;
};

// Answers the message boxes that open, in order, and records what each
// showed (and whether the device was marked busy meanwhile).
class BoxAnswerer : public QObject
{
public:
    struct Box
    {
        QMessageBox::Icon icon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons;
        bool busy;
    };

    // delayMs: how long the "user" looks at each box before answering.
    explicit BoxAnswerer(QList<QMessageBox::StandardButton> answers = {}, int delayMs = 0)
        : answers(answers)
    {
        connect(&poll, &QTimer::timeout, this, [this, delayMs] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            // Boxes live on the stack: the next may have the last one's address.
            if (box == nullptr || !box->isVisible() || box->property("answered").toBool())
                return;
            if (!box->property("seenAt").isValid())
                box->setProperty("seenAt", QDateTime::currentMSecsSinceEpoch());
            if (QDateTime::currentMSecsSinceEpoch() - box->property("seenAt").toLongLong() < delayMs)
                return;
            box->setProperty("answered", true);
            seen.append(Box{ box->icon(), box->windowTitle(), box->text(), box->standardButtons(),
                             sys::SysStatus::instance().systemBusy() });
            const QMessageBox::StandardButton answer =
                this->answers.isEmpty() ? QMessageBox::Cancel : this->answers.takeFirst();
            QAbstractButton* button = box->button(answer);
            if (button != nullptr)
                button->click();
            else
                box->reject();
        });
        poll.start(5);
    }

    QList<QMessageBox::StandardButton> answers;
    QList<Box> seen;

private:
    QTimer poll;
};

inline bool writeFile(const QString& path, const QByteArray& data, int mode = 0644)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(data) != data.size())
        return false;
    f.close();
    return ::chmod(QFile::encodeName(path).constData(), mode_t(mode)) == 0;
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

inline int modeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

inline ino_t inodeOf(const QString& path)
{
    struct stat st;
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// A fresh empty directory (removed with its contents first).
inline bool freshDir(const QString& path)
{
    QDir d(path);
    if (d.exists() && !d.removeRecursively())
        return false;
    return QDir().mkpath(path);
}

inline bool run(const QString& program, const QStringList& args)
{
    return QProcess::execute(program, args) == 0;
}

// A tmpfs of the given size at path (inside the sandbox's own /mnt).
inline bool mountTmpfs(const QString& path, const QString& size)
{
    QDir().mkpath(path);
    QProcess umount;
    umount.start(QStringLiteral("umount"), { path });
    umount.waitForFinished();
    return run(QStringLiteral("mount"),
               { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                 QStringLiteral("size=") + size, QStringLiteral("lirro-test"), path });
}

// Every file below root, relative, with its content.
inline QMap<QString, QByteArray> treeOf(const QString& root)
{
    QMap<QString, QByteArray> tree;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QFileInfo info(path);
        const QString rel = path.mid(root.size() + 1);
        if (info.isSymLink())
            tree.insert(rel, "-> " + QFile::encodeName(info.symLinkTarget()));
        else if (info.isDir())
            tree.insert(rel + QLatin1Char('/'), QByteArray());
        else
            tree.insert(rel, readFile(path));
    }
    return tree;
}

#endif
