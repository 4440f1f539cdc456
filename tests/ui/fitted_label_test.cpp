// The read-out label asks for the height a plain label of the same font and
// text would: it measures one line of Latin-1 text once and reuses that, so
// the reuse must never hand out a height that a new font or another kind of
// text no longer has.
#include "ui/fitted_label.h"

#include <QApplication>

#include <QFont>
#include <QImage>
#include <QLabel>
#include <QPaintEvent>
#include <QPixmap>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>
#include <functional>
#include <gtest/gtest.h>

using zel::FittedLabel;
using zel::FittedLabelHolder;

namespace {

// What QLabel itself asks for with the same font, frame and text.
int plainHeight(const FittedLabel& fitted, const QString& text) {
    QLabel plain;
    plain.setFont(fitted.font());
    plain.setFrameStyle(fitted.frameStyle());
    plain.setMargin(fitted.margin());
    plain.setText(text);
    return plain.sizeHint().height();
}

} // namespace

TEST(FittedLabel, HeightFollowsFontAndKindOfText) {
    FittedLabel label;
    label.resize(400, 40);
    struct Step {
        const char* what;
        int pointSize; // 0 keeps the font
        QString text;
    };
    const Step steps[] = {
        {"a reading time", 0, QStringLiteral("3/14/2026 09:30:00")},
        {"another line, reused", 0, QStringLiteral("12.5 mR/h")},
        {"empty", 0, QString()},
        {"two lines", 0, QStringLiteral("Port lost\nChoose it again")},
        {"back to one line", 0, QStringLiteral("0.25 uSv/h")},
        {"a larger font", 28, QStringLiteral("0.25 uSv/h")},
        {"the same line in it", 0, QStringLiteral("1234 cps")},
        {"a smaller font", 8, QStringLiteral("1234 cps")},
        {"Hebrew", 0, QStringLiteral(u"\u05DE\u05D7\u05D5\u05D1\u05E8")},
    };
    for (const Step& s : steps) {
        if (s.pointSize > 0) {
            QFont f = label.font();
            f.setPointSize(s.pointSize);
            label.setFont(f);
        }
        label.setFullText(s.text);
        EXPECT_EQ(label.sizeHint().height(), plainHeight(label, label.text())) << s.what;
        EXPECT_GT(label.minimumSizeHint().height(), 0) << s.what;
    }
    // A frame changes the contents rectangle, and with it the height.
    label.setFullText(QStringLiteral("0.5 mR/h"));
    label.setFrameStyle(QFrame::Panel | QFrame::Sunken);
    label.setLineWidth(3);
    EXPECT_EQ(label.sizeHint().height(), [&] {
        QLabel plain;
        plain.setFont(label.font());
        plain.setFrameStyle(label.frameStyle());
        plain.setLineWidth(3);
        plain.setText(label.text());
        return plain.sizeHint().height();
    }());
}

// Most readings keep their tool tip and their spoken name; a cut text puts
// the whole one in both, and the next text that fits takes it back.
// A text is shown whole exactly when it fits, at every width and in large
// and small fonts, whichever way the fit is found.
TEST(FittedLabel, TextIsShownWholeExactlyWhenItFits) {
    const QStringList texts = {
        QStringLiteral("14.83768 mR/h"),       QStringLiteral("0 mR"),
        QStringLiteral("8 Dec 2026 18:33:08"), QStringLiteral("Instrument Succesfully Connected"),
        QStringLiteral("0.25 \u00b5Sv/h"),     QStringLiteral("AVAVAV WAWA ffi"),
        QStringLiteral("\u4e2d\u6587 12"),     QStringLiteral("")};
    QFont large = QApplication::font();
    large.setPointSize(36);
    large.setBold(true);
    for (const QFont& font : {QApplication::font(), large}) {
        const QFontMetrics metrics(font);
        const zel::Latin1Advances advances(metrics);
        for (const QString& text : texts)
            for (int width = 0; width < 800; width += 3) {
                const bool fits = metrics.horizontalAdvance(text) <= width;
                EXPECT_EQ(zel::fittedText(text, metrics, width) == text, fits)
                    << text.toStdString() << " in " << width << " px";
                EXPECT_TRUE(!advances.surelyFits(text, width) || fits)
                    << text.toStdString() << " in " << width << " px";
            }
    }
}

