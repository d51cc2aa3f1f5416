#pragma once

#include <QIcon>
#include <QList>

namespace kb {

// The tree's pictures, referred to by index 1 to 4 (0 means none). Each picture is one icon;
// a node's selected picture is drawn from another picture of the same list.
class ImageList {
  public:
    static constexpr int kCount = 4;

    // Four empty pictures, enough for tests that do not look at them.
    ImageList();
    ImageList(QIcon first, QIcon second, QIcon third, QIcon fourth);

    int Count() const { return static_cast<int>(m_pictures.size()); }
    // The picture at `index` (1-based); throws a StoreError for an index outside 1..Count().
    const QIcon& ListImage(int index) const;
    void setListImage(int index, const QIcon& picture);
    // Changes whenever a picture is replaced, so that icons built from the list can be rebuilt.
    quint64 generation() const { return m_generation; }

  private:
    QList<QIcon> m_pictures;
    quint64 m_generation = 0;
};

} // namespace kb
