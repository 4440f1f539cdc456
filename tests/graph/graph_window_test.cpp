// The graph window driven as a user would: zoom with the mouse, back,
// forward, All, Average/Maximum, the read-out keys, on-line mode with live
// readings through the main window, and awkward series that must not break
// it.
#include "common/datetime.h"
#include "common/paths.h"
#include "common/strings.h"
#include "graph/graph_window.h"
#include "graph/wrapped_label_widget.h"
#include "protocol/tarvo.h"
#include "support/recording_prompts.h"
#include "support/tarvo_frames.h"
#include "ui/main_window.h"
#include "ui/translations.h"

#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <QWidgetItem>
#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace zel::graph {
namespace {

constexpr double Day0 = 46000;
constexpr double Second = 1.0 / 86400;

struct Data {
    std::vector<double> times, values;
    LoadRequest request(bool keep = false) const {
        LoadRequest r;
        r.seriesSlots[0].name = "Probe";
        r.seriesSlots[0].units = "uSv/h";
        r.times = times;
        r.values[0] = values;
        r.lastIndex = int32_t(times.size()) - 1;
        r.activeSeries = 1;
        r.keepSlots = keep;
        return r;
    }
};

Data ramp(int n) {
    Data d;
    for (int i = 0; i < n; ++i) {
        d.times.push_back(Day0 + i * Second);
        d.values.push_back(1 + (i % 10));
    }
    return d;
}

// A caption as read, without the '&' of its accelerator.
QString captionOf(const QAbstractButton* b) {
    return QString(b->text()).remove(QLatin1Char('&'));
}

// Pixels of the plot in the colour of series 0.
int seriesPixels(GraphWindow& w) {
    const QImage image = w.plot()->grab().toImage();
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += image.pixelColor(x, y) == QColor(0, 0, 255) ? 1 : 0;
    return count;
}

class GraphWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        setDateLocale(QLocale(QLocale::English, QLocale::UnitedStates));
        GraphWindow::setPlacementFile(dir.filePath("placement.ini"));
    }
    void TearDown() override { GraphWindow::setPlacementFile(QString()); }

    template <typename T> T* find(GraphWindow& w, const char* name) {
        T* found = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    // Pixel column of a time (days after the base time) on the plot.
    static int columnOf(GraphWindow& w, double time) {
        const PlotLayout l = w.plot()->layout();
        const Scales& s = w.scales();
        return int(
            std::lround(l.plot.left() + (time - s.first) / (s.last - s.first) * l.plot.width()));
    }
    static void drag(GraphWindow& w, int fromX, int toX) {
        const int y = int(w.plot()->layout().plot.center().y());
        QTest::mousePress(w.plot(), Qt::LeftButton, {}, QPoint(fromX, y));
        QTest::mouseMove(w.plot(), QPoint((fromX + toX) / 2, y));
        QTest::mouseMove(w.plot(), QPoint(toX, y));
        QTest::mouseRelease(w.plot(), Qt::LeftButton, {}, QPoint(toX, y));
    }

    QTemporaryDir dir;
};

