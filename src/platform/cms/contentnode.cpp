#include "platform/cms/contentnode.h"

#include <QDir>
#include <QFileInfo>

namespace cms {

QString ContentNode::absolutePath() const
{
    return QFileInfo(QDir(location), name).absoluteFilePath();
}

void ContentNode::clear()
{
    *this = ContentNode();
}

} // namespace cms
