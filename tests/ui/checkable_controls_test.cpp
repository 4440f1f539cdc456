// Every option and check box of every window does the same whether it is
// clicked with the mouse or toggled by a screen reader's action: each
// window is built twice, the control changed one way in each, and what the
// window did (bytes to the instrument, settings, values OK hands back) must
// agree.
#include "common/datetime.h"
#include "graph/data_handle_dialog.h"
#include "graph/graph_window.h"
#include "support/amp_station.h"
#include "support/recording_prompts.h"
#include "ui/amp_setup_dialog.h"
#include "ui/debug_window.h"
#include "ui/interval_dialog.h"
#include "ui/main_window.h"
#include "ui/parameters_dialog.h"
#include "ui/port_dialog.h"
#include "widgets/probe_number_dialog.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>

namespace zel {
namespace {

QString fileText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

// One window under test and what it has done so far.
struct Subject {
    virtual ~Subject() = default;
    virtual QWidget& window() = 0;
    // What the window did, after pressing what hands its choice on.
    virtual QString observe() = 0;
    template <typename T> T* find(const char* name) {
        return window().findChild<T*>(QString::fromLatin1(name));
    }
    void press(const char* name) {
        if (auto* b = find<QAbstractButton>(name))
            b->click();
    }
};

struct AmpSubject : Subject {
    AmpSubject() {
        dialog.show();
        station.port.inject(test::kVessaBlock);
        station.port.takeWritten();
    }
    QWidget& window() override { return dialog; }
    QString observe() override {
        QString out = QString::fromLatin1(station.port.takeWritten().toHex());
        press("btSendBaud");
        out += QStringLiteral("|baud ") + QString::fromLatin1(station.port.takeWritten().toHex());
        // The options command carries the type and units codes.
        dialog.findChild<QCheckBox*>(QStringLiteral("chkLatch"))->click();
        out += QStringLiteral("|options ") +
               QString::fromLatin1(station.port.takeWritten().left(11).toHex());
        out += QStringLiteral("|") + find<QLabel>("lblUnits_0")->text() + QStringLiteral("|") +
               QString::number(station.settings.ConvertUnits);
        return out;
    }
    test::AmpStation station;
    AmpSetupDialog dialog{station.amp(), true};
};

struct MainSubject : Subject {
    MainSubject() {
        qputenv("ZEL_HOME", dir.filePath("prog").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
        QDir().mkpath(dir.filePath("cfg/zel"));
        QFile ini(dir.filePath("cfg/zel/Zel.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[COMMON]\r\nInsType=1\r\n");
        ini.close();
        main = std::make_unique<MainWindow>(MainWindow::Options{{"zel"}, &port, &clock});
        main->setPrompts(prompts);
        main->loadSettingsAndStart();
        main->show();
        port.takeWritten();
    }
    ~MainSubject() override {
        main.reset();
        qunsetenv("ZEL_HOME");
        qunsetenv("XDG_CONFIG_HOME");
    }
    QWidget& window() override { return *main; }
    QString observe() override {
        return QString::fromLatin1(port.takeWritten().toHex()) + QStringLiteral("|") +
               QString::number(main->settings().InstrumentType) + QStringLiteral("|") +
               fileText(dir.filePath("cfg/zel/Zel.ini")) + QStringLiteral("|") +
               (find<QAction>("mnSetAmp")->isVisible() ? QStringLiteral("amp") : QString());
    }
    QTemporaryDir dir;
    LoopbackTransport port;
    FixedClock clock{QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0))};
    test::RecordingPrompts prompts;
    std::unique_ptr<MainWindow> main;
};

struct PortSubject : Subject {
    explicit PortSubject(PortDialogVariant variant = zelPortDialogVariant())
        : dialog{settings, file,
                 [this](int16_t port, int32_t baud) -> Expected<void> {
                     opened = {port, baud};
                     return {};
                 },
                 variant} {
        dialog.show();
    }
    QWidget& window() override { return dialog; }
    QString observe() override {
        press("OK");
        return QStringLiteral("%1 %2|").arg(opened.first).arg(opened.second) +
               fileText(dir.filePath("dax.ini"));
    }
    QTemporaryDir dir;
    PortSettings settings;
    PortSettingsFile file{dir.filePath("dax.ini")};
    std::pair<int, int> opened{0, 0};
    PortDialog dialog;
};

// tarvoset's port dialog: Com1 to Com4 only.
struct TarvosetPortSubject : PortSubject {
    TarvosetPortSubject() : PortSubject(tarvosetPortDialogVariant()) {}
};

struct ParametersSubject : Subject {
    ParametersSubject() {
        dialog.takeFrom(settings);
        dialog.show();
    }
    QWidget& window() override { return dialog; }
    QString observe() override {
        press("OKButton");
        Settings back;
        dialog.giveTo(back);
        return QStringLiteral("%1 %2 %3")
            .arg(back.AudioAlarm)
            .arg(back.AutoArrange)
            .arg(back.TimeFormat);
    }
    Settings settings;
    ParametersDialog dialog;
};

struct IntervalSubject : Subject {
    IntervalSubject() {
        dialog.setInterval({dialog.interval().Minutes, 5});
        dialog.show();
    }
    QWidget& window() override { return dialog; }
    QString observe() override {
        const QString unit = find<QLabel>("lblSec")->text();
        press("btOk");
        return unit + QStringLiteral("|%1 %2")
                          .arg(dialog.interval().Minutes)
                          .arg(dialog.interval().Seconds);
    }
    QTemporaryDir dir;
    SettingsStore store{dir.filePath("Zel.ini")};
    IntervalDialog dialog{store};
};

struct DebugSubject : Subject {
    DebugSubject() { debug.show(); }
    QWidget& window() override { return debug; }
    QString observe() override { return debug.showAll() ? QStringLiteral("all") : QString(); }
    DebugWindow debug;
};

struct DataHandleSubject : Subject {
    DataHandleSubject() {
        QObject::connect(&dialog, &DataHandleDialog::scaleChosen,
                         [this](int mode) { chosen += QString::number(mode); });
        dialog.show();
    }
    QWidget& window() override { return dialog; }
    QString observe() override { return chosen; }
    DataHandleDialog dialog;
    QString chosen;
};

struct ProbeSubject : Subject {
    ProbeSubject() { dialog.show(); }
    QWidget& window() override { return dialog; }
    QString observe() override {
        auto* ok = find<QPushButton>("btOK");
        return QString::number(dialog.background()) +
               QString::number(ok && ok->isEnabled() ? 1 : 0);
    }
    ProbeNumberDialog dialog;
};

struct GraphSubject : Subject {
    GraphSubject() {
        graph::GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
        for (int i = 0; i < 3000; ++i) {
            times.push_back(46000 + i / 86400.0);
            values.push_back(1 + i % 10);
        }
        graph::LoadRequest r;
        r.seriesSlots[0].name = QStringLiteral("Probe");
        r.seriesSlots[0].units = QStringLiteral("uSv/h");
        r.times = times;
        r.values[0] = values;
        r.lastIndex = int32_t(times.size()) - 1;
        w.load(r);
        w.show();
        w.showAll(); // reduced: the Max box is offered
    }
    ~GraphSubject() override { graph::GraphWindow::setPlacementFile(QString()); }
    QWidget& window() override { return w; }
    QString observe() override {
        return QStringLiteral("%1 %2 %3")
            .arg(int(w.store().reduction))
            .arg(w.plot()->picture().displayed[0])
            .arg(w.store().displayY(0, 1));
    }
    QTemporaryDir dir;
    std::vector<double> times, values;
    graph::GraphWindow w;
};

// The Data Handle panel of a graph: what counts is the graph's scale.
struct GraphScaleSubject : Subject {
    GraphScaleSubject() {
        graph::GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
        graph::LoadRequest r;
        r.seriesSlots[0].name = QStringLiteral("Probe");
        r.seriesSlots[0].units = QStringLiteral("uSv/h");
        for (int i = 0; i < 20; ++i) {
            times.push_back(46000 + i / 86400.0);
            values.push_back(1 + i % 10);
        }
        r.times = times;
        r.values[0] = values;
        r.lastIndex = 19;
        w.load(r);
        w.show();
        w.openDataHandling();
    }
    ~GraphScaleSubject() override { graph::GraphWindow::setPlacementFile(QString()); }
    QWidget& window() override { return *w.findChild<DataHandleDialog*>(); }
    QString observe() override { return QString::number(int(w.scaleMode())); }
    QTemporaryDir dir;
    std::vector<double> times, values;
    graph::GraphWindow w;
};

struct WindowCase {
    const char* name;
    std::function<std::unique_ptr<Subject>()> make;
    int leastControls; // so the table cannot quietly test nothing
};

template <typename T> std::function<std::unique_ptr<Subject>()> maker() {
    return [] { return std::make_unique<T>(); };
}

const WindowCase kWindows[] = {
    {"Setup Device", maker<AmpSubject>(), 14},
    {"main window", maker<MainSubject>(), 4},
    {"Set Port", maker<PortSubject>(), 20},
    {"Parameters", maker<ParametersSubject>(), 4},
    {"Interval", maker<IntervalSubject>(), 1},
    {"Debug", maker<DebugSubject>(), 1},
    {"Data Handle", maker<DataHandleSubject>(), 5},
    {"Probe number", maker<ProbeSubject>(), 1},
    {"Graph", maker<GraphSubject>(), 2},
    {"tarvoset's Set Port", maker<TarvosetPortSubject>(), 4},
    {"Graph's Data Handle", maker<GraphScaleSubject>(), 4},
};

QStringList checkableControls(QWidget& window) {
    QStringList names;
    for (QAbstractButton* b : window.findChildren<QAbstractButton*>())
        if (b->isCheckable() && b->isEnabled() && !b->objectName().isEmpty())
            names << b->objectName();
    return names;
}

void clickWithMouse(QAbstractButton* b) {
    // On the indicator: a wide option's centre may lie beyond its text.
    QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(8, b->height() / 2));
}

void toggleBySpeech(QAbstractButton* b) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(b);
    ASSERT_NE(a, nullptr);
    QAccessibleActionInterface* actions = a->actionInterface();
    ASSERT_NE(actions, nullptr);
    ASSERT_TRUE(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()))
        << b->objectName().toStdString();
    actions->doAction(QAccessibleActionInterface::toggleAction());
}

