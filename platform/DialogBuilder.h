#pragma once

#include "resources/DialogTemplates.h"

#include <QFont>
#include <QHash>
#include <QRect>

#include <functional>

class QAction;
class QDialog;
class QMenuBar;
class QWidget;

// Builds the program's dialog templates into Qt widgets. Positions are
// converted from dialog units with the dialog font's metrics, as the
// original platform did: x * average width / 4, y * height / 8.
class DialogBuilder {
public:
    // Lets a window put its own widget (a value panel) in place of a
    // template control; returning nullptr builds the default widget.
    using ControlFactory
        = std::function<QWidget*(const resources::ControlTemplate&, QWidget* parent)>;

    // Caption, font, client size and controls of template `id` on `dialog`;
    // false when there is no such template.
    static bool Build(QWidget* dialog, int id, const ControlFactory& factory = {});

    // The control with this numeric id among dialog's descendants, or nullptr.
    static QWidget* Control(const QWidget* dialog, int id);
    static int ControlId(const QWidget* control);

    // Connects the OK button (id 1) to onOk, accept() when none is given, and
    // Cancel (id 2) to reject(), for those of the two the dialog has.
    static void ConnectOkCancel(QDialog* dialog, const std::function<void()>& onOk = {});

    static QFont TemplateFont(const resources::DialogTemplate& tmpl);
    static QRect ToPixels(const QFont& font, int x, int y, int width, int height);

    // Fills a menu bar from menu `id`; each item triggers onCommand(id).
    // Returns the actions by command id.
    static QHash<int, QAction*> BuildMenu(
        QMenuBar* bar, int id, const std::function<void(int)>& onCommand);

    // Images of the resource folder by id (icon 128, bitmap 310).
    static QPixmap Image(int id);
};
