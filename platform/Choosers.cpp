#include "platform/Choosers.h"

#include "platform/FontMapping.h"
#include "platform/Responder.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QRegularExpression>

#include <array>

namespace {

// A chooser opened without an owner belongs to the window in use.
QWidget* ownerOr(QWidget* parent)
{
    return parent != nullptr ? parent : QApplication::activeWindow();
}

class ModalChoosers : public Choosers {
public:
    bool ChooseColour(QWidget* parent, unsigned& colour) override
    {
        // The sixteen custom colours last for the run, shared by every
        // call, and start white at each start: Qt's own dialog would bring
        // back another run's from its settings.
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QColorDialog::setCustomColor(i, custom_[static_cast<std::size_t>(i)]);
        const QColor c = QColorDialog::getColor(
            ToQColor(colour), ownerOr(parent), QString(), QColorDialog::DontUseNativeDialog);
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            custom_[static_cast<std::size_t>(i)] = QColorDialog::customColor(i).rgb();
        if (!c.isValid())
            return false;
        colour = FromQColor(c);
        return true;
    }
    bool ChooseFont(QWidget* parent, FontDescription& font) override
    {
        bool ok = false;
        const QFont chosen = QFontDialog::getFont(
            &ok, ToQFont(font), ownerOr(parent), QString(), QFontDialog::ScalableFonts);
        if (!ok)
            return false;
        // No effects are offered: underline and strike-out stay as they were.
        font = FromQFont(chosen, font);
        return true;
    }

private:
    std::array<QRgb, 16> custom_ = [] {
        std::array<QRgb, 16> white {};
        white.fill(qRgb(255, 255, 255));
        return white;
    }();
};

ModalChoosers g_modal;
constinit Responder<Choosers> g_choosers(g_modal);

} // namespace

Choosers& Choosers::instance()
{
    return g_choosers.current();
}

Choosers* Choosers::Install(Choosers* choosers)
{
    return g_choosers.Install(choosers);
}

bool Choosers::ChooseFile(QWidget* parent, FileChoice& choice, std::string& path)
{
    QFileDialog dialog(parent, QString::fromStdString(choice.title));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setDirectory(
        choice.folder.empty() ? QDir::homePath() : QString::fromStdString(choice.folder));
    QStringList names;
    for (const auto& f : choice.filters) {
        const QString description = QString::fromStdString(f.description);
        const QString pattern = QString::fromStdString(f.pattern);
        // The chooser takes its patterns from the parentheses.
        names << (description.contains(pattern) ? description : description + " (" + pattern + ')');
    }
    dialog.setNameFilters(names);
    // A name typed without an extension gets that of the selected filter,
    // as the program itself adds it to one that comes back without.
    const auto suffix = [&](int index) {
        static const QRegularExpression single(QStringLiteral("^\\*\\.([^*?.;]+)$"));
        if (index >= 0 && index < static_cast<int>(choice.filters.size())) {
            const auto match = single.match(
                QString::fromStdString(choice.filters[static_cast<std::size_t>(index)].pattern));
            if (match.hasMatch())
                return match.captured(1);
        }
        return QString::fromStdString(choice.defaultExtension);
    };
    if (choice.selectedFilter >= 0 && choice.selectedFilter < names.size())
        dialog.selectNameFilter(names[choice.selectedFilter]);
    dialog.setDefaultSuffix(suffix(choice.selectedFilter));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
        [&](const QString& name) { dialog.setDefaultSuffix(suffix(names.indexOf(name))); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    choice.selectedFilter = static_cast<int>(names.indexOf(dialog.selectedNameFilter()));
    path = dialog.selectedFiles().constFirst().toStdString();
    return true;
}
