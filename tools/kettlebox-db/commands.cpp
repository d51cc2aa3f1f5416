#include "tools/kettlebox-db/commands.h"

#include <QDir>

namespace kb::cli {

int runInit(Context& ctx);
int runCheck(Context& ctx);
int runBackup(Context& ctx);
int runBackups(Context& ctx);
int runRestore(Context& ctx);
int runHistory(Context& ctx);
int runUndelete(Context& ctx);
int runFind(Context& ctx);
int runImportAccess(Context& ctx);
int runExport(Context& ctx);
int runImport(Context& ctx);
int runIngredients(Context& ctx);
int runShop(Context& ctx);
int runShow(Context& ctx);
int runDetails(Context& ctx);

const QList<Command>& commands() {
    static const QList<Command> all = {
        {QStringLiteral("init"), QStringLiteral("init [--sample] [FOLDER]"),
         QStringLiteral(
             "Makes a new, empty recipe file Recipe.mdb in FOLDER (the current "
             "folder by default), made when missing.\n--sample fills it with a few categories and "
             "recipes. An existing Recipe.mdb is never overwritten."),
         &runInit},
        {QStringLiteral("check"), QStringLiteral("check [FOLDER]"),
         QStringLiteral("Checks the recipe file, its history and its backups for damage, one "
                        "line per file.\nExits 0 when all are clean, 1 when damage was found."),
         &runCheck},
        {QStringLiteral("backup"), QStringLiteral("backup [FOLDER]"),
         QStringLiteral("Makes a backup of Recipe.mdb now in the Backups folder beside it and "
                        "prints its path."),
         &runBackup},
        {QStringLiteral("backups"), QStringLiteral("backups [FOLDER]"),
         QStringLiteral("Lists the backups, newest first, with date, size and recipe count."),
         &runBackups},
        {QStringLiteral("restore"), QStringLiteral("restore BACKUP [FOLDER]"),
         QStringLiteral("Puts BACKUP (a path, or a name in the Backups folder) in place of "
                        "Recipe.mdb, after backing up the current file.\nRefuses while "
                        "Kettlebox has the file open, and refuses a backup that does not check "
                        "clean."),
         &runRestore},
        {QStringLiteral("history"), QStringLiteral("history [FOLDER]"),
         QStringLiteral("Lists the recipes deleted or overwritten, newest first: id, when, why, "
                        "category and name."),
         &runHistory},
        {QStringLiteral("undelete"), QStringLiteral("undelete ID [FOLDER]"),
         QStringLiteral("Puts the history entry ID back into its category (made again if it is "
                        "gone) as a new recipe at the end."),
         &runUndelete},
        {QStringLiteral("find"), QStringLiteral("find WORDS... [--folder FOLDER]"),
         QStringLiteral("Prints the recipes of Recipe.mdb in FOLDER (the current folder by "
                        "default) that hold every word, best first, one per line: the category, "
                        "a tab, the name.\nA word matches the start of a word, letter case and "
                        "accents aside; \"words in quotes\" match as a phrase. The search index "
                        "Recipe.index beside the file is made or brought up to date first."),
         &runFind},
        {QStringLiteral("import-access"), QStringLiteral("import-access ACCESSFILE [FOLDER]"),
         QStringLiteral("Brings the recipes of an old Access recipe file into FOLDER's "
                        "Recipe.mdb (the current folder by default), new or existing: every "
                        "table becomes a category, a name that is not allowed or already taken "
                        "is adjusted. Prints a report; exits 0 only when every recipe came in "
                        "whole. ACCESSFILE itself is never changed."),
         &runImportAccess},
        {QStringLiteral("export"),
         QStringLiteral(
             "export --format jsonld|text|mealmaster [--category NAME] [--folder FOLDER] "
             "OUTPUT"),
         QStringLiteral("Writes the recipes of the recipe file in FOLDER (the current folder by "
                        "default) to OUTPUT:\nall of them, or those of the category NAME. "
                        "jsonld is schema.org Recipe JSON-LD, which\nother recipe programs "
                        "read and \"import\" reads back exactly; text is the print layout;\n"
                        "mealmaster is the MealMaster layout other recipe programs read.\n"
                        "OUTPUT is replaced only once the new file is complete."),
         &runExport},
        {QStringLiteral("import"),
         QStringLiteral("import [--category NAME] [--names suffix|report] [--folder FOLDER] "
                        "FILE|URL..."),
         QStringLiteral(
             "Reads recipes from schema.org JSON-LD files, web pages holding it, "
             "MealMaster,\nMasterCook (.mxp, .mx2), Paprika, RecipeML, Gourmet, "
             "KRecipes, RezKonv, Cooklang files,\nMealie and Tandoor exports and "
             "Nextcloud Cookbook folders\ninto the recipe file in FOLDER, into the category "
             "NAME (made if new) or else each\nrecipe's own category. All of them "
             "come in together or, on a failure, none. A URL (http:// or https://)\nis fetched and "
             "read as a web page. A recipe whose name is "
             "already there or can't be stored as it is gets a changed name\n"
             "(suffix, the default) or is left out (report). The report on standard "
             "output says\nwhat came in, what was changed and what was skipped, and "
             "why; a recipe\nthat is already there with the same four texts is not "
             "brought in again. Exits with\n0 only when every recipe came in or was "
             "already there; a file with no recipe is\na failure, with the reason."),
         &runImport},
        {QStringLiteral("ingredients"), QStringLiteral("ingredients [--json]"),
         QStringLiteral("Reads ingredient lines on standard input and writes, for each line in "
                        "order, its amount,\nunit and item: tab-separated, or with --json one "
                        "JSON object a line with text,\nquantity, quantityMax, unit and item "
                        "(null where the line has none). A line that\ncan't be read keeps its "
                        "text as the item."),
         &runIngredients},
        {QStringLiteral("shop"),
         QStringLiteral("shop [--servings N | --factor F] [--system metric|us] [--folder FOLDER] "
                        "CATEGORY/NAME..."),
         QStringLiteral("Prints the shopping list of the recipes named (category, a slash, the "
                        "recipe's name):\ntheir ingredient lines merged by item and kind of "
                        "measure, grouped by aisle, with\nthe recipes each line comes from. "
                        "--servings N scales each recipe to N servings\n(recipes keep no "
                        "servings yet: N is then the factor); --factor F multiplies them."),
         &runShop},
        {QStringLiteral("show"), QStringLiteral("show [--json] [--folder FOLDER] CATEGORY NAME"),
         QStringLiteral("Prints the recipe NAME of CATEGORY with its details: servings, yield, "
                        "times, source,\ntags, rating, photos and notes, then its ingredients "
                        "and instructions. --json prints\nit as one schema.org Recipe object, "
                        "exactly as \"export --format jsonld\" writes it."),
         &runShow},
        {QStringLiteral("details"),
         QStringLiteral("details [--folder FOLDER] CATEGORY NAME KEY=VALUE..."),
         QStringLiteral("Sets details of the recipe NAME of CATEGORY, all of them together or, "
                        "on a wrong KEY=VALUE\nor a photo that can't be read, none. The keys:\n"
                        "  servings=4        how many it serves\n"
                        "  yield=TEXT        the yield as written (12 muffins)\n"
                        "  prep=, cook=, total=TIME  minutes (90) or a time (1 h 30 min)\n"
                        "  source=TEXT       a web address, a book, a person\n"
                        "  tags=a,b          the tags, in place of those it had\n"
                        "  rating=0..5       0: none\n"
                        "  notes=TEXT\n"
                        "  photo=FILE        adds a JPEG, PNG or WebP photo (at most 10 MB, "
                        "6 a recipe)\n"
                        "  photos=           removes every photo\n"
                        "An empty value clears a detail."),
         &runDetails},
    };
    return all;
}

namespace {
const Command* find(const QString& name) {
    for (const Command& c : commands())
        if (c.name == name)
            return &c;
    return nullptr;
}
} // namespace

int usageError(Context& ctx, const QString& commandName) {
    if (const Command* c = find(commandName))
        ctx.err << "usage: kettlebox-db " << c->usage << "\n";
    return kExitUsage;
}

QString printable(const QString& text, bool keepLines) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool control = u < 0x20 || (u >= 0x7F && u < 0xA0) || u == 0x2028 || u == 0x2029 ||
                             (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (!control || (keepLines && u == u'\n'))
            out += c;
        else if (u < 0x100)
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
    }
    return out;
}

bool helpAsked(Context& ctx, const QString& commandName) {
    if (!ctx.args.contains(QLatin1String("--help")) && !ctx.args.contains(QLatin1String("-h")))
        return false;
    if (const Command* c = find(commandName))
        ctx.out << "usage: kettlebox-db " << c->usage << "\n\n" << c->help << "\n";
    return true;
}

QString existingFolder(Context& ctx, const QString& folder) {
    const QDir dir(folder.isEmpty() ? QStringLiteral(".") : folder);
    if (!dir.exists()) {
        fail(ctx, QStringLiteral("the folder \"%1\" does not exist.")
                      .arg(QDir::toNativeSeparators(folder)));
        return {};
    }
    return dir.absolutePath();
}

int fail(Context& ctx, const QString& message) {
    ctx.err << "kettlebox-db: " << message << "\n";
    return kExitFailed;
}

} // namespace kb::cli
