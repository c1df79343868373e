#include "shell/splitter.h"

#include <QMouseEvent>

namespace velm {

TSplitter::TSplitter(Qt::Orientation orientation, std::function<int()> getSize, std::function<void(int)> setSize,
                     QWidget *parent)
    : QWidget(parent), m_orientation(orientation), m_getSize(std::move(getSize)), m_setSize(std::move(setSize))
{
    setAutoFillBackground(true);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(0, 128, 0));
    setPalette(p);
    if (orientation == Qt::Vertical) {
        setFixedWidth(kThickness);
        setCursor(Qt::SplitHCursor);
    } else {
        setFixedHeight(kThickness);
        setCursor(Qt::SplitVCursor);
    }
}

int TSplitter::along(const QPointF &global) const
{
    return static_cast<int>(m_orientation == Qt::Vertical ? global.x() : global.y());
}

void TSplitter::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_dragging = true;
    m_startPos = along(event->globalPosition());
    m_startSize = m_getSize();
}

void TSplitter::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging)
        return;
    const QWidget *area = parentWidget();
    const int room = area ? (m_orientation == Qt::Vertical ? area->width() : area->height()) - kThickness : 1 << 20;
    const int requested = std::min(m_startSize + along(event->globalPosition()) - m_startPos, room);
    m_setSize(snapped(requested));
}

void TSplitter::mouseReleaseEvent(QMouseEvent *)
{
    m_dragging = false;
}

} // namespace velm
