#pragma once
// A thin bar that drags the size of the pane beside it; a pane dragged under 30 pixels collapses.
#include <QWidget>

#include <functional>

namespace velm {

class TSplitter final : public QWidget {
    Q_OBJECT
public:
    // getSize/setSize reach the pane this bar resizes (a width for a vertical bar, a height otherwise).
    TSplitter(Qt::Orientation orientation, std::function<int()> getSize, std::function<void(int)> setSize,
              QWidget *parent = nullptr);

    static constexpr int kMinSize = 30;
    static constexpr int kThickness = 3;

    // The pane size a drag to the given size leaves: under the minimum it collapses to one pixel.
    static int snapped(int requested) { return requested < kMinSize ? 1 : requested; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int along(const QPointF &global) const;

    Qt::Orientation m_orientation;
    std::function<int()> m_getSize;
    std::function<void(int)> m_setSize;
    bool m_dragging = false;
    int m_startPos = 0;
    int m_startSize = 0;
};

} // namespace velm
