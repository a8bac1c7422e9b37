// A grid of text cells in the classic string-grid manner: a fixed header row drawn as raised
// button faces and a row of white cells with a current cell and a highlighted range. The user
// cannot edit the cells; the grid reports a click when the left button is released after a
// press on a note cell, and whenever an arrow, Home or End key moves its current cell.
#pragma once

#include <QString>
#include <QTableWidget>

class StringGrid : public QTableWidget
{
    Q_OBJECT

public:
    static constexpr int ColCount = 13;
    static constexpr int RowCount = 2;
    static constexpr int HeaderRow = 0;
    static constexpr int NoteRow = 1;
    // A cell's own size; each cell is followed by a grid line of GridLineWidth.
    static constexpr int DefaultColWidth = 73;
    static constexpr int DefaultRowHeight = 24;
    static constexpr int GridLineWidth = 1;

    // The highlighted cells of the note row, first to last column.
    struct ColumnRange
    {
        int first;
        int last;
        friend bool operator==(const ColumnRange &, const ColumnRange &) = default;
    };

    explicit StringGrid(QWidget *parent = nullptr);

    // Cells are addressed as (column, row): column 0..12, row 0 the header, row 1 the notes.
    QString cell(int column, int row) const;
    void setCell(int column, int row, const QString &text);

    // The current cell is always in the note row; only its column moves.
    int col() const { return m_current; }
    ColumnRange selection() const;

    // Names the grid for screen readers; each cell is then spoken with it, for instance
    // "Primitiva, Tônica: Lá".
    void setAccessibleCaption(const QString &caption);

    // The grid always shows all its cells, so nothing ever scrolls.
    void scrollTo(const QModelIndex &index, ScrollHint hint = EnsureVisible) override;

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    void updateGeometries() override;

private:
    QRect cellRect(int column, int row) const;
    // The column of the note cell under a point of the view, or -1 off the note row.
    int noteColumnAt(const QPoint &pos) const;
    int fullyVisibleColumns() const;
    void paintCell(QPainter &painter, int column, int row) const;
    void paintGridLines(QPainter &painter) const;

    // Moves the current cell; the range then either starts over at it or still reaches back
    // to where it was anchored.
    void moveCurrent(int column, bool restartRange);
    // Moves the far end of the range, the current cell staying where it is.
    void moveRangeEnd(int column);
    void selectionMoved();
    void updateAccessibleText(int column);

    QString m_caption;
    int m_current = 0;
    int m_rangeEnd = 0;
    bool m_selecting = false;
};
