// qm482-chart: the recordings of QM482 (binary file or text report) as
// charts on a time axis, following the file while it grows.
#include "chart/ChartWindow.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("qm482-chart"));
    ChartWindow window;
    window.resize(1000, 720);
    window.show();
    const QStringList args = QApplication::arguments();
    if (args.size() > 1)
        window.Open(args.at(1));
    return QApplication::exec();
}
