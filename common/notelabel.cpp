#include "notelabel.h"

#include <QResizeEvent>

NoteLabel::NoteLabel(QWidget *parent)
    : QLabel(parent)
{
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    setTextFormat(Qt::PlainText);
}

void NoteLabel::setNote(const QString &text)
{
    full = text;
    setToolTip(text);
    elide();
    updateGeometry();
}

QSize NoteLabel::minimumSizeHint() const
{
    return QSize(0, QLabel::minimumSizeHint().height());
}

QSize NoteLabel::sizeHint() const
{
    return QSize(fontMetrics().horizontalAdvance(full) + 2 * margin() + 2, QLabel::sizeHint().height());
}

void NoteLabel::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    elide();
}

void NoteLabel::elide()
{
    const int room = contentsRect().width() - 2 * margin();
    setText(fontMetrics().elidedText(full, Qt::ElideRight, qMax(room, 0)));
}
