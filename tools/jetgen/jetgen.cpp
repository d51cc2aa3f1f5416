// The layout follows the published Jet 4 notes: 4 KiB pages; page 0 the header (partly RC4
// masked), page 2 the catalogue table's definition; table definitions, data pages whose rows
// grow down from the page end, long-value pages for Memos that don't fit in their row, and
// usage-map rows that list each table's data pages.

#include "tools/jetgen/jetgen.h"

#include <array>
#include <cstring>
#include <map>

namespace kb::jet {

namespace {

constexpr int kPage = 4096;
constexpr int kDataHeader = 14; // type, 1, free space, owner, 4 unknown, row count
constexpr int kMaxInlineMemo = 1024;
constexpr int kLvalChunk = kPage - kDataHeader - 2 - 4;
constexpr quint32 kSystemFlags = 0x80000002U;

enum ColType : quint8 { Long = 0x04, Int = 0x03, Text = 0x0a, Ole = 0x0b, Memo = 0x0c };

struct Column {
    QString name;
    ColType type;
    bool fixed;
    int size; // fixed columns: bytes; text: the declared size in bytes; memo and OLE: 0
};

void put16(QByteArray& b, int at, quint16 v) {
    b[at] = static_cast<char>(v & 0xff);
    b[at + 1] = static_cast<char>(v >> 8);
}
void put32(QByteArray& b, int at, quint32 v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<char>((v >> (8 * i)) & 0xff);
}
void add16(QByteArray& b, quint16 v) {
    b.append(2, '\0');
    put16(b, static_cast<int>(b.size()) - 2, v);
}
void add32(QByteArray& b, quint32 v) {
    b.append(4, '\0');
    put32(b, static_cast<int>(b.size()) - 4, v);
}

QByteArray ucs2(const QString& s) {
    QByteArray out;
    out.reserve(s.size() * 2);
    for (const QChar c : s) {
        out.append(static_cast<char>(c.unicode() & 0xff));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

// Short texts of Latin-1 letters are stored the way Access 2000 does: 0xFF 0xFE, then one
// byte a character.
QByteArray textBytes(const QString& s) {
    bool latin = !s.isEmpty();
    for (const QChar c : s)
        latin = latin && c.unicode() > 0 && c.unicode() < 256;
    if (!latin)
        return ucs2(s);
    QByteArray out("\xff\xfe", 2);
    for (const QChar c : s)
        out.append(static_cast<char>(c.unicode()));
    return out;
}

void rc4(const quint8* key, int keyLen, char* data, int len) {
    std::array<quint8, 256> s{};
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<quint8>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % keyLen]) & 0xff;
        std::swap(s[i], s[j]);
    }
    for (int n = 0, i = 0, j = 0; n < len; ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        data[n] = static_cast<char>(static_cast<quint8>(data[n]) ^ s[(s[i] + s[j]) & 0xff]);
    }
}

class Writer {
  public:
    QByteArray run(const QList<Table>& user, const Options& options);

  private:
    struct Def {
        Table table;
        QList<Column> columns;
        int tdefPage = 0;
        QList<int> dataPages;
        QList<QList<std::optional<QByteArray>>> encoded;
    };

