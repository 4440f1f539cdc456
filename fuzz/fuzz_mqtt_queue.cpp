// Any bytes as "ZelMqttQueue.txt", the file the publisher reads at every
// start: opening never crashes; a refused file is left byte for byte as it
// was; a taken one gives waiting readings in order, below the next number,
// within what a JSON number holds, and reads back the same after its rewrite.
#include "telemetry/disk_queue.h"

#include "fuzz_input_file.h"

#include <QFile>
#include <QJsonDocument>
#include <cstdlib>

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void check(const zel::DiskQueue& q, const zel::DiskQueue::Opened& o) {
    quint64 previous = 0;
    for (const zel::DiskQueue::Entry& e : o.waiting) {
        if (e.seq <= previous || e.seq >= q.nextSeq() || e.seq > zel::DiskQueue::MaxSeq)
            std::abort();
        if (!QJsonDocument::fromJson(e.payload).isObject())
            std::abort();
        previous = e.seq;
    }
    if (q.nextSeq() < 1 || q.nextSeq() > zel::DiskQueue::MaxSeq + 1 ||
        qsizetype(o.waiting.size()) > q.capacity())
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = zel::fuzz::inputFile(QStringLiteral("ZelMqttQueue.txt"), data, size);
    if (path.isEmpty())
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    std::vector<quint64> seqs;
    quint64 next = 0;
    {
        zel::DiskQueue q(path, 64);
        const zel::Expected<zel::DiskQueue::Opened> opened = q.open();
        if (!opened) {
            if (bytesOf(path) != bytes)
                std::abort();
            return 0;
        }
        const zel::DiskQueue::Opened& o = *opened;
        check(q, o);
        for (const auto& e : o.waiting)
            seqs.push_back(e.seq);
        next = q.nextSeq();
        if (!o.waiting.empty())
            q.markDone(o.waiting.front().seq);
        if (const auto pushed = q.push("{\"x\":1}", {10, 1}); pushed.seq != 0) {
            if (pushed.seq != next)
                std::abort();
            seqs.push_back(pushed.seq);
            ++next;
        }
        if (!seqs.empty() && !o.waiting.empty())
            seqs.erase(seqs.begin());
    }
    zel::DiskQueue again(path, 64);
    const zel::Expected<zel::DiskQueue::Opened> reopened = again.open();
    if (!reopened || again.nextSeq() != next)
        std::abort();
    const zel::DiskQueue::Opened& o = *reopened;
    check(again, o);
    std::vector<quint64> back;
    for (const auto& e : o.waiting)
        back.push_back(e.seq);
    if (back != seqs)
        std::abort();
    return 0;
}
