#include "viewer/textfile.h"

#include "viewer/highlighterkind.h"

#include <QByteArray>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

const char* const CppSuffixes[] = {".c", ".h", ".cpp", ".hpp"};
const char* const XmlStart = "<?xml ";
const char* const ShellStart = "#!/bin/sh";

} // namespace

TextFile TextFile::read(const QString& path, qint64 limit)
{
    TextFile result;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return result;
    QFile file;
    file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle);
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        result.status = NotRegular;
        return result;
    }
    result.size = st.st_size;
    if (result.size > limit) {
        result.status = TooBig;
        return result;
    }
    QByteArray bytes = file.read(limit + 1);
    if (bytes.size() > limit) {
        result.status = TooBig;
        result.size = qMax<qint64>(bytes.size(), file.size());
        return result;
    }
    result.size = bytes.size();
    result.text = QString::fromLocal8Bit(bytes);
    if (result.text.toLocal8Bit() != bytes)
        result.text.clear();
    return result;
}

int TextFile::highlighterFor(const QString& name, const QString& text)
{
    for (const char* suffix : CppSuffixes) {
        if (name.endsWith(QLatin1String(suffix), Qt::CaseInsensitive))
            return HL_CPP;
    }
    if (text.startsWith(QLatin1String(XmlStart)))
        return HL_XML;
    if (text.startsWith(QLatin1String(ShellStart)))
        return HL_SH;
    return HL_PLAIN;
}
