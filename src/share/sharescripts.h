#pragma once

#include <QString>
#include <QStringList>

class CIFSSettings;

// The share's directories are mounted here, one below it per share name.
constexpr char ShareMountRoot[] = "/mnt/ZorUdu";
// Run by the launcher as root before it starts the program again.
constexpr char MountScriptPath[] = "/tmp/lirro_mount.sh";
constexpr char SyncScriptPath[] = "/tmp/lirro_sync.sh";

// The share names of a "dir_list": split at ':' without empty items, and
// without names that can't be one directory below the mount root (".",
// ".." or a name with a '/'), which the mount script would otherwise mount
// over or remove outside it.
QStringList shareNames(const QString& dirList);

// The mount command line with its placeholders %1 to %6, from the owner's
// format file "/root/lirro/cifs.cmdfmt" (its first line, at most 255 bytes);
// the built-in one when the file is missing (the file is made with it) or
// holds nothing.
QString mountCommandFormat();
// The mount script's body: the mount root, then for each share name its
// directory, the mount command and the removal of the directory when the
// mount failed; every setting reaches the shell as one literal word.
QString mountScriptBody(const CIFSSettings& settings, const QString& format);

// The mount points at or below the mount root in `mount`'s output, in order.
QStringList shareMounts(const QString& mountTable);

// The rsync script's body for the settings' directory pairs, or false with
// the message that tells the owner what is wrong with them.
bool syncScriptBody(const CIFSSettings& settings, QString* body, QString* error);
