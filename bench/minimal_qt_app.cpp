// The least a Qt console program pays: start a QCoreApplication, run its event
// loop once, end. The hand-over benchmarks are measured against it.
#include <QCoreApplication>
#include <QTimer>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTimer::singleShot(0, &app, &QCoreApplication::quit);
    return app.exec();
}
