#include "graph/history_dialog.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace zel::graph {

HistoryDialog::HistoryDialog(const HistoryRange& initial, qint64 firstMs, QWidget* parent)
    : QDialog(parent), firstMs_(firstMs) {
    setObjectName(QStringLiteral("frmHistory"));
    setWindowTitle(tr("History"));
    auto* top = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    auto edit = [this](const char* name, qint64 ms) {
        auto* e = new QDateTimeEdit(QDateTime::fromMSecsSinceEpoch(ms), this);
        e->setObjectName(QLatin1String(name));
        e->setCalendarPopup(true);
        e->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        return e;
    };
    from_ = edit("dtFrom", initial.fromMs);
    to_ = edit("dtTo", initial.toMs);
    form->addRow(tr("&From:"), from_);
    form->addRow(tr("&To:"), to_);
    top->addLayout(form);

    auto* spans = new QHBoxLayout;
    const std::pair<const char*, QString> choices[] = {
        {"btLastDay", tr("Last &day")},     {"btLastWeek", tr("Last &week")},
        {"btLastMonth", tr("Last &month")}, {"btLastYear", tr("Last &year")},
        {"btAllHistory", tr("&All")},
    };
    for (int i = 0; i < 5; ++i) {
        auto* b = new QPushButton(choices[i].second, this);
        b->setObjectName(QLatin1String(choices[i].first));
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this, [this, i] { choose(HistorySpan(i)); });
        spans->addWidget(b);
    }
    top->addLayout(spans);
    // Said in the dialog rather than in a box over it, so the person can
    // mend the range where they typed it.
    problem_ = new QLabel(tr("The range must begin before it ends."), this);
    problem_->setObjectName(QStringLiteral("lbRangeProblem"));
    problem_->setWordWrap(true);
    problem_->hide();
    top->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &HistoryDialog::acceptRange);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

void HistoryDialog::choose(HistorySpan span) {
    const HistoryRange r =
        historyRangeOf(span, QDateTime::currentDateTimeUtc().toMSecsSinceEpoch(), firstMs_);
    from_->setDateTime(QDateTime::fromMSecsSinceEpoch(r.fromMs));
    to_->setDateTime(QDateTime::fromMSecsSinceEpoch(r.toMs));
}

void HistoryDialog::acceptRange() {
    const HistoryRange r = range();
    if (r.fromMs < r.toMs) {
        accept();
        return;
    }
    problem_->show();
    from_->setFocus();
}

HistoryRange HistoryDialog::range() const {
    return {from_->dateTime().toMSecsSinceEpoch(), to_->dateTime().toMSecsSinceEpoch()};
}

std::optional<HistoryRange> HistoryDialog::ask(QWidget* parent, const HistoryRange& initial,
                                               qint64 firstMs) {
    HistoryDialog dialog(initial, firstMs, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.range();
}

} // namespace zel::graph