    int newPage(char type) {
        QByteArray p(kPage, '\0');
        p[0] = type;
        p[1] = 1;
        m_pages.append(p);
        return static_cast<int>(m_pages.size()) - 1;
    }
    int newDataPage(quint32 owner) {
        const int n = newPage(0x01);
        put32(m_pages[n], 4, owner);
        put16(m_pages[n], 2, kPage - kDataHeader);
        return n;
    }
    // Puts `row` on data page `page` if it fits; returns its row number or -1.
    int addRow(int page, const QByteArray& row) {
        QByteArray& p = m_pages[page];
        const int rows = static_cast<quint8>(p[12]) | (static_cast<quint8>(p[13]) << 8);
        const int end = rows == 0
                            ? kPage
                            : ((static_cast<quint8>(p[kDataHeader + 2 * (rows - 1)]) |
                                (static_cast<quint8>(p[kDataHeader + 2 * (rows - 1) + 1]) << 8)) &
                               0x1fff);
        const int start = end - static_cast<int>(row.size());
        if (start < kDataHeader + 2 * (rows + 1) || rows >= 255)
            return -1;
        std::memcpy(p.data() + start, row.constData(), static_cast<size_t>(row.size()));
        put16(p, kDataHeader + 2 * rows, static_cast<quint16>(start));
        put16(p, 12, static_cast<quint16>(rows + 1));
        put16(p, 2, static_cast<quint16>(start - kDataHeader - 2 * (rows + 1)));
        return rows;
    }
    QByteArray memoField(const QString& text);
    QByteArray encodeRow(const QList<Column>& cols, const QList<std::optional<QByteArray>>& v);
    void layOut(Def& def);
    quint32 placeMapRow(const QByteArray& row);
    void writeDefinition(Def& def);

