// The order the client thread sends in: readings by number within the
// window, an alarm change right after the reading that caused it.
#include "telemetry/send_order.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace zel {
namespace {

std::deque<DiskQueue::Entry> readingsNumbered(const std::vector<quint64>& seqs) {
    std::deque<DiskQueue::Entry> readings;
    for (quint64 seq : seqs)
        readings.push_back({seq, QByteArray::number(seq)});
    return readings;
}

std::deque<AlarmChange> alarmsAfter(const std::vector<quint64>& seqs) {
    std::deque<AlarmChange> alarms;
    for (quint64 seq : seqs)
        alarms.push_back({seq, "alarm after " + QByteArray::number(seq)});
    return alarms;
}

TEST(SendOrder, NextStepFromWhatWaits) {
    using W = NextSend::What;
    struct Case {
        const char* what;
        std::vector<quint64> readings;
        std::vector<quint64> alarms;
        quint64 nextSeq;
        qsizetype inflight;
        NextSend expected;
    };
    const Case cases[] = {
        {"nothing waits", {}, {}, 0, 0, {}},
        {"the oldest unsent reading", {3, 4, 5}, {}, 0, 0, {W::Reading, 0}},
        {"past those sent on this connection", {3, 4, 5}, {}, 4, 1, {W::Reading, 1}},
        {"a gap in the numbers", {3, 7}, {}, 4, 1, {W::Reading, 1}},
        {"all sent, waiting for acknowledgements", {3, 4}, {}, 5, 2, {}},
        {"a full window holds readings back", {3, 4, 5}, {}, 4, 4, {}},
        {"an alarm waits for its reading", {3, 4}, {3}, 0, 0, {W::Reading, 0}},
        {"an alarm goes right after its reading", {3, 4}, {3}, 4, 1, {W::Alarm, -1}},
        {"an alarm after a reading acknowledged", {4}, {3}, 0, 0, {W::Alarm, -1}},
        {"an alarm with no reading after it", {}, {9}, 0, 0, {W::Alarm, -1}},
        {"a full window never holds an alarm back", {3, 4, 5}, {3}, 4, 4, {W::Alarm, -1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            nextSend(readingsNumbered(c.readings), alarmsAfter(c.alarms), c.nextSeq, c.inflight, 4),
            c.expected)
            << c.what;
}

// Following the steps from a fresh connection sends everything once, in
// order, each alarm behind its reading, and stops at the window.
TEST(SendOrder, AConnectionSendsInOrderUpToTheWindow) {
    const auto readings = readingsNumbered({1, 2, 3, 4, 5});
    auto alarms = alarmsAfter({1, 3});
    quint64 nextSeq = 0;
    qsizetype inflight = 0;
    std::string sent;
    while (true) {
        const NextSend next = nextSend(readings, alarms, nextSeq, inflight, 4);
        if (next.what == NextSend::What::Nothing)
            break;
        if (next.what == NextSend::What::Alarm) {
            sent += "A" + std::to_string(alarms.front().afterSeq) + " ";
            alarms.pop_front();
        } else {
            const quint64 seq = readings[next.reading].seq;
            sent += "R" + std::to_string(seq) + " ";
            nextSeq = seq + 1;
            ++inflight;
        }
    }
    EXPECT_EQ(sent, "R1 A1 R2 R3 A3 R4 ");
}

} // namespace
} // namespace zel
