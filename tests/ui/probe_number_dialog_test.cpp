// The probe dialog: OK needs a probe number or the background box.
#include "widgets/probe_number_dialog.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace zel;

TEST(ProbeNumberDialog, OkNeedsANumberOrTheBackground) {
    struct Case {
        const char* text;
        bool background;
        bool okEnabled;
    };
    for (const Case& c : {Case{"", false, false}, Case{"17", false, true}, Case{"", true, true},
                          Case{"17", true, true}}) {
        ProbeNumberDialog d;
        auto* edit = d.findChild<QLineEdit*>("edDetNumber");
        auto* box = d.findChild<QCheckBox*>("chkBack");
        auto* ok = d.findChild<QPushButton*>("btOK");
        ASSERT_TRUE(edit && box && ok);
        EXPECT_FALSE(ok->isEnabled()) << "disabled when the dialog opens";
        QTest::keyClicks(edit, c.text);
        if (c.background)
            box->click();
        EXPECT_EQ(ok->isEnabled(), c.okEnabled) << c.text << " " << c.background;
        EXPECT_EQ(d.probeNumber(), c.text);
        EXPECT_EQ(d.background(), c.background);
    }
}
