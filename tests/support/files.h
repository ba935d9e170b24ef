#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>

#include <sys/types.h>

namespace support {

// Writes data to path (its directories made first) with the permission bits of mode.
bool writeFile(const QString& path, const QByteArray& data, int mode = 0644);
// The file's bytes, or "<missing>" when it can't be read.
QByteArray readFile(const QString& path);
// lstat's permission bits (-1 when missing) and inode (0 when missing).
int modeOf(const QString& path);
ino_t inodeOf(const QString& path);
// A fresh empty directory (removed with its contents first).
bool freshDir(const QString& path);
// Every entry below root by relative path: files with their bytes,
// directories with a trailing "/", links as "-> " and their text, pipes,
// sockets and devices as "<special>" (never opened).
QMap<QString, QByteArray> treeOf(const QString& root);
// The same entries with their type and permission bits and modification
// time, as lstat gives them.
QMap<QString, QString> statusOf(const QString& root);
// A tmpfs of the given size ("1m") at path, replacing one mounted there.
bool mountTmpfs(const QString& path, const QString& size);
// A ZIP archive of stored entries (name, bytes), enough for unzip.
QByteArray makeZip(const QList<QPair<QByteArray, QByteArray>>& entries);
// Switches root's power to read any file off and on, so that a mode 0111
// file really can't be opened for reading (children get it back at exec).
bool setReadOverride(bool on);

} // namespace support
