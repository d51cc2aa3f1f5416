#include "platform/propertybag.h"

namespace kb {

QVariant PropertyBag::ReadProperty(const QString& name, const QVariant& defaultValue) const {
    const auto it = m_values.constFind(name);
    return it == m_values.cend() ? defaultValue : it.value();
}

void PropertyBag::WriteProperty(const QString& name, const QVariant& value,
                                const QVariant& defaultValue) {
    // A value equal to its default is left out, and an older stored value with it: the bag
    // must read back as that default.
    if (defaultValue.isValid() && value == defaultValue)
        m_values.remove(name);
    else
        m_values.insert(name, value);
}

} // namespace kb
