#pragma once

#include <QString>
#include <optional>

namespace kb::access {

enum class FileKind { NotAccess, Jet3, Jet4, Ace };

// What the first page of a file says about it, read without any library.
struct HeaderInfo {
    FileKind kind = FileKind::NotAccess;
    // An ACE file whose pages are encrypted: no reader on this system can open it.
    bool encrypted = false;
    // The database password kept in the header (Jet 3 and 4), empty for none.
    std::optional<QString> password;

    bool isAccess() const { return kind != FileKind::NotAccess; }
    // False only when the header holds a password and it is not the program's own.
    bool passwordIsOurs() const;
};

// Never throws: a missing, short or unreadable file is simply not an Access file.
HeaderInfo readHeader(const QString& file);

// The header's database password, from the first page's bytes (at least 0x80 of them).
std::optional<QString> headerPassword(const QByteArray& page, FileKind kind);

} // namespace kb::access
