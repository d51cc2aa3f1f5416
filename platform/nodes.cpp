#include "platform/nodes.h"

#include "core/store_error.h"
#include "platform/imagelist.h"

#include <QTreeView>

namespace kb {

namespace {

// The flags a tree widget gives its items, so that a screen reader and the view treat the
// nodes alike.
constexpr Qt::ItemFlags kNodeFlags = Qt::ItemIsSelectable | Qt::ItemIsUserCheckable |
                                     Qt::ItemIsEnabled | Qt::ItemIsDragEnabled |
                                     Qt::ItemIsDropEnabled;

const QList<NodeId> kNoChildren;

} // namespace

NodeModel::NodeModel(QObject* parent) : QAbstractItemModel(parent) {}

NodeModel::~NodeModel() = default;

QModelIndex NodeModel::index(int row, int column, const QModelIndex& parent) const {
    if (column != 0 || row < 0)
        return {};
    const QList<NodeId>& list = children(idOf(parent));
    if (row >= list.size())
        return {};
    return createIndex(row, 0, quintptr(list.at(row)));
}

QModelIndex NodeModel::parent(const QModelIndex& child) const {
    const NodeId id = idOf(child);
    return id ? indexOf(node(id).parent) : QModelIndex();
}

int NodeModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() && parent.column() != 0)
        return 0;
    return static_cast<int>(children(idOf(parent)).size());
}

int NodeModel::columnCount(const QModelIndex&) const {
    return 1;
}

bool NodeModel::hasChildren(const QModelIndex& parent) const {
    const NodeId id = idOf(parent);
    if (!id)
        return !parent.isValid() && !m_top.isEmpty();
    const Node& n = node(id);
    return n.later ? n.laterHasChildren : !n.children.isEmpty();
}

QVariant NodeModel::data(const QModelIndex& index, int role) const {
    const NodeId id = idOf(index);
    if (!id)
        return {};
    const Node& n = node(id);
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return n.text;
    case Qt::DecorationRole:
        return n.icon ? QVariant(icon(n.icon)) : QVariant();
    case KeyRole:
        return n.key.isEmpty() ? QVariant() : QVariant(n.key);
    default:
        return {};
    }
}

Qt::ItemFlags NodeModel::flags(const QModelIndex&) const {
    return kNodeFlags;
}

bool NodeModel::canFetchMore(const QModelIndex& parent) const {
    const NodeId id = idOf(parent);
    return id && node(id).later;
}

void NodeModel::fetchMore(const QModelIndex& parent) {
    if (const NodeId id = idOf(parent))
        readLater(id);
}

NodeId NodeModel::idOf(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != this)
        return 0;
    const auto id = static_cast<NodeId>(index.internalId());
    return id > 0 && id <= nodeCount() ? id : 0;
}

QModelIndex NodeModel::indexOf(NodeId id) const {
    if (id <= 0 || id > nodeCount() || m_rebuilding)
        return {};
    return createIndex(node(id).row, 0, quintptr(id));
}

QString NodeModel::text(NodeId id) const {
    return id > 0 && id <= nodeCount() ? node(id).text : QString();
}

QString NodeModel::key(NodeId id) const {
    return id > 0 && id <= nodeCount() ? node(id).key : QString();
}

NodeId NodeModel::parentOf(NodeId id) const {
    return id > 0 && id <= nodeCount() ? node(id).parent : 0;
}

const QList<NodeId>& NodeModel::children(NodeId id) const {
    if (id == 0)
        return m_top;
    return id <= nodeCount() ? node(id).children : kNoChildren;
}

