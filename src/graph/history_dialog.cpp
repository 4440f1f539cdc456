#include "graph/history_dialog.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
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
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    top->addWidget(buttons);
}

void HistoryDialog::choose(HistorySpan span) {
    const HistoryRange r =
        historyRangeOf(span, QDateTime::currentDateTimeUtc().toMSecsSinceEpoch(), firstMs_);
    from_->setDateTime(QDateTime::fromMSecsSinceEpoch(r.fromMs));
    to_->setDateTime(QDateTime::fromMSecsSinceEpoch(r.toMs));
}

HistoryRange HistoryDialog::range() const {
    return {from_->dateTime().toMSecsSinceEpoch(), to_->dateTime().toMSecsSinceEpoch()};
}

std::optional<HistoryRange> HistoryDialog::ask(QWidget* parent, const HistoryRange& initial,
                                               qint64 firstMs) {
    HistoryDialog dialog(initial, firstMs, parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    const HistoryRange r = dialog.range();
    if (r.fromMs >= r.toMs)
        return std::nullopt;
    return r;
}

} // namespace zel::graph
