#include "deployment.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    MainWindow window(deploymentContext());
    window.showMaximized();
    return app.exec();
}
