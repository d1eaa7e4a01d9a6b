#pragma once

#include <QLabel>

// A line in the status bar that stays until it is cleared (a port error until the next
// action). It never widens the window: the text is cut with "…" to the room there is and
// the whole text is the tooltip.
class NoteLabel : public QLabel
{
    Q_OBJECT

public:
    explicit NoteLabel(QWidget *parent = nullptr);

    void setNote(const QString &text);
    void clearNote() { setNote(QString()); }
    QString note() const { return full; }

    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void elide();

    QString full;
};
