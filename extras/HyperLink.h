#pragma once

#include <QColor>
#include <QObject>
#include <QString>

#include <functional>

class QLabel;
class QUrl;
class QWidget;

// Turns a text label of a dialog into a link: underlined, in link colours
// that follow the pointer and the visit, with a pointing hand and the
// target as tooltip. A click opens the target with the desktop's default
// handler, else with a browser command; a failure beeps and says why.
class HyperLink : public QObject {
    Q_OBJECT
public:
    // The desktop's default handler; tests put a failing one in its place.
    using DefaultHandler = std::function<bool(const QUrl&)>;
    // Returns the handler it replaces; an empty one restores the desktop's.
    static DefaultHandler SetDefaultHandler(DefaultHandler handler);

    explicit HyperLink(QObject* parent = nullptr);

    // Takes over `control`: a link from its text or text from the link,
    // the font underlined, fitted to its text, hand cursor and tooltip.
    void AttachToControl(QLabel* control);
    void SetLink(const QString& link);
    void MarkVisited(bool visited);
    // Opens the link as a click does; works without a control too. The
    // result comes when the desktop's opener has ended; a click meanwhile
    // is ignored, and once the link is gone nothing is reported.
    void Activate();
    // Hands `done` a launch result (above 32 is success, link_rules): at
    // once, or from the event loop when the opener ends.
    static void OpenLink(const QString& target, const std::function<void(int)>& done);
    static void ShowOpenError(QWidget* parent, int error);

    const QString& link() const { return link_; }
    bool visited() const { return visited_; }
    bool hovering() const { return hovering_; }
    bool opening() const { return opening_; }
    // The colour the text is drawn in now.
    QColor textColour() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FitToText();
    void Repaint();
    void Opened(int result, bool later);
    // The window a box about this link belongs to, if any.
    QWidget* window() const;

    QLabel* control_ = nullptr;
    const QColor linkColour_ { 0, 0, 238 };
    const QColor visitedColour_ { 85, 26, 139 };
    QColor hoverColour_;
    bool hovering_ = false;
    bool visited_ = false;
    bool opening_ = false;
    bool shownAtClick_ = false;
    const bool underline_ = true;
    const bool fitToText_ = true;
    QString link_;
};
