// kettlebox-mdbread FILE [--bind-size BYTES]
//
// Reads the tables of an Access (Jet) file and writes them to standard output as a
// length-prefixed stream that the program checks before it trusts any of it:
//
//   "KBMDB01\n"                                   magic
//   record: u8 tag, u32 payload length, payload   (little endian throughout)
//   'V' u8 jet version
//   'T' u32 index, u32 catalogue flags, i32 stored rows, u16 columns, u8 status, name (UTF-8)
//       status 0 readable, 1 refused: no page map, 2 refused: no column list
//   'R' u32 table index, then four times: u8 marks, u32 length, text (UTF-8)
//       marks: 1 the value reached the bind size (may be cut), 2 not a text column,
//              4 the table has no such column
//   'E' u32 table index, u32 rows read (system tables: none are read)
//   'Z' u32 number of tables
//
// All tables are listed before the first row. The catalogue is read here, without the
// library's property parser, and a table whose page map is missing is refused instead of read.
// Exit: 0 read, 2 can't be opened, 3 no readable catalogue, 64 usage.
//
// Once the file is open it shuts itself in (confine.h): whatever the file makes the library do,
// this process can then only read what it holds open and write its output.

// glib first: the library header includes it inside its extern "C" block.
#include <glib.h>
#include <mdbtools.h>

#include "tools/kettlebox-mdbread/confine.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kExitUnopenable = 2;
constexpr int kExitNoCatalogue = 3;
constexpr int kExitUsage = 64;
constexpr int kTableType = 1; // catalogue type of a table (the high bit marks linked ones)
constexpr std::uint32_t kSystemFlags = 0x80000002U;

void put32(std::string& s, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}

void put16(std::string& s, std::uint16_t v) {
    s.push_back(static_cast<char>(v & 0xff));
    s.push_back(static_cast<char>(v >> 8));
}

void emit(char tag, const std::string& payload) {
    std::string head(1, tag);
    put32(head, static_cast<std::uint32_t>(payload.size()));
    std::fwrite(head.data(), 1, head.size(), stdout);
    std::fwrite(payload.data(), 1, payload.size(), stdout);
}

// A bind buffer, left unfilled: touching a megabyte four times over costs more than reading
// a small file.
class Buffer {
  public:
    explicit Buffer(size_t size) : m_data(new char[size]) { m_data[0] = '\0'; }
    char* data() { return m_data.get(); }
    char operator[](size_t i) const { return m_data[i]; }

  private:
    std::unique_ptr<char[]> m_data;
};

struct TableEntry {
    std::string name;
    unsigned long page = 0;
    std::uint32_t flags = 0;
};

// A table definition whose page map is missing makes the library dereference nothing when it
// walks the rows; such a table is refused.
bool hasPageMap(const MdbTableDef* t) {
    return t->usage_map != nullptr && t->map_sz >= 1;
}

MdbTableDef* openTable(MdbHandle* mdb, MdbCatalogEntry& entry, const TableEntry& te) {
    std::memset(&entry, 0, sizeof entry);
    entry.mdb = mdb;
    entry.object_type = MDB_TABLE;
    entry.table_pg = te.page;
    std::snprintf(entry.object_name, sizeof entry.object_name, "%s", te.name.c_str());
    return mdb_read_table(&entry);
}

bool readCatalogue(MdbHandle* mdb, size_t bindSize, std::vector<TableEntry>& out) {
    MdbCatalogEntry msys;
    MdbTableDef* table = openTable(mdb, msys, TableEntry{"MSysObjects", 2, 0});
    if (!table)
        return false;
    bool ok = hasPageMap(table) && mdb_read_columns(table) != nullptr;
    Buffer id(bindSize), name(bindSize), type(bindSize), flags(bindSize);
    if (ok)
        ok = mdb_bind_column_by_name(table, const_cast<gchar*>("Id"), id.data(), nullptr) > 0 &&
             mdb_bind_column_by_name(table, const_cast<gchar*>("Name"), name.data(), nullptr) > 0 &&
             mdb_bind_column_by_name(table, const_cast<gchar*>("Type"), type.data(), nullptr) > 0 &&
             mdb_bind_column_by_name(table, const_cast<gchar*>("Flags"), flags.data(), nullptr) > 0;
    if (ok) {
        mdb_rewind_table(table);
        while (mdb_fetch_row(table)) {
            if ((std::atoi(type.data()) & 0x7f) != kTableType)
                continue;
            TableEntry e;
            e.name = name.data();
            e.page = static_cast<unsigned long>(std::atol(id.data())) & 0x00ffffffUL;
            // Flags is a signed long column: the system bit makes it negative.
            e.flags = static_cast<std::uint32_t>(std::strtol(flags.data(), nullptr, 10));
            out.push_back(std::move(e));
        }
    }
    mdb_free_tabledef(table);
    return ok;
}

