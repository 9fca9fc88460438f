#pragma once

#include <QObject>

class QWidget;

// Enter and Escape never close the main window, whichever of its controls
// has the focus: the key is taken and the focus goes to the window itself.
class WindowKeys : public QObject {
public:
    // Watches every key of the application; ends with `window`.
    explicit WindowKeys(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget& window_;
};
