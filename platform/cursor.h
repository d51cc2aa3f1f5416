#pragma once

#include <QPoint>
#include <optional>

namespace kb {

// Where the pointer is, in global (screen) pixels. The skinned controls' hover polls read it
// here rather than from QCursor so that tests can put the pointer anywhere.
class Cursor {
  public:
    static QPoint pos();

    // Tests: make pos() answer `position` until cleared.
    static void setFakePos(const QPoint& position);
    static void clearFakePos();
    static bool isFaked();

  private:
    static std::optional<QPoint>& fake();
};

} // namespace kb
