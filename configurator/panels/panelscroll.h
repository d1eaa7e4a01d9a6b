#pragma once

#include <QScrollArea>

class QGridLayout;
class QLayout;

// The panels in a scroll area: when the window is lower than the panels, as with the exchange
// monitor docked under them on a laptop, they scroll rather than pushing the window's bottom
// (the progress bar, the status bar) off the screen. Given room, it is as large as the panels
// like and never scrolls; it is never narrower than they need.
class PanelScroll : public QScrollArea
{
    Q_OBJECT
public:
    // Takes `panels` out of `outer` and puts the scroll area, holding them, in its place.
    static PanelScroll *wrap(QGridLayout *outer, QLayout *panels);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

    // The least height it keeps: enough for a group of fields.
    int leastHeight() const;

private:
    explicit PanelScroll(QWidget *parent = nullptr);
};
