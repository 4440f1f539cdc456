// Any bytes as "Zel.ini" read for section [Metrics]: reading and taking
// "Listen" apart never crash; an address it accepts has a port a socket
// takes and a numeric form. Names are not looked up (no resolver in a
// fuzzer): only bracketed and digit-and-dot hosts are resolved.
#include "telemetry/metrics_settings.h"

#include "fuzz_input_file.h"

#include <QRegularExpression>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = zel::fuzz::inputFile(QStringLiteral("Zel.ini"), data, size);
    if (path.isEmpty())
        return 0;
    const zel::IniFile ini(path);
    const zel::MetricsSettings s = zel::readMetricsSettings(ini, QStringLiteral("station"));
    if (!s.enabled())
        return 0;
    static const QRegularExpression numeric(QStringLiteral("^(\\[.*|[0-9.]*:[^:]*)$"));
    if (!numeric.match(s.listen).hasMatch())
        return 0;
    const zel::Expected<zel::ListenAddress> resolved = zel::resolveListen(s.listen);
    if (!resolved)
        return 0;
    const zel::ListenAddress& a = *resolved;
    if (a.port < 1 || a.port > 65535 || a.numeric.isEmpty() || a.serverForm().isEmpty())
        std::abort();
    return 0;
}
