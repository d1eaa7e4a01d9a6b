#pragma once

#include <QDockWidget>

class ExchangeModel;
class QMainWindow;
class QPushButton;
class QTableView;

// "Обмен с устройством": the exchange model in a table with pause, clear, copy and CSV, docked
// into the main window where the technician left it last time (closed the first time). Its
// toggle action (F12) is the one to put into a menu. On a laptop's screen it keeps the window
// on the screen: docked, the window grows only as far as the screen allows (the panels above
// scroll) and gives that height back when the panel is hidden; floating, it opens inside the
// screen, clear of the window's progress and status bars.
class ExchangeMonitor : public QDockWidget
{
    Q_OBJECT
public:
    explicit ExchangeMonitor(QMainWindow *window);

    ExchangeModel *model() const { return m_model; }

    void copySelection() const;
    void saveCsv();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void restore(QMainWindow *window);
    void remember();
    void restoreDockedSize();
    void placeFloating();
    void giveHeightBack();

    ExchangeModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QPushButton *m_pause = nullptr;
    bool m_follow = true;   // the view was at its last row when rows came
    bool m_scrollQueued = false;
    QSize m_dockedSize;     // remembered, applied when the window is first shown
    bool m_placeFloating = false;   // the first time: floating, placed when the window shows
    int m_grown = 0;        // what the window grew by for the docked panel, given back on hiding
};
