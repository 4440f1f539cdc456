// Pictures of the dialogs for the documentation. Runs only when
// ZEL_SCREENSHOT_DIR names a folder; best under a real X server
// (xvfb-run with QT_QPA_PLATFORM=xcb) so fonts and style match a desktop.
#include "data/settings.h"
#include "graph/data_handle_dialog.h"
#include "graph/graph_window.h"
#include "station/port_settings.h"
#include "support/graph_series.h"
#include "support/picture_folder.h"
#include "support/recording_prompts.h"
#include "ui/about_dialog.h"
#include "ui/calibration_dialog.h"
#include "ui/debug_window.h"
#include "ui/interval_dialog.h"
#include "ui/legend_dialog.h"
#include "ui/main_window.h"
#include "ui/parameters_dialog.h"
#include "ui/port_dialog.h"
#include "ui/translations.h"
#include "widgets/wait_dialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QStyleOptionTitleBar>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace zel {
namespace {

void snap(QWidget& w, const QString& folder, const QString& name) {
    w.show();
    QTest::qWait(150);
    w.grab().save(QDir(folder).filePath(name + ".png"));
    w.hide();
}

// The window under a title bar as the style draws one, for the pictures
// that show the title fits (a grab has no frame).
void snapWithTitle(QWidget& w, const QString& folder, const QString& name) {
    w.show();
    QTest::qWait(150);
    const QPixmap inside = w.grab();
    QStyleOptionTitleBar bar;
    bar.initFrom(&w);
    bar.text = w.windowTitle();
    bar.icon = QApplication::windowIcon();
    bar.titleBarState = Qt::WindowActive;
    bar.titleBarFlags = Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                        Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint;
    bar.subControls = QStyle::SC_All;
    bar.state |= QStyle::State_Active;
    const int height = w.style()->pixelMetric(QStyle::PM_TitleBarHeight, &bar, &w);
    bar.rect = QRect(0, 0, inside.width(), height);
    QImage picture(inside.width(), height + inside.height(), QImage::Format_ARGB32);
    picture.fill(w.palette().color(QPalette::Window));
    QPainter painter(&picture);
    w.style()->drawComplexControl(QStyle::CC_TitleBar, &bar, &painter, &w);
    painter.drawPixmap(0, height, inside);
    painter.end();
    picture.save(QDir(folder).filePath(name + ".png"));
    w.hide();
}

// The message after "All To Csv", as the graph words it.
void snapSavedMessage(const QString& folder, const QString& suffix, const QString& home) {
    test::RecordingPrompts prompts;
    graph::GraphWindow graph;
    graph.setPrompts(prompts);
    const test::GraphSeries series(40, 1);
    graph.load(series.request("1234"));
    QDir().mkpath(home + "/export/Peak_Rep");
    prompts.fileName = home + "/export/Peak_Rep/all" + suffix + ".csv";
    graph.findChild<QAction*>("mnAllToCsv")->trigger();
    if (!prompts.last())
        return;
    QMessageBox box(QMessageBox::Information, prompts.last()->title, prompts.last()->text,
                    QMessageBox::Ok);
    snap(box, folder, "message-saved-" + suffix);
}

void snapAll(const QString& folder, const QString& suffix, Language language) {
    useLanguage(language);
    QTemporaryDir dir;
    qputenv("ZEL_HOME", dir.path().toLocal8Bit());

    PortSettings ports;
    PortSettingsFile portFile(dir.filePath("dax.ini"));
    // A machine with a USB adapter and a built-in port the user may not open.
    const auto devices = [] {
        return QList<SerialDevice>{{"/dev/ttyS0", "", "", "", "", false},
                                   {"/dev/ttyUSB0",
                                    "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0",
                                    "FT232R USB UART", "FTDI", "A1B2C3", true}};
    };
    PortDialogVariant zelPorts = zelPortDialogVariant();
    zelPorts.findDevices = devices;
    PortDialog port(ports, portFile, nullptr, zelPorts);
    snap(port, folder, "set-port-" + suffix);
    PortDialogVariant tarvosetPorts = tarvosetPortDialogVariant();
    tarvosetPorts.findDevices = devices;
    PortDialog tarvoPort(ports, portFile, nullptr, tarvosetPorts);
    snap(tarvoPort, folder, "set-port-tarvoset-" + suffix);

    SettingsStore store(dir.filePath("Zel.ini"));
    IntervalDialog interval(store);
    snap(interval, folder, "interval-" + suffix);
    snapWithTitle(interval, folder, "interval-title-" + suffix);

    ParametersDialog parameters;
    Settings s;
    s.Threshold1 = 0.2;
    s.Threshold2 = 5;
    s.LostContactInterval = 5;
    s.AudioAlarm = 1;
    s.AutoArrange = 1;
    parameters.takeFrom(s);
    snap(parameters, folder, "parameters-" + suffix);

    store.ini().write("COMMON", "Department", "Radiation Safety");
    store.ini().write("COMMON", "Detector", "Tarvo-5");
    LegendDialog legend(store);
    snap(legend, folder, "legend-" + suffix);

    DebugWindow debug;
    debug.addLine("Send 2 4 4 3 ");
    debug.addLine("Part 2 2 1 3 1B 33 4 3 ");
    debug.addLine("All 2 2 1 3 1B 33 4 3 ");
    debug.setCounters(1, 3);
    snap(debug, folder, "debug-" + suffix);

    AboutDialog about;
    snap(about, folder, "about-" + suffix);

    CalibrationDialog calibration;
    calibration.setRecord("12345", "2025-06-30", "Lab 3", "1.02");
    snap(calibration, folder, "calibration-" + suffix);

    DataHandleDialog dataHandle;
    snap(dataHandle, folder, "data-handle-" + suffix);

    snapSavedMessage(folder, suffix, dir.path());

    WaitDialog wait;
    wait.progressBar()->setValue(40);
    snap(wait, folder, "wait-" + suffix);

    qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toLocal8Bit());
    LoopbackTransport link;
    test::RecordingPrompts prompts;
    MainWindow main(MainWindow::Options{{"zel"}, &link, nullptr});
    main.setPrompts(prompts);
    main.loadSettingsAndStart();
    snap(main, folder, "main-window-" + suffix);
    // The read-outs a reading fills, as a person sees them while readings
    // arrive.
    main.setConnected(true);
    main.setAlarmLevel(AlarmLevel::High1);
    main.setValueText(QStringLiteral("123.4 uSv/h"));
    main.setStatus(QStringLiteral("Reading 1234 received"), StatusKind::Note);
    main.setReadingDetails(QStringLiteral("00042"), QStringLiteral("OK"), QStringLiteral("GM"));
    main.setCount(1234);
    main.setProgress(QStringLiteral("/"));
    snap(main, folder, "main-window-reading-" + suffix);
}

TEST(DialogScreenshots, SaveWhenAsked) {
    const test::PictureFolder pictures; // checks every picture it gets
    const QString folder = pictures.path();
    const QByteArray home = qgetenv("ZEL_HOME");
    const QByteArray config = qgetenv("XDG_CONFIG_HOME");
    snapAll(folder, "en", Language::English);
    snapAll(folder, "de", Language::German);
    snapAll(folder, "he", Language::Hebrew);
    useLanguage(Language::English);
    qputenv("ZEL_HOME", home);
    qputenv("XDG_CONFIG_HOME", config);
}

} // namespace
} // namespace zel