bool isTextual(int type) {
    switch (type) {
    case MDB_BOOL:
    case MDB_BYTE:
    case MDB_INT:
    case MDB_LONGINT:
    case MDB_MONEY:
    case MDB_FLOAT:
    case MDB_DOUBLE:
    case MDB_DATETIME:
    case MDB_TEXT:
    case MDB_MEMO:
    case MDB_REPID:
    case MDB_NUMERIC:
        return true;
    default:
        return false;
    }
}

} // namespace

int main(int argc, char** argv) {
    kb::mdbread::closeInheritedDescriptors();
    const char* file = nullptr;
    size_t bindSize = 1 << 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--bind-size") == 0 && i + 1 < argc) {
            bindSize = std::strtoul(argv[++i], nullptr, 10);
            if (bindSize < 256)
                return kExitUsage;
        } else if (!file && argv[i][0] != '-') {
            file = argv[i];
        } else {
            return kExitUsage;
        }
    }
    if (!file) {
        std::fputs("usage: kettlebox-mdbread FILE [--bind-size BYTES]\n", stderr);
        return kExitUsage;
    }
    MdbHandle* mdb = mdb_open(file, MDB_NOFLAGS);
    if (!mdb)
        return kExitUnopenable;
    mdb_set_bind_size(mdb, bindSize);
    // The library has opened the file and its character conversions: nothing more to open.
    kb::mdbread::confine();
    std::fwrite("KBMDB01\n", 1, 8, stdout);
    emit('V', std::string(1, static_cast<char>(mdb->f->jet_version)));

    std::vector<TableEntry> tables;
    if (!readCatalogue(mdb, bindSize, tables)) {
        mdb_close(mdb);
        return kExitNoCatalogue;
    }

    // First every table with what its definition says, so that the reader knows the total.
    std::vector<int> status(tables.size(), 0);
    for (size_t i = 0; i < tables.size(); ++i) {
        MdbCatalogEntry entry;
        MdbTableDef* t = openTable(mdb, entry, tables[i]);
        std::int32_t rows = -1;
        std::uint16_t cols = 0;
        if (!t || !hasPageMap(t)) {
            status[i] = 1;
        } else if (!mdb_read_columns(t)) {
            status[i] = 2;
        } else {
            rows = static_cast<std::int32_t>(t->num_rows);
            cols = static_cast<std::uint16_t>(t->columns->len);
        }
        if (t)
            mdb_free_tabledef(t);
        std::string p;
        put32(p, static_cast<std::uint32_t>(i));
        put32(p, tables[i].flags);
        put32(p, static_cast<std::uint32_t>(rows));
        put16(p, cols);
        p.push_back(static_cast<char>(status[i]));
        p += tables[i].name;
        emit('T', p);
    }

    std::vector<Buffer> values;
    values.reserve(4);
    for (int c = 0; c < 4; ++c)
        values.emplace_back(bindSize);
    for (size_t i = 0; i < tables.size(); ++i) {
        // System tables never become categories: their rows are not read at all.
        if (status[i] != 0 || (tables[i].flags & kSystemFlags) != 0)
            continue;
        MdbCatalogEntry entry;
        MdbTableDef* t = openTable(mdb, entry, tables[i]);
        std::uint32_t read = 0;
        if (t && hasPageMap(t) && mdb_read_columns(t)) {
            const unsigned n = t->columns->len < 4 ? t->columns->len : 4;
            int lengths[4] = {0, 0, 0, 0};
            unsigned char marks[4] = {4, 4, 4, 4};
            for (unsigned c = 0; c < n; ++c) {
                const auto* col = static_cast<MdbColumn*>(g_ptr_array_index(t->columns, c));
                marks[c] = isTextual(col->col_type) ? 0 : 2;
                if (marks[c] == 0)
                    mdb_bind_column(t, static_cast<int>(c + 1), values[c].data(), &lengths[c]);
            }
            mdb_rewind_table(t);
            std::string p;
            while (mdb_fetch_row(t)) {
                p.clear();
                put32(p, static_cast<std::uint32_t>(i));
                for (unsigned c = 0; c < 4; ++c) {
                    size_t len = 0;
                    unsigned char m = marks[c];
                    if (m == 0) {
                        len = std::strlen(values[c].data());
                        // The library stops converting when the buffer is full, a character
                        // short of it at worst.
                        if (len + 5 >= bindSize)
                            m |= 1;
                    }
                    p.push_back(static_cast<char>(m));
                    put32(p, static_cast<std::uint32_t>(len));
                    p.append(values[c].data(), len);
                }
                emit('R', p);
                ++read;
            }
        }
        if (t)
            mdb_free_tabledef(t);
        std::string p;
        put32(p, static_cast<std::uint32_t>(i));
        put32(p, read);
        emit('E', p);
    }
    std::string p;
    put32(p, static_cast<std::uint32_t>(tables.size()));
    emit('Z', p);
    mdb_close(mdb);
    return std::fflush(stdout) == 0 ? 0 : kExitUnopenable;
}