TEST_F(GraphWindowTest, ZoomBackForwardAllAndReduction) {
    const Data d = ramp(3000);
    GraphWindow w;
    EXPECT_EQ(w.load(d.request()), LoadResult::Drawn);
    w.show();
    // The first activation goes on line on the newest 1001 records.
    EXPECT_TRUE(w.isOnline());
    EXPECT_EQ(captionOf(find<QPushButton>(w, "btOnLine")), str(27));
    EXPECT_EQ(w.store().window(), (TimeWindow{d.times[1999], d.times[2999]}));
    EXPECT_EQ(w.windowTitle(), "Graph for point: Probe");
    EXPECT_FALSE(find<QCheckBox>(w, "chkZoom")->isVisible()) << "every record is a point";

    // A drag of ten seconds or less keeps the window.
    const double base = w.store().baseTime();
    drag(w, columnOf(w, 100 * Second), columnOf(w, 108 * Second));
    EXPECT_EQ(w.store().window(), (TimeWindow{d.times[1999], d.times[2999]}));
    EXPECT_TRUE(w.isOnline());
    EXPECT_GE(w.selectedPoint(), 108) << "the release point is read out";

    // A longer drag zooms and leaves on-line mode.
    drag(w, columnOf(w, 100 * Second), columnOf(w, 400 * Second));
    EXPECT_FALSE(w.isOnline());
    EXPECT_EQ(captionOf(find<QPushButton>(w, "btOnLine")), str(25));
    EXPECT_NEAR(w.store().window().start, base + 100 * Second, 2 * Second);
    EXPECT_NEAR(w.store().window().end, base + 400 * Second, 2 * Second);
    const TimeWindow zoom1 = w.store().window();
    drag(w, columnOf(w, w.scales().first + 50 * Second),
         columnOf(w, w.scales().first + 150 * Second));
    const TimeWindow zoom2 = w.store().window();
    ASSERT_NE(zoom1, zoom2);

    auto* back = find<QAction>(w, "mnBack");
    auto* forward = find<QAction>(w, "mnFor");
    EXPECT_FALSE(forward->isEnabled());
    back->trigger();
    EXPECT_NEAR(w.store().window().start, zoom1.start, Second);
    EXPECT_TRUE(forward->isEnabled());
    forward->trigger();
    EXPECT_NEAR(w.store().window().start, zoom2.start, Second);
    EXPECT_FALSE(forward->isEnabled());

    // On line again, then All: every record, off line, reduced by three.
    find<QPushButton>(w, "btOnLine")->click();
    EXPECT_TRUE(w.isOnline());
    EXPECT_EQ(w.store().window(), (TimeWindow{d.times[1999], d.times[2999]}));
    find<QPushButton>(w, "btAll")->click();
    EXPECT_FALSE(w.isOnline());
    EXPECT_EQ(w.store().window(), (TimeWindow{d.times[0], d.times[2999]}));
    auto* zoom = find<QCheckBox>(w, "chkZoom");
    ASSERT_TRUE(zoom->isVisible());
    EXPECT_EQ(captionOf(zoom), "Max");
    EXPECT_DOUBLE_EQ(w.store().displayY(0, 0), 2); // mean of 1, 2, 3
    zoom->click();
    EXPECT_EQ(captionOf(zoom), "Ave");
    EXPECT_TRUE(find<QAction>(w, "mnMax")->isChecked());
    EXPECT_DOUBLE_EQ(w.store().displayY(0, 0), 3);
    find<QAction>(w, "mnAverage")->trigger();
    EXPECT_FALSE(zoom->isChecked());
    EXPECT_DOUBLE_EQ(w.store().displayY(0, 0), 2);

    // The figures under the plot are those of the raw records on screen.
    EXPECT_TRUE(find<QLabel>(w, "lblStats")->text().contains("3000"));
}

