#include "string_grid.h"

#include <QFocusEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyleOptionFocusRect>
#include <QToolTip>
#include <qdrawutil.h>

#include <algorithm>

namespace {

constexpr int ColumnPitch = StringGrid::DefaultColWidth + StringGrid::GridLineWidth;
constexpr int RowPitch = StringGrid::DefaultRowHeight + StringGrid::GridLineWidth;
constexpr int LastColumn = StringGrid::ColCount - 1;

// The classic grid draws the lines of its fixed row in black and the others in silver.
const QColor FixedLineColor(Qt::black);
const QColor LineColor(0xc0, 0xc0, 0xc0);

} // namespace

StringGrid::StringGrid(QWidget *parent) : QTableWidget(RowCount, ColCount, parent)
{
    // A Qt section holds the cell and the grid line after it, as the classic grid lays them.
    for (QHeaderView *header : {horizontalHeader(), verticalHeader()}) {
        header->hide();
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    horizontalHeader()->setDefaultSectionSize(ColumnPitch);
    verticalHeader()->setDefaultSectionSize(RowPitch);

    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollMode(ScrollPerPixel);
    setVerticalScrollMode(ScrollPerPixel);
    setEditTriggers(NoEditTriggers);
    setTabKeyNavigation(false);
    setSelectionMode(ContiguousSelection);
    setSelectionBehavior(SelectItems);
    setAutoScroll(false);
    setShowGrid(false);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setFocusPolicy(Qt::StrongFocus);

    for (int row = 0; row < RowCount; ++row) {
        for (int column = 0; column < ColCount; ++column) {
            auto *item = new QTableWidgetItem;
            // Header cells can never be selected; no cell can be edited.
            item->setFlags(row == HeaderRow ? Qt::ItemIsEnabled
                                            : Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            setItem(row, column, item);
        }
    }
    moveCurrent(0, true);
}

QString StringGrid::cell(int column, int row) const
{
    return item(row, column)->text();
}

void StringGrid::setCell(int column, int row, const QString &text)
{
    item(row, column)->setText(text);
    updateAccessibleText(column);
}

StringGrid::ColumnRange StringGrid::selection() const
{
    return {std::min(m_current, m_rangeEnd), std::max(m_current, m_rangeEnd)};
}

void StringGrid::setAccessibleCaption(const QString &caption)
{
    m_caption = caption;
    setAccessibleName(caption);
    for (int column = 0; column < ColCount; ++column)
        updateAccessibleText(column);
}

void StringGrid::updateAccessibleText(int column)
{
    // A note is spoken with its form and its heading, a heading with its form.
    const QString header = cell(column, HeaderRow);
    const QString note = cell(column, NoteRow);
    QString headerText = m_caption;
    if (!header.isEmpty())
        headerText += QStringLiteral(", ") + header;
    QString noteText = headerText;
    if (!note.isEmpty())
        noteText += (header.isEmpty() ? QStringLiteral(", ") : QStringLiteral(": ")) + note;
    item(HeaderRow, column)->setData(Qt::AccessibleTextRole, headerText);
    item(NoteRow, column)->setData(Qt::AccessibleTextRole, noteText);
}

void StringGrid::scrollTo(const QModelIndex &, ScrollHint) { }

void StringGrid::updateGeometries()
{
    QTableWidget::updateGeometries();
    // The last grid line lies one pixel outside the view on purpose; that pixel is no reason to
    // scroll.
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
}

QRect StringGrid::cellRect(int column, int row) const
{
    return QRect(column * ColumnPitch, row * RowPitch, DefaultColWidth, DefaultRowHeight);
}

int StringGrid::noteColumnAt(const QPoint &pos) const
{
    const bool inNoteRow = pos.y() >= NoteRow * RowPitch && pos.y() < RowCount * RowPitch;
    const bool inColumns = pos.x() >= 0 && pos.x() < ColCount * ColumnPitch;
    return inNoteRow && inColumns ? pos.x() / ColumnPitch : -1;
}

int StringGrid::fullyVisibleColumns() const
{
    // A column counts as visible when only its trailing line is cut off.
    return std::max(1, (viewport()->width() + GridLineWidth) / ColumnPitch);
}

void StringGrid::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.setFont(font());
    for (int row = 0; row < RowCount; ++row) {
        for (int column = 0; column < ColCount; ++column)
            paintCell(painter, column, row);
    }
    paintGridLines(painter);
}

void StringGrid::paintCell(QPainter &painter, int column, int row) const
{
    const QRect rect = cellRect(column, row);
    const QPalette &colors = palette();
    QColor textColor;
    if (row == HeaderRow) {
        const QBrush face = colors.brush(QPalette::Button);
        qDrawShadePanel(&painter, rect, colors, false, 1, &face);
        textColor = colors.color(QPalette::ButtonText);
    } else {
        const ColumnRange range = selection();
        const bool focusedCurrent = hasFocus() && column == m_current;
        const bool highlighted = column >= range.first && column <= range.last && !focusedCurrent;
        painter.fillRect(rect, colors.color(highlighted ? QPalette::Highlight : QPalette::Base));
        textColor = colors.color(highlighted ? QPalette::HighlightedText : QPalette::Text);
        if (focusedCurrent) {
            QStyleOptionFocusRect focus;
            focus.initFrom(this);
            focus.rect = rect;
            focus.backgroundColor = colors.color(QPalette::Base);
            style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &painter, this);
        }
    }
    const QString text = cell(column, row);
    if (text.isEmpty())
        return;
    painter.save();
    painter.setClipRect(rect);
    painter.setPen(textColor);
    painter.drawText(rect.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                     text);
    painter.restore();
}

