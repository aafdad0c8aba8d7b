#pragma once

#include <QIcon>
#include <QString>

namespace quillon {

/// A picture of the program's own resources, as the menus, tool bar and forms show it.
inline QIcon ResourceIcon(const QString& name)
{
    return QIcon(QStringLiteral(":/icons/") + name + QStringLiteral(".svg"));
}

} // namespace quillon
