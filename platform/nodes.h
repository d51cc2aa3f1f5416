#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QTreeView;

namespace kb {

class ImageList;

// Where Add puts a node, relative to the node named by `relative`.
inline constexpr int tvwFirst = 0;
inline constexpr int tvwLast = 1;
inline constexpr int tvwNext = 2;
inline constexpr int tvwPrevious = 3;
inline constexpr int tvwChild = 4;

// A node of the tree, by number; 0 is no node. Numbers are valid until the next Clear.
using NodeId = int;

// The tree's nodes: text, optional unique key, pictures, and children in the order they were
// added. A node's children may be left to be read when the node is first opened, so that a
// large collection costs only what is shown.
class NodeModel : public QAbstractItemModel {
    Q_OBJECT
  public:
    static constexpr int KeyRole = Qt::UserRole + 77;

    // Reads the texts of the children of the node keyed `key`, in order, when it is opened.
    using Reader = std::function<QStringList(const QString& key)>;

    explicit NodeModel(QObject* parent = nullptr);
    ~NodeModel() override;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    bool hasChildren(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    NodeId idOf(const QModelIndex& index) const;
    QModelIndex indexOf(NodeId id) const;
    NodeId find(const QString& key) const { return key.isEmpty() ? 0 : m_keys.value(key, 0); }
    QString text(NodeId id) const;
    QString key(NodeId id) const;
    NodeId parentOf(NodeId id) const;
    const QList<NodeId>& children(NodeId id) const;
    int nodeCount() const { return static_cast<int>(m_nodes.size()); }

    void setReader(Reader reader) { m_reader = std::move(reader); }
    void setImageList(const ImageList* images) { m_images = images; }
    const ImageList* imageList() const { return m_images; }

  private:
    friend class Nodes;

    struct Node {
        QString text;
        QString key;
        NodeId parent = 0;
        int row = 0;
        int icon = 0; // image * 64 + selected image; 0: none
        QList<NodeId> children;
        // Children still to be read: whether there are any, and the pictures they get.
        bool later = false;
        bool laterHasChildren = false;
        int laterIcon = 0;
    };

    Node& node(NodeId id) { return m_nodes[static_cast<std::size_t>(id - 1)]; }
    const Node& node(NodeId id) const { return m_nodes[static_cast<std::size_t>(id - 1)]; }
    QList<NodeId>& siblings(NodeId parent) { return parent ? node(parent).children : m_top; }
    const QIcon& icon(int id) const;
    void beginRebuild();
    void endRebuild();
    // Adds the node; `index` is its place among the siblings under `parent`.
    NodeId insert(NodeId parent, int index, const QString& key, const QString& text, int icon);
    // Reads the children left for later, as opening the node does.
    void readLater(NodeId id);

    std::vector<Node> m_nodes;
    QList<NodeId> m_top;
    QHash<QString, NodeId> m_keys;
    Reader m_reader;
    const ImageList* m_images = nullptr;
    bool m_rebuilding = false;
    QList<NodeId> m_pendingVisible;
    int m_users = 0;
    mutable const ImageList* m_iconList = nullptr;
    mutable quint64 m_iconGeneration = 0;
    mutable QHash<int, QIcon> m_icons;
};

// The tree's nodes as the store builds them, over the NodeModel of a tree view (installed on
// the view when it has none). A Clear starts a rebuild that the view sees as one reset when
// this object ends or finish() is called, with the nodes made visible meanwhile then opened.
class Nodes {
  public:
    static constexpr int KeyRole = NodeModel::KeyRole;

    explicit Nodes(QTreeView* tree);
    ~Nodes();
    Nodes(const Nodes&) = delete;
    Nodes& operator=(const Nodes&) = delete;

    QTreeView* tree() const { return m_tree; }
    NodeModel& model() const { return *m_model; }
    // The model of `tree`, installed when it has none.
    static NodeModel& modelOf(QTreeView* tree);

    // The pictures that Add's image numbers refer to.
    void setImageList(const ImageList* images);

    void Clear();
    // Adds a node with `key` (may be empty: no key) and `text`, placed by `relationship`
    // relative to the node keyed `relative` (empty: at the top level). `image` and
    // `selectedImage` are 1-based picture numbers, 0 for none; without a selected picture the
    // node keeps its picture when selected. Throws a StoreError for a key already in use, an
    // unknown relative or an unknown picture; nothing is added then.
    NodeId Add(const QString& relative, int relationship, const QString& key, const QString& text,
               int image = 0, int selectedImage = 0);
    // Leaves the children of the node keyed `key` to the model's reader, called when the node is
    // opened; `hasChildren` decides its expand arrow meanwhile. The children get the pictures
    // given here.
    void AddLater(const QString& key, bool hasChildren, int image, int selectedImage);
    // Reads the children left for later now. Returns the node's last child, or 0.
    NodeId readNow(NodeId id);
    bool hasLater(NodeId id) const;
    // Expands the nodes above `id` and scrolls it into view.
    void EnsureVisible(NodeId id);
    NodeId find(const QString& key) const { return m_model->find(key); }
    // Shows a rebuild begun by Clear to the view.
    void finish();

    // The key of the node at `index`, "" for a node without one (or no node).
    static QString key(const QModelIndex& index);

  private:
    int iconFor(int image, int selectedImage) const;

    QTreeView* m_tree;
    NodeModel* m_model;
    bool m_ownsRebuild = false;
};

} // namespace kb
