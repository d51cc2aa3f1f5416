// kettlebox-db ingredients: ingredient lines read into amount, unit and item.

#include "kitchen/ingredient.h"
#include "tools/kettlebox-db/commands.h"

#include <QFile>
#include <QLocale>

namespace kb::cli {

namespace {

// A line longer than this is no ingredient line; it is not held in memory whole.
constexpr qint64 kMaxInputLine = 1 << 20;

QString plainLine(const kitchen::Ingredient& i) {
    QString amount;
    if (i.quantity) {
        amount = QString::number(*i.quantity, 'g', QLocale::FloatingPointShortest);
        if (i.quantityMax)
            amount += QLatin1Char('-') +
                      QString::number(*i.quantityMax, 'g', QLocale::FloatingPointShortest);
    }
    QString line = amount + QLatin1Char('\t') + kitchen::unitName(i.unit) + QLatin1Char('\t') +
                   i.item + QLatin1Char('\t') + i.notes;
    if (i.unread)
        line += QStringLiteral("\t(not read)");
    return line;
}

} // namespace

int runIngredients(Context& ctx) {
    const QString self = QStringLiteral("ingredients");
    if (helpAsked(ctx, self))
        return kExitOk;
    bool json = false;
    for (const QString& a : std::as_const(ctx.args)) {
        if (a == QLatin1String("--json"))
            json = true;
        else
            return usageError(ctx, self);
    }
    QFile in;
    if (!in.open(stdin, QIODevice::ReadOnly | QIODevice::Unbuffered))
        return fail(ctx, QStringLiteral("standard input can't be read."));
    // Read in blocks and cut into lines here: a line at a time from a pipe costs a system call
    // or two per line.
    QByteArray pending;
    QByteArray block(1 << 16, Qt::Uninitialized);
    qint64 number = 0;
    const auto writeLine = [&](QByteArray bytes) {
        ++number;
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        const kitchen::Ingredient i = kitchen::readIngredient(QString::fromUtf8(bytes));
        ctx.out << (json ? kitchen::ingredientJson(i) : plainLine(i)) << '\n';
    };
    for (;;) {
        const qint64 got = in.read(block.data(), block.size());
        if (got < 0)
            return fail(ctx,
                        QStringLiteral("standard input can't be read: %1").arg(in.errorString()));
        if (got == 0)
            break;
        pending.append(block.constData(), got);
        qsizetype start = 0;
        for (qsizetype nl = pending.indexOf('\n'); nl >= 0; nl = pending.indexOf('\n', start)) {
            writeLine(pending.mid(start, nl - start));
            start = nl + 1;
        }
        pending.remove(0, start);
        if (pending.size() > kMaxInputLine) {
            ctx.out.flush();
            return fail(ctx, QStringLiteral("line %1 is longer than 1 MB; it is no ingredient "
                                            "line, and nothing after it was read.")
                                 .arg(number + 1));
        }
    }
    if (!pending.isEmpty())
        writeLine(pending);
    return kExitOk;
}

} // namespace kb::cli