const QIcon& NodeModel::icon(int id) const {
    static const QIcon none;
    if (!m_images)
        return none;
    if (m_iconList != m_images || m_iconGeneration != m_images->generation()) {
        m_icons.clear();
        m_iconList = m_images;
        m_iconGeneration = m_images->generation();
    }
    auto it = m_icons.constFind(id);
    if (it != m_icons.constEnd())
        return *it;
    // One icon per pair of pictures, shared by every node that shows that pair.
    const int image = id / 64;
    const int selected = id % 64;
    const QIcon& normal = m_images->ListImage(image);
    const QIcon& chosen = selected ? m_images->ListImage(selected) : normal;
    QIcon combined;
    for (const QSize& size : normal.availableSizes()) {
        combined.addPixmap(normal.pixmap(size), QIcon::Normal);
        combined.addPixmap(chosen.pixmap(size), QIcon::Selected);
    }
    if (combined.isNull())
        combined = normal;
    return *m_icons.insert(id, combined);
}

void NodeModel::beginRebuild() {
    if (!m_rebuilding) {
        beginResetModel();
        m_rebuilding = true;
    }
    m_nodes.clear();
    m_top.clear();
    m_keys.clear();
    m_pendingVisible.clear();
}

void NodeModel::endRebuild() {
    if (!m_rebuilding)
        return;
    m_rebuilding = false;
    endResetModel();
}

NodeId NodeModel::insert(NodeId parent, int index, const QString& key, const QString& text,
                         int icon) {
    const bool signal = !m_rebuilding;
    if (signal)
        beginInsertRows(indexOf(parent), index, index);
    Node n;
    n.text = text;
    n.key = key;
    n.parent = parent;
    n.row = index;
    n.icon = icon;
    m_nodes.push_back(std::move(n));
    const NodeId id = nodeCount();
    QList<NodeId>& placed = siblings(parent); // the push may have moved the parent's node
    placed.insert(index, id);
    for (qsizetype i = index + 1; i < placed.size(); ++i)
        node(placed.at(i)).row = static_cast<int>(i);
    if (!key.isEmpty())
        m_keys.insert(key, id);
    if (signal)
        endInsertRows();
    return id;
}

void NodeModel::readLater(NodeId id) {
    Node& n = node(id);
    if (!n.later)
        return;
    n.later = false;
    const QString key = n.key;
    const int childIcon = n.laterIcon;
    QStringList texts;
    if (m_reader) {
        // Opening a node must never throw into the view; what could not be read stays unshown.
        try {
            texts = m_reader(key);
        } catch (...) {
            texts.clear();
        }
    }
    if (texts.isEmpty()) {
        if (!m_rebuilding) {
            // The arrow may have promised children that are gone: let the view ask again.
            emit layoutAboutToBeChanged();
            emit layoutChanged();
        }
        return;
    }
    const bool signal = !m_rebuilding;
    const int first = static_cast<int>(node(id).children.size());
    if (signal)
        beginInsertRows(indexOf(id), first, first + static_cast<int>(texts.size()) - 1);
    m_nodes.reserve(m_nodes.size() + static_cast<std::size_t>(texts.size()));
    int row = first;
    for (const QString& text : texts) {
        Node child;
        child.text = text;
        child.parent = id;
        child.row = row++;
        child.icon = childIcon;
        m_nodes.push_back(std::move(child));
        node(id).children.append(nodeCount());
    }
    if (signal)
        endInsertRows();
}

// ---- Nodes ----

NodeModel& Nodes::modelOf(QTreeView* tree) {
    if (auto* model = qobject_cast<NodeModel*>(tree->model()))
        return *model;
    auto* model = new NodeModel(tree);
    tree->setModel(model);
    return *model;
}

Nodes::Nodes(QTreeView* tree) : m_tree(tree), m_model(&modelOf(tree)) {
    ++m_model->m_users;
}

Nodes::~Nodes() {
    if (m_ownsRebuild)
        finish();
    --m_model->m_users;
}

void Nodes::setImageList(const ImageList* images) {
    m_model->setImageList(images);
}

void Nodes::Clear() {
    // Ends any selection or scrolling on the old nodes, as clearing a tree does.
    m_model->beginRebuild();
    m_ownsRebuild = true;
}

