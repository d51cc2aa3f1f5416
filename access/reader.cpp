#include "access/reader.h"

#include "core/store_error.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kb::access {

namespace {

constexpr char kMagic[] = "KBMDB01\n";
constexpr qsizetype kMagicSize = 8;
// No record of a sane stream is larger: four values of at most the bind size (64 MiB cap).
constexpr std::uint32_t kMaxRecord = 4U * (64U << 20) + 64U;

std::uint32_t le32(const char* p) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<std::uint8_t>(p[i]);
    return v;
}

bool utf8(const char* data, qsizetype size, QString& out) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder.decode(QByteArrayView(data, size));
    return !decoder.hasError();
}

QString cantRead(const QString& file, const QString& why) {
    return QStringLiteral("The old recipe file \"%1\" can't be read: %2. It was left as it is.")
        .arg(QDir::toNativeSeparators(file), why);
}

} // namespace

bool StreamParser::fail(const QString& why) {
    if (m_error.isEmpty())
        m_error = why;
    return false;
}

bool StreamParser::feed(const char* data, qsizetype size) {
    if (!m_error.isEmpty())
        return false;
    m_buffer.append(data, size);
    if (!m_magic) {
        if (m_buffer.size() < kMagicSize)
            return true;
        if (m_buffer.left(kMagicSize) != QByteArrayView(kMagic, kMagicSize))
            return fail(QStringLiteral("its reader's output does not start as it should"));
        m_magic = true;
        m_pos = kMagicSize;
    }
    while (m_buffer.size() - m_pos >= 5) {
        const char tag = m_buffer[m_pos];
        const std::uint32_t len = le32(m_buffer.constData() + m_pos + 1);
        if (len > kMaxRecord)
            return fail(QStringLiteral("its reader's output holds an impossible record"));
        if (m_buffer.size() - m_pos - 5 < static_cast<qsizetype>(len))
            break;
        const QByteArray payload = m_buffer.mid(m_pos + 5, len);
        m_pos += 5 + static_cast<qsizetype>(len);
        if (m_done)
            return fail(QStringLiteral("its reader's output goes on after its end"));
        if (!record(tag, payload))
            return false;
    }
    // Keep only what is not parsed yet.
    if (m_pos > (1 << 20)) {
        m_buffer.remove(0, m_pos);
        m_pos = 0;
    }
    return true;
}

bool StreamParser::record(char tag, const QByteArray& p) {
    const char* d = p.constData();
    const auto size = p.size();
    const auto damaged = [this] { return fail(QStringLiteral("its reader's output is damaged")); };
    switch (tag) {
    case 'V':
        if (size != 1)
            return damaged();
        m_file.jetVersion = static_cast<std::uint8_t>(d[0]);
        return true;
    case 'T': {
        if (size < 15 || m_rowsStarted || le32(d) != static_cast<std::uint32_t>(m_counts.size()))
            return damaged();
        SourceTable t;
        t.flags = le32(d + 4);
        t.storedRows = static_cast<std::int32_t>(le32(d + 8));
        t.columns = static_cast<std::uint8_t>(d[12]) | (static_cast<std::uint8_t>(d[13]) << 8);
        t.status = static_cast<std::uint8_t>(d[14]);
        if (t.status > 2 || !utf8(d + 15, size - 15, t.name))
            return damaged();
        if (t.status == 0 && !t.isSystem() && t.storedRows > 0)
            m_rowsExpected += t.storedRows;
        m_file.tables.append(t);
        m_counts.append(0);
        return true;
    }
    case 'R': {
        m_rowsStarted = true;
        if (size < 4)
            return damaged();
        const std::uint32_t index = le32(d);
        if (index >= static_cast<std::uint32_t>(m_file.tables.size()))
            return damaged();
        SourceTable& t = m_file.tables[static_cast<qsizetype>(index)];
        if (t.ended || t.status != 0)
            return damaged();
        Row row;
        qsizetype at = 4;
        for (Value& v : row) {
            if (size - at < 5)
                return damaged();
            const auto marks = static_cast<std::uint8_t>(d[at]);
            const std::uint32_t len = le32(d + at + 1);
            at += 5;
            if (marks > 7 || static_cast<qsizetype>(len) > size - at || !utf8(d + at, len, v.text))
                return damaged();
            v.cut = marks & 1;
            v.notText = marks & 2;
            v.noColumn = marks & 4;
            at += len;
        }
        if (at != size)
            return damaged();
        t.rows.append(row);
        ++m_counts[static_cast<qsizetype>(index)];
        ++m_rowsSeen;
        return true;
    }
    case 'E': {
        m_rowsStarted = true;
        if (size != 8)
            return damaged();
        const std::uint32_t index = le32(d);
        if (index >= static_cast<std::uint32_t>(m_file.tables.size()))
            return damaged();
        SourceTable& t = m_file.tables[static_cast<qsizetype>(index)];
        if (t.ended || le32(d + 4) != static_cast<std::uint32_t>(m_counts[index]))
            return damaged();
        t.ended = true;
        return true;
    }
    case 'Z':
        if (size != 4 || le32(d) != static_cast<std::uint32_t>(m_file.tables.size()))
            return damaged();
        m_done = true;
        return true;
    default:
        return damaged();
    }
}

