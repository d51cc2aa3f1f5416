#include "platform/imagelist.h"

#include "core/store_error.h"

#include <atomic>

namespace kb {

namespace {
// Distinct lists never share a generation, so a cache keyed by list and generation stays valid.
quint64 nextGeneration() {
    static std::atomic<quint64> counter{0};
    return ++counter;
}
} // namespace

ImageList::ImageList() : m_pictures(kCount), m_generation(nextGeneration()) {}

ImageList::ImageList(QIcon first, QIcon second, QIcon third, QIcon fourth)
    : m_pictures{std::move(first), std::move(second), std::move(third), std::move(fourth)},
      m_generation(nextGeneration()) {}

const QIcon& ImageList::ListImage(int index) const {
    if (index < 1 || index > Count())
        throw StoreError(QStringLiteral("The tree has no picture number %1.").arg(index));
    return m_pictures.at(index - 1);
}

void ImageList::setListImage(int index, const QIcon& picture) {
    if (index < 1 || index > Count())
        throw StoreError(QStringLiteral("The tree has no picture number %1.").arg(index));
    m_pictures[index - 1] = picture;
    m_generation = nextGeneration();
}

} // namespace kb
