#pragma once

#include "common/FontDescription.h"

#include <string>
#include <vector>

class QWidget;

// What a file chooser offers: a save-style chooser in which the file need
// not exist and an existing one is not questioned. Texts are UTF-8.
struct FileChoice {
    struct Filter {
        std::string description; // "Lista CSV (*.csv)"
        std::string pattern; // "*.csv"
    };
    std::string title;
    std::vector<Filter> filters;
    // Appended to a name typed without one when the selected filter names
    // no single extension.
    std::string defaultExtension;
    // In: the filter selected at first; out: the one selected on OK.
    int selectedFilter = 0;
    // Where the chooser starts: the folder of the file in use; empty for
    // the user's home folder.
    std::string folder;
};

// The colour, font and file choosers: one service each, so tests answer
// instead of a person. A colour is r + 256 g + 65536 b.
class Choosers {
public:
    virtual ~Choosers() = default;
    // True with the chosen value on OK; false on Cancel.
    virtual bool ChooseColour(QWidget* parent, unsigned& colour) = 0;
    virtual bool ChooseFont(QWidget* parent, FontDescription& font) = 0;
    // True with the full path chosen on OK; false on Cancel. The real
    // chooser unless a test answers instead.
    virtual bool ChooseFile(QWidget* parent, FileChoice& choice, std::string& path);

    static Choosers& instance();
    // Installs `choosers` (not owned), returns the previous; nullptr
    // restores the real dialogs.
    static Choosers* Install(Choosers* choosers);
};
