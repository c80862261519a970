// The floor of window-start.sh: the least a Qt Widgets program does to show a main window.
#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    QMainWindow window;
    window.show();
    return application.exec();
}
