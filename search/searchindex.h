#pragma once

#include "core/filestamp.h"
#include "core/progress.h"
#include "core/recipefollower.h"

#include <QList>
#include <QMutex>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace kb {

// One recipe found, with the field its best match is in (0 name .. 3 instructions) and a short
// piece of the matching text with each match between kMarkOpen and kMarkClose.
struct SearchHit {
    // Where it lives and its four texts as the index holds them; a recipe found by its details
    // alone (FindRecipe) has only its category and name.
    StoredRecipe recipe;
    QString snippet;
    int score = 0;
};

struct SearchResult {
    QList<SearchHit> hits; // best first, at most the limit asked for
    int total = 0;         // every recipe that matched
};

// The user's words as a full-text query: every word must occur, each as the start of a word;
// text in double quotes is a phrase. Operators and punctuation are taken as plain text. Empty
// when there is nothing to look for.
QString searchQuery(const QString& text);
// The same words and phrases in lower case, each to be found anywhere in the text, inside a
// longer word too ("strudel" in "Apfelstrudel").
QStringList searchTerms(const QString& text);

// The search index: a full-text table of every recipe's four fields in a side file beside the
// recipe file, with a fingerprint of each category, so that a change made by another program
// is noticed on opening and the index is rebuilt. Letter case and accents are disregarded.
class SearchIndex : public RecipeFollower {
  public:
    static inline const QString kSchema = QStringLiteral("search");
    static inline const QChar kMarkOpen = QChar(0x00AB);  // «
    static inline const QChar kMarkClose = QChar(0x00BB); // »

    // The index file for the recipe file `databasePath` (with or without ".mdb").
    static QString fileFor(const QString& databasePath);

    // Without a file name the index lies beside the recipe file it is attached to.
    explicit SearchIndex(QString indexFile = {});
    ~SearchIndex() override;
    SearchIndex(const SearchIndex&) = delete;
    SearchIndex& operator=(const SearchIndex&) = delete;

    void attach(Database& db) override;
    void prepare(Database& db, const RecipeChange& change) override;
    void record(Database& db, const RecipeChange& change) override;
    void committed(Database& db) override;
    // Keeps the last check in the index file, so that the next start trusts a file untouched
    // since instead of reading every recipe again.
    void closing(Database& db) override;

    // `progress` is told the categories done and their number after each category; the check
    // and the rebuild can't be stopped, so its answer is not asked.
    // Whether the index holds exactly the recipe file as it is now (by its fingerprint). A file
    // unchanged on disk since this index last found it current is not read again.
    bool isCurrent(Database& db, const Progress& progress = {});
    // Builds the index from every recipe of the file, in one transaction.
    void rebuild(Database& db, const Progress& progress = {});
    // Rebuilds when the index is not current; true when it did.
    bool ensureCurrent(Database& db, const Progress& progress = {});

    // The recipes matching `text`, best first: those where every word starts a word rank above
    // those where some word is found only inside a longer one (with Match::Anywhere); then a match
    // in the name ranks above one in the author, the ingredients, then the instructions; equals in
    // category order, then in stored order. Looking inside longer words reads every recipe, so it
    // is asked for apart: the window does it once typing pauses.
    enum class Match { WordStarts, Anywhere };
    SearchResult search(Database& db, const QString& text, int limit = 200,
                        Match match = Match::WordStarts);

  private:
    // The recipe file as it was on disk when last found current.
    struct Seen {
        QString file;
        FileStamp stamp;
        bool operator==(const Seen&) const = default;
    };
    static Seen seen(const Database& db);
    static Seen remembered(const Database& db);
    static void remember(Database& db, const Seen& seen);

    // One change as the index takes it: what it needs of the recipe file is read when the
    // change is recorded, so that it can be written to the index later.
    struct Step {
        RecipeChange change;
        std::int64_t chars = 0;    // the text the change adds to its category (less for a removal)
        std::int64_t maxRowid = 0; // the highest row id left after a removal
    };
    Step stepOf(const Database& db, const RecipeChange& change) const;
    void apply(Database& db, const Step& step);

    // Holds the index open between the connections of single commands (see keep()).
    void keep(const Database& db, const QString& file);
    void releaseKeeper();

    QString m_file;
    QMutex m_keeperMutex;
    std::unique_ptr<Database> m_keeper;
    // The steps of the write being made, written to the index once the recipe file has
    // committed it; and whether that write follows a file this index had found current.
    QList<Step> m_deferred;
    bool m_deferTrust = false;
    Seen m_current;
    Seen m_remembered;
};

} // namespace kb