TEST(CheckableControls, ScreenReaderToggleDoesWhatAClickDoes) {
    setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    for (const WindowCase& c : kWindows) {
        QStringList names;
        {
            const std::unique_ptr<Subject> probe = c.make();
            names = checkableControls(probe->window());
        }
        int tested = 0;
        for (const QString& name : names) {
            const std::string where = std::string(c.name) + " / " + name.toStdString();
            const std::unique_ptr<Subject> clicked = c.make();
            const std::unique_ptr<Subject> spoken = c.make();
            auto* byMouse = clicked->window().findChild<QAbstractButton*>(name);
            auto* bySpeech = spoken->window().findChild<QAbstractButton*>(name);
            ASSERT_TRUE(byMouse && bySpeech) << where;
            if (!byMouse->isVisible())
                continue; // a hidden control takes no click
            ++tested;
            const bool before = byMouse->isChecked();
            clickWithMouse(byMouse);
            toggleBySpeech(bySpeech);
            QApplication::processEvents();
            EXPECT_EQ(byMouse->isChecked(), bySpeech->isChecked()) << where;
            if (byMouse->isChecked() == before && before)
                continue; // a checked option stays so either way
            EXPECT_EQ(clicked->observe().toStdString(), spoken->observe().toStdString()) << where;
        }
        EXPECT_GE(tested, c.leastControls) << c.name;
    }
}

} // namespace
} // namespace zel
