#pragma once

#include <QString>

namespace quillon {

/// The message telling that a save failed: "The WHAT could not be saved to WHERE." and, on a
/// line of its own, why ("\n": a message box shows a CR before it as a stray character).
/// Without WHERE the first sentence ends after "saved".
inline QString SaveFailureText(const QString& what, const QString& where, const QString& why)
{
    QString text = QStringLiteral("The ") + what + QStringLiteral(" could not be saved");
    if (!where.isEmpty())
        text += QStringLiteral(" to ") + where;
    text += QStringLiteral(".");
    if (!why.isEmpty())
        text += QLatin1Char('\n') + why;
    return text;
}

} // namespace quillon