    QList<QByteArray> m_pages;
    int m_mapPage = -1;
};

QByteArray Writer::memoField(const QString& text) {
    const QByteArray data = ucs2(text);
    QByteArray f;
    if (data.size() <= kMaxInlineMemo) {
        add32(f, static_cast<quint32>(data.size()) | 0x80000000U);
        add32(f, 0);
        add32(f, 0);
        f.append(data);
        return f;
    }
    // A chain of long-value pages, one piece each; every piece starts with the next's place.
    QList<int> pages;
    for (qsizetype at = 0; at < data.size(); at += kLvalChunk)
        pages.append(newPage(0x01));
    for (qsizetype i = 0; i < pages.size(); ++i) {
        QByteArray& p = m_pages[pages[i]];
        p.replace(4, 4, "LVAL", 4);
        const QByteArray piece = data.mid(i * kLvalChunk, kLvalChunk);
        QByteArray row;
        add32(row, i + 1 < pages.size() ? static_cast<quint32>(pages[i + 1]) << 8 : 0U);
        row.append(piece);
        addRow(pages[i], row);
    }
    add32(f, static_cast<quint32>(data.size()));
    add32(f, static_cast<quint32>(pages.first()) << 8);
    add32(f, 0);
    return f;
}

QByteArray Writer::encodeRow(const QList<Column>& cols, const QList<std::optional<QByteArray>>& v) {
    QByteArray row;
    add16(row, static_cast<quint16>(cols.size()));
    int fixedSize = 0;
    for (const Column& c : cols)
        if (c.fixed)
            fixedSize += c.size;
    QByteArray fixed(fixedSize, '\0');
    int at = 0;
    QList<int> offsets;
    QByteArray var;
    const int varStart = 2 + fixedSize;
    for (qsizetype i = 0; i < cols.size(); ++i) {
        if (cols[i].fixed) {
            if (v[i])
                fixed.replace(at, cols[i].size, *v[i]);
            at += cols[i].size;
        } else {
            offsets.append(varStart + static_cast<int>(var.size()));
            if (v[i])
                var.append(*v[i]);
        }
    }
    row.append(fixed);
    row.append(var);
    // The offset table runs backwards from the null mask: the end of the data first.
    add16(row, static_cast<quint16>(varStart + var.size()));
    for (qsizetype i = offsets.size() - 1; i >= 0; --i)
        add16(row, static_cast<quint16>(offsets[i]));
    add16(row, static_cast<quint16>(offsets.size()));
    QByteArray mask((cols.size() + 7) / 8, '\0');
    for (qsizetype i = 0; i < cols.size(); ++i)
        if (v[i])
            mask[i / 8] = static_cast<char>(mask[i / 8] | (1 << (i % 8)));
    row.append(mask);
    return row;
}

void Writer::layOut(Def& def) {
    int page = -1;
    for (const auto& values : def.encoded) {
        const QByteArray row = encodeRow(def.columns, values);
        if (page < 0 || addRow(page, row) < 0) {
            page = newDataPage(static_cast<quint32>(def.tdefPage));
            def.dataPages.append(page);
            addRow(page, row);
        }
    }
}

quint32 Writer::placeMapRow(const QByteArray& row) {
    int n = m_mapPage < 0 ? -1 : addRow(m_mapPage, row);
    if (n < 0) {
        m_mapPage = newDataPage(0);
        n = addRow(m_mapPage, row);
    }
    return (static_cast<quint32>(m_mapPage) << 8) | static_cast<quint32>(n);
}

void Writer::writeDefinition(Def& def) {
    // Type 0 usage map: its first page, then one bit a page from there.
    QByteArray used(1, '\0');
    QByteArray bits;
    quint32 first = 0;
    if (!def.dataPages.isEmpty()) {
        first = static_cast<quint32>(def.dataPages.first());
        bits.fill('\0', (def.dataPages.last() - def.dataPages.first()) / 8 + 1);
        for (const int p : def.dataPages) {
            const int i = p - def.dataPages.first();
            bits[i / 8] = static_cast<char>(bits[i / 8] | (1 << (i % 8)));
        }
    }
    add32(used, first);
    used.append(bits);
    const quint32 usedAt = placeMapRow(def.table.noPageMap ? QByteArray() : used);
    QByteArray freeMap(1, '\0');
    add32(freeMap, 0);
    freeMap.append(8, '\0');
    const quint32 freeAt = placeMapRow(freeMap);

    QByteArray& p = m_pages[def.tdefPage];
    const qint32 rows = def.table.storedRows.value_or(static_cast<qint32>(def.encoded.size()));
    int varCount = 0;
    for (const Column& c : def.columns)
        varCount += c.fixed ? 0 : 1;
    put32(p, 16, static_cast<quint32>(rows));
    p[40] = static_cast<char>(def.table.system ? 0x53 : 0x4e);
    put16(p, 41, static_cast<quint16>(def.columns.size()));
    put16(p, 43, static_cast<quint16>(varCount));
    put16(p, 45, static_cast<quint16>(def.columns.size()));
    put32(p, 47, 0);
    put32(p, 51, 0);
    put32(p, 55, usedAt);
    put32(p, 59, freeAt);
    int at = 63;
    int fixedOffset = 0;
    int varNum = 0;
    for (qsizetype i = 0; i < def.columns.size(); ++i) {
        const Column& c = def.columns[i];
        p[at] = static_cast<char>(c.type);
        put16(p, at + 5, static_cast<quint16>(i));
        put16(p, at + 7, static_cast<quint16>(c.fixed ? 0 : varNum));
        put16(p, at + 9, static_cast<quint16>(i));
        if (c.type == Text || c.type == Memo)
            put16(p, at + 11, 0x409);
        p[at + 15] = static_cast<char>(c.fixed ? 0x01 : 0x02);
        p[at + 16] = static_cast<char>(c.type == Text || c.type == Memo ? 0x01 : 0x00);
        put16(p, at + 21, static_cast<quint16>(c.fixed ? fixedOffset : 0));
        put16(p, at + 23, static_cast<quint16>(c.size));
        if (c.fixed)
            fixedOffset += c.size;
        else
            ++varNum;
        at += 25;
    }
    for (const Column& c : def.columns) {
        const QByteArray n = ucs2(c.name);
        put16(p, at, static_cast<quint16>(n.size()));
        p.replace(at + 2, n.size(), n);
        at += 2 + static_cast<int>(n.size());
    }
    put16(p, at, 0xffff);
    at += 2;
    put32(p, 8, static_cast<quint32>(at - 8));
    put16(p, 2, static_cast<quint16>(kPage - at - 8));
}

QByteArray Writer::run(const QList<Table>& user, const Options& options) {
    newPage(0x00); // header, filled at the end
    newPage(0x05); // the global page map, which no reader of ours needs
    const QList<Column> catalogueCols = {
        {QStringLiteral("Id"), Long, true, 4},      {QStringLiteral("ParentId"), Long, true, 4},
        {QStringLiteral("Name"), Text, false, 510}, {QStringLiteral("Type"), Int, true, 2},
        {QStringLiteral("Flags"), Long, true, 4},   {QStringLiteral("LvProp"), Ole, false, 0},
    };
    const QList<Column> recipeCols = {
        {QStringLiteral("Name"), Text, false, 510},
        {QStringLiteral("Author"), Text, false, 510},
        {QStringLiteral("Ingredients"), Memo, false, 0},
        {QStringLiteral("Instructions"), Memo, false, 0},
    };
    QList<Def> defs;
    Def catalogue;
    catalogue.table.name = QStringLiteral("MSysObjects");
    catalogue.table.system = true;
    catalogue.columns = catalogueCols;
    catalogue.tdefPage = newPage(0x02);
    defs.append(catalogue);
    for (const char* name : {"MSysACEs", "MSysQueries", "MSysRelationships", "MSysAccessObjects",
                             "MSysNameMap", "MSysNavPaneGroups"}) {
        Def d;
        d.table.name = QLatin1String(name);
        d.table.system = true;
        d.columns = recipeCols.mid(0, 2);
        defs.append(d);
    }
    for (const Table& t : user) {
        Def d;
        d.table = t;
        d.columns = recipeCols.mid(0, qBound(1, t.columns, 4));
        defs.append(d);
    }
    for (qsizetype i = 1; i < defs.size(); ++i)
        defs[i].tdefPage = newPage(0x02);

    // The catalogue: one row per table, in the order the tables are given.
    for (const Def& d : defs) {
        QByteArray id(4, '\0'), parent(4, '\0'), type(2, '\0'), flags(4, '\0');
        put32(id, 0, static_cast<quint32>(d.tdefPage));
        put32(parent, 0, 0x0f000001U);
        put16(type, 0, 1);
        put32(flags, 0, d.table.system ? kSystemFlags : 0U);
        defs[0].encoded.append({id, parent, textBytes(d.table.name), type, flags, std::nullopt});
    }
    for (qsizetype i = 1; i < defs.size(); ++i) {
        Def& d = defs[i];
        for (const Row& r : d.table.rows) {
            const std::array<const std::optional<QString>*, 4> v = {
                &r.name, &r.author, &r.ingredients, &r.instructions};
            QList<std::optional<QByteArray>> values;
            for (qsizetype c = 0; c < d.columns.size(); ++c) {
                const std::optional<QString>& s = *v[static_cast<size_t>(c)];
                if (!s)
                    values.append(std::nullopt);
                else
                    values.append(d.columns[c].type == Memo ? memoField(*s) : textBytes(*s));
            }
            d.encoded.append(values);
        }
    }
    for (Def& d : defs)
        layOut(d);
    for (Def& d : defs)
        writeDefinition(d);

    QByteArray& h = m_pages[0];
    put32(h, 0, 0x00000100U);
    h.replace(4, 16, QByteArray("Standard Jet DB\0", 16));
    put32(h, 0x14, 1);
    put16(h, 0x3c, 1252);
    put32(h, 0x3e, 0);
    QByteArray pw = ucs2(options.password.left(20));
    pw.append(40 - pw.size(), '\0');
    const auto mask = static_cast<qint32>(options.created);
    for (int i = 0; i < 40; ++i)
        pw[i] = static_cast<char>(pw[i] ^ ((static_cast<quint32>(mask) >> (8 * (i % 4))) & 0xff));
    h.replace(0x42, 40, pw);
    put32(h, 0x6e, 0x409);
    std::memcpy(h.data() + 0x72, &options.created, sizeof(double));
    const quint8 key[4] = {0xc7, 0xda, 0x39, 0x6b};
    rc4(key, 4, h.data() + 0x18, 128);

    QByteArray file;
    file.reserve(m_pages.size() * kPage);
    for (const QByteArray& p : m_pages)
        file.append(p);
    return file;
}

QString longText(const QString& line, int bytes) {
    QString s;
    int n = 1;
    while (s.toUtf8().size() < bytes)
        s += QStringLiteral("%1. %2\n").arg(n++).arg(line);
    return s;
}

} // namespace

