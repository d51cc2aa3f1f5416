#pragma once

#include <QString>

class QTreeWidget;
class QTreeWidgetItem;

namespace kb {

class ImageList;

namespace detail {
class NodeIndex;
}

// Where Add puts a node, relative to the node named by `relative`.
inline constexpr int tvwFirst = 0;
inline constexpr int tvwLast = 1;
inline constexpr int tvwNext = 2;
inline constexpr int tvwPrevious = 3;
inline constexpr int tvwChild = 4;

// Keyed nodes over a QTreeWidget. Keys are kept in each item's data and are unique within the
// tree; every Nodes made for the same tree shares one key index, which follows removals made
// by any route.
class Nodes {
  public:
    static constexpr int KeyRole = 0x0100 + 77; // Qt::UserRole + 77

    explicit Nodes(QTreeWidget* tree);

    QTreeWidget* tree() const { return m_tree; }

    // The pictures that Add's image numbers refer to.
    void setImageList(const ImageList* images);

    void Clear();
    // Adds a node with `key` (may be empty: no key) and `text`, placed by `relationship`
    // relative to the node keyed `relative` (empty: at the top level). `image` and
    // `selectedImage` are 1-based picture numbers, 0 for none; without a selected picture the
    // node keeps its picture when selected. Throws a StoreError for a key already in use, an
    // unknown relative or an unknown picture; nothing is added then.
    QTreeWidgetItem* Add(const QString& relative, int relationship, const QString& key,
                         const QString& text, int image = 0, int selectedImage = 0);
    // Expands the nodes above `item` and scrolls it into view.
    void EnsureVisible(QTreeWidgetItem* item);
    // The node keyed `key`, or nullptr.
    QTreeWidgetItem* find(const QString& key) const;

    // The key of `item`, "" for a node without one (or no node).
    static QString key(const QTreeWidgetItem* item);

  private:
    QTreeWidget* m_tree;
    detail::NodeIndex* m_index;
};

} // namespace kb
