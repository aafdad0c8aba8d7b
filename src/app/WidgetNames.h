#pragma once

#include <QString>

namespace quillon {

/// Gives a control the object name the tests, the settings and the style find it by.
template <class Object> Object* Named(Object* object, const char* name)
{
    object->setObjectName(QString::fromLatin1(name));
    return object;
}

} // namespace quillon
