#include "exchange/htmlscan.h"

#include "exchange/htmltext.h"

#include <QElapsedTimer>
#include <QHash>
#include <QJsonObject>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace kb::exchange {

namespace {

using std::string_view;

constexpr qsizetype kMaxCollectedBytes = 256 * 1024;
constexpr size_t kMaxActiveCollectors = 32;
constexpr int kMaxPropsPerItem = 2'000;
// How far up the open elements an implied end looks.
constexpr size_t kImpliedEndReach = 64;

char lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}
bool isAlpha(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A tag name as a number: open elements are compared often, and a hostile page may nest
// deeply. Names are lower case here.
quint64 tagId(string_view name) {
    quint64 h = 1469598103934665603ULL;
    for (const char c : name)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h;
}

constexpr quint64 id(string_view name) {
    quint64 h = 1469598103934665603ULL;
    for (const char c : name)
        h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ULL;
    return h;
}

bool oneOf(quint64 tag, std::initializer_list<quint64> tags) {
    return std::find(tags.begin(), tags.end(), tag) != tags.end();
}

// What the scanner needs to know of an element by its name.
enum TagClass : quint8 {
    kVoid = 1,            // has no end tag
    kBreaksLine = 2,      // its text stands on lines of its own
    kClosesParagraph = 4, // its start ends an open <p>
    kRawText = 8,         // holds text, not markup, up to its end tag
};

struct TagClasses {
    quint64 tag;
    quint8 classes;
};

// Sorted by the names' hashes: each element is looked up once, by a binary search, however
// many of the lists above it could be in.
constexpr auto kTagClasses = [] {
    constexpr quint8 block = kBreaksLine | kClosesParagraph;
    constexpr std::pair<string_view, quint8> named[] = {{"area", kVoid},
                                                        {"base", kVoid},
                                                        {"br", kVoid | kBreaksLine},
                                                        {"col", kVoid},
                                                        {"embed", kVoid},
                                                        {"hr", kVoid | block},
                                                        {"img", kVoid},
                                                        {"input", kVoid},
                                                        {"link", kVoid},
                                                        {"meta", kVoid},
                                                        {"param", kVoid},
                                                        {"source", kVoid},
                                                        {"track", kVoid},
                                                        {"wbr", kVoid},
                                                        {"p", block},
                                                        {"div", block},
                                                        {"li", block},
                                                        {"ul", block},
                                                        {"ol", block},
                                                        {"h1", block},
                                                        {"h2", block},
                                                        {"h3", block},
                                                        {"h4", block},
                                                        {"h5", block},
                                                        {"h6", block},
                                                        {"tr", kBreaksLine},
                                                        {"table", block},
                                                        {"section", block},
                                                        {"blockquote", block},
                                                        {"dd", kBreaksLine},
                                                        {"dt", kBreaksLine},
                                                        {"dl", block},
                                                        {"pre", block},
                                                        {"article", block},
                                                        {"header", block},
                                                        {"footer", block},
                                                        {"figure", block},
                                                        {"form", kClosesParagraph},
                                                        {"aside", kClosesParagraph},
                                                        {"nav", kClosesParagraph},
                                                        {"script", kRawText},
                                                        {"style", kRawText},
                                                        {"textarea", kRawText},
                                                        {"title", kRawText},
                                                        {"xmp", kRawText},
                                                        {"iframe", kRawText},
                                                        {"noembed", kRawText},
                                                        {"noframes", kRawText},
                                                        {"noscript", kRawText}};
    std::array<TagClasses, std::size(named)> table{};
    for (size_t i = 0; i < table.size(); ++i)
        table[i] = TagClasses{id(named[i].first), named[i].second};
    std::sort(table.begin(), table.end(),
              [](const TagClasses& a, const TagClasses& b) { return a.tag < b.tag; });
    return table;
}();

quint8 classesOf(quint64 t) {
    const auto* it = std::lower_bound(kTagClasses.begin(), kTagClasses.end(), t,
                                      [](const TagClasses& c, quint64 v) { return c.tag < v; });
    return it != kTagClasses.end() && it->tag == t ? it->classes : 0;
}

struct Attr {
    std::string name; // lower case
    string_view value;
};

struct Prop {
    QString name;
    QString text;
    int child = -1;
};

struct Item {
    QStringList types;
    QString id;
    QList<Prop> props;
    bool top = true;
};

struct Collector {
    int item = -1;
    QStringList names;
    QByteArray text;
};

struct Open {
    quint64 tag = 0;
    int item = -1; // the item this element began
    int collector = -1;
};

QString attrText(string_view v) {
    const QString raw = QString::fromUtf8(v.data(), static_cast<qsizetype>(v.size()));
    return raw.contains(QLatin1Char('&')) ? decodeEntities(raw).trimmed() : raw.trimmed();
}

// "http://schema.org/Recipe", "schema:Recipe" and "Recipe" are one name.
QString schemaName(const QString& s) {
    const qsizetype cut =
        std::max({s.lastIndexOf(QLatin1Char('/')), s.lastIndexOf(QLatin1Char('#')),
                  s.lastIndexOf(QLatin1Char(':'))});
    return cut >= 0 ? s.mid(cut + 1) : s;
}

class Scanner {
  public:
    Scanner(const QByteArray& page, const ScanLimits& limits)
        : m_begin(page.constData()), m_end(page.constData() + page.size()), m_limits(limits),
          m_lineAt(page.constData()) {}

    PageScan run() {
        m_timer.start();
        const char* p = m_begin;
        while (p < m_end && m_out.refusal.isEmpty()) {
            const auto* lt =
                static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(m_end - p)));
            if (!lt) {
                text(p, m_end);
                break;
            }
            text(p, lt);
            p = tag(lt);
        }
        while (!m_stack.empty())
            pop();
        for (size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i].top)
                m_out.items.append(toJson(static_cast<int>(i), 0));
        return std::move(m_out);
    }

  private:
    const char* m_begin;
    const char* m_end;
    ScanLimits m_limits;
    PageScan m_out;
    std::vector<Open> m_stack;
    std::vector<Item> m_items;
    std::vector<Collector> m_collectors;
    std::vector<int> m_active; // collectors of open elements, innermost last
    std::vector<int> m_itemStack;
    std::vector<Attr> m_attrs; // the element being read; kept to save an allocation a tag
    QElapsedTimer m_timer;
    qsizetype m_elements = 0;
    int m_line = 1;
    const char* m_lineAt;

    int lineOf(const char* at) {
        m_line += static_cast<int>(std::count(m_lineAt, at, '\n'));
        m_lineAt = at;
        return m_line;
    }

    void text(const char* from, const char* to) {
        if (m_active.empty() || from == to)
            return;
        for (const int c : m_active) {
            QByteArray& t = m_collectors[static_cast<size_t>(c)].text;
            for (const char* q = from; q < to && t.size() < kMaxCollectedBytes; ++q)
                t += isSpace(*q) ? ' ' : *q;
        }
    }

    void lineBreak() {
        for (const int c : m_active)
            m_collectors[static_cast<size_t>(c)].text += '\n';
    }

    // Reads the markup at `lt` (a '<'); returns where the text after it begins.
    const char* tag(const char* lt) {
        const char* p = lt + 1;
        const auto find = [this](const char* from, string_view what) -> const char* {
            const auto* hit = std::search(from, m_end, what.begin(), what.end());
            return hit == m_end ? m_end : hit + what.size();
        };
        if (m_end - p >= 3 && std::memcmp(p, "!--", 3) == 0)
            return find(p + 3, "-->");
        if (p < m_end && (*p == '!' || *p == '?'))
            return find(p, ">");
        const bool closing = p < m_end && *p == '/';
        if (closing)
            ++p;
        if (p >= m_end || !isAlpha(*p)) {
            if (closing)
                return find(p, ">");
            text(lt, lt + 1);
            return lt + 1;
        }
        std::string name;
        for (; p < m_end && !isSpace(*p) && *p != '/' && *p != '>'; ++p)
            if (name.size() < 32)
                name += lower(*p);
        std::vector<Attr>& attrs = m_attrs;
        attrs.clear();
        bool selfClosing = false;
        while (p < m_end && *p != '>') {
            if (isSpace(*p) || *p == '/') {
                selfClosing = *p == '/';
                ++p;
                continue;
            }
            selfClosing = false;
            const char* nameFrom = p;
            while (p < m_end && !isSpace(*p) && *p != '=' && *p != '>' &&
                   !(*p == '/' && p + 1 < m_end && p[1] == '>'))
                ++p;
            string_view attrName(nameFrom, static_cast<size_t>(p - nameFrom));
            while (p < m_end && isSpace(*p))
                ++p;
            string_view value;
            if (p < m_end && *p == '=') {
                ++p;
                while (p < m_end && isSpace(*p))
                    ++p;
                if (p < m_end && (*p == '"' || *p == '\'')) {
                    const char quote = *p++;
                    const char* from = p;
                    const auto* close = static_cast<const char*>(
                        std::memchr(p, quote, static_cast<size_t>(m_end - p)));
                    p = close ? close : m_end;
                    value = string_view(from, static_cast<size_t>(p - from));
                    if (p < m_end)
                        ++p;
                } else {
                    const char* from = p;
                    while (p < m_end && !isSpace(*p) && *p != '>')
                        ++p;
                    value = string_view(from, static_cast<size_t>(p - from));
                }
            }
            if (attrs.size() < 64 && attrName.size() <= 16) {
                std::string lowered(attrName);
                std::transform(lowered.begin(), lowered.end(), lowered.begin(), lower);
                attrs.push_back({std::move(lowered), value});
            }
        }
        const char* after = p < m_end ? p + 1 : m_end;
        const quint64 t = tagId(name);
        if (closing) {
            end(t);
            return after;
        }
        if (++m_elements > m_limits.maxElements) {
            m_out.refusal = QStringLiteral("it holds more than %1 elements, far more than a "
                                           "recipe page has")
                                .arg(m_limits.maxElements);
            return m_end;
        }
        if ((m_elements & 0xFFF) == 0 && m_timer.elapsed() > m_limits.maxMilliseconds) {
            m_out.refusal = QStringLiteral("reading it took longer than %1 seconds")
                                .arg(m_limits.maxMilliseconds / 1000);
            return m_end;
        }
        const quint8 classes = classesOf(t);
        if (classes & kRawText) {
            const std::string closeTag = "</" + name;
            const char* q = after;
            const char* close = m_end;
            while (q < m_end) {
                const auto* hit = std::search(q, m_end, closeTag.begin(), closeTag.end(),
                                              [](char a, char b) { return lower(a) == b; });
                if (hit == m_end)
                    break;
                const char* next = hit + closeTag.size();
                if (next >= m_end || isSpace(*next) || *next == '>' || *next == '/') {
                    close = hit;
                    break;
                }
                q = hit + 1;
            }
            if (t == id("script"))
                script(attrs, lt, after, close);
            return close == m_end ? m_end : find(close, ">");
        }
        start(t, classes, attrs, selfClosing);
        return after;
    }

    static string_view attr(const std::vector<Attr>& attrs, string_view name, bool* has = nullptr) {
        for (const Attr& a : attrs)
            if (a.name == name) {
                if (has)
                    *has = true;
                return a.value;
            }
        if (has)
            *has = false;
        return {};
    }

    void script(const std::vector<Attr>& attrs, const char* lt, const char* from, const char* to) {
        QByteArray type(attr(attrs, "type").data(),
                        static_cast<qsizetype>(attr(attrs, "type").size()));
        type = type.toLower();
        const qsizetype semicolon = type.indexOf(';');
        if (semicolon >= 0)
            type.truncate(semicolon);
        if (type.trimmed() != "application/ld+json")
            return;
        m_out.jsonLd << ScriptBlock{QByteArray(from, to - from), lineOf(lt)};
    }

    void closeImplied(quint64 t, quint8 classes) {
        const auto closeTo = [this](std::initializer_list<quint64> targets,
                                    std::initializer_list<quint64> boundaries) {
            const size_t reach = std::min(m_stack.size(), kImpliedEndReach);
            for (size_t k = 0; k < reach; ++k) {
                const quint64 open = m_stack[m_stack.size() - 1 - k].tag;
                if (oneOf(open, targets)) {
                    for (size_t n = 0; n <= k; ++n)
                        pop();
                    return;
                }
                if (oneOf(open, boundaries))
                    return;
            }
        };
        if (classes & kClosesParagraph)
            closeTo({id("p")},
                    {id("div"), id("section"), id("article"), id("td"), id("th"), id("li"),
                     id("table"), id("body"), id("button"), id("blockquote"), id("form")});
        if (t == id("li"))
            closeTo({id("li")}, {id("ul"), id("ol"), id("menu")});
        else if (t == id("dt") || t == id("dd"))
            closeTo({id("dt"), id("dd")}, {id("dl")});
        else if (t == id("td") || t == id("th"))
            closeTo({id("td"), id("th")}, {id("tr"), id("table")});
        else if (t == id("tr"))
            closeTo({id("tr")}, {id("table"), id("tbody"), id("thead"), id("tfoot")});
        else if (t == id("option"))
            closeTo({id("option")}, {id("select")});
    }

    void start(quint64 t, quint8 classes, const std::vector<Attr>& attrs, bool selfClosing) {
        const bool isVoidTag = (classes & kVoid) != 0;
        closeImplied(t, classes);
        if (classes & kBreaksLine)
            lineBreak();
        pageDetails(t, attrs);

        bool scoped = false;
        attr(attrs, "itemscope", &scoped);
        bool hasTypeOf = false;
        const string_view typeOf = attr(attrs, "typeof", &hasTypeOf);
        bool hasItemProp = false;
        string_view props = attr(attrs, "itemprop", &hasItemProp);
        bool rdfa = false;
        if (!hasItemProp) {
            props = attr(attrs, "property", &hasItemProp);
            rdfa = hasItemProp;
        }
        const int parent = m_itemStack.empty() ? -1 : m_itemStack.back();
        const bool tracked =
            !isVoidTag && !selfClosing && m_stack.size() < static_cast<size_t>(m_limits.maxDepth);

        int item = -1;
        if ((scoped || hasTypeOf) && (tracked || isVoidTag || selfClosing) &&
            m_items.size() < static_cast<size_t>(m_limits.maxItems)) {
            Item it;
            it.types = attrText(scoped ? attr(attrs, "itemtype") : typeOf)
                           .split(QLatin1Char(' '), Qt::SkipEmptyParts);
            for (QString& type : it.types)
                type = schemaName(type);
            it.id = attrText(attr(attrs, scoped ? "itemid" : "resource"));
            m_items.push_back(it);
            item = static_cast<int>(m_items.size()) - 1;
        }

        QStringList names;
        if (hasItemProp && parent >= 0)
            for (const QString& n : attrText(props).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
                // Open Graph and other vocabularies share the RDFa attribute.
                if (rdfa && n.contains(QLatin1Char(':')) &&
                    !n.startsWith(QLatin1String("schema:")) &&
                    !n.contains(QLatin1String("schema.org")))
                    continue;
                names << schemaName(n);
            }
        int collector = -1;
        if (!names.isEmpty()) {
            Item& owner = m_items[static_cast<size_t>(parent)];
            const auto add = [&](const QString& text, int child) {
                for (const QString& n : names)
                    if (owner.props.size() < kMaxPropsPerItem)
                        owner.props << Prop{n, text, child};
            };
            bool hasContent = false;
            const string_view content = attr(attrs, "content", &hasContent);
            if (item >= 0) {
                m_items[static_cast<size_t>(item)].top = false;
                add({}, item);
            } else if (hasContent) {
                add(attrText(content), -1);
            } else if (t == id("meta")) { // NOLINT(bugprone-branch-clone): a meta without content
                add({}, -1);
            } else if (oneOf(t, {id("a"), id("link"), id("area")})) {
                add(attrText(attr(attrs, "href")), -1);
            } else if (oneOf(t, {id("img"), id("audio"), id("video"), id("source"), id("embed"),
                                 id("iframe"), id("track")})) {
                add(attrText(attr(attrs, "src")), -1);
            } else if (t == id("object")) {
                add(attrText(attr(attrs, "data")), -1);
            } else if (t == id("time") && !attr(attrs, "datetime").empty()) {
                add(attrText(attr(attrs, "datetime")), -1);
            } else if ((t == id("data") || t == id("meter")) && !attr(attrs, "value").empty()) {
                add(attrText(attr(attrs, "value")), -1);
            } else if (tracked && m_active.size() < kMaxActiveCollectors) {
                m_collectors.push_back(Collector{parent, names, {}});
                collector = static_cast<int>(m_collectors.size()) - 1;
            } else if (!tracked && isVoidTag) {
                add({}, -1);
            }
        }
        if (!tracked) {
            // A void element, or too deep to follow: an item it began ends with it.
            return;
        }
        m_stack.push_back(Open{t, item, collector});
        if (item >= 0)
            m_itemStack.push_back(item);
        if (collector >= 0)
            m_active.push_back(collector);
    }

    void pageDetails(quint64 t, const std::vector<Attr>& attrs) {
        if (t == id("link") && m_out.canonicalUrl.isEmpty() &&
            attrText(attr(attrs, "rel")).compare(QLatin1String("canonical"), Qt::CaseInsensitive) ==
                0)
            m_out.canonicalUrl = attrText(attr(attrs, "href"));
        if (t != id("meta"))
            return;
        const QString property = attrText(attr(attrs, "property"));
        if (property == QLatin1String("og:image") && m_out.imageUrl.isEmpty())
            m_out.imageUrl = attrText(attr(attrs, "content"));
        else if (property == QLatin1String("og:url") && m_out.canonicalUrl.isEmpty())
            m_out.canonicalUrl = attrText(attr(attrs, "content"));
    }

    void end(quint64 t) {
        if (t == id("br") || t == id("p")) {
            // Browsers read a stray </br> or </p> as a break.
            lineBreak();
        }
        const size_t reach = std::min(m_stack.size(), static_cast<size_t>(m_limits.maxDepth));
        for (size_t k = 0; k < reach; ++k) {
            if (m_stack[m_stack.size() - 1 - k].tag == t) {
                if (classesOf(t) & kBreaksLine)
                    lineBreak();
                for (size_t n = 0; n <= k; ++n)
                    pop();
                return;
            }
        }
    }

    void pop() {
        const Open open = m_stack.back();
        m_stack.pop_back();
        if (open.collector >= 0) {
            m_active.pop_back();
            Collector& c = m_collectors[static_cast<size_t>(open.collector)];
            Item& owner = m_items[static_cast<size_t>(c.item)];
            const QString value = htmlToText(QString::fromUtf8(c.text), true);
            for (const QString& n : c.names)
                if (owner.props.size() < kMaxPropsPerItem)
                    owner.props << Prop{n, value, -1};
            c.text = QByteArray();
        }
        if (open.item >= 0)
            m_itemStack.pop_back();
    }

    QJsonValue toJson(int index, int depth) const {
        const Item& it = m_items[static_cast<size_t>(index)];
        QJsonObject o;
        if (it.types.size() == 1)
            o.insert(QLatin1String("@type"), it.types.first());
        else if (!it.types.isEmpty())
            o.insert(QLatin1String("@type"), QJsonArray::fromStringList(it.types));
        if (!it.id.isEmpty())
            o.insert(QLatin1String("@id"), it.id);
        // Properties in page order, a repeated one as a list.
        QStringList order;
        QHash<QString, QJsonArray> values;
        for (const Prop& p : it.props) {
            if (!values.contains(p.name))
                order << p.name;
            values[p.name].append(p.child < 0  ? QJsonValue(p.text)
                                  : depth < 32 ? toJson(p.child, depth + 1)
                                               : QJsonValue(QString()));
        }
        for (const QString& name : order) {
            const QJsonArray& list = values[name];
            o.insert(name, list.size() == 1 ? list.first() : QJsonValue(list));
        }
        return o;
    }
};

} // namespace

PageScan scanPage(const QByteArray& utf8, const ScanLimits& limits) {
    if (utf8.size() > limits.maxBytes) {
        PageScan refused;
        refused.refusal = QStringLiteral("it is larger than %1 MB, far larger than a recipe page")
                              .arg(limits.maxBytes >> 20);
        return refused;
    }
    return Scanner(utf8, limits).run();
}

} // namespace kb::exchange
