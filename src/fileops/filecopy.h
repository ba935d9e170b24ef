#pragma once

#include "fileops/filedescriptor.h"

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

#include <functional>

#include <sys/types.h>

struct stat;

// The file layer of the tree operations: system calls relative to open
// directories, no dialogs and no Qt file classes. Every function returns 0
// or the errno value of what failed.
namespace fileops {

// Told after each block how many bytes of the file are copied so far.
using Progress = std::function<void(qint64)>;

// What happens to a target that already exists.
enum class Existing { Refuse, Replace };

// One name of a directory and its type as the directory listing gives it
// (a DT_ value; DT_UNKNOWN where the file system does not say).
struct DirectoryEntry
{
    QByteArray name;
    unsigned char type;
};

// The entries of an open directory but "." and "..", in the order the file
// system gives them.
int listDirectory(int dir, QVector<DirectoryEntry>& entries);

// Opens the directory name in dir for reading its entries. A link is not
// followed unless followLinks.
int openDirectory(int dir, const char* name, FileDescriptor& result, bool followLinks = false);

// The status of name in dir itself (a link is not followed).
int entryStatus(int dir, const char* name, struct stat& info);

// Copies the regular file name in sourceDir to targetName in targetDir
// with its permission bits and times. A new target is made exclusively
// (EEXIST when one exists and existing is Refuse). A replaced target is
// written under a temporary name, synced and renamed over the old one, so
// the old one survives every failure. Nothing this made is left behind on
// failure. size receives the bytes copied.
int copyFile(int sourceDir, const char* name, int targetDir, const char* targetName,
             Existing existing, const Progress& progress, qint64* size);

// Makes targetName a link with the link's text exactly as it reads, and
// its times.
int copyLink(int sourceDir, const char* name, int targetDir, const char* targetName,
             Existing existing);

// rename(2); with Refuse an existing target is never replaced (EEXIST).
int moveEntry(int sourceDir, const char* name, int targetDir, const char* targetName,
              Existing existing);

// A new directory with the permission bits of mode, and all of the
// owner's, so that its entries can be written before copyAttributes gives
// it the source's own.
int makeDirectory(int dir, const char* name, mode_t mode);

// Gives the open target directory the permission bits and times of the
// source's status as it was before its entries were touched; called once
// the target's entries are written.
int copyAttributes(const struct stat& source, int targetDirectory);

// Removes name from dir (a directory only when it is empty).
int removeEntry(int dir, const char* name, bool directory);

// Puts on the medium what was written to the file system that fd is on.
int syncMedium(int fd);

} // namespace fileops
