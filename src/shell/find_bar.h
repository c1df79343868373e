#pragma once
// The find bar under the article view: finds text in the page the view shows and counts the matches.
#include <QWidget>

class QLabel;
class QLineEdit;
class QShortcut;
class QToolButton;
class QWebEnginePage;
class QWebEngineFindTextResult;

namespace velm {

class FindBar final : public QWidget {
    Q_OBJECT
public:
    // Escape closes the bar while the focus is anywhere in the parent (the page or the bar).
    FindBar(QWebEnginePage *page, QWidget *parent);

    // Shows the bar with its text selected, for typing.
    void open();
    // Hides the bar and takes the page's marks of the found text away.
    void close();
    // The next (or, backward, the previous) place of the text; the first when the text changed.
    void findNext();
    void findPrevious();
    // Puts a text in the bar and finds it from the top.
    void setText(const QString &text);
    QString text() const;

    QLineEdit *edit() const { return m_edit; }
    QLabel *countLabel() const { return m_count; }

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void find(bool backward);
    void showResult(const QWebEngineFindTextResult &result);

    QWebEnginePage *m_page;
    QLineEdit *m_edit = nullptr;
    QLabel *m_count = nullptr;
    QShortcut *m_escape = nullptr;
};

// "第 N 項，共 M 項", or that nothing was found.
QString FindCountText(int activeMatch, int numberOfMatches);

} // namespace velm
