#pragma once

#include <QDockWidget>

class ExchangeModel;
class QMainWindow;
class QPushButton;
class QTableView;

// "Обмен с устройством": the exchange model in a table with pause, clear, copy and CSV, docked
// into the main window where the technician left it last time (closed the first time). Its
// toggle action (F12) is the one to put into a menu.
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

private:
    void restore(QMainWindow *window);
    void remember();
    void restoreDockedSize();

    ExchangeModel *m_model = nullptr;
    QTableView *m_view = nullptr;
    QPushButton *m_pause = nullptr;
    bool m_follow = true;   // the view was at its last row when rows came
    bool m_scrollQueued = false;
    QSize m_dockedSize;     // remembered, applied when the window is first shown
};
