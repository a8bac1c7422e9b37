// An editable drop-down list in the classic manner: typing completes the field to the first
// entry whose text begins with what was typed (letter case ignored) and makes that entry
// current; Backspace leaves no entry current; Up and Down move through the entries, the list
// open or closed. Every such change is reported by changed(), with the list position that
// the change left (-1 when no entry is current).
#pragma once

#include <QComboBox>

class KeyComboBox : public QComboBox
{
    Q_OBJECT

public:
    explicit KeyComboBox(QWidget *parent = nullptr);

signals:
    void changed(int position);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The field's text with the two ends of its selected part (equal when nothing is selected).
    struct Field
    {
        QString text;
        int anchor;
        int cursor;
    };

    Field field() const;
    bool complete(const QString &typed);
    void backspace();
    void step(int direction);
    void followEdit();
    void indexChanged(int position);
    int entryMatching(const QString &text) const;
    // Makes position current and shows the given field, not the entry's own text.
    void setPosition(int position, const Field &shown);

    bool m_quiet = false;
};
