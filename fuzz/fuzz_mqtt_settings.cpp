// Any bytes as "Zel.ini" read for section [MQTT]: reading and checking never
// crash; settings that pass the check give a port a socket takes, a queue
// limit of at least one, and topics without wildcards.
#include "telemetry/mqtt_settings.h"

#include "fuzz_input_file.h"

#include <QFileInfo>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = zel::fuzz::inputFile(QStringLiteral("Zel.ini"), data, size);
    if (path.isEmpty())
        return 0;
    const zel::IniFile ini(path);
    zel::MqttSettings s = zel::readMqttSettings(ini, QStringLiteral("station"));
    if (!s.enabled())
        return 0;
    if (s.clientId.isEmpty())
        s.clientId = zel::defaultClientId(s.station, QFileInfo(path).path());
    if (!zel::checkMqttSettings(s))
        return 0;
    if (s.port < 1 || s.port > 65535 || s.queueLimit < 1)
        std::abort();
    const QString topic = s.topic(QStringLiteral("reading"));
    if (topic.contains(QLatin1Char('+')) || topic.contains(QLatin1Char('#')) ||
        topic.contains(QLatin1String("//")) || topic.startsWith(QLatin1Char('$')))
        std::abort();
    return 0;
}
