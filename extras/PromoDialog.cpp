#include "extras/PromoDialog.h"

#include "extras/Advertisement.h"
#include "platform/DialogBuilder.h"
#include "resources/AuxiliaryTexts.h"

#include <QLabel>
#include <QMouseEvent>
#include <QTextEdit>

PromoDialog::PromoDialog(QWidget* parent)
    : QDialog(parent)
{
    DialogBuilder::Build(this, resources::ids::kPromoDialog,
        [](const resources::ControlTemplate& c, QWidget* p) -> QWidget* {
            if (c.id != IDC_TEXT)
                return nullptr;
            auto* text = new QTextEdit(p);
            text->setReadOnly(true);
            // No caret, no selection, no menu: the keyboard and the scroll
            // bars still scroll.
            text->setTextInteractionFlags(Qt::NoTextInteraction);
            text->setContextMenuPolicy(Qt::NoContextMenu);
            text->setHtml(QString::fromUtf8(kAdvertisementHtml));
            return text;
        });
    text_ = qobject_cast<QTextEdit*>(DialogBuilder::Control(this, IDC_TEXT));
    if (text_ != nullptr) {
        text_->viewport()->installEventFilter(this);
        text_->setAccessibleName(QStringLiteral("Varda"));
    }
    DialogBuilder::ConnectOkCancel(this);

    infoLink_.AttachToControl(qobject_cast<QLabel*>(DialogBuilder::Control(this, IDC_INFO)));
    infoLink_.SetLink(QString::fromUtf8(texts::aux::kVardaPage));
}

bool PromoDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (text_ != nullptr && watched == text_->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            const Qt::MouseButton b = static_cast<QMouseEvent*>(event)->button();
            if (b == Qt::LeftButton || b == Qt::RightButton) {
                setFocus(Qt::MouseFocusReason);
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QDialog::eventFilter(watched, event);
}