TEST_F(GraphWindowTest, ArrowKeysMoveTheReadOutAndScaleControls) {
    const Data d = ramp(200);
    GraphWindow w;
    w.load(d.request());
    w.show();
    w.readOutPoint(5);
    QTest::keyRelease(w.plot(), Qt::Key_Right);
    EXPECT_EQ(w.selectedPoint(), 6);
    QTest::keyRelease(w.plot(), Qt::Key_Right, Qt::ShiftModifier);
    EXPECT_EQ(w.selectedPoint(), 16);
    QTest::keyRelease(w.plot(), Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(w.selectedPoint(), 6);
    for (int i = 0; i < 3; ++i)
        QTest::keyRelease(w.plot(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(w.selectedPoint(), 6) << "index below 0 is not taken";
    EXPECT_EQ(find<QLabel>(w, "edData_0")->text(), "7.0 uSv/h");
    EXPECT_EQ(find<QLabel>(w, "edShowTime")->text(),
              formatGeneralDateTime(fromDayCount(d.times[6])));

    // Manual needs a top above 0; it toggles with Auto.
    auto* manual = find<QPushButton>(w, "cmdManual");
    EXPECT_FALSE(manual->isEnabled());
    find<QLineEdit>(w, "edManualScal")->setText("50");
    ASSERT_TRUE(manual->isEnabled());
    manual->click();
    EXPECT_EQ(w.scaleMode(), ScaleMode::Manual);
    EXPECT_EQ(w.scales().slot[0].max, 50);
    EXPECT_EQ(captionOf(manual), "Auto");
    manual->click();
    EXPECT_EQ(w.scaleMode(), ScaleMode::Auto);
    EXPECT_EQ(find<QLineEdit>(w, "edScale_0")->text(), "11");
    find<QAction>(w, "mn100")->trigger();
    EXPECT_EQ(w.scales().slot[0].max, 100);
}

TEST_F(GraphWindowTest, PlacementIsKeptInTwips) {
    {
        GraphWindow w;
        w.load(ramp(20).request());
        w.show();
        w.move(120, 90);
        w.resize(740, 400);
        w.close();
    }
    QSettings s(dir.filePath("placement.ini"), QSettings::IniFormat);
    s.beginGroup(QDir::cleanPath(programFolder()) + "/frmGraph");
    EXPECT_EQ(s.value("Size/Width").toString(), QString::number(740 * 15));
    {
        GraphWindow again;
        EXPECT_EQ(again.size(), QSize(740, 400));
    }
    // A place kept from a larger screen is brought inside this one.
    s.setValue("Size/Width", QString::number(5000 * 15));
    s.setValue("Size/Left", QString::number(400 * 15));
    s.sync();
    GraphWindow large;
    large.show();
    const QRect screen = large.screen()->availableGeometry();
    const QRect frame = large.frameGeometry();
    EXPECT_GE(frame.left(), screen.left());
    EXPECT_GE(frame.top(), screen.top());
    EXPECT_LE(frame.bottom(), screen.bottom());
    EXPECT_LT(frame.width(), 5000 / 2) << "narrowed to the screen, as far as its controls allow";
}

// Each program folder keeps its own placement.
TEST_F(GraphWindowTest, PlacementIsKeptPerProgramFolder) {
    const std::pair<const char*, QSize> installs[] = {{"one", QSize(740, 400)},
                                                      {"two", QSize(760, 420)}};
    for (const auto& [folder, size] : installs) {
        qputenv("ZEL_HOME", dir.filePath(folder).toUtf8());
        GraphWindow w;
        w.load(ramp(20).request());
        w.show();
        w.move(120, 90);
        w.resize(size);
        w.close();
    }
    for (const auto& [folder, size] : installs) {
        qputenv("ZEL_HOME", dir.filePath(folder).toUtf8());
        GraphWindow again;
        EXPECT_EQ(again.size(), size) << folder;
    }
    qunsetenv("ZEL_HOME");
}

// A load from the owner starts afresh: Auto scale and no way back to the
// windows of the data before; live readings keep both.
TEST_F(GraphWindowTest, LoadFromTheOwnerResetsScaleAndHistory) {
    const Data d = ramp(3000);
    GraphWindow w;
    w.load(d.request());
    w.show();
    find<QAction>(w, "mn100")->trigger();
    drag(w, columnOf(w, 100 * Second), columnOf(w, 400 * Second));
    ASSERT_TRUE(find<QAction>(w, "mnBack")->isEnabled());

    w.load(d.request(true)); // a live reading
    EXPECT_EQ(w.scaleMode(), ScaleMode::Range100);
    EXPECT_TRUE(find<QAction>(w, "mn100")->isChecked());

    w.close();
    w.load(d.request());
    w.show();
    EXPECT_EQ(w.scaleMode(), ScaleMode::Auto);
    EXPECT_TRUE(find<QAction>(w, "mnAuto")->isChecked());
    EXPECT_FALSE(find<QAction>(w, "mn100")->isChecked());
    EXPECT_FALSE(find<QAction>(w, "mnBack")->isEnabled()) << "nothing to go back to";
    EXPECT_LT(w.scales().slot[0].max, 100) << "the scale follows the data again";
}

// A screen reader hears what the plot shows and the point under the
// read-out.
TEST_F(GraphWindowTest, PlotAndReadOutAreSpoken) {
    const Data d = ramp(100);
    GraphWindow w;
    w.load(d.request());
    w.show();
    QAccessibleInterface* plot = QAccessible::queryAccessibleInterface(w.plot());
    ASSERT_NE(plot, nullptr);
    const QString name = plot->text(QAccessible::Name);
    for (const char* part : {"Probe", "uSv/h", "12/9/2025", "Readings: 100", "Mean: "})
        EXPECT_TRUE(name.contains(QLatin1String(part))) << part << " in " << name.toStdString();

    w.readOutPoint(5);
    auto* time = find<QLabel>(w, "edShowTime");
    QAccessibleInterface* readOut = QAccessible::queryAccessibleInterface(time);
    ASSERT_NE(readOut, nullptr);
    const QString spoken = readOut->text(QAccessible::Name);
    EXPECT_TRUE(spoken.startsWith(time->text())) << spoken.toStdString();
    EXPECT_TRUE(spoken.contains("Probe 6.0 uSv/h")) << spoken.toStdString();
    const QString description = plot->text(QAccessible::Description);
    EXPECT_TRUE(description.startsWith(spoken)) << description.toStdString();
    EXPECT_TRUE(description.contains("Space")) << "the keys of the zoom are said";
}

TEST_F(GraphWindowTest, AwkwardSeriesNeverBreakTheWindow) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        const char* what;
        std::vector<double> values;
        bool shuffleTimes;
    };
    std::vector<Case> cases = {
        {"one reading", {3}, false},
        {"four readings", {1, 2, 3, 4}, false},
        {"constant", std::vector<double>(50, 7), false},
        {"huge", {1e300, 1e308, 5e307, 1e300, 1e299, 1e308, 3, 1e308}, false},
        {"missing only", std::vector<double>(40, -1), false},
        {"not numbers", {nan, inf, -inf, 1, nan, 2, inf, 3}, false},
        {"times out of order", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}, true},
    };
    for (const Case& c : cases) {
        Data d;
        for (size_t i = 0; i < c.values.size(); ++i)
            d.times.push_back(Day0 + double(c.shuffleTimes ? (i * 7) % 12 : i) * Second);
        d.values = c.values;
        GraphWindow w;
        w.load(d.request());
        w.show();
        w.grab();
        if (c.shuffleTimes) {
            // Drawn from the earliest to the latest time, every point on it.
            EXPECT_EQ(w.store().displayCount(), 11);
            EXPECT_NEAR(w.scales().last - w.scales().first, 11 * Second, 1e-9);
            EXPECT_GT(seriesPixels(w), 100) << c.what;
        }
        drag(w, 10, w.plot()->width() - 10);
        drag(w, w.plot()->width() / 2, w.plot()->width() / 2 + 3);
        find<QPushButton>(w, "btAll")->click();
        find<QCheckBox>(w, "chkZoom")->click();
        find<QAction>(w, "mnBack")->trigger();
        for (int i = 0; i < 20; ++i)
            QTest::keyRelease(w.plot(), Qt::Key_Right, Qt::ShiftModifier);
        w.grab();
        // Whatever was pressed, the display never reaches past the records.
        EXPECT_LE(w.store().displayCount(), w.store().lastIndex()) << c.what;
    }
}

