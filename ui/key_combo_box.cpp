#include "key_combo_box.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScopedValueRollback>

#include <algorithm>

KeyComboBox::KeyComboBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(true);
    // Qt's completer completes the text without making the entry current; complete() does both.
    setCompleter(nullptr);
    setInsertPolicy(NoInsert);
    connect(this, &QComboBox::currentIndexChanged, this, &KeyComboBox::indexChanged);
    connect(lineEdit(), &QLineEdit::textEdited, this, &KeyComboBox::followEdit);
    view()->installEventFilter(this);
}

KeyComboBox::Field KeyComboBox::field() const
{
    const QLineEdit *edit = lineEdit();
    const int cursor = edit->cursorPosition();
    if (!edit->hasSelectedText())
        return {edit->text(), cursor, cursor};
    const int start = edit->selectionStart();
    const int end = start + int(edit->selectedText().size());
    return {edit->text(), cursor == start ? end : start, cursor};
}

void KeyComboBox::keyPressEvent(QKeyEvent *event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (modifiers & Qt::AltModifier) {
            showPopup();
            return;
        }
        if (modifiers == Qt::NoModifier) {
            step(event->key() == Qt::Key_Up ? -1 : 1);
            return;
        }
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        // Only Up and Down move through the entries.
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Enter neither picks nor adds an entry; it goes on to the window.
        event->ignore();
        return;
    case Qt::Key_Backspace:
        if ((modifiers & ~Qt::ShiftModifier) == Qt::NoModifier) {
            backspace();
            return;
        }
        break;
    default:
        break;
    }
    const QString typed = event->text();
    const bool character =
        typed.size() == 1 && typed.front().isPrint()
        && !(modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (character && complete(typed))
        return;
    // Any other edit reaches the field and comes back through followEdit().
    QComboBox::keyPressEvent(event);
}

bool KeyComboBox::complete(const QString &typed)
{
    const QLineEdit *edit = lineEdit();
    const QString before =
        edit->hasSelectedText() ? edit->text().left(edit->selectionStart()) : edit->text();
    const QString prefix = before + typed;
    for (int position = 0; position < count(); ++position) {
        const QString caption = itemText(position);
        if (!caption.startsWith(prefix, Qt::CaseInsensitive))
            continue;
        const bool entryChanged = position != currentIndex();
        // What was typed stays as typed; the rest of the entry follows, selected, so that the
        // next character replaces it.
        const QString text = prefix + caption.mid(prefix.size());
        setPosition(position, {text, int(prefix.size()), int(text.size())});
        if (entryChanged)
            emit changed(position);
        return true;
    }
    return false;
}

void KeyComboBox::backspace()
{
    const QLineEdit *edit = lineEdit();
    QString text = edit->text();
    if (text.isEmpty()) {
        emit changed(currentIndex());
        return;
    }
    int caret = edit->cursorPosition();
    if (edit->hasSelectedText()) {
        caret = edit->selectionStart();
        text.remove(caret, edit->selectedText().size());
    } else if (caret > 0) {
        --caret;
        text.remove(caret, 1);
    }
    setPosition(-1, {text, caret, caret});
    emit changed(-1);
}

void KeyComboBox::step(int direction)
{
    if (count() == 0)
        return;
    const int from = currentIndex();
    const int to = from < 0 ? 0 : std::clamp(from + direction, 0, count() - 1);
    if (to == from)
        return;
    const QString caption = itemText(to);
    setPosition(to, {caption, 0, int(caption.size())});
    view()->setCurrentIndex(model()->index(to, modelColumn(), rootModelIndex()));
    emit changed(to);
}

void KeyComboBox::followEdit()
{
    const int position = entryMatching(lineEdit()->text());
    if (position != currentIndex())
        setPosition(position, field());
    emit changed(position);
}

void KeyComboBox::indexChanged(int position)
{
    // Besides this class's own moves, which are quiet, only a pick in the open list changes
    // the current entry.
    if (!m_quiet)
        emit changed(position);
}

int KeyComboBox::entryMatching(const QString &text) const
{
    for (int position = 0; position < count(); ++position) {
        if (itemText(position).compare(text, Qt::CaseInsensitive) == 0)
            return position;
    }
    return -1;
}

void KeyComboBox::setPosition(int position, const Field &shown)
{
    {
        const QScopedValueRollback quiet(m_quiet, true);
        setCurrentIndex(position);
    }
    QLineEdit *edit = lineEdit();
    if (edit->text() != shown.text)
        edit->setText(shown.text);
    if (shown.anchor == shown.cursor)
        edit->setCursorPosition(shown.cursor);
    else
        edit->setSelection(shown.anchor, shown.cursor - shown.anchor);
}

void KeyComboBox::wheelEvent(QWheelEvent *event)
{
    // The wheel moves no entry; only the keys and the open list do.
    event->ignore();
}

void KeyComboBox::focusOutEvent(QFocusEvent *event)
{
    // On leaving the field Qt makes current the entry whose text the field holds; the entry
    // stays as the user's last action left it.
    const int before = currentIndex();
    {
        const QScopedValueRollback quiet(m_quiet, true);
        QComboBox::focusOutEvent(event);
    }
    if (currentIndex() != before)
        setPosition(before, field());
}

bool KeyComboBox::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == view() && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if ((key->key() == Qt::Key_Up || key->key() == Qt::Key_Down)
            && modifiers == Qt::NoModifier) {
            step(key->key() == Qt::Key_Up ? -1 : 1);
            return true;
        }
    }
    return QComboBox::eventFilter(watched, event);
}
