#include "platform/DialogBuilder.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimeEdit>
#include <QWidget>

#include <algorithm>
#include <vector>

// At file scope: the macro declares the resource initialiser globally.
static void initResources()
{
    // The images live in a static library: make sure its resources link in.
    static const bool done = [] {
        Q_INIT_RESOURCE(images);
        return true;
    }();
    (void)done;
}

namespace {

const char* const kIdProperty = "qm482ControlId";

QString text(std::string_view s)
{
    return QString::fromUtf8(s.data(), static_cast<int>(s.size()));
}

QString withoutMnemonic(QString s)
{
    for (qsizetype i = s.indexOf(u'&'); i >= 0 && i < s.size(); i = s.indexOf(u'&', i + 1))
        s.remove(i, 1); // "&&" keeps one
    return s;
}

// Qt's own interface for a check box or radio button toggles it from an
// accessibility action without clicked(), which the dialogs follow, so the
// box showed the change and OK took the old value; and it calls a radio
// button that is exclusive through its group, not its parent, a check box.
// This one names the role by the class and acts as a click, as the
// mouse, the keyboard and a shortcut do.
class ToggleButtonAccessible : public QAccessibleWidget {
public:
    ToggleButtonAccessible(QAbstractButton* button, QAccessible::Role role)
        : QAccessibleWidget(button, role)
    {
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        const QAbstractButton* b = button();
        s.checkable = true;
        s.checked = b->isChecked();
        s.pressed = b->isDown();
        if (const auto* box = qobject_cast<const QCheckBox*>(b))
            s.checkStateMixed = box->checkState() == Qt::PartiallyChecked;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return withoutMnemonic(button()->text());
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (widget()->isEnabled())
            names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& name) override
    {
        if (name != toggleAction() && name != pressAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        // Animated, the click comes after the caller got its answer: a
        // handler that opens a box does not hold the assistive tool up.
        if (widget()->isEnabled())
            button()->animateClick();
    }

private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

QAccessibleInterface* toggleButtonInterface(const QString& className, QObject* object)
{
    if (className == QLatin1String("QRadioButton"))
        return new ToggleButtonAccessible(
            static_cast<QAbstractButton*>(object), QAccessible::RadioButton);
    if (className == QLatin1String("QCheckBox"))
        return new ToggleButtonAccessible(
            static_cast<QAbstractButton*>(object), QAccessible::CheckBox);
    return nullptr;
}

// An edit, a list or a time picker is named by the text just before it in
// the template, as the original platform named it for a screen reader.
void nameAfter(QWidget* previous, QWidget* w)
{
    if (previous == nullptr || !w->accessibleName().isEmpty())
        return;
    if (qobject_cast<QLineEdit*>(w) == nullptr && qobject_cast<QPlainTextEdit*>(w) == nullptr
        && qobject_cast<QComboBox*>(w) == nullptr && qobject_cast<QAbstractSpinBox*>(w) == nullptr)
        return;
    if (auto* label = qobject_cast<QLabel*>(previous); label != nullptr && !label->text().isEmpty())
        label->setBuddy(w);
    else if (auto* box = qobject_cast<QCheckBox*>(previous))
        w->setAccessibleName(withoutMnemonic(box->text()));
}

QWidget* defaultControl(const resources::ControlTemplate& c, QWidget* parent)
{
    using resources::ControlKind;
    switch (c.kind) {
    case ControlKind::Static:
    case ControlKind::StaticCentred: {
        auto* l = new QLabel(text(c.text), parent);
        l->setAlignment((c.kind == ControlKind::StaticCentred ? Qt::AlignHCenter : Qt::AlignLeft)
            | Qt::AlignTop);
        return l;
    }
    case ControlKind::Edit: {
        if ((c.style & resources::style::kMultiLine) != 0) {
            // Enter breaks the line (the default button is not pressed),
            // Tab leaves the control as in any other edit.
            auto* e = new QPlainTextEdit(text(c.text), parent);
            e->setTabChangesFocus(true);
            e->setReadOnly((c.style & resources::style::kReadOnly) != 0);
            e->setFrameShape(
                (c.style & resources::style::kBorder) != 0 ? QFrame::StyledPanel : QFrame::NoFrame);
            if ((c.style & resources::style::kAutoHScroll) != 0)
                e->setLineWrapMode(QPlainTextEdit::NoWrap);
            // Scrolls with the caret; scroll bars only when the template asks.
            e->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
            e->setVerticalScrollBarPolicy((c.style & resources::style::kVScroll) != 0
                    ? Qt::ScrollBarAsNeeded
                    : Qt::ScrollBarAlwaysOff);
            return e;
        }
        auto* e = new QLineEdit(text(c.text), parent);
        e->setReadOnly((c.style & resources::style::kReadOnly) != 0);
        e->setFrame((c.style & resources::style::kBorder) != 0);
        return e;
    }
    case ControlKind::ComboDropList: {
        auto* box = new QComboBox(parent);
        box->setEditable(false);
        return box;
    }
    case ControlKind::PushButton:
    case ControlKind::DefaultPushButton: {
        auto* b = new QPushButton(text(c.text), parent);
        b->setAutoDefault(false);
        b->setDefault(c.kind == ControlKind::DefaultPushButton);
        return b;
    }
    case ControlKind::Picture: {
        auto* l = new QLabel(parent);
        if (c.text == "wait")
            l->setPixmap(DialogBuilder::Image(resources::ids::kWaitBitmap));
        return l;
    }
    case ControlKind::CheckBox:
        return new QCheckBox(text(c.text), parent);
    case ControlKind::RadioButton:
        return new QRadioButton(text(c.text), parent); // grouped by Build
    case ControlKind::GroupBox:
        return new QGroupBox(text(c.text), parent);
    case ControlKind::TimePicker: {
        auto* t = new QTimeEdit(parent);
        t->setDisplayFormat(QStringLiteral("HH:mm:ss"));
        t->setTimeRange(QTime(0, 0, 0), QTime(23, 59, 59));
        // Each field runs round on its own, as in a time picker.
        t->setWrapping(true);
        return t;
    }
    case ControlKind::SunkenRule: {
        auto* f = new QFrame(parent);
        f->setFrameShape(QFrame::HLine);
        f->setFrameShadow(QFrame::Sunken);
        return f;
    }
    }
    return nullptr;
}

// Whether a control's text starts at its left edge and may run on to the right.
bool growsRight(const QWidget* w)
{
    if (qobject_cast<const QCheckBox*>(w) != nullptr
        || qobject_cast<const QRadioButton*>(w) != nullptr)
        return true;
    const auto* label = qobject_cast<const QLabel*>(w);
    return label != nullptr && !label->text().isEmpty()
        && (label->alignment() & Qt::AlignHorizontal_Mask) == Qt::AlignLeft;
}

// The fonts here are wider than the original platform's, and Qt draws a
// check box or radio button wider too, which would cut the end of a long
// text: such a control grows to the right as far as its text needs and the
// free room allows.
void growToFit(const QWidget* dialog, const std::vector<QWidget*>& controls)
{
    constexpr int kGap = 2;
    for (QWidget* w : controls) {
        if (!growsRight(w))
            continue;
        const QRect g = w->geometry();
        const int wanted = w->sizeHint().width();
        if (wanted <= g.width())
            continue;
        int limit = dialog->width() - kGap;
        for (const QWidget* other : controls) {
            const QRect r = other->geometry();
            if (other == w)
                continue;
            if (qobject_cast<const QGroupBox*>(other) != nullptr && r.contains(g))
                limit = std::min(limit, r.right() - kGap);
            else if (r.left() > g.left() && r.top() <= g.bottom() && r.bottom() >= g.top())
                limit = std::min(limit, r.left() - kGap);
        }
        w->resize(std::max(g.width(), std::min(wanted, limit - g.left())), g.height());
    }
}

} // namespace

QFont DialogBuilder::TemplateFont(const resources::DialogTemplate& tmpl)
{
    // The original faces are not on Linux; a sans-serif of the same size is.
    QFont font(text(tmpl.fontFace));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(tmpl.fontPoints);
    return font;
}

QRect DialogBuilder::ToPixels(const QFont& font, int x, int y, int width, int height)
{
    const QFontMetrics fm(font);
    // Average width of the Latin letters, rounded as the original platform did.
    const int letters = fm.horizontalAdvance(
        QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    const int baseX = (letters / 26 + 1) / 2;
    const int baseY = fm.height();
    auto mx = [baseX](int v) { return v * baseX / 4; };
    auto my = [baseY](int v) { return v * baseY / 8; };
    return { mx(x), my(y), mx(width), my(height) };
}

bool DialogBuilder::Build(QWidget* dialog, int id, const ControlFactory& factory)
{
    initResources();
    static const bool accessible = [] {
        QAccessible::installFactory(&toggleButtonInterface);
        return true;
    }();
    (void)accessible;
    const resources::DialogTemplate* tmpl = resources::FindDialog(id);
    if (tmpl == nullptr || dialog == nullptr)
        return false;
    const QFont font = TemplateFont(*tmpl);
    dialog->setFont(font);
    dialog->setWindowTitle(text(tmpl->caption));
    if (!tmpl->resizable) {
        // A modal frame: a caption bar with the close box only, or no window
        // manager decoration at all when there is no caption (the frame is
        // then drawn below).
        Qt::WindowFlags flags = dialog->windowFlags() & Qt::WindowType_Mask;
        if (tmpl->caption.empty())
            flags |= Qt::FramelessWindowHint;
        else
            flags |= Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                | Qt::WindowCloseButtonHint;
        dialog->setWindowFlags(flags);
    }
    const QRect size = ToPixels(font, 0, 0, tmpl->width, tmpl->height);
    dialog->resize(size.width(), size.height());
    if (!tmpl->resizable)
        dialog->setFixedSize(size.width(), size.height());
    if (tmpl->caption.empty()) {
        auto* frame = new QFrame(dialog);
        frame->setFrameStyle(QFrame::WinPanel | QFrame::Raised);
        frame->setGeometry(0, 0, size.width(), size.height());
        frame->lower();
    }

    // Radio buttons next to each other in template order are one group,
    // unless one of them starts a new group.
    QButtonGroup* radios = nullptr;
    std::vector<QWidget*> built;
    for (const auto& c : tmpl->controls) {
        QWidget* w = factory ? factory(c, dialog) : nullptr;
        if (w == nullptr)
            w = defaultControl(c, dialog);
        if (w == nullptr)
            continue;
        if (auto* radio = qobject_cast<QRadioButton*>(w)) {
            if (radios == nullptr || (c.style & resources::style::kGroup) != 0)
                radios = new QButtonGroup(dialog);
            // The group, not the parent, makes them exclusive; none need be checked.
            radio->setAutoExclusive(false);
            radios->addButton(radio);
        } else {
            radios = nullptr;
        }
        w->setProperty(kIdProperty, c.id);
        QRect geometry = ToPixels(font, c.x, c.y, c.width, c.height);
        if (auto* box = qobject_cast<QComboBox*>(w);
            box != nullptr && c.kind == resources::ControlKind::ComboDropList) {
            // A drop-down's template height is that of its dropped list; the
            // box itself is one line high.
            const int line = box->sizeHint().height();
            const int row = std::max(QFontMetrics(font).height(), 1);
            box->setMaxVisibleItems(std::max(1, (geometry.height() - line) / row));
            geometry.setHeight(line);
        }
        w->setGeometry(geometry);
        nameAfter(built.empty() ? nullptr : built.back(), w);
        built.push_back(w);
        w->setFocusPolicy((c.style & resources::style::kTabStop) != 0
                    || c.kind == resources::ControlKind::ComboDropList
                    || c.kind == resources::ControlKind::PushButton
                    || c.kind == resources::ControlKind::DefaultPushButton
                ? Qt::StrongFocus
                : w->focusPolicy());
    }
    growToFit(dialog, built);
    return true;
}

QWidget* DialogBuilder::Control(const QWidget* dialog, int id)
{
    if (dialog == nullptr)
        return nullptr;
    const auto children = dialog->findChildren<QWidget*>();
    for (QWidget* w : children) {
        if (ControlId(w) == id)
            return w;
    }
    return nullptr;
}

int DialogBuilder::ControlId(const QWidget* control)
{
    const QVariant v = control->property(kIdProperty);
    return v.isValid() ? v.toInt() : 0;
}

void DialogBuilder::ConnectOkCancel(QDialog* dialog, const std::function<void()>& onOk)
{
    if (auto* ok = qobject_cast<QAbstractButton*>(Control(dialog, 1))) {
        if (onOk)
            QObject::connect(ok, &QAbstractButton::clicked, dialog, onOk);
        else
            QObject::connect(ok, &QAbstractButton::clicked, dialog, &QDialog::accept);
    }
    if (auto* cancel = qobject_cast<QAbstractButton*>(Control(dialog, 2)))
        QObject::connect(cancel, &QAbstractButton::clicked, dialog, &QDialog::reject);
}

QHash<int, QAction*> DialogBuilder::BuildMenu(
    QMenuBar* bar, int id, const std::function<void(int)>& onCommand)
{
    QHash<int, QAction*> actions;
    const auto* menu = resources::FindMenu(id);
    if (menu == nullptr || bar == nullptr)
        return actions;
    for (const auto& popup : *menu) {
        QMenu* m = bar->addMenu(text(popup.text));
        for (const auto& item : popup.items) {
            if (item.id == 0) {
                m->addSeparator();
                continue;
            }
            QAction* a = m->addAction(text(item.text));
            const int command = item.id;
            QObject::connect(a, &QAction::triggered, bar, [onCommand, command] {
                if (onCommand)
                    onCommand(command);
            });
            actions.insert(command, a);
        }
    }
    return actions;
}

QPixmap DialogBuilder::Image(int id)
{
    initResources();
    return QPixmap(
        QStringLiteral(":/qm482/%1-%2.xpm")
            .arg(id == resources::ids::kIcon ? QStringLiteral("icon") : QStringLiteral("bitmap"))
            .arg(id));
}
