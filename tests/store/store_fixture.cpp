#include "tests/store/store_fixture.h"

#include "core/database.h"
#include "platform/nodes.h"

#include <QFile>
#include <QTest>
#include <sqlite3.h>

namespace kb::test {

namespace {

sqlite3* openRaw(const QString& fileName) {
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(QFile::encodeName(fileName).constData(), &db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
        qFatal("can't open %s", qPrintable(fileName));
    const QByteArray pwd("5820741963mxrdbe");
    sqlite3_key(db, pwd.constData(), static_cast<int>(pwd.size()));
    sqlite3_busy_timeout(db, 2000);
    return db;
}

void run(sqlite3* db, const QString& sql) {
    char* error = nullptr;
    if (sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        const QString message = QString::fromUtf8(error);
        sqlite3_free(error);
        sqlite3_close(db);
        qFatal("%s: %s", qPrintable(sql), qPrintable(message));
    }
}

QString literal(const std::optional<QString>& v) {
    if (!v)
        return QStringLiteral("NULL");
    QString s = *v;
    s.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + s + QLatin1Char('\'');
}

QString ident(const QString& name) {
    QString s = name;
    s.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + s + QLatin1Char('"');
}

} // namespace

void rawExec(const QString& fileName, const QString& sql) {
    sqlite3* db = openRaw(fileName);
    run(db, sql);
    sqlite3_close(db);
}

void makeRecipeFile(const QString& fileName) {
    QString base = fileName;
    base.chop(4);
    Database::CreateDatabase(base);
}

StoreFixture::StoreFixture() {
    Database::setBusyTimeout(std::chrono::milliseconds(150));
    base = dir.filePath(QStringLiteral("Recipe"));
    makeRecipeFile(fileName());
    Nodes::modelOf(&tv);
    store = std::make_unique<RecipeBas>(
        RecipeControls{&tv, &list, &text1, &text2, &text3, &text4, &images}, dialogs);
    store->DatabasePath = base;
}

StoreFixture::~StoreFixture() {
    store.reset();
}

void StoreFixture::makeCategory(const QString& name) const {
    exec(QStringLiteral("CREATE TABLE %1 (\"Name\" VARCHAR(255), \"Author\" VARCHAR(255), "
                        "\"Ingredients\" TEXT, \"Instructions\" TEXT)")
             .arg(ident(name)));
}

void StoreFixture::addRow(const QString& category, const Row& row) const {
    QStringList values;
    for (const auto& v : row)
        values << literal(v);
    exec(QStringLiteral("INSERT INTO %1 VALUES (%2)").arg(ident(category), values.join(", ")));
}

QList<Row> StoreFixture::rows(const QString& category) const {
    sqlite3* db = openRaw(fileName());
    sqlite3_stmt* st = nullptr;
    const QByteArray sql =
        QStringLiteral("SELECT * FROM %1 ORDER BY rowid").arg(ident(category)).toUtf8();
    QList<Row> out;
    if (sqlite3_prepare_v2(db, sql.constData(), -1, &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            Row r;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                if (sqlite3_column_type(st, i) == SQLITE_NULL)
                    r << std::nullopt;
                else
                    r << QString::fromUtf8(
                        reinterpret_cast<const char*>(sqlite3_column_text(st, i)));
            }
            out << r;
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return out;
}

QStringList StoreFixture::tree() const {
    QStringList lines;
    QAbstractItemModel* model = tv.model();
    std::function<void(const QModelIndex&, int)> walk = [&](const QModelIndex& at, int depth) {
        if (at.isValid())
            lines << QString(depth * 2, QLatin1Char(' ')) + at.data().toString();
        if (model->canFetchMore(at))
            model->fetchMore(at);
        for (int i = 0; i < model->rowCount(at); ++i)
            walk(model->index(i, 0, at), depth + 1);
    };
    walk({}, -1);
    return lines;
}

QModelIndex StoreFixture::category(const QString& name) const {
    const QModelIndex top = root();
    for (int i = 0; i < tv.model()->rowCount(top); ++i) {
        const QModelIndex at = tv.model()->index(i, 0, top);
        if (at.data().toString() == name)
            return at;
    }
    return {};
}

void StoreFixture::setBoxes(const QString& t1, const QString& t2, const QString& t3,
                            const QString& t4) {
    text1.setText(t1);
    text2.setText(t2);
    text3.setPlainText(t3);
    text4.setPlainText(t4);
}

QStringList StoreFixture::boxes() const {
    return {text1.text(), text2.text(), text3.toPlainText(), text4.toPlainText()};
}

WriteLock::WriteLock(const QString& fileName, bool exclusive) {
    m_db = openRaw(fileName);
    run(m_db, exclusive ? QStringLiteral("BEGIN EXCLUSIVE") : QStringLiteral("BEGIN IMMEDIATE"));
}

WriteLock::~WriteLock() {
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
}

} // namespace kb::test
