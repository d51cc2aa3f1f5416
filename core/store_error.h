#pragma once

#include <QString>
#include <stdexcept>

namespace kb {

// A failure returned to the command that asked for the work. Its message is shown to the
// user as it stands, so it says in plain words what failed and why.
class StoreError : public std::runtime_error {
  public:
    explicit StoreError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString& message() const noexcept { return m_message; }

  private:
    QString m_message;
};

} // namespace kb