TEST(FittedLabel, CutTextNamesTheWholeAndFittingTextRests) {
    FittedLabel label;
    label.setRestingToolTip(QStringLiteral("Latest reading"));
    label.resize(60, 30);
    const QString longText = QStringLiteral("Instrument Succesfully Connected at last");
    label.setFullText(longText);
    EXPECT_NE(label.text(), longText);
    EXPECT_EQ(label.toolTip(), longText);
    EXPECT_EQ(label.accessibleName(), longText);
    label.setFullText(QStringLiteral("1"));
    EXPECT_EQ(label.text(), QStringLiteral("1"));
    EXPECT_EQ(label.toolTip(), QStringLiteral("Latest reading"));
    EXPECT_TRUE(label.accessibleName().isEmpty());
}

// In a held label a new text reaches the window without laying it out
// again; a new font, which changes the label's height, does, and the label
// always fills its holder.
TEST(FittedLabel, HolderLaysTheWindowOutOnlyWhenTheLabelNeedsRoom) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* label = new FittedLabel;
    label->setMinimumWidth(150);
    auto* holder = new FittedLabelHolder(label, &window);
    layout->addWidget(holder);
    layout->addWidget(new QLabel(QStringLiteral("below")));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    QCoreApplication::processEvents();
    EXPECT_GE(holder->width(), 150);

    struct LayoutRequests : QObject {
        int seen = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            seen += event->type() == QEvent::LayoutRequest;
            return false;
        }
    } requests;
    // Neither the window nor the holder is posted a request (each post
    // wakes the event loop).
    window.installEventFilter(&requests);
    holder->installEventFilter(&requests);
    for (const char* text : {"1.23 uSv/h", "45.6 uSv/h", "Instrument Succesfully Connected"}) {
        label->setFullText(QString::fromLatin1(text));
        QCoreApplication::processEvents();
    }
    EXPECT_EQ(requests.seen, 0);
    EXPECT_NE(label->text(), label->fullText()); // fitted to the holder's width

    const int heightBefore = holder->height();
    QFont big = label->font();
    big.setPointSize(big.pointSize() * 3);
    label->setFont(big);
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_GT(requests.seen, 0);
    EXPECT_GT(holder->height(), heightBefore);
    EXPECT_GE(holder->height(), label->minimumSizeHint().height());
    EXPECT_EQ(label->geometry(), holder->rect());
}

