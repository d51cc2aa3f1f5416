#include "platform/nodes.h"

#include "core/store_error.h"
#include "platform/imagelist.h"

#include <QHash>
#include <QIcon>
#include <QTreeWidget>

namespace kb {

namespace detail {

// Lives as a child of the tree, so that every adapter on the tree shares it.
class NodeIndex : public QObject {
  public:
    explicit NodeIndex(QTreeWidget* tree) : QObject(tree), m_tree(tree) {
        setObjectName(QStringLiteral("kb_nodes_index"));
        // Items removed behind our back must not leave dangling entries: rebuild on next use.
        QAbstractItemModel* model = tree->model();
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, [this] { m_dirty = true; });
        connect(model, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_dirty = true; });
    }

    QHash<QString, QTreeWidgetItem*>& keys() {
        if (m_dirty)
            rebuild();
        return m_keys;
    }
    void clear() {
        m_keys.clear();
        m_dirty = false;
    }

    const QIcon& icon(const ImageList& images, int image, int selected);

    const ImageList* images = nullptr;

  private:
    void rebuild() {
        m_keys.clear();
        m_dirty = false;
        QList<QTreeWidgetItem*> pending;
        for (int i = 0; i < m_tree->topLevelItemCount(); ++i)
            pending << m_tree->topLevelItem(i);
        while (!pending.isEmpty()) {
            QTreeWidgetItem* item = pending.takeLast();
            const QString k = Nodes::key(item);
            if (!k.isEmpty())
                m_keys.insert(k, item);
            for (int i = 0; i < item->childCount(); ++i)
                pending << item->child(i);
        }
    }

    QTreeWidget* m_tree;
    QHash<QString, QTreeWidgetItem*> m_keys;
    bool m_dirty = false;
    const ImageList* m_iconList = nullptr;
    quint64 m_iconGeneration = 0;
    QHash<int, QIcon> m_icons;
};

const QIcon& NodeIndex::icon(const ImageList& list, int image, int selected) {
    if (m_iconList != &list || m_iconGeneration != list.generation()) {
        m_icons.clear();
        m_iconList = &list;
        m_iconGeneration = list.generation();
    }
    const int id = image * 64 + selected;
    auto it = m_icons.find(id);
    if (it != m_icons.end())
        return *it;
    // One icon per pair of pictures, shared by every node that shows that pair.
    const QIcon& normal = list.ListImage(image);
    const QIcon& chosen = selected ? list.ListImage(selected) : normal;
    QIcon combined;
    for (const QSize& size : normal.availableSizes()) {
        combined.addPixmap(normal.pixmap(size), QIcon::Normal);
        combined.addPixmap(chosen.pixmap(size), QIcon::Selected);
    }
    if (combined.isNull())
        combined = normal;
    return *m_icons.insert(id, combined);
}

} // namespace detail

Nodes::Nodes(QTreeWidget* tree) : m_tree(tree) {
    m_index = tree->findChild<detail::NodeIndex*>(QStringLiteral("kb_nodes_index"),
                                                  Qt::FindDirectChildrenOnly);
    if (!m_index)
        m_index = new detail::NodeIndex(tree);
}

void Nodes::setImageList(const ImageList* images) {
    m_index->images = images;
}

void Nodes::Clear() {
    m_tree->clear();
    m_index->clear();
}

QTreeWidgetItem* Nodes::find(const QString& key) const {
    if (key.isEmpty())
        return nullptr;
    return m_index->keys().value(key, nullptr);
}

QString Nodes::key(const QTreeWidgetItem* item) {
    return item ? item->data(0, KeyRole).toString() : QString();
}

QTreeWidgetItem* Nodes::Add(const QString& relative, int relationship, const QString& key,
                            const QString& text, int image, int selectedImage) {
    auto& keys = m_index->keys();
    if (!key.isEmpty() && keys.contains(key))
        throw StoreError(QStringLiteral("The tree already has an entry called \"%1\".").arg(key));
    QTreeWidgetItem* anchor = nullptr;
    if (!relative.isEmpty()) {
        anchor = keys.value(relative, nullptr);
        if (!anchor)
            throw StoreError(QStringLiteral("The tree has no entry called \"%1\".").arg(relative));
    }
    if (relationship < tvwFirst || relationship > tvwChild)
        throw StoreError(QStringLiteral("A tree entry can't be placed that way."));
    QIcon icon;
    if (image != 0 || selectedImage != 0) {
        if (!m_index->images)
            throw StoreError(QStringLiteral("The tree has no pictures."));
        icon = m_index->icon(*m_index->images, image == 0 ? selectedImage : image, selectedImage);
    }

    auto* item = new QTreeWidgetItem;
    item->setText(0, text);
    if (!key.isEmpty())
        item->setData(0, KeyRole, key);
    if (!icon.isNull())
        item->setIcon(0, icon);

    QTreeWidgetItem* parent = anchor ? anchor->parent() : nullptr;
    auto insertAt = [&](int index) {
        if (parent)
            parent->insertChild(index, item);
        else
            m_tree->insertTopLevelItem(index, item);
    };
    auto siblingCount = [&] { return parent ? parent->childCount() : m_tree->topLevelItemCount(); };
    auto indexOfAnchor = [&] {
        return parent ? parent->indexOfChild(anchor) : m_tree->indexOfTopLevelItem(anchor);
    };
    if (!anchor) {
        parent = nullptr;
        insertAt(relationship == tvwFirst ? 0 : siblingCount());
    } else if (relationship == tvwChild) {
        anchor->addChild(item);
    } else if (relationship == tvwFirst) {
        insertAt(0);
    } else if (relationship == tvwLast) {
        insertAt(siblingCount());
    } else if (relationship == tvwNext) {
        insertAt(indexOfAnchor() + 1);
    } else {
        insertAt(indexOfAnchor());
    }
    if (!key.isEmpty())
        keys.insert(key, item);
    return item;
}

void Nodes::EnsureVisible(QTreeWidgetItem* item) {
    if (!item)
        return;
    for (QTreeWidgetItem* p = item->parent(); p; p = p->parent())
        p->setExpanded(true);
    m_tree->scrollToItem(item);
}

} // namespace kb