void StringGrid::paintGridLines(QPainter &painter) const
{
    const int headerBottom = RowPitch - GridLineWidth;
    const int noteBottom = 2 * RowPitch - GridLineWidth;
    const int right = ColCount * ColumnPitch - GridLineWidth;
    for (int column = 0; column < ColCount; ++column) {
        const int x = (column + 1) * ColumnPitch - GridLineWidth;
        painter.setPen(FixedLineColor);
        painter.drawLine(x, 0, x, headerBottom);
        painter.setPen(LineColor);
        painter.drawLine(x, headerBottom + 1, x, noteBottom);
    }
    painter.setPen(FixedLineColor);
    painter.drawLine(0, headerBottom, right, headerBottom);
    painter.setPen(LineColor);
    painter.drawLine(0, noteBottom, right, noteBottom);
}

bool StringGrid::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::ToolTip) {
        // The grid's hint covers all its cells; the cells have none of their own.
        const auto *help = static_cast<QHelpEvent *>(event);
        QToolTip::showText(help->globalPos(), toolTip(), this, QRect(), toolTipDuration());
        return true;
    }
    return QTableWidget::viewportEvent(event);
}

void StringGrid::mousePressEvent(QMouseEvent *event)
{
    if (focusPolicy() & Qt::ClickFocus)
        setFocus(Qt::MouseFocusReason);
    const int column = noteColumnAt(event->position().toPoint());
    if (event->button() != Qt::LeftButton || column < 0)
        return;
    if (event->modifiers() & Qt::ShiftModifier)
        moveRangeEnd(column);
    else
        moveCurrent(column, true);
    m_selecting = true;
}

void StringGrid::mouseMoveEvent(QMouseEvent *event)
{
    // Off the note cells the range keeps the extent it last had.
    const int column = noteColumnAt(event->position().toPoint());
    if (m_selecting && column >= 0)
        moveRangeEnd(column);
}

void StringGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_selecting)
        return;
    mouseMoveEvent(event);
    m_selecting = false;
    emit clicked();
}

void StringGrid::mouseDoubleClickEvent(QMouseEvent *)
{
    // The second press of a double click selects nothing and, with no press to finish, its
    // release reports no click.
    m_selecting = false;
}

void StringGrid::keyPressEvent(QKeyEvent *event)
{
    const bool control = event->modifiers() & Qt::ControlModifier;
    int column = m_current;
    switch (event->key()) {
    case Qt::Key_Left:
        column -= control ? fullyVisibleColumns() : 1;
        break;
    case Qt::Key_Right:
        column += control ? fullyVisibleColumns() : 1;
        break;
    case Qt::Key_Home:
        column = 0;
        break;
    case Qt::Key_End:
        column = LastColumn;
        break;
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // The note row is the only row the current cell can be in.
        return;
    default:
        // Nothing can be edited; Enter and typed characters go on to the window.
        event->ignore();
        return;
    }
    column = std::clamp(column, 0, LastColumn);
    if (column == m_current)
        return;
    moveCurrent(column, !(event->modifiers() & Qt::ShiftModifier));
    emit clicked();
}

void StringGrid::wheelEvent(QWheelEvent *event)
{
    // Rolling would move between rows, and there is only one row to be in.
    event->accept();
}

void StringGrid::focusInEvent(QFocusEvent *event)
{
    QTableWidget::focusInEvent(event);
    viewport()->update();
}

void StringGrid::focusOutEvent(QFocusEvent *event)
{
    QTableWidget::focusOutEvent(event);
    viewport()->update();
}

void StringGrid::moveCurrent(int column, bool restartRange)
{
    m_current = column;
    if (restartRange)
        m_rangeEnd = column;
    selectionMoved();
}

void StringGrid::moveRangeEnd(int column)
{
    if (column == m_rangeEnd)
        return;
    m_rangeEnd = column;
    selectionMoved();
}

void StringGrid::selectionMoved()
{
    // The item view's own selection follows, so that screen readers see the same cells.
    const ColumnRange range = selection();
    selectionModel()->setCurrentIndex(model()->index(NoteRow, m_current),
                                      QItemSelectionModel::NoUpdate);
    selectionModel()->select(
        QItemSelection(model()->index(NoteRow, range.first), model()->index(NoteRow, range.last)),
        QItemSelectionModel::ClearAndSelect);
    viewport()->update();
}
