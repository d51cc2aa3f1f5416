#pragma once

#include "core/progress.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <array>
#include <cstdint>

namespace kb::access {

// What the reader may use. It is a child process: what it costs, and how long, is capped.
struct Limits {
    std::int64_t memoryBytes = std::int64_t{512} << 20;
    int cpuSeconds = 20;
    int wallMs = 40000;
    // Standard output it may write; 0: 64 MiB plus four times the file's size.
    std::int64_t outputBytes = 0;
    // The buffer one value is read into: a longer value is cut, and marked as cut.
    std::int64_t bindSize = std::int64_t{1} << 20;
};

struct Value {
    QString text;
    bool cut = false;     // it filled the read buffer: it may be longer in the file
    bool notText = false; // the column holds pictures or other binary data
    bool noColumn = false;
};

using Row = std::array<Value, 4>;

struct SourceTable {
    QString name;
    std::uint32_t flags = 0;
    // The row count kept in the table's definition; -1 when the table was refused.
    std::int32_t storedRows = -1;
    int columns = 0;
    // 0 readable, 1 refused: no page map, 2 refused: no column list.
    int status = 0;
    bool ended = false;
    QList<Row> rows;

    // Flagged as a system table by the file itself.
    bool isSystem() const { return (flags & 0x80000002U) != 0; }
};

struct SourceFile {
    int jetVersion = 0;
    QList<SourceTable> tables;
};

// Reads the reader's stream as it arrives, checking every record: its tag, its length, the
// table it names, UTF-8 text, and at the end that every table was finished.
class StreamParser {
  public:
    // False once the stream is found damaged (see error()).
    bool feed(const char* data, qsizetype size);
    // Checks that the stream is complete; false with error() set when it isn't.
    bool finish();
    const QString& error() const { return m_error; }
    // Rows received so far, and the rows the readable user tables say they hold.
    std::int64_t rowsSeen() const { return m_rowsSeen; }
    std::int64_t rowsExpected() const { return m_rowsExpected; }
    SourceFile take() { return std::move(m_file); }

  private:
    bool record(char tag, const QByteArray& payload);
    bool fail(const QString& why);

    QByteArray m_buffer;
    qsizetype m_pos = 0;
    bool m_magic = false;
    bool m_done = false;
    bool m_rowsStarted = false;
    QList<std::int64_t> m_counts;
    std::int64_t m_rowsSeen = 0;
    std::int64_t m_rowsExpected = 0;
    QString m_error;
    SourceFile m_file;
};

// Runs the reader `helper` on `file` under `limits`: an empty environment, no core dump, no
// file it may write, no descriptor of ours but its pipes, no new privileges, a wall-clock
// timeout that kills it (the reader then shuts itself in further). `progress` is told the
// percent done, of 100, as it grows; the read can't be stopped. A timeout, a signal, a non-zero
// exit or a damaged stream is thrown as a StoreError saying that the file can't be read.
SourceFile readAccessFile(const QString& file, const QString& helper, const Limits& limits = {},
                          const Progress& progress = {});

// Where the reader is: beside the program, or in the libexec folder of an installation. The
// empty string when it is nowhere.
QString readerHelperPath();

} // namespace kb::access
