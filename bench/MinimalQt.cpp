// The yardstick for Brimwatch's footprint: the least a Qt Widgets program with a small
// frameless window costs.

#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel card(QStringLiteral("Claude usage"));
    card.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    card.resize(280, 200);
    card.show();
    return QApplication::exec();
}
