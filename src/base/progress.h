#pragma once
// What long jobs need of the shared progress window, so core code can drive it without widgets.
#include <string>

namespace velm {

class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    virtual void setCaption(const std::string &cp950) = 0;
    virtual void setRange(int minimum, int maximum) = 0;
    virtual void setPosition(int position) = 0;
    virtual int position() const = 0;
    virtual int maximum() const = 0;
    virtual void show() = 0;
    virtual void close() = 0;
    // Lets pending window messages run once (repaints; user commands may run too).
    virtual void processEvents() = 0;

    void step() { setPosition(position() + 1); }
};

// Records the calls and shows nothing: for the command line and for tests.
class SilentProgress : public ProgressSink {
public:
    void setCaption(const std::string &cp950) override { m_caption = cp950; }
    void setRange(int minimum, int maximum) override
    {
        m_minimum = minimum;
        m_maximum = maximum;
    }
    void setPosition(int position) override { m_position = position; }
    int position() const override { return m_position; }
    int maximum() const override { return m_maximum; }
    void show() override { m_visible = true; }
    void close() override { m_visible = false; }
    void processEvents() override { ++m_eventRuns; }

    const std::string &caption() const { return m_caption; }
    int minimum() const { return m_minimum; }
    bool visible() const { return m_visible; }
    int eventRuns() const { return m_eventRuns; }

private:
    std::string m_caption;
    int m_minimum = 0;
    int m_maximum = 100;
    int m_position = 0;
    bool m_visible = false;
    int m_eventRuns = 0;
};

} // namespace velm
