#pragma once

#include <QString>
#include <stdexcept>

namespace kb {

// A failure returned to the command that asked for the work. Its message is shown to the
// user as it stands, so it says in plain words what failed and why.
//
// A cancel travels the same way, so that every layer between the long work and its command
// rolls back and cleans up on one path; the command guard says nothing for it, since the user
// asked for it.
class StoreError : public std::runtime_error {
  public:
    enum class Kind { Failure, Cancelled };

    explicit StoreError(const QString& message, Kind kind = Kind::Failure)
        : std::runtime_error(message.toStdString()), m_message(message), m_kind(kind) {}

    // The user stopped the work; nothing of it was written.
    static StoreError cancelled() {
        return StoreError(QStringLiteral("The work was cancelled; nothing of it was written."),
                          Kind::Cancelled);
    }

    const QString& message() const noexcept { return m_message; }
    Kind kind() const noexcept { return m_kind; }
    bool isCancel() const noexcept { return m_kind == Kind::Cancelled; }

  private:
    QString m_message;
    Kind m_kind;
};

} // namespace kb
