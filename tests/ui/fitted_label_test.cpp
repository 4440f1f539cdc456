// The read-out label asks for the height a plain label of the same font and
// text would: it measures one line of Latin-1 text once and reuses that, so
// the reuse must never hand out a height that a new font or another kind of
// text no longer has.
#include "ui/fitted_label.h"

#include <QFont>
#include <QLabel>
#include <gtest/gtest.h>

using zel::FittedLabel;

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