void Nodes::finish() {
    if (!m_model->m_rebuilding)
        return;
    const QList<NodeId> visible = m_model->m_pendingVisible;
    m_model->m_pendingVisible.clear();
    m_model->endRebuild();
    m_ownsRebuild = false;
    for (NodeId id : visible)
        EnsureVisible(id);
}

int Nodes::iconFor(int image, int selectedImage) const {
    if (image == 0 && selectedImage == 0)
        return 0;
    const ImageList* images = m_model->imageList();
    if (!images)
        throw StoreError(QStringLiteral("The tree has no pictures."));
    const int shown = image == 0 ? selectedImage : image;
    // Throws for a picture the list does not have.
    images->ListImage(shown);
    if (selectedImage)
        images->ListImage(selectedImage);
    return shown * 64 + selectedImage;
}

NodeId Nodes::Add(const QString& relative, int relationship, const QString& key,
                  const QString& text, int image, int selectedImage) {
    NodeModel& m = *m_model;
    if (!key.isEmpty() && m.m_keys.contains(key))
        throw StoreError(QStringLiteral("The tree already has an entry called \"%1\".").arg(key));
    NodeId anchor = 0;
    if (!relative.isEmpty()) {
        anchor = m.find(relative);
        if (!anchor)
            throw StoreError(QStringLiteral("The tree has no entry called \"%1\".").arg(relative));
    }
    if (relationship < tvwFirst || relationship > tvwChild)
        throw StoreError(QStringLiteral("A tree entry can't be placed that way."));
    const int icon = iconFor(image, selectedImage);

    if (!anchor)
        return m.insert(0, relationship == tvwFirst ? 0 : static_cast<int>(m.m_top.size()), key,
                        text, icon);
    if (relationship == tvwChild) {
        // Children left for later come first, as they were there before this one.
        m.readLater(anchor);
        return m.insert(anchor, static_cast<int>(m.node(anchor).children.size()), key, text, icon);
    }
    const NodeId parent = m.node(anchor).parent;
    const int count = static_cast<int>(m.children(parent).size());
    const int at = m.node(anchor).row;
    const int index = relationship == tvwFirst  ? 0
                      : relationship == tvwLast ? count
                      : relationship == tvwNext ? at + 1
                                                : at;
    return m.insert(parent, index, key, text, icon);
}

void Nodes::AddLater(const QString& key, bool hasChildren, int image, int selectedImage) {
    const NodeId id = find(key);
    if (!id)
        throw StoreError(QStringLiteral("The tree has no entry called \"%1\".").arg(key));
    const int icon = iconFor(image, selectedImage);
    NodeModel::Node& n = m_model->node(id);
    n.later = true;
    n.laterHasChildren = hasChildren;
    n.laterIcon = icon;
}

bool Nodes::hasLater(NodeId id) const {
    return id > 0 && id <= m_model->nodeCount() && m_model->node(id).later;
}

NodeId Nodes::readNow(NodeId id) {
    if (id <= 0 || id > m_model->nodeCount())
        return 0;
    m_model->readLater(id);
    const QList<NodeId>& list = m_model->children(id);
    return list.isEmpty() ? 0 : list.last();
}

void Nodes::EnsureVisible(NodeId id) {
    if (id <= 0 || id > m_model->nodeCount())
        return;
    if (m_model->m_rebuilding) {
        m_model->m_pendingVisible.append(id);
        return;
    }
    QList<NodeId> above;
    for (NodeId p = m_model->parentOf(id); p; p = m_model->parentOf(p))
        above.prepend(p);
    for (NodeId p : above)
        m_tree->expand(m_model->indexOf(p));
    m_tree->scrollTo(m_model->indexOf(id));
}

QString Nodes::key(const QModelIndex& index) {
    return index.isValid() ? index.data(KeyRole).toString() : QString();
}

} // namespace kb