// The keyboard zooms as the mouse does: Space marks one end at the
// read-out, the arrows move the read-out to the other, Return zooms; a span
// of ten seconds or less is no zoom; Escape drops the mark.
TEST_F(GraphWindowTest, KeyboardMarksAndZooms) {
    const Data d = ramp(3000);
    GraphWindow w;
    w.load(d.request());
    w.show();
    GraphPlotWidget* plot = w.plot();
    const TimeWindow newest = w.store().window();
    auto timeOf = [&](int32_t k) { return w.store().baseTime() + w.store().displayX(k); };

    w.readOutPoint(100);
    QTest::keyClick(plot, Qt::Key_Space);
    ASSERT_TRUE(plot->zoomMark().has_value());
    EXPECT_DOUBLE_EQ(*plot->zoomMark(), timeOf(100));
    const QString description = plot->accessibleDescription();
    EXPECT_TRUE(description.contains("Zoom marked from")) << description.toStdString();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(plot, Qt::Key_Right);
    QTest::keyClick(plot, Qt::Key_Return);
    EXPECT_EQ(w.store().window(), newest) << "five seconds are no zoom";
    ASSERT_TRUE(plot->zoomMark().has_value()) << "the mark waits for a longer span";

    QTest::keyClick(plot, Qt::Key_Escape);
    EXPECT_FALSE(plot->zoomMark().has_value());
    QTest::keyClick(plot, Qt::Key_Return);
    EXPECT_EQ(w.store().window(), newest) << "no mark, no zoom";

    // Marked at 400, moved back to 100 (Ctrl: ten points a key): the window
    // runs from the earlier end to the later, off line, with a way back.
    w.readOutPoint(400);
    const double end = timeOf(400), start = timeOf(100);
    QTest::keyClick(plot, Qt::Key_Space);
    for (int i = 0; i < 30; ++i)
        QTest::keyClick(plot, Qt::Key_Left, Qt::ControlModifier);
    ASSERT_EQ(w.selectedPoint(), 100);
    QTest::keyClick(plot, Qt::Key_Enter);
    EXPECT_EQ(w.store().window(), (TimeWindow{start, end}));
    EXPECT_FALSE(w.isOnline());
    EXPECT_FALSE(plot->zoomMark().has_value());
    EXPECT_TRUE(find<QAction>(w, "mnBack")->isEnabled());
}

