#include "platform/cursor.h"

#include <QCursor>

namespace kb {

std::optional<QPoint>& Cursor::fake() {
    static std::optional<QPoint> position;
    return position;
}

QPoint Cursor::pos() {
    return fake() ? *fake() : QCursor::pos();
}

void Cursor::setFakePos(const QPoint& position) {
    fake() = position;
}

void Cursor::clearFakePos() {
    fake().reset();
}

bool Cursor::isFaked() {
    return fake().has_value();
}

} // namespace kb
