// The least a window costs at ten new texts a second: one large label whose
// last digit changes on a timer, and nothing else. scripts/cpu_floor.sh
// measures its share of a core beside zel's, so a figure for zel can be read
// against what the machine charges for waking, painting and showing alone.
#include <QApplication>
#include <QLabel>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel readout;
    readout.setWindowTitle(QStringLiteral("Window floor"));
    QFont big = readout.font();
    big.setPointSize(36);
    big.setBold(true);
    readout.setFont(big);
    readout.setAlignment(Qt::AlignCenter);
    readout.resize(730, 340);
    readout.show();
    int count = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &readout, [&] {
        count = (count + 1) % 10;
        readout.setText(QStringLiteral("13.2%1 mR/h").arg(count));
    });
    tick.start(100);
    return app.exec();
}