QByteArray writeJet4(const QList<Table>& tables, const Options& options) {
    Writer w;
    return w.run(tables, options);
}

QList<Table> recipeTables() {
    Table soups;
    soups.name = QStringLiteral("Soups");
    soups.rows = {
        {QStringLiteral("Tomato Soup"), QStringLiteral("Ann \"Granny\" O'Brien"),
         QStringLiteral("1 kg tomatoes\n1 onion\n\t2 cloves of garlic"),
         QStringLiteral("Soften the onion.\r\nAdd the tomatoes;\tsimmer 20 minutes.")},
        {QStringLiteral("Borscht"), QStringLiteral("Ольга Петрова"),
         QStringLiteral("Свёкла, 3 шт.\nКапуста"), QStringLiteral("Варить 1 час.")},
        {std::nullopt, QStringLiteral("Nobody"), QStringLiteral("water"),
         QStringLiteral("A recipe without a name.")},
    };
    Table mains;
    mains.name = QStringLiteral("Main Dishes");
    mains.rows = {
        {QStringLiteral("Long Stew"), QStringLiteral("Kettlebox Kitchen"),
         longText(QStringLiteral("a handful of something good, chopped"), 20000),
         longText(QStringLiteral("Stir gently and taste; \"careful\" now."), 17000)},
        {QStringLiteral("麻婆豆腐"), QStringLiteral("陈"), QStringLiteral("豆腐 400 g\n花椒"),
         QStringLiteral("Hot pot \U0001F336 chili and tofu.")},
        {QStringLiteral("  Spaced Name  "), std::nullopt, QString(), std::nullopt},
    };
    Table baking;
    baking.name = QStringLiteral("Baking");
    baking.rows = {{QStringLiteral("Soda Bread"), QStringLiteral("Kettlebox Kitchen"),
                    QStringLiteral("500 g flour\n1 tsp soda\n400 ml buttermilk"),
                    QStringLiteral("Mix, shape and bake at 200 degrees.")}};
    Table empty;
    empty.name = QStringLiteral("Drinks");
    Table placeholder;
    placeholder.name = QStringLiteral("zzzNothing");
    Table refused;
    refused.name = QStringLiteral("Pies & Tarts. [Old]");
    refused.rows = {{QStringLiteral("Apple Pie"), QStringLiteral("Mary"), QStringLiteral("apples"),
                     QStringLiteral("Bake it.")}};
    return {soups, mains, baking, empty, placeholder, refused};
}

QList<Table> manyRecipes(int count, int categories) {
    QList<Table> tables;
    for (int c = 0; c < categories; ++c) {
        Table t;
        t.name = QStringLiteral("Category %1").arg(c + 1, 3, 10, QLatin1Char('0'));
        tables.append(t);
    }
    // About 3.5 KiB a recipe in the file, the instructions on a long-value page of their own.
    const QString ingredients = longText(QStringLiteral("250 g flour, 2 eggs, 300 ml milk"), 450);
    const QString instructions =
        longText(QStringLiteral("Mix, rest for half an hour, then bake until golden."), 1300);
    for (int i = 0; i < count; ++i)
        tables[i % categories].rows.append({QStringLiteral("Recipe %1").arg(i + 1),
                                            QStringLiteral("Kettlebox Kitchen"), ingredients,
                                            instructions});
    return tables;
}

} // namespace kb::jet
