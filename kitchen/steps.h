#pragma once

#include "kitchen/units.h"

#include <QList>
#include <QString>
#include <QStringView>

namespace kb::kitchen {

// A length of time in a step ("bake 25 minutes", "simmer for 1 1/2 hours", "20-25 Min."):
// where it stands in the text, for a timer button, and how long it is. A range gives both
// ends; a timer starts from the shorter, when the cook should first look.
struct Duration {
    qsizetype begin = 0;
    qsizetype end = 0;
    int seconds = 0;
    int secondsMax = 0; // == seconds unless a range
    QString text() const;
};

// The durations in one step, in order. Amounts of a day or more are no kitchen timers and are
// left out.
QList<Duration> findDurations(QStringView step);

// "25 min", "1 h 30 min", "20–25 min": a duration said briefly, for a caption.
QString durationText(int seconds);

// The step with its oven temperatures (°F, °C, "degrees", gas marks) in `system`: °C for
// metric, °F for US; as written otherwise.
QString convertTemperatures(QStringView text, System system);

} // namespace kb::kitchen
