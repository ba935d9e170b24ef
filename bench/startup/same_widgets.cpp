// The second reference for the start-up benchmark: a bare Qt program that
// shows the widgets of lirro's first screen and nothing else. A menu bar
// with four menus and three actions, its font set by a style sheet, over a
// sorted tree view of the current directory in three font sizes. What lirro
// takes beyond this is its own; the rest is what Qt takes for such a screen.
#include "screenupdate.h"

#include <QApplication>
#include <QDir>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QMainWindow>
#include <QMenuBar>
#include <QStyleFactory>
#include <QTreeView>

namespace {

const int ApplicationPointSize = 19;
const int ListPointSize = 22;
const int IconSide = 30;
const char MenuBarStyle[] = "QMenuBar { font-size: 21px; }";
const char* const MenuTitles[] = { "File", "View", "Device", "Help" };
const char* const ActionTitles[] = { "PrevDir", "ZorUdu", "Menu" };
const int ActionsPerMenu = 5;

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font = QApplication::font();
    font.setPointSize(ApplicationPointSize);
    QApplication::setFont(font);

    QMainWindow window;
    window.setStyleSheet(QLatin1String(MenuBarStyle));
    QMenuBar* bar = window.menuBar();
    for (const char* title : MenuTitles) {
        QMenu* menu = bar->addMenu(QLatin1String(title));
        for (int i = 0; i < ActionsPerMenu; ++i)
            menu->addAction(QStringLiteral("Entry %1").arg(i + 1));
    }
    bar->addSeparator();
    for (const char* title : ActionTitles)
        bar->addAction(QLatin1String(title));

    auto* list = new bench::UpdatesAfterFirstPaint<QTreeView>;
    QFont listFont = list->font();
    listFont.setPointSize(ListPointSize);
    list->setFont(listFont);
    auto* model = new QFileSystemModel(list);
    const QString dir = QDir::currentPath();
    model->setRootPath(dir);
    list->setModel(model);
    list->setRootIndex(model->index(dir));
    list->setUniformRowHeights(true);
    list->header()->setStretchLastSection(false);
    list->header()->setSectionResizeMode(QHeaderView::Fixed);
    list->setSortingEnabled(true);
    list->sortByColumn(0, Qt::AscendingOrder);
    list->setIconSize(QSize(IconSide, IconSide));
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    window.setCentralWidget(list);
    window.showMaximized();
    return app.exec();
}
