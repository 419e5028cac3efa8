#include "DebugLog.h"

Q_LOGGING_CATEGORY(lcKestrane, "kestrane")

namespace ks {
void OutputDebugString(const QString& text)
{
    QString t = text;
    while (t.endsWith(QLatin1Char('\n'))) t.chop(1);
    qCDebug(lcKestrane).noquote() << t;
}
} // namespace ks
