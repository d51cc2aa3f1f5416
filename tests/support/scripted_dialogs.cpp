#include "scripted_dialogs.h"

#include <QPrinter>
#include <QTest>
#include <utility>

namespace kb::test {

int ScriptedDialogs::msgBox(const QString& text, int style, const QString& title) {
    return msgBoxWith(text, {}, {}, style, title);
}

int ScriptedDialogs::msgBoxWith(const QString& text, const QString& informative,
                                const QString& details, int style, const QString& title) {
    m_prompts.append(
        {Prompt::Kind::Message, text, style, effectiveTitle(title), {}, informative, details});
    const bool question = (style & 0x7) != vbOKOnly;
    if (!question)
        return vbOK; // a plain message has only one answer; it takes nothing from the queue
    if (m_answers.isEmpty() || !std::holds_alternative<int>(m_answers.head())) {
        QTest::qFail(qPrintable(QStringLiteral("unscripted question: ") + text), __FILE__,
                     __LINE__);
        return vbNo;
    }
    return std::get<int>(m_answers.dequeue());
}

QString ScriptedDialogs::inputBox(const QString& prompt, const QString& title,
                                  const QString& defaultText) {
    m_prompts.append({Prompt::Kind::Input, prompt, 0, effectiveTitle(title), defaultText, {}, {}});
    if (m_answers.isEmpty() || !std::holds_alternative<QString>(m_answers.head())) {
        QTest::qFail(qPrintable(QStringLiteral("unscripted input box: ") + prompt), __FILE__,
                     __LINE__);
        return {};
    }
    return std::get<QString>(m_answers.dequeue());
}

bool ScriptedDialogs::printDialog(QPrinter& printer, QWidget*) {
    m_prompts.append({Prompt::Kind::Print, QStringLiteral("print"), 0, {}, {}, {}, {}});
    if (m_answers.isEmpty() || !std::holds_alternative<PrintTo>(m_answers.head())) {
        QTest::qFail("unscripted print dialog", __FILE__, __LINE__);
        return false;
    }
    const PrintTo to = std::get<PrintTo>(m_answers.dequeue());
    if (to.path.isEmpty())
        return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(to.path);
    return true;
}

// Keeps every value shown; stops once the work done reaches the point asked for, if any, and
// stays stopped, as a pressed Cancel does.
Progress ScriptedDialogs::progress(const QString& text, const QString&, bool) {
    m_progress << text;
    m_progressValues.clear();
    return [this, cancelAt = std::exchange(m_cancelAt, -1), stopped = false](std::int64_t done,
                                                                             std::int64_t) mutable {
        m_progressValues.append(done);
        stopped = stopped || (cancelAt >= 0 && done >= cancelAt);
        return !stopped;
    };
}

QString ScriptedDialogs::fileAnswer(const QString& title) {
    if (m_answers.isEmpty() || !std::holds_alternative<FileAnswer>(m_answers.head())) {
        QTest::qFail(qPrintable(QStringLiteral("unscripted file dialog: ") + title), __FILE__,
                     __LINE__);
        return {};
    }
    return std::get<FileAnswer>(m_answers.dequeue()).path;
}

QString ScriptedDialogs::openFileName(const QString& title, const QString& filter) {
    m_prompts.append({Prompt::Kind::OpenFile, title, 0, effectiveTitle(title), filter, {}, {}});
    return fileAnswer(title);
}

QString ScriptedDialogs::saveFileName(const QString& title, const QString& suggested,
                                      const QString& filter) {
    Q_UNUSED(filter)
    m_prompts.append({Prompt::Kind::SaveFile, title, 0, effectiveTitle(title), suggested, {}, {}});
    return fileAnswer(title);
}

QStringList ScriptedDialogs::messages() const {
    QStringList texts;
    for (const Prompt& p : m_prompts)
        if (p.kind == Prompt::Kind::Message)
            texts << p.text;
    return texts;
}

void ScriptedDialogs::clear() {
    m_answers.clear();
    m_prompts.clear();
    m_progress.clear();
}

} // namespace kb::test
