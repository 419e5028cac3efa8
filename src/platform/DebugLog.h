#pragma once
// Debugging output: a logging category on standard error, where the program
// writes its diagnostic texts (device-link failures and the like).
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcKestrane)

namespace ks {
// Writes one diagnostic text as it stands (trailing newlines are dropped).
void OutputDebugString(const QString& text);
} // namespace ks