// The store holds the newest readings of a longer file: with the oldest
// held on screen the figures say "newest N of M", in the language's digits;
// a zoom into part of them counts plainly.
TEST_F(GraphWindowTest, AllDataSaysWhenItShowsOnlyTheNewest) {
    const Data d = ramp(10001);
    LoadRequest request = d.request();
    request.sourceReadings = 100000;
    struct Case {
        Language language;
        const char* says;
    };
    const Case cases[] = {{Language::English, "newest 10,001 of 100,000"},
                          {Language::German, "neueste 10.001 von 100.000"},
                          {Language::Hebrew, "10,001 האחרונות מתוך 100,000"}};
    for (const Case& c : cases) {
        useLanguage(c.language);
        GraphWindow w;
        w.load(request);
        w.show();
        find<QPushButton>(w, "btAll")->click();
        const QString stats = find<QLabel>(w, "lblStats")->text();
        EXPECT_TRUE(stats.contains(QString::fromUtf8(c.says))) << stats.toStdString();
        drag(w, columnOf(w, 100 * Second), columnOf(w, 400 * Second));
        EXPECT_FALSE(find<QLabel>(w, "lblStats")->text().contains(QString::fromUtf8(c.says)));
    }
    useLanguage(Language::English);
    GraphWindow whole;
    whole.load(d.request()); // the file had no more than these
    whole.show();
    find<QPushButton>(whole, "btAll")->click();
    EXPECT_TRUE(find<QLabel>(whole, "lblStats")->text().startsWith("Readings: 10001 "));
}

// ---------------------------------------------------------------- main window

QByteArray reading(float value) {
    return tarvo::buildTarvoFrame(test::readingPayload(0x86, value, 6, 0, 0xFF, 0, 0));
}

// The holder of a wrapped label takes the height the label needs whatever
// its text: a line more, a line fewer, a larger font, another script.
TEST(WrappedLabelHolder, FollowsTheHeightTheTextNeeds) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel;
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* holder = new WrappedLabelHolder(label);
    layout->addWidget(holder);
    layout->addStretch();
    window.resize(500, 400);
    window.show();
    const QString shortText = QStringLiteral("Readings: 12   Mean: 1.5");
    const QString longText = QString(QStringLiteral("Readings: 12   Mean: 1.5   ")).repeated(6);
    QFont large = label->font();
    large.setPointSize(large.pointSize() * 2);
    struct Step {
        QString text;
        QFont font;
    } steps[] = {{QString(), window.font()},
                 {shortText, window.font()},
                 {QStringLiteral("Readings: 13   Mean: 1.6"), window.font()},
                 {longText, window.font()},
                 {shortText, window.font()},
                 {shortText, large},
                 {QStringLiteral("Readings: 14   \u4e2d\u6587"), window.font()}};
    std::vector<int> heights;
    for (const Step& step : steps) {
        label->setFont(step.font);
        label->setText(step.text);
        const auto needed = [&] { return QWidgetItem(label).heightForWidth(holder->width()); };
        EXPECT_TRUE(QTest::qWaitFor([&] { return holder->height() == needed(); }, 2000))
            << step.text.toStdString() << ": " << holder->height() << " for " << needed();
        EXPECT_EQ(holder->heightForWidth(holder->width()), needed()) << step.text.toStdString();
        EXPECT_EQ(label->geometry(), holder->rect()) << step.text.toStdString();
        heights.push_back(holder->height());
    }
    EXPECT_GT(heights[3], heights[2]) << "the long text takes more lines";
    EXPECT_GT(heights[5], heights[4]) << "the larger font is taller";
}

