#include "extras/AboutDialog.h"

#include "platform/DialogBuilder.h"
#include "resources/AuxiliaryTexts.h"

#include <QLabel>
#include <QMouseEvent>

AboutDialog::AboutDialog(QWidget* parent)
    : QDialog(parent)
{
    DialogBuilder::Build(this, resources::ids::kAboutDialog,
        [](const resources::ControlTemplate& c, QWidget* p) -> QWidget* {
            if (c.kind != resources::ControlKind::Picture)
                return nullptr;
            auto* picture = new QLabel(p);
            picture->setScaledContents(true);
            picture->setPixmap(DialogBuilder::Image(
                c.text == "logo" ? resources::ids::kLogoBitmap : resources::ids::kIcon));
            return picture;
        });
    logo_ = qobject_cast<QLabel*>(DialogBuilder::Control(this, IDC_LOGO));
    if (logo_ != nullptr) {
        logo_->setCursor(Qt::PointingHandCursor);
        logo_->setToolTip(QString::fromUtf8(texts::aux::kMakerPage));
        logo_->installEventFilter(this);
    }
    DialogBuilder::ConnectOkCancel(this);

    mailLink_.AttachToControl(qobject_cast<QLabel*>(DialogBuilder::Control(this, IDC_MAIL)));
    mailLink_.SetLink(QStringLiteral("mailto:") + QString::fromUtf8(texts::aux::kMakerMail));
    logoLink_.SetLink(QString::fromUtf8(texts::aux::kMakerPage));
}

void AboutDialog::OnLogoClicked()
{
    logoLink_.Activate();
}

bool AboutDialog::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == logo_ && event->type() == QEvent::MouseButtonRelease
        && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        OnLogoClicked();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}
