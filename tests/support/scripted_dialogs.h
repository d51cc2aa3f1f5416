#pragma once

#include "platform/dialogs.h"

#include <QList>
#include <QQueue>
#include <QString>
#include <variant>

namespace kb::test {

// One prompt the program showed, with the title it really carried.
struct Prompt {
    enum class Kind { Message, Input, Print, OpenFile, SaveFile };
    Kind kind = Kind::Message;
    QString text;
    int style = 0;
    QString title;
    QString defaultText;
    // A message box's second text and its details part.
    QString informative;
    QString details;
};

// Answers prompts from a queue and records every one of them. A prompt that no answer was
// queued for fails the running test and is answered with the safe choice (OK, No, cancel).
class ScriptedDialogs final : public Dialogs {
  public:
    void answer(int code) { m_answers.enqueue(code); }
    void answerInput(const QString& text) { m_answers.enqueue(text); }
    // The print dialog: print to this PDF file.
    void answerPrintToPdf(const QString& path) { m_answers.enqueue(PrintTo{path}); }
    void answerPrintCancel() { m_answers.enqueue(PrintTo{}); }
    // The file dialogs: this path, or an empty one for cancel.
    void answerFile(const QString& path) { m_answers.enqueue(FileAnswer{path}); }
    // The next progress window is cancelled once the work done reaches `done`.
    void cancelProgressAt(std::int64_t done) { m_cancelAt = done; }

    int msgBox(const QString& text, int style = vbOKOnly, const QString& title = {}) override;
    int msgBoxWith(const QString& text, const QString& informative, const QString& details = {},
                   int style = vbOKOnly, const QString& title = {}) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText = {}) override;
    bool printDialog(QPrinter& printer, QWidget* parent) override;
    // Never cancels; the texts shown are kept apart from the prompts.
    Progress progress(const QString& text, const QString& title, bool cancellable) override;
    const QStringList& progressShown() const { return m_progress; }
    // The work done that the last progress window was shown, in order.
    const QList<std::int64_t>& progressValues() const { return m_progressValues; }
    QString openFileName(const QString& title, const QString& filter) override;
    QString saveFileName(const QString& title, const QString& suggested,
                         const QString& filter) override;

    const QList<Prompt>& prompts() const { return m_prompts; }
    // The texts of the message boxes shown, in order.
    QStringList messages() const;
    qsizetype pendingAnswers() const { return m_answers.size(); }
    void clear();

  private:
    struct PrintTo {
        QString path; // empty: cancel
    };
    struct FileAnswer {
        QString path;
    };
    using Answer = std::variant<int, QString, PrintTo, FileAnswer>;
    QString fileAnswer(const QString& title);
    QList<std::int64_t> m_progressValues;
    std::int64_t m_cancelAt = -1;
    QQueue<Answer> m_answers;
    QList<Prompt> m_prompts;
    QStringList m_progress;
};

} // namespace kb::test