// The statistics line draws and measures itself from its own document: the
// picture and the height are QLabel's, whatever the text, width, colour and
// room around the text.
TEST(PlainWrappedLabel, DrawsAndMeasuresAsQLabel) {
    const QString figures = QStringLiteral("Readings: 1234   Mean: 0.123 \u00b5Sv/h   Minimum: 0.1 "
                                           "\u00b5Sv/h   Maximum: 0.2 \u00b5Sv/h   Standard "
                                           "deviation: 0.01 \u00b5Sv/h");
    const struct Case {
        QString text;
        int width;
        int roomBelow; // pixels beyond the height the text needs
        bool blue;
    } cases[] = {{QString(), 300, 0, false},
                 {QStringLiteral("Readings: 12   Mean: 1.5"), 480, 0, false},
                 {figures, 480, 0, false},
                 {figures, 170, 9, false},
                 {figures, 900, 5, true},
                 {QStringLiteral("\u05e7\u05e8\u05d9\u05d0\u05d5\u05ea: \u200e12\u200e   "
                                 "Mittelwert: 1,5 \u00e4\u00f6\u00fc   \u4e2d\u6587"),
                  160, 0, false}};
    for (const Case& c : cases) {
        QLabel reference;
        reference.setWordWrap(true);
        PlainWrappedLabel label;
        for (QLabel* l : {&reference, static_cast<QLabel*>(&label)}) {
            l->setTextInteractionFlags(Qt::TextSelectableByMouse);
            if (c.blue) {
                QPalette blue = l->palette();
                blue.setColor(QPalette::WindowText, Qt::blue);
                l->setPalette(blue);
            }
            l->setText(c.text);
        }
        const std::string what = c.text.toStdString() + " at " + std::to_string(c.width);
        const int height = reference.heightForWidth(c.width);
        EXPECT_EQ(label.heightForWidth(c.width), height) << what;
        for (QLabel* l : {&reference, static_cast<QLabel*>(&label)})
            l->resize(c.width, height + c.roomBelow);
        EXPECT_EQ(label.grab().toImage(), reference.grab().toImage()) << what;
    }
}

class GraphFromMainWindowTest : public GraphWindowTest {
protected:
    void SetUp() override {
        GraphWindowTest::SetUp();
        qputenv("ZEL_HOME", dir.filePath("prog").toUtf8());
        qputenv("XDG_CONFIG_HOME", dir.filePath("cfg").toUtf8());
        QDir().mkpath(dir.filePath("cfg/zel"));
        QFile ini(dir.filePath("cfg/zel/Zel.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[COMMON]\r\nInsType=1\r\nstrAutoarrange=0\r\n");
    }
    void TearDown() override {
        qunsetenv("ZEL_HOME");
        qunsetenv("XDG_CONFIG_HOME");
        GraphWindowTest::TearDown();
    }
    void writeWorkingFile(int readings) {
        QDir().mkpath(dir.filePath("prog"));
        QFile f(dir.filePath("prog/ZelTemp.csv"));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray("\"x\"\r\n").repeated(7) + "-\r\n");
        for (int i = 0; i < readings; ++i)
            f.write(QStringLiteral("12,3/14/2026 09:%1:%2,%3,mR/h,OK,DX24,\r\n")
                        .arg(i / 60, 2, 10, QLatin1Char('0'))
                        .arg(i % 60, 2, 10, QLatin1Char('0'))
                        .arg(1 + i % 5)
                        .toUtf8());
    }
    MainWindow& start() {
        window = std::make_unique<MainWindow>(MainWindow::Options{{"zel"}, &port, &clock});
        window->setPrompts(prompts);
        window->loadSettingsAndStart();
        return *window;
    }
    void take(float value) {
        clock.advanceSeconds(30);
        port.inject(reading(value));
    }

    LoopbackTransport port;
    FixedClock clock{QDateTime(QDate(2026, 3, 14), QTime(10, 0, 0))};
    test::RecordingPrompts prompts;
    std::unique_ptr<MainWindow> window;
};

