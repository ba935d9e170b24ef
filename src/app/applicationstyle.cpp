#include "app/applicationstyle.h"

#include <QIconEngine>
#include <QPointer>
#include <QStyleFactory>

namespace {

const char StyleName[] = "Fusion";

// Asks the style for its picture on first use.
class DeferredIconEngine : public QIconEngine
{
public:
    DeferredIconEngine(const QStyle* style, QStyle::StandardPixmap which)
        : style(style)
        , which(which)
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        icon().paint(painter, rect, Qt::AlignCenter, mode, state);
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().pixmap(size, mode, state);
    }

    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return icon().actualSize(size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) const override
    {
        return icon().availableSizes(mode, state);
    }

    QIconEngine* clone() const override { return new DeferredIconEngine(*this); }

private:
    const QIcon& icon() const
    {
        if (made.isNull() && style)
            made = style->standardIcon(which);
        return made;
    }

    QPointer<const QStyle> style;
    QStyle::StandardPixmap which;
    mutable QIcon made;
};

} // namespace

ApplicationStyle::ApplicationStyle()
    : QProxyStyle(QStyleFactory::create(QString::fromLatin1(StyleName)))
{
}

QIcon ApplicationStyle::standardIcon(StandardPixmap standardIcon, const QStyleOption* option,
                                     const QWidget* widget) const
{
    if (standardIcon == SP_ToolBarHorizontalExtensionButton)
        return QIcon(new DeferredIconEngine(baseStyle(), standardIcon));
    return QProxyStyle::standardIcon(standardIcon, option, widget);
}