// A new text repaints only where it differs from the old one. Whatever the
// alignment, frame, font and direction, the window must then show what a
// whole repaint draws, pixel for pixel, and a changed digit of the big
// read-out must not repaint the whole panel.
TEST(FittedLabel, RepaintingOnlyTheChangeShowsWhatAWholeRepaintDraws) {
    struct Case {
        const char* what;
        Qt::Alignment alignment;
        bool framed;
        int pointSize;
        bool italic;
        Qt::LayoutDirection direction;
        QStringList texts;
    };
    const Case cases[] = {
        {"big centred value",
         Qt::AlignCenter,
         true,
         36,
         false,
         Qt::LeftToRight,
         {"---", "123.4 uSv/h", "123.5 uSv/h", "128.9 uSv/h", "99.7 uSv/h", "1.00E+03 cps",
          "1.01E+03 cps", "", "7 cps", "AVAVAV", "AVAWAV", "ffiffi", "ffiffl"}},
        {"left-aligned status",
         Qt::AlignLeft | Qt::AlignVCenter,
         false,
         14,
         false,
         Qt::LeftToRight,
         {"12:00:00", "12:00:01", "12:00:59", "12:01:00", "Reading 1234 received",
          "Reading 1235 received", "Lost contact", "W", "i", "Tj", "Ty", "a < b", "a & b"}},
        {"right-aligned in a mirrored window",
         Qt::AlignRight | Qt::AlignVCenter,
         true,
         14,
         false,
         Qt::RightToLeft,
         {"1 cps", "11 cps", "AVWAV", "AVWAW", QString::fromUtf8("\u05de\u05d3\u05d9\u05d3\u05d4"),
          "123", "124"}},
        {"italic",
         Qt::AlignLeft | Qt::AlignVCenter,
         false,
         30,
         true,
         Qt::LeftToRight,
         {"1f 2", "2f 2", "2f 3", "fjord", "fjore", "If", "Iff", "T.1", "T.2", "Y,1", "Y,2", "10",
          "17", "47", "41"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QWidget window;
        window.setLayoutDirection(c.direction);
        auto* layout = new QVBoxLayout(&window);
        auto* label = new FittedLabel;
        label->setAlignment(c.alignment);
        if (c.framed) {
            label->setFrameShape(QFrame::Panel);
            label->setFrameShadow(QFrame::Sunken);
        }
        QFont font = label->font();
        font.setPointSize(c.pointSize);
        font.setBold(c.pointSize > 20);
        font.setItalic(c.italic);
        label->setFont(font);
        label->setAutoFillBackground(true);
        label->setStyleSheet(QStringLiteral("background: yellow; color: blue"));
        layout->addWidget(new FittedLabelHolder(label, &window));
        window.resize(520, c.pointSize * 5);
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

        struct PaintedArea : QObject {
            QRect last;
            bool eventFilter(QObject*, QEvent* event) override {
                if (event->type() == QEvent::Paint)
                    last = static_cast<QPaintEvent*>(event)->rect();
                return false;
            }
        } painted;
        label->installEventFilter(&painted);
        const auto showAndCompare = [&](const QString& text) {
            SCOPED_TRACE(text.toStdString());
            painted.last = QRect();
            label->setFullText(text);
            QTest::qWait(2); // an emptied label decides its repaint a turn later
            const QRect repainted = painted.last; // before grab() paints it all
            const QImage shown = window.screen()
                                     ->grabWindow(window.winId())
                                     .toImage()
                                     .convertToFormat(QImage::Format_RGB32);
            const QImage whole = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
            EXPECT_EQ(shown.size(), whole.size());
            EXPECT_TRUE(shown == whole);
            return repainted;
        };
        for (const QString& text : c.texts) {
            const QRect repainted = showAndCompare(text);
            if (text == QStringLiteral("123.5 uSv/h")) {
                EXPECT_FALSE(repainted.isEmpty());
                EXPECT_LT(repainted.width(), label->width() / 2);
            }
        }
        // Where the characters lie is measured once for a run of readings;
        // it must not outlive what it depends on.
        const std::function<void()> changes[] = {
            [] {},
            [&] { label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter); },
            [&] { label->setIndent(40); },
            [&] { window.resize(window.width() + 60, window.height()); },
            [&] {
                font.setPointSize(c.pointSize + 4);
                label->setFont(font);
            },
        };
        showAndCompare(QStringLiteral("100.0 cps"));
        // Passed through other texts to a new reading in one turn, as the
        // status is, the label repaints only the digit that differs from
        // what it showed.
        label->setFullText(QString());
        label->setFullText(QStringLiteral("Instrument Succesfully Connected"));
        const QRect repainted = showAndCompare(QStringLiteral("100.9 cps"));
        EXPECT_FALSE(repainted.isEmpty());
        EXPECT_LT(repainted.width(), label->width() / 2);
        showAndCompare(QStringLiteral("100.0 cps"));
        int digit = 1;
        for (const auto& change : changes) {
            change();
            QTest::qWait(2);
            showAndCompare(QStringLiteral("100.%1 cps").arg(digit++));
        }
    }
}
