#include "fileops/progressline.h"

namespace {

const double MegabyteRate = 1048576.0;
const double WholeKilobyteRate = 102400.0;
const double KilobyteRate = 1024.0;

// The rate table: the first row that fits. QString::number always uses "."
// and no grouping, which is what the title shows.
QString transferRate(double rate)
{
    if (rate >= MegabyteRate)
        return QStringLiteral("%1 MB/sec.").arg(QString::number(rate / 1024 / 1024, 'f', 2));
    if (rate >= WholeKilobyteRate)
        return QStringLiteral("%1 KB/sec.").arg(int(rate / 1024));
    if (rate >= KilobyteRate)
        return QStringLiteral("%1 KB/sec.").arg(QString::number(rate / 1024, 'f', 1));
    return QStringLiteral("%1 bytes/sec.").arg(int(rate));
}

} // namespace

QString progressLine(int dirCount, int fileCount, bool transfer, qint64 bytes, qint64 elapsedMs)
{
    QString line = QStringLiteral("dirs: %1, files: %2").arg(dirCount).arg(fileCount);
    const double factor = 1000.0 / double(qMax<qint64>(elapsedMs, 1));
    if (transfer)
        line += QStringLiteral(", transfer rate: ") + transferRate(factor * double(bytes));
    else
        line += QStringLiteral(", rate: %1 items/sec.").arg(int(factor * (fileCount + dirCount)));
    return line;
}
