#include "platform/pictureclip.h"

namespace kb {

PictureClip::PictureClip(const QPixmap& picture, int cols, int rows) {
    setPicture(picture, cols, rows);
}

void PictureClip::setPicture(const QPixmap& picture, int cols, int rows) {
    m_picture = picture;
    m_cols = qMax(1, cols);
    m_rows = qMax(1, rows);
    m_cells.clear();
    if (m_picture.isNull())
        return;
    const int w = cellWidth();
    const int h = cellHeight();
    for (int r = 0; r < m_rows; ++r)
        for (int c = 0; c < m_cols; ++c)
            m_cells.append(m_picture.copy(c * w, r * h, w, h));
}

int PictureClip::cellWidth() const {
    return m_picture.width() / m_cols;
}

int PictureClip::cellHeight() const {
    return m_picture.height() / m_rows;
}

QPixmap PictureClip::GraphicCell(int index) const {
    if (index < 0 || index >= m_cells.size())
        return {};
    return m_cells.at(index);
}

} // namespace kb