TEST_F(GraphFromMainWindowTest, GraphCommandShowsTheFileAndFollowsLiveReadings) {
    writeWorkingFile(7);
    start();
    window->showGraph();
    EXPECT_EQ(window->graphWindow(), nullptr) << "seven readings are not enough";

    writeWorkingFile(40);
    window->showGraph();
    GraphWindow* g = window->graphWindow();
    ASSERT_NE(g, nullptr);
    EXPECT_TRUE(g->isVisible());
    EXPECT_TRUE(g->isOnline());
    EXPECT_EQ(g->store().lastIndex(), 39) << "the newest reading is shown too";
    EXPECT_EQ(g->windowTitle(), "Graph for point: 12");

    take(9);
    EXPECT_EQ(g->store().lastIndex(), 40);
    EXPECT_DOUBLE_EQ(g->store().rawValue(0, 40), 9);

    // A zoom leaves on-line mode; the next reading leaves the view alone.
    drag(*g, columnOf(*g, 2 * Second), columnOf(*g, 60 * Second));
    ASSERT_FALSE(g->isOnline());
    const TimeWindow zoomed = g->store().window();
    take(4);
    EXPECT_EQ(g->store().window(), zoomed);
    EXPECT_EQ(g->store().lastIndex(), 40);

    // Back on line: the reading taken meanwhile is there.
    find<QAction>(*g, "mnOnline")->trigger();
    EXPECT_TRUE(g->isOnline());
    EXPECT_EQ(g->store().lastIndex(), 41);
    EXPECT_EQ(captionOf(find<QPushButton>(*g, "btOnLine")), str(27));

    // The data-handling panel shows the same state and switches it.
    find<QPushButton>(*g, "btEdit")->click();
    auto* panelButton = g->findChild<QPushButton*>("btOnline");
    ASSERT_NE(panelButton, nullptr);
    panelButton->click();
    EXPECT_FALSE(g->isOnline());

    g->close();
    EXPECT_FALSE(g->isOnline());
    take(1);
    EXPECT_EQ(g->store().lastIndex(), 41) << "a closed graph takes no readings";
}

// Readings faster than the graph redraws are drawn together: each one is in
// the store at once, none is left undrawn, and a reading after a quiet
// spell is drawn at once.
TEST_F(GraphFromMainWindowTest, LiveReadingsAreDrawnInPacedRedraws) {
    writeWorkingFile(40);
    start();
    window->showGraph();
    GraphWindow* g = window->graphWindow();
    ASSERT_TRUE(g && g->isOnline());
    int taken = 0;
    int redraws = 0;
    int takenWhenDrawn = -1;
    QObject::connect(g, &GraphWindow::pictureChanged, g, [&] {
        ++redraws;
        takenWhenDrawn = taken;
    });
    while (taken < 5)
        take(float(++taken));
    EXPECT_EQ(g->store().lastIndex(), 44) << "every reading in the store at once";
    ASSERT_TRUE(QTest::qWaitFor([&] { return takenWhenDrawn == 5; }, 5000)) << takenWhenDrawn;
    QTest::qWait(int(RedrawPacer::DefaultIntervalMs) + 100);
    EXPECT_LE(redraws, 2) << "five readings within one interval";

    const int before = redraws;
    take(9);
    EXPECT_EQ(redraws, before + 1) << "after a quiet spell, at once";
}

TEST_F(GraphFromMainWindowTest, LeavingTheProgramClosesTheGraphWithItsLastGraphSet) {
    writeWorkingFile(40);
    start();
    window->showGraph();
    ASSERT_TRUE(window->graphWindow()->isVisible());
    window->close();
    QFile set(dir.filePath("prog/LastGraph.grp"));
    ASSERT_TRUE(set.open(QIODevice::ReadOnly));
    EXPECT_EQ(set.readAll(), "12,,,,\r\n2,2,2,2,2\r\n");
}

// A working file longer than the series: the graph says how many readings
// the file has, and a live reading counts on.
TEST_F(GraphFromMainWindowTest, AllDataCountsTheWholeFile) {
    QDir().mkpath(dir.filePath("prog"));
    QFile f(dir.filePath("prog/ZelTemp.csv"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray("\"x\"\r\n").repeated(7) + "-\r\n");
    for (int i = 0; i < 10050; ++i)
        f.write(QStringLiteral("12,3/14/2026 %1,2,mR/h,OK,DX24,\r\n")
                    .arg(QTime(6, 0).addSecs(i).toString("hh:mm:ss"))
                    .toUtf8());
    f.close();
    start();
    window->showGraph();
    GraphWindow* g = window->graphWindow();
    ASSERT_NE(g, nullptr);
    take(3); // on line: the graph takes it
    find<QPushButton>(*g, "btAll")->click();
    const QString stats = find<QLabel>(*g, "lblStats")->text();
    EXPECT_TRUE(stats.contains("newest 10,001 of 10,051")) << stats.toStdString();
    g->close();
}

} // namespace
} // namespace zel::graph
