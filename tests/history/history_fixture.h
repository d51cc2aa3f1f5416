#pragma once

#include "history/backups.h"
#include "history/history.h"
#include "tests/store/store_fixture.h"

#include <QDateTime>

namespace kb::test {

// A store with the history following it, and a clock the test sets.
class HistoryFixture : public StoreFixture {
  public:
    HistoryFixture();

    // Every column of every row of `category`, as hex of the stored bytes, in stored order
    // ("NULL" for a missing value).
    QStringList storedBytes(const QString& category) const;
    // The same for the history's entries, oldest first: category and the four fields.
    QStringList historyBytes() const;
    QList<HistoryEntry> history() const;
    std::unique_ptr<Database> open() const { return Database::OpenDatabase(base); }

    QDateTime now = QDateTime::currentDateTimeUtc();
    HistoryFollower follower{[this] { return now; }};
};

// Flips one byte of a file in its middle, far from the first page.
void flipByte(const QString& fileName, qint64 at = -1);

} // namespace kb::test
