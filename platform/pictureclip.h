#pragma once

#include <QList>
#include <QPixmap>

namespace kb {

// One picture cut into a grid of equal cells (the skinned controls use a single row), handing
// out a cell's picture by index. Cells are numbered left to right, then top to bottom.
class PictureClip {
  public:
    PictureClip() = default;
    PictureClip(const QPixmap& picture, int cols, int rows = 1);

    void setPicture(const QPixmap& picture, int cols, int rows = 1);
    QPixmap picture() const { return m_picture; }
    bool isNull() const { return m_picture.isNull(); }

    int cols() const { return m_cols; }
    int rows() const { return m_rows; }
    int cellCount() const { return m_cols * m_rows; }
    int cellWidth() const;
    int cellHeight() const;

    // The cell's picture; a null pixmap for an index outside the grid or an empty clip.
    QPixmap GraphicCell(int index) const;

  private:
    QPixmap m_picture;
    int m_cols = 1;
    int m_rows = 1;
    QList<QPixmap> m_cells; // cut once: the controls ask for a cell on every paint
};

} // namespace kb
