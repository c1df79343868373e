#pragma once
// TFormProgress: the one small window that long jobs show their progress in.
#include "base/progress.h"

#include <QDialog>

class QProgressBar;

namespace velm {

class TFormProgress final : public QDialog, public ProgressSink {
    Q_OBJECT
public:
    explicit TFormProgress(QWidget *parent = nullptr);

    void setCaption(const std::string &cp950) override;
    void setRange(int minimum, int maximum) override;
    void setPosition(int position) override;
    int position() const override { return m_position; }
    int maximum() const override { return m_maximum; }
    void show() override;
    void close() override;
    void processEvents() override;

    QProgressBar *ProgressBar1() const { return m_bar; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void updateBar();

    QProgressBar *m_bar;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    bool m_closing = false;
};

} // namespace velm
