#include "app/application.h"

#include <QApplication>

int main(int argc, char** argv)
{
    vexa::Application* app = vexa::application;
    app->initialize(argc, argv);
    if (!app->qApplication())
        app->setQApplication(new QApplication(argc, argv));

    const int code = app->start();
    if (code != 0)
        return code;
    return QApplication::exec();
}
