#pragma once
// A view that records what tarvoset would show, for the controller tests.
#include "setup/tarvoset_controller.h"
#include <QList>
#include <QString>

namespace zel::test {

class RecordingTarvosetView : public TarvosetView {
public:
    struct Status {
        QString text;
        StatusColour colour;
    };

    void showStatus(const QString& text, StatusColour colour) override {
        statuses.append({text, colour});
    }
    void showHint(const QString& text) override { hint = text; }
    void setInitializeEnabled(bool enabled) override { initializeEnabled = enabled; }
    void setSetPortEnabled(bool enabled) override { setPortEnabled = enabled; }

    QString lastText() const { return statuses.isEmpty() ? QString() : statuses.last().text; }
    StatusColour lastColour() const {
        return statuses.isEmpty() ? StatusColour::Default : statuses.last().colour;
    }

    QList<Status> statuses;
    QString hint;
    bool initializeEnabled = true;
    bool setPortEnabled = true;
};

} // namespace zel::test