bool StreamParser::finish() {
    if (!m_error.isEmpty())
        return false;
    if (!m_done || m_pos != m_buffer.size())
        return fail(QStringLiteral("its reader's output ends too early"));
    for (const SourceTable& t : m_file.tables)
        if (t.status == 0 && !t.isSystem() && !t.ended)
            return fail(QStringLiteral("its reader's output misses the rows of a table"));
    return true;
}

SourceFile readAccessFile(const QString& file, const QString& helper, const Limits& limits,
                          const Progress& progress) {
    if (helper.isEmpty() || !QFileInfo(helper).isExecutable())
        throw StoreError(cantRead(file, QStringLiteral("the program's reader of old files, "
                                                       "kettlebox-mdbread, is missing")));
    const std::int64_t fileSize = QFileInfo(file).size();
    const std::int64_t outputCap =
        limits.outputBytes > 0 ? limits.outputBytes : (std::int64_t{64} << 20) + 4 * fileSize;

    QProcess proc;
    proc.setProgram(helper);
    proc.setArguments({QFileInfo(file).absoluteFilePath(), QStringLiteral("--bind-size"),
                       QString::number(limits.bindSize)});
    // Nothing from our environment may change how the library decodes or what it prints.
    proc.setProcessEnvironment(QProcessEnvironment());
    proc.setStandardInputFile(QProcess::nullDevice());
    proc.setStandardErrorFile(QProcess::nullDevice());
    const rlim_t memory = static_cast<rlim_t>(limits.memoryBytes);
    const rlim_t cpu = static_cast<rlim_t>(limits.cpuSeconds);
    proc.setChildProcessModifier([memory, cpu] {
        // Between fork and exec: only async-signal-safe calls.
        const rlimit cpuLimit{cpu, cpu + 1};
        const rlimit none{0, 0};
#ifndef __SANITIZE_ADDRESS__
        // A sanitized reader (built with this program) maps terabytes of shadow memory.
        const rlimit as{memory, memory};
        setrlimit(RLIMIT_AS, &as);
#endif
        setrlimit(RLIMIT_CPU, &cpuLimit);
        setrlimit(RLIMIT_CORE, &none);
        setrlimit(RLIMIT_FSIZE, &none);
        // Nothing it runs may gain privileges (a set-user-ID program).
        prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0);
        // Only its pipes cross into it: every other descriptor this process holds, the
        // recipe file's included, closes on exec. Marked rather than closed, so that QProcess
        // still hears of a failed exec.
        if (close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
            const long most = sysconf(_SC_OPEN_MAX);
            for (long fd = 3; fd < (most > 0 ? most : 1024); ++fd)
                fcntl(static_cast<int>(fd), F_SETFD, FD_CLOEXEC);
        }
    });
    proc.start(QIODevice::ReadOnly);
    if (!proc.waitForStarted(10000))
        throw StoreError(cantRead(file, QStringLiteral("its reader could not be started")));

    StreamParser parser;
    QElapsedTimer clock;
    clock.start();
    std::int64_t received = 0;
    int shown = -1;
    QString stopped;
    const auto drain = [&] {
        const QByteArray chunk = proc.readAllStandardOutput();
        received += chunk.size();
        if (received > outputCap) {
            stopped = QStringLiteral("its reader wrote far more than the file can hold");
            return false;
        }
        if (!parser.feed(chunk.constData(), chunk.size()))
            return false;
        if (progress && parser.rowsExpected() > 0) {
            const auto pct = static_cast<int>(
                std::min<std::int64_t>(100, 100 * parser.rowsSeen() / parser.rowsExpected()));
            if (pct != shown)
                progress(shown = pct, 100);
        }
        return true;
    };
    bool ok = true;
    while (ok && proc.state() != QProcess::NotRunning) {
        if (clock.elapsed() > std::int64_t{limits.wallMs}) {
            stopped = QStringLiteral("reading it took too long");
            ok = false;
            break;
        }
        proc.waitForReadyRead(10);
        ok = drain();
    }
    if (!ok) {
        proc.kill();
        proc.waitForFinished(5000);
        throw StoreError(cantRead(file, stopped.isEmpty() ? parser.error() : stopped));
    }
    proc.waitForFinished(5000);
    if (!drain())
        throw StoreError(cantRead(file, stopped.isEmpty() ? parser.error() : stopped));
    if (proc.exitStatus() != QProcess::NormalExit)
        throw StoreError(cantRead(file, QStringLiteral("its reader stopped on the file's damaged "
                                                       "contents")));
    if (proc.exitCode() != 0)
        throw StoreError(cantRead(
            file, proc.exitCode() == 3
                      ? QStringLiteral("its list of tables is missing or damaged")
                      : QStringLiteral("it is not an Access database that can be opened here")));
    if (!parser.finish())
        throw StoreError(cantRead(file, parser.error()));
    return parser.take();
}

QString readerHelperPath() {
    const QString name = QStringLiteral("kettlebox-mdbread");
    const QDir bin(QCoreApplication::applicationDirPath());
    // Beside the program in a build; in <prefix>/libexec/kettlebox when installed.
    const QStringList candidates = {
        bin.filePath(name),
        bin.filePath(QStringLiteral("../libexec/kettlebox/") + name),
    };
    for (const QString& c : candidates)
        if (QFileInfo(c).isExecutable())
            return QFileInfo(c).canonicalFilePath();
    return {};
}

} // namespace kb::access
