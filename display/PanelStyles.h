#pragma once

class QWidget;
class ValuePanel;

// The main window's two styling commands, "Widok → Kolory" and
// "Widok → Czcionki": each runs its dialog over the live panels and puts
// back what was there when it opened unless the dialog ends with OK.
class PanelStyles {
public:
    // The dialogs open modally over `owner`.
    PanelStyles(
        QWidget* owner, ValuePanel& temperature, ValuePanel& humidity, ValuePanel& pressure);

    // False for a command that is not one of the two.
    bool OnCommand(int id);
    void RunColoursDialog();
    void RunFontsDialog();

private:
    QWidget* owner_;
    ValuePanel& temperature_;
    ValuePanel& humidity_;
    ValuePanel& pressure_;
};
