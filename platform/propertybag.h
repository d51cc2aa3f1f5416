#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVariantMap>
#include <utility>

namespace kb {

// The stored layout of one control on its form: named values. Reading a missing name gives
// the default the reader passes; writing a value equal to the default the writer passes
// leaves the name out, so a layout only holds what differs from a fresh control.
class PropertyBag {
  public:
    PropertyBag() = default;
    explicit PropertyBag(QVariantMap values) : m_values(std::move(values)) {}

    QVariant ReadProperty(const QString& name, const QVariant& defaultValue = {}) const;
    void WriteProperty(const QString& name, const QVariant& value,
                       const QVariant& defaultValue = {});

    bool contains(const QString& name) const { return m_values.contains(name); }
    QStringList names() const { return m_values.keys(); }
    qsizetype count() const { return m_values.size(); }
    void clear() { m_values.clear(); }
    const QVariantMap& values() const { return m_values; }

  private:
    QVariantMap m_values;
};

} // namespace kb
