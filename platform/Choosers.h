#pragma once

#include "display/FontDescription.h"

class QWidget;

// The colour and font choosers: one service each, so tests answer
// instead of a person. A colour is r + 256 g + 65536 b.
class Choosers {
public:
    virtual ~Choosers() = default;
    // True with the chosen value on OK; false on Cancel.
    virtual bool ChooseColour(QWidget* parent, unsigned& colour) = 0;
    virtual bool ChooseFont(QWidget* parent, FontDescription& font) = 0;

    static Choosers& Instance();
    // Installs `choosers` (not owned), returns the previous; nullptr
    // restores the real dialogs.
    static Choosers* Install(Choosers* choosers);
};
