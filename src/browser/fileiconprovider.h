#pragma once

#include <QFileIconProvider>
#include <QIcon>

// The list's icons, the style's own pictures at the one size the list draws:
// the stock provider decodes three sizes of each at start.
class FileIconProvider : public QFileIconProvider
{
public:
    FileIconProvider();

    using QFileIconProvider::icon;
    // Also called from the model's background thread: only hands out icons
    // made in the constructor.
    QIcon icon(const QFileInfo& info) const override;

private:
    QIcon file;
    QIcon fileLink;
    QIcon dir;
    QIcon dirLink;
};
